// The real show process with the real libmikmod and a real short module: the end with the music,
// start-up failures, and the keyboard under a real X server.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <sys/wait.h>
#include <unistd.h>

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
        {"missing module", std::nullopt, kDummyDrivers, {}, 1, kLoad},
        {"empty module", "", kDummyDrivers, {}, 1, kLoad},
        {"truncated module", module.substr(0, module.size() / 3), kDummyDrivers, {}, 1, kLoad},
        {"garbage module", std::string(4096, '\x5a'), kDummyDrivers, {}, 1, kLoad},
        {"text module", "Extended Module: not really\n", kDummyDrivers, {}, 1, kLoad},
        {"no video driver", module, {"SDL_VIDEODRIVER=no-such-driver", "SDL_AUDIODRIVER=dummy"}, {}, 1,
         "Couldn't initialize SDL: "},
        // A window far too large for any screen: the video mode cannot be set.
        {"no video mode", module, {"SDL12COMPAT_WINDOW_SCALING=1000", kDummyDrivers[0], kDummyDrivers[1]},
         {}, 1, "video mode"},
        // No sound device and no audio driver chosen: neither the show's driver nor MikMod's own open.
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

// Under Xvfb: the show's real window, driven with xdotool, and the close request a window
// manager's close button sends (WM_DELETE_WINDOW), sent with Xlib.
TEST(ShowWindow, OnlyAKeyPressEndsTheShow) {
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
}
