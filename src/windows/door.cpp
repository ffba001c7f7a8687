// door.cpp: the desktop door's hooks on Windows: the console and the message box, the display's
// scaling, Ctrl+C, and the program's folder and its files, in Windows' wide characters.
#include <windows.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "desktop/platform.h"

// Whether standard error reaches anyone: a console, a file or a pipe.
static bool gHeard = false;

// show.exe is a GUI program, so Explorer opens no console window for it. Started from a command
// prompt it writes into the prompt's console; started with its standard error redirected (a file,
// a pipe, Wine from a shell) it keeps that.
void prepareDoor() {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error != nullptr && error != INVALID_HANDLE_VALUE) {
        gHeard = true;
    } else if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        gHeard = freopen("CONOUT$", "w", stderr) != nullptr;
        freopen("CONOUT$", "w", stdout);
    }
    // Without it Windows draws the window at 96 dots an inch and stretches it, blurred, to a
    // scaled screen's; aware of each monitor's scale, SDL 2's window is in the screen's own pixels,
    // so the whole-number scaling stays crisp. The user's environment may choose otherwise.
    setDefaultEnvironment("SDL_WINDOWS_DPI_AWARENESS", "permonitorv2");
}

// Both the C runtime's environment, which the door reads, and the process's, which SDL 2 reads.
void setDefaultEnvironment(const char* name, const char* value) {
    if (getenv(name) != nullptr) return;
    _putenv_s(name, value);
    SetEnvironmentVariableA(name, value);
}

static void (*gStop)(int) = nullptr;

// Called on a thread of its own; the loop sees the note at its next frame and shuts down in order.
// Closing the console window leaves a few seconds before Windows ends the process.
static BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT: gStop(SIGINT); return TRUE;
        case CTRL_CLOSE_EVENT: gStop(SIGTERM); Sleep(3000); return TRUE;
        default: return FALSE;
    }
}

void catchStopRequests(void (*stop)(int)) {
    gStop = stop;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

static std::wstring wide(const std::string& text) {
    std::wstring result(MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, result.data(), int(result.size()));
    result.resize(result.size() - 1);
    return result;
}

void reportFailure(const std::string& message) {
    fputs(message.c_str(), stderr);
    fflush(stderr);
    if (!gHeard) MessageBoxW(nullptr, wide(message).c_str(), L"Nocturne", MB_OK | MB_ICONERROR);
}

static std::string narrow(const std::wstring& text) {
    std::string result(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, result.data(), int(result.size()), nullptr, nullptr);
    result.resize(result.size() - 1);
    return result;
}

// Explorer and shortcuts start a program in whatever folder they like, so the song is looked for
// beside it too.
std::string programFolder() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (length == 0 || length >= path.size()) return "";
    path.resize(length);
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? "" : narrow(path.substr(0, slash + 1));
}

bool fileExists(const std::string& path) { return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// The C library opens names in the system's code page only: the folder becomes the current one,
// so libmikmod opens the file there by its plain name whatever characters the folder's path holds.
std::string openableIn(const std::string& folder, const char* name) {
    if (!folder.empty()) SetCurrentDirectoryW(wide(folder).c_str());
    return name;
}

// The SDL 1.2 layer (sdl12.cpp) keeps SDL 2's renderer to whole-number scales itself, from the
// window's start and through every switch to and from the full screen.
void keepWholeScale() {}
