// The real show process with the real libmikmod and a real short module: the end with the music,
// start-up failures, and the keyboard under a real X server.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "process.h"

namespace {

const std::vector<std::string> kDummyDrivers = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"};

// A module of the given length made by the project's own composer, as "musa.xm" in `folder`.
void makeModule(const std::string& folder, int seconds) {
    const ProcessResult made =
        runProcess({COMPOSE_BINARY, "--short", std::to_string(seconds), "--out", folder + "/musa.xm"});
    ASSERT_EQ(made.status, 0) << made.output;
}

}  // namespace

// A short module played to its end in real time and in silence, then each start-up failure: its
// message, its status, and no frame loop (it ends at once).
TEST(Show, EndsWithTheMusicOrFailsAtOnceWithItsMessage) {
    const TempFolder folder;
    makeModule(folder.path, 3);
    std::ifstream in(folder.path + "/musa.xm", std::ios::binary);
    const std::string module{std::istreambuf_iterator<char>(in), {}};
    const std::string kLoad = "Could not load module, reason: ";
    const struct {
        const char* what;
        std::optional<std::string> content;  // what "musa.xm" holds; none: no such file
        std::vector<std::string> env, unset;
        int status;
        std::string message;
    } cases[] = {
        {"3 s module played to its end", module, kDummyDrivers, {}, 0, ""},
        // Where it looked: here, beside the program (build/), and where a package installs it.
        {"missing module", std::nullopt, kDummyDrivers, {}, 1,
         kLoad + "no \"musa.xm\" in the current folder, beside the program (" +
             std::string(SHOW_BINARY).substr(0, std::string(SHOW_BINARY).rfind('/') + 1) + ") or in /"},
        {"empty module", "", kDummyDrivers, {}, 1, kLoad},
        {"truncated module", module.substr(0, module.size() / 3), kDummyDrivers, {}, 1, kLoad},
        {"garbage module", std::string(4096, '\x5a'), kDummyDrivers, {}, 1, kLoad},
        {"text module", "Extended Module: not really\n", kDummyDrivers, {}, 1, kLoad},
        {"no video driver", module, {"SDL_VIDEODRIVER=no-such-driver", "SDL_AUDIODRIVER=dummy"}, {}, 1,
         "Couldn't initialize SDL: "},
        // A window far too large for any screen: the video mode cannot be set.
        {"no video mode", module, {"SDL12COMPAT_WINDOW_SCALING=1000", kDummyDrivers[0], kDummyDrivers[1]},
         {}, 1, "video mode"},
        // No sound device and no audio driver chosen: SDL's audio does not open.
        {"no sound device", module, {kDummyDrivers[0]}, {"SDL_AUDIODRIVER"}, 255,
         "Could not initialize sound, reason: "},
    };
    for (const auto& c : cases) {
        unlink((folder.path + "/musa.xm").c_str());
        if (c.content) std::ofstream(folder.path + "/musa.xm", std::ios::binary) << *c.content;
        if (c.status == 255 && access("/dev/snd", F_OK) == 0) continue;  // a real sound card here
        ProcessOptions options{folder.path, c.env, c.unset};
        options.unsetEnv.push_back("DISPLAY");
        const ProcessResult result = runProcess({SHOW_BINARY}, options);
        EXPECT_EQ(result.status, c.status) << c.what << ": " << result.output;
        if (c.status == 0)
            EXPECT_TRUE(result.output.empty() && result.seconds > 2.5 && result.seconds < 15)
                << c.what << ": silent, as long as the music: " << result.seconds << " s, " << result.output;
        else
            EXPECT_TRUE(result.output.find(c.message) != std::string::npos && result.seconds < 5)
                << c.what << ": at once with its message: " << result.seconds << " s, " << result.output;
    }
}

// Started from a folder without "musa.xm", the show plays the one beside the program (a zip
// unpacked anywhere, a build run from elsewhere).
TEST(Show, FindsTheModuleBesideTheProgram) {
    const TempFolder elsewhere, program;
    makeModule(program.path, 3);
    std::filesystem::copy_file(SHOW_BINARY, program.path + "/show");
    const ProcessResult result = runProcess({program.path + "/show"}, {elsewhere.path, kDummyDrivers, {"DISPLAY"}});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_GT(result.seconds, 2.5) << "the 3 s module played";
}

