// platform.h: what the desktop door asks of the system it runs on, so that main.cpp reads the same
// everywhere. Linux's answers are in posix.cpp, Windows' in src/windows/door.cpp.
#pragma once
#include <string>

// Before anything else: the system's own preparations (on Windows, the parent's console for the
// messages and the display's scaling), then SDL's settings that the user's environment has not
// set already.
void prepareDoor();
void setDefaultEnvironment(const char* name, const char* value);

// Ctrl+C (and SIGTERM where there is one) calls `stop` with the signal's number, from wherever
// the system calls it: `stop` may only note the number.
void catchStopRequests(void (*stop)(int));

// A failure the viewer must see: on standard error, and where nobody reads that (a program
// started from a desktop), also in a window.
void reportFailure(const std::string& message);

// For the song's search (moduleSearch.cpp): the folder of the running program's file, ending in
// its separator (empty when the system cannot say); whether a file is there; and the name by which
// libmikmod opens `name` in `folder` ("" the current folder). Paths are UTF-8.
std::string programFolder();
bool fileExists(const std::string& path);
std::string openableIn(const std::string& folder, const char* name);

// After each change of video mode: every show pixel a square of whole screen pixels.
void keepWholeScale();
