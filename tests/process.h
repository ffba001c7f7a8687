// process.h: runs the project's real programs from the tests, with a watchdog so nothing hangs.
#pragma once
#include <signal.h>  // pid_t and the signals

#include <string>
#include <vector>

struct ProcessResult {
    int status = -1;        // exit status, or -1 if killed by a signal or the watchdog
    bool timedOut = false;
    double seconds = 0;     // wall time from start to exit
    std::string output;     // standard error and standard output, interleaved
};

struct ProcessOptions {
    std::string folder;                  // working folder; empty: the test's own
    std::vector<std::string> setEnv;     // "NAME=value" added to (or replacing in) the environment
    std::vector<std::string> unsetEnv;   // names removed from the environment
    double timeoutSeconds = 30;
};

// A program started in the background; its output is collected when it is waited for.
struct Process {
    pid_t pid = -1;
    int outputFd = -1;
    double started = 0;
};

Process startProcess(const std::vector<std::string>& argv, const ProcessOptions& options);
// Waits at most timeoutSeconds from now, then kills the program and its children.
ProcessResult waitProcess(Process& process, double timeoutSeconds);
ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});
// Sends `signal` to a program not yet waited for, then waits for it as waitProcess does.
ProcessResult stopProcess(Process& process, int signal = SIGTERM, double timeoutSeconds = 5);
// One line of a program's output, without its newline, given timeoutSeconds for each character.
std::string readLine(Process& process, double timeoutSeconds);

// A server or helper for the length of a scope: stopped at its end unless already waited for.
struct Background : Process {
    explicit Background(const std::vector<std::string>& argv, const ProcessOptions& options = {})
        : Process(startProcess(argv, options)) {}
    Background(const Background&) = delete;
    ~Background() { stopProcess(*this); }
};

// CLOCK_MONOTONIC in seconds, the clock of Process::started and ProcessResult::seconds.
double monotonicSeconds();

// A fresh empty folder under the system's temporary folder.
std::string makeTempFolder();
// One for the length of a scope, removed with its content at its end.
struct TempFolder {
    ~TempFolder();
    std::string path = makeTempFolder();
};
