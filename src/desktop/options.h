// options.h: the show's command line. With none, the show plays as it always has.
#pragma once
#include <cstdint>
#include <string>

struct ShowOptions {
    int32_t from = 0;         // show time to start at, milliseconds
    int32_t to = INT32_MAX;   // show time to end at (INT32_MAX: the song's end)
    bool loop = false;        // from..to again and again
    bool fullscreen = false;  // whole-number scaling on the whole screen
    bool controls = false;    // the keys as a player's instead of "any key ends the show"
};

// False, with the problem, on anything but a valid set of options.
bool parseShowOptions(int argc, char** argv, ShowOptions& options, std::string& problem);

extern const char kShowUsage[];
