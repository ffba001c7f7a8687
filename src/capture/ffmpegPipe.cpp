// ffmpegPipe.cpp: spawning ffmpeg with its pipes, the audio writer thread, and the wait.
#include "ffmpegPipe.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace {

constexpr int kAudioFd = 3;     // ffmpeg reads the song from "pipe:3"
constexpr int kMetadataFd = 4;  // and the chapters from "pipe:4"

bool writeAll(int fd, const uint8_t* bytes, size_t count) {
    while (count > 0) {
        const ssize_t done = write(fd, bytes, count);
        if (done < 0) return false;  // EPIPE when ffmpeg has gone, EINTR on a signal: both end the run
        bytes += done;
        count -= size_t(done);
    }
    return true;
}

void closeFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

bool startFfmpeg(const std::vector<std::string>& args, bool video, const std::vector<int16_t>* audio,
                 const std::string* metadata, FfmpegRun& run, std::string& error) {
    signal(SIGPIPE, SIG_IGN);  // a write to a dead ffmpeg fails with EPIPE instead of killing us
    int videoPipe[2] = {-1, -1}, audioPipe[2] = {-1, -1}, metadataPipe[2] = {-1, -1};
    if ((video && pipe2(videoPipe, O_CLOEXEC) != 0) || (audio && pipe2(audioPipe, O_CLOEXEC) != 0) ||
        (metadata && pipe2(metadataPipe, O_CLOEXEC) != 0)) {
        error = std::string("cannot make a pipe: ") + strerror(errno);
        return false;
    }
    // A few hundred bytes, well within what a pipe holds: written and closed before ffmpeg starts.
    if (metadata) {
        writeAll(metadataPipe[1], reinterpret_cast<const uint8_t*>(metadata->data()), metadata->size());
        closeFd(metadataPipe[1]);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (video) posix_spawn_file_actions_adddup2(&actions, videoPipe[0], STDIN_FILENO);
    else posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (audio) posix_spawn_file_actions_adddup2(&actions, audioPipe[0], kAudioFd);
    if (metadata) posix_spawn_file_actions_adddup2(&actions, metadataPipe[0], kMetadataFd);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv{const_cast<char*>("ffmpeg")};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const int failed = posix_spawnp(&run.pid, "ffmpeg", &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    closeFd(videoPipe[0]);
    closeFd(audioPipe[0]);
    closeFd(metadataPipe[0]);
    if (failed != 0) {
        closeFd(videoPipe[1]);
        closeFd(audioPipe[1]);
        run.pid = -1;
        error = failed == ENOENT ? "ffmpeg not found on PATH (Debian's package \"ffmpeg\"; scripts/setup.sh installs it)"
                                 : std::string("cannot start ffmpeg: ") + strerror(failed);
        return false;
    }
    run.videoFd = videoPipe[1];
    if (audio) {
        // The writer must not take our Ctrl+C: block the signals in it, so they reach the main thread.
        sigset_t all, previous;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &previous);
        const int fd = audioPipe[1];
        run.audioWriter = std::thread([fd, audio] {
            writeAll(fd, reinterpret_cast<const uint8_t*>(audio->data()), audio->size() * sizeof(int16_t));
            close(fd);
        });
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    return true;
}

bool writeVideo(FfmpegRun& run, const void* bytes, size_t count) {
    return writeAll(run.videoFd, static_cast<const uint8_t*>(bytes), count);
}

int finishFfmpeg(FfmpegRun& run, bool abandon, const volatile sig_atomic_t* stop) {
    if (abandon && run.pid > 0) kill(run.pid, SIGKILL);  // also unblocks the audio writer (EPIPE)
    closeFd(run.videoFd);
    int status = 0;
    while (waitpid(run.pid, &status, 0) < 0 && errno == EINTR)
        if (*stop) kill(run.pid, SIGKILL);  // a Ctrl+C while ffmpeg finishes the file
    if (run.audioWriter.joinable()) run.audioWriter.join();  // ffmpeg has gone: the writer is done
    run.pid = -1;
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}
