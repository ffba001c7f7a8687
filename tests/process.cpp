// process.cpp: fork and exec with a pipe for the output and a polling watchdog.
#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

double monotonicSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

Process startProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);  // a grandchild holding the pipe must not block us
    Process process;
    process.started = monotonicSeconds();
    process.pid = fork();
    if (process.pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        dup2(pipeFds[1], STDERR_FILENO);
        setpgid(0, 0);  // its own group, so the watchdog can end it with its children
        if (!options.folder.empty() && chdir(options.folder.c_str()) != 0) _exit(126);
        for (const std::string& name : options.unsetEnv) unsetenv(name.c_str());
        for (const std::string& entry : options.setEnv) putenv(strdup(entry.c_str()));
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    process.outputFd = pipeFds[0];
    return process;
}

ProcessResult waitProcess(Process& process, double timeoutSeconds) {
    ProcessResult result;
    const double deadline = monotonicSeconds() + timeoutSeconds;  // counted from the wait, not the start
    int waitStatus = 0;
    const auto readOutput = [&] {  // at most a buffer, so a chatty program cannot hold off the watchdog
        char buffer[4096];
        const ssize_t got = read(process.outputFd, buffer, sizeof buffer);
        if (got > 0) result.output.append(buffer, size_t(got));
        return got > 0;
    };
    while (waitpid(process.pid, &waitStatus, WNOHANG) != process.pid) {
        if (monotonicSeconds() > deadline) {
            result.timedOut = true;
            kill(-process.pid, SIGKILL);
            waitpid(process.pid, &waitStatus, 0);
            break;
        }
        pollfd poller{process.outputFd, POLLIN, 0};
        if (poll(&poller, 1, 20) > 0) readOutput();
    }
    result.seconds = monotonicSeconds() - process.started;
    while (readOutput()) {}
    close(process.outputFd);
    process.outputFd = -1;
    if (!result.timedOut && WIFEXITED(waitStatus)) result.status = WEXITSTATUS(waitStatus);
    return result;
}

ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    Process process = startProcess(argv, options);
    return waitProcess(process, options.timeoutSeconds);
}

std::string makeTempFolder() {
    std::string pattern = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/show-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

TempFolder::~TempFolder() { std::filesystem::remove_all(path); }

ProcessResult stopProcess(Process& process, int signal, double timeoutSeconds) {
    if (process.outputFd < 0) return {};
    kill(process.pid, signal);
    return waitProcess(process, timeoutSeconds);
}

std::string readLine(Process& process, double timeoutSeconds) {
    std::string line;
    char c = 0;
    pollfd poller{process.outputFd, POLLIN, 0};
    while (c != '\n' && poll(&poller, 1, int(timeoutSeconds * 1000)) > 0 && read(process.outputFd, &c, 1) == 1)
        if (c != '\n') line += c;
    return line;
}
