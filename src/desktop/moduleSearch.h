// moduleSearch.h: where the show looks for its song's file, "musa.xm", and what it says when none is there.
#pragma once
#include <string>

// Looks in the current folder (as the show always has), then in the program's own folder (a zip
// unpacked or a build run from anywhere), then in the data folder an installed package put it
// in. True with the name to hand libmikmod; false with the places looked in, for the message.
bool findModule(std::string& path, std::string& looked);
