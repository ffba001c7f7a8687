// capture.cpp: the show as a video file with its music, drawn offline frame by frame by the core
// and mixed by libmikmod in lock-step, encoded by the ffmpeg program through pipes.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "2d/frame.h"
#include "captureSettings.h"
#include "chapters.h"
#include "ffmpegPipe.h"
#include "song/song.h"
#include "demo/demo.h"

namespace {

constexpr int kInterruptedStatus = 130;  // as a shell reports a Ctrl+C
constexpr double kProgressEvery = 0.25;  // seconds between updates of the progress line

volatile sig_atomic_t stopSignal = 0;

void onSignal(int signal) { stopSignal = signal; }

// No SA_RESTART: a write blocked on ffmpeg returns at once with EINTR.
void catchStopSignals() {
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// A file beside the one asked for, renamed over it only once it is complete.
struct PendingFile {
    std::string final, temp;
};

bool makeTemp(const std::string& final, PendingFile& file, std::string& error) {
    namespace fs = std::filesystem;
    const fs::path path(final);
    if (fs::is_directory(path)) return error = final + " is a folder", false;
    const std::string hidden = std::string(".").append(path.filename().string()).append("-XXXXXX.part");
    std::string pattern = (path.parent_path() / hidden).string();
    const int fd = mkstemps(pattern.data(), 5);
    if (fd < 0) {
        error = "cannot write " + final;
        error.append(": ").append(strerror(errno));
        return false;
    }
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);  // the mode a new file would get, not mkstemp's private 0600
    close(fd);
    file = {final, pattern};
    return true;
}

void showProgress(int done, int total, double started) {
    const double elapsed = now() - started;
    const double rate = elapsed > 0 ? done / elapsed : 0;
    const int left = rate > 0 ? int((total - done) / rate) : 0;
    fprintf(stderr, "\rcapture: frame %d of %d, %.0f fps, %d:%02d left  ", done, total, rate, left / 60,
            left % 60);
    fflush(stderr);
}

int fail(const std::vector<PendingFile>& files, const std::string& message, int status) {
    for (const PendingFile& file : files) unlink(file.temp.c_str());
    fprintf(stderr, "%scapture: %s\n", isatty(STDERR_FILENO) ? "\r\033[K" : "", message.c_str());
    return status;
}

// Draws frames 0 to end - 1 in order on one buffer from black, as the show's screen, and sends
// first to end - 1. The frames before an excerpt are drawn too: the radial blur builds on them.
// False if ffmpeg has gone or a signal came.
bool sendFrames(FfmpegRun& run, int first, int end, int fps, double started) {
    initDemo();
    std::vector<uint32_t> frame(kPixels, 0);
    const bool terminal = isatty(STDERR_FILENO);
    double shown = 0;
    for (int n = 0; n < end && !stopSignal; ++n) {
        doDemoAt(frame.data(), frameTime(n, fps));
        if (n < first) continue;
        if (!writeVideo(run, frame.data(), frame.size() * sizeof(uint32_t))) return false;
        if (terminal && now() - shown > kProgressEvery) {
            shown = now();
            showProgress(n + 1 - first, end - first, started);
        }
    }
    return !stopSignal;
}

}  // namespace

int main(int argc, char** argv) {
    CaptureSettings settings;
    std::string problem;
    if (!parseCaptureArgs(argc, argv, settings, problem)) {
        fprintf(stderr, "capture: %s\n%s", problem.c_str(), kCaptureUsage);
        return 2;
    }
    const double started = now();
    SongMix mix;
    if (!mixSong(settings.module, kMixRate / settings.fps, mix, problem)) return fail({}, problem, 1);
    const int first = firstFrameFrom(settings.from, settings.fps);
    const int end = std::min(mix.frames, firstFrameFrom(settings.to, settings.fps));
    if (first >= end)
        return fail({}, "no frame to capture: the show ends at " +
                            std::to_string(frameTime(mix.frames, settings.fps)) + " ms", 2);
    const std::vector<int16_t> song(mix.samples.begin() + ptrdiff_t(first) * 2 * mix.samplesPerFrame,
                                    mix.samples.begin() + ptrdiff_t(end) * 2 * mix.samplesPerFrame);

    catchStopSignals();  // before the first temporary file, so that a Ctrl+C removes it
    std::vector<PendingFile> files;
    PendingFile video, audio;
    for (const std::string* name : {&settings.out, &settings.audio}) {
        if (name->empty()) continue;
        PendingFile file;
        if (!makeTemp(*name, file, problem)) return fail(files, problem, 1);
        files.push_back(file);
        (name == &settings.out ? video : audio) = file;
    }

    const bool drawing = !settings.out.empty();
    const bool sound = !settings.audio.empty() || (drawing && settings.kind != VideoKind::gif);
    FfmpegRun run;
    const bool chaptered = drawing && settings.kind != VideoKind::gif;  // a GIF has no chapters
    const std::string chapters = chaptered ? chapterMetadata(first, end, settings.fps) : "";
    if (!startFfmpeg(ffmpegArgs(settings, video.temp, audio.temp), drawing, sound ? &song : nullptr,
                     chaptered ? &chapters : nullptr, run, problem))
        return fail(files, problem, 1);
    const bool written = !drawing || sendFrames(run, first, end, settings.fps, started);
    const int status = finishFfmpeg(run, stopSignal != 0 || !written, &stopSignal);
    if (stopSignal) return fail(files, "interrupted; nothing written", kInterruptedStatus);
    if (status != 0 || !written)
        return fail(files, "ffmpeg failed (status " + std::to_string(status) + "); nothing written", 1);
    for (const PendingFile& file : files)
        if (rename(file.temp.c_str(), file.final.c_str()) != 0)
            return fail(files, "cannot write " + file.final + ": " + strerror(errno), 1);
    if (isatty(STDERR_FILENO))
        fprintf(stderr, "\r\033[Kcapture: %d frames (%.1f s of show) in %.0f s\n", end - first,
                double(end - first) / settings.fps, now() - started);
    return 0;
}
