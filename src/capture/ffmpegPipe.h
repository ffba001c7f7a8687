// ffmpegPipe.h: the ffmpeg program run as a child, fed raw frames on its standard input, the
// mixed song on a second pipe (its "pipe:3") from a thread of its own, and the chapters on a third.
#pragma once
#include <sys/types.h>

#include <csignal>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

struct FfmpegRun {
    pid_t pid = -1;
    int videoFd = -1;          // our end of ffmpeg's standard input; -1 without video
    std::thread audioWriter;   // writes the song to ffmpeg's fd 3, then closes it
};

// Starts `ffmpeg args...` found on PATH, in a process group of its own (a Ctrl+C on the terminal
// reaches only us, and we end ffmpeg ourselves). With video, its stdin is a pipe for frames; with
// audio, its fd 3 is a pipe that a thread fills with `audio` (which must outlive the run); with
// metadata, its fd 4 ("pipe:4") is a pipe that holds it, whole, from the start. False, with a
// message, if ffmpeg cannot be started.
bool startFfmpeg(const std::vector<std::string>& args, bool video, const std::vector<int16_t>* audio,
                 const std::string* metadata, FfmpegRun& run, std::string& error);

// Writes all bytes to ffmpeg's stdin. False if ffmpeg has gone or a signal interrupted the write.
bool writeVideo(FfmpegRun& run, const void* bytes, size_t count);

// Closes the pipes, waits for the audio thread and ffmpeg; kills ffmpeg first when `abandon`, or
// as soon as *stop turns non-zero while waiting. Returns ffmpeg's exit status, or 128 + the signal
// that ended it.
int finishFfmpeg(FfmpegRun& run, bool abandon, const volatile sig_atomic_t* stop);