// The options: a stretch of the song played to its end, and each wrong command line refused at
// once with the usage and status 2, before a window opens.
TEST(Show, PlaysAStretchOrRefusesAWrongCommandLine) {
    const TempFolder folder;
    makeModule(folder.path, 6);
    const struct {
        std::vector<std::string> args;
        int status;
        double least, most;  // seconds the run takes
        std::string message;
    } cases[] = {
        {{"--from", "2000", "--to", "4500"}, 0, 2.2, 6, ""},
        {{"--from", "4000"}, 0, 1.7, 6, ""},  // to the end of the 6 s song
        {{"--from", "9000"}, 2, 0, 5, "past the song's end"},
        {{"--bogus"}, 2, 0, 2, "unknown option --bogus"},
        {{"--from"}, 2, 0, 2, "missing milliseconds"},
        {{"--from", "-5"}, 2, 0, 2, "whole milliseconds"},
        {{"--from", "1.5"}, 2, 0, 2, "whole milliseconds"},
        {{"--to", "99999999999"}, 2, 0, 2, "whole milliseconds"},
        {{"--from", "3000", "--to", "3000"}, 2, 0, 2, "--to must come after --from"},
        {{"--from", "1", "--from", "2"}, 2, 0, 2, "given twice"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv = {SHOW_BINARY};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const ProcessResult result = runProcess(argv, {folder.path, kDummyDrivers, {"DISPLAY"}});
        const std::string what = argv.size() > 1 ? argv[1] + (argv.size() > 2 ? " " + argv[2] : "") : "";
        EXPECT_EQ(result.status, c.status) << what << ": " << result.output;
        EXPECT_TRUE(result.seconds >= c.least && result.seconds < c.most) << what << ": " << result.seconds << " s";
        EXPECT_NE(result.output.find(c.message), std::string::npos) << what << ": " << result.output;
        if (c.status == 2) {
            EXPECT_NE(result.output.find("usage: show"), std::string::npos) << what;
        }
    }
}

// Bound to one processor the show mixes its song a step at each pass, a second ahead in a ring of
// two, instead of all of it on a thread: a start far in waits for its song and plays, a start past
// the end is still refused, and a loop back further than the ring keeps mixes the song again from
// its start, round after round, until SIGTERM.
TEST(Show, OnOneProcessorMixesItsSongAsItPlays) {
    const TempFolder folder;
    makeModule(folder.path, 6);
    const auto onOne = [](std::vector<std::string> args) {
        args.insert(args.begin(), {"/usr/bin/taskset", "-c", "0", SHOW_BINARY});
        return args;
    };
    const ProcessOptions options{folder.path, kDummyDrivers, {"DISPLAY"}};
    const ProcessResult stretch = runProcess(onOne({"--from", "4000"}), options);
    EXPECT_EQ(stretch.status, 0) << stretch.output;
    EXPECT_TRUE(stretch.output.empty() && stretch.seconds > 1.7 && stretch.seconds < 6) << stretch.seconds << " s, " << stretch.output;
    const ProcessResult past = runProcess(onOne({"--from", "9000"}), options);
    EXPECT_EQ(past.status, 2) << past.output;
    EXPECT_NE(past.output.find("past the song's end"), std::string::npos) << past.output;
    Process looping = startProcess(onOne({"--from", "2000", "--to", "4500", "--loop"}), options);
    sleep(7);  // the stretch two and a half times
    const ProcessResult stopped = stopProcess(looping, SIGTERM);
    EXPECT_EQ(stopped.status, 143) << "the loop did not play on round after round: " << stopped.output;
}

// Under Xvfb: the show's real window, driven with xdotool, and the close request a window
// manager's close button sends (WM_DELETE_WINDOW), sent with Xlib; then the player's keys.
TEST(ShowWindow, OnlyAKeyPressEndsTheShowAndControlsMakeKeysAPlayers) {
    Background xvfb({"/bin/sh", "-c", "exec Xvfb -displayfd 1 -nolisten tcp -screen 0 1280x1024x24 2>/dev/null"});
    const std::string number = readLine(xvfb, 10);  // the display's, once it listens
    ASSERT_FALSE(number.empty()) << "Xvfb did not start (is the xvfb package installed?)";
    const std::string display = ":" + number;
    const TempFolder folder;
    makeModule(folder.path, 20);
    Background show({SHOW_BINARY}, {folder.path, {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy"}, {}});
    const auto xdotool = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "/usr/bin/xdotool");
        return runProcess(args, {"", {"DISPLAY=" + display}, {}, 10});
    };
    const auto stillRunningAfterASecond = [&] {
        sleep(1);
        return waitpid(show.pid, nullptr, WNOHANG) == 0;
    };
    const ProcessResult found = xdotool({"search", "--sync", "--onlyvisible", "--pid", std::to_string(show.pid)});
    ASSERT_EQ(found.status, 0) << "the show opened no window";
    const std::string window = found.output.substr(0, found.output.find('\n'));
    ASSERT_TRUE(stillRunningAfterASecond());

    Display* x = XOpenDisplay(display.c_str());
    ASSERT_NE(x, nullptr);
    XEvent event{.xclient = {ClientMessage, 0, False, x, std::stoul(window), XInternAtom(x, "WM_PROTOCOLS", False), 32,
                             {.l = {static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False))}}}};
    XSendEvent(x, event.xclient.window, False, NoEventMask, &event);
    XCloseDisplay(x);
    EXPECT_TRUE(stillRunningAfterASecond()) << "a close request ended the show";
    ASSERT_EQ(xdotool({"windowfocus", "--sync", window}).status, 0);
    ASSERT_EQ(xdotool({"keyup", "space"}).status, 0);
    EXPECT_TRUE(stillRunningAfterASecond()) << "a key release ended the show";
    ASSERT_EQ(xdotool({"mousemove", "--window", window, "100", "100", "mousemove", "--window", window, "300", "200"}).status, 0);
    EXPECT_TRUE(stillRunningAfterASecond()) << "mouse motion ended the show";

    ASSERT_EQ(xdotool({"key", "space"}).status, 0);
    const ProcessResult result = waitProcess(show, 10);
    EXPECT_FALSE(result.timedOut) << "the key press did not end the show";
    EXPECT_EQ(result.status, 0) << result.output;

    // With --controls the keys are a player's, and the title tells where it stands: m:ss.s and the
    // scene. The real song, from inside the plasma.
    Background player({SHOW_BINARY, "--controls", "--from", "64000"},
                      {SHOW_ASSETS, {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy"}, {}});
    const ProcessResult shown = xdotool({"search", "--sync", "--onlyvisible", "--pid", std::to_string(player.pid)});
    ASSERT_EQ(shown.status, 0) << "the player opened no window";
    const std::string playerWindow = shown.output.substr(0, shown.output.find('\n'));
    ASSERT_EQ(xdotool({"windowfocus", "--sync", playerWindow}).status, 0);
    // Each key, then the title a moment later: its time in tenths of a second and the rest.
    const auto press = [&](const std::string& key) {
        if (!key.empty()) {
            EXPECT_EQ(xdotool({"key", key}).status, 0) << key;
        }
        usleep(400000);
        const std::string title = xdotool({"getwindowname", playerWindow}).output;
        int minutes = 0, seconds = 0, tenths = 0, used = 0;
        sscanf(title.c_str(), "%d:%d.%d %n", &minutes, &seconds, &tenths, &used);
        return std::pair{(minutes * 60 + seconds) * 10 + tenths, title.substr(used, title.find('\n') - used)};
    };
    const auto [started, scene] = press("");
    EXPECT_TRUE(started >= 640 && started < 700 && scene == "the plasma") << started << " " << scene;
    press("x");
    EXPECT_EQ(waitpid(player.pid, nullptr, WNOHANG), 0) << "a key of no meaning to the player ended the show";
    const auto [paused, pausedScene] = press("space");
    EXPECT_EQ(pausedScene.find("(paused)") == std::string::npos, false) << pausedScene;
    sleep(1);
    EXPECT_EQ(press("").first, paused) << "the picture moved while paused";
    EXPECT_EQ(press("Right").first, paused + 50) << "Right: five seconds on";
    EXPECT_EQ(press("Next"), std::pair(853, std::string("the first portrait (paused)"))) << "Page Down: the next scene";
    EXPECT_EQ(press("Prior"), std::pair(683, std::string("the radial blur (paused)"))) << "Page Up: the scene before";
    EXPECT_EQ(press("Left").first, 633) << "Left: five seconds back";
    const auto [resumed, playing] = press("space");
    EXPECT_EQ(playing, "the plasma") << "Space again resumes";
    EXPECT_GT(press("").first, resumed) << "the show did not go on after the resume";
    ASSERT_EQ(xdotool({"key", "q"}).status, 0);
    const ProcessResult ended = waitProcess(player, 10);
    EXPECT_FALSE(ended.timedOut) << "Q did not end the player";
    EXPECT_EQ(ended.status, 0) << ended.output;
}
