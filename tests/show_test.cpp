// The real show process with the real libmikmod and a real short module: start-up failures,
// the end with the music, and the keyboard under a real X server.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "process.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kDummyDrivers = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"};

// A folder holding a module of the given length made by the project's own composer, as "musa.xm".
std::string folderWithModule(int seconds) {
    const std::string folder = makeTempFolder();
    const ProcessResult made = runProcess({COMPOSE_BINARY, "--short", std::to_string(seconds),
                                           "--out", folder + "/musa.xm"});
    EXPECT_EQ(made.status, 0) << made.output;
    return folder;
}

ProcessResult runShow(const std::string& folder, std::vector<std::string> env,
                      std::vector<std::string> unset = {}) {
    ProcessOptions options;
    options.folder = folder;
    options.setEnv = std::move(env);
    options.unsetEnv = std::move(unset);
    options.unsetEnv.push_back("DISPLAY");
    return runProcess({SHOW_BINARY}, options);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(Show, PlaysUntilTheMusicEndsThenExitsCleanly) {
    const std::string folder = folderWithModule(3);
    const ProcessResult result = runShow(folder, kDummyDrivers);
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_GT(result.seconds, 2.5) << "the music plays in real time";
    EXPECT_LT(result.seconds, 15.0) << "the show ends with the music";
    EXPECT_EQ(result.output, "") << "nothing is reported while the show runs";
    fs::remove_all(folder);
}

// Each start-up failure: its message, its status, and no frame loop (it ends at once).
TEST(Show, StartUpFailuresGiveTheirMessagesAndStatuses) {
    const std::string folder = folderWithModule(3);
    const std::string module = readFile(folder + "/musa.xm");
    const std::string kLoad = "Could not load module, reason: ";
    const struct {
        const char* what;
        std::optional<std::string> content;  // what "musa.xm" holds; none: no such file
        std::vector<std::string> env, unset;
        int status;
        std::string message;
    } cases[] = {
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
        if (c.content)
            std::ofstream(folder + "/musa.xm", std::ios::binary | std::ios::trunc) << *c.content;
        else
            fs::remove(folder + "/musa.xm");
        if (c.status == 255 && access("/dev/snd", F_OK) == 0) continue;  // a real sound card here
        const ProcessResult result = runShow(folder, c.env, c.unset);
        EXPECT_EQ(result.status, c.status) << c.what << ": " << result.output;
        EXPECT_NE(result.output.find(c.message), std::string::npos) << c.what << ": " << result.output;
        EXPECT_LT(result.seconds, 5.0) << c.what << ": it must end at once";
    }
    fs::remove_all(folder);
}

// Under Xvfb: the show's real window, driven with xdotool and a close request sent with Xlib.
class ShowWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        server_ = fork();
        if (server_ == 0) {
            close(fds[0]);
            execlp("Xvfb", "Xvfb", "-displayfd", std::to_string(fds[1]).c_str(), "-nolisten", "tcp",
                   "-screen", "0", "1280x1024x24", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // Xvfb writes the number and the newline apart, and dies if the pipe closes in between.
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start (is the xvfb package installed?)";
        display_ = ":" + number;
    }
    static void TearDownTestSuite() {
        if (server_ > 0) kill(server_, SIGTERM);
        waitpid(server_, nullptr, 0);
    }

    void SetUp() override {
        folder_ = folderWithModule(20);
        ProcessOptions options;
        options.folder = folder_;
        options.setEnv = {"DISPLAY=" + display_, "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy"};
        show_ = startProcess({SHOW_BINARY}, options);
        window_ = findWindow();
        ASSERT_FALSE(window_.empty()) << "the show opened no window";
    }
    void TearDown() override {
        if (show_.outputFd >= 0) {
            kill(show_.pid, SIGKILL);
            waitProcess(show_, 5);
        }
        fs::remove_all(folder_);
    }

    ProcessResult xdotool(std::vector<std::string> args) {
        args.insert(args.begin(), "/usr/bin/xdotool");
        ProcessOptions options;
        options.setEnv = {"DISPLAY=" + display_};
        options.timeoutSeconds = 10;
        return runProcess(args, options);
    }

    std::string findWindow() {
        const ProcessResult found =
            xdotool({"search", "--sync", "--onlyvisible", "--pid", std::to_string(show_.pid)});
        const std::string id = found.output.substr(0, found.output.find('\n'));
        return found.status == 0 ? id : "";
    }

    // What a window manager's close button does: a WM_DELETE_WINDOW client message.
    void requestClose() {
        Display* display = XOpenDisplay(display_.c_str());
        ASSERT_NE(display, nullptr);
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = std::stoul(window_);
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
        XCloseDisplay(display);
    }

    bool stillRunningAfter(double seconds) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        return waitpid(show_.pid, nullptr, WNOHANG) == 0;
    }

    static inline pid_t server_ = -1;
    static inline std::string display_;
    std::string folder_;
    std::string window_;
    Process show_;
};

TEST_F(ShowWindow, AKeyPressEndsTheShow) {
    ASSERT_TRUE(stillRunningAfter(1.0));
    ASSERT_EQ(xdotool({"windowfocus", "--sync", window_}).status, 0);
    ASSERT_EQ(xdotool({"key", "space"}).status, 0);
    const ProcessResult result = waitProcess(show_, 10);
    EXPECT_FALSE(result.timedOut) << "the key press did not end the show";
    EXPECT_EQ(result.status, 0) << result.output;
}

TEST_F(ShowWindow, CloseRequestsKeyReleasesAndMouseMotionDoNot) {
    ASSERT_TRUE(stillRunningAfter(1.0));
    requestClose();
    EXPECT_TRUE(stillRunningAfter(1.0)) << "a close request ended the show";
    ASSERT_EQ(xdotool({"windowfocus", "--sync", window_}).status, 0);
    ASSERT_EQ(xdotool({"keyup", "space"}).status, 0);
    EXPECT_TRUE(stillRunningAfter(1.0)) << "a key release ended the show";
    ASSERT_EQ(xdotool({"mousemove", "--window", window_, "100", "100", "mousemove", "--window",
                       window_, "300", "200"}).status, 0);
    EXPECT_TRUE(stillRunningAfter(1.0)) << "mouse motion ended the show";
    // Still alive and listening: a key press ends it.
    ASSERT_EQ(xdotool({"key", "q"}).status, 0);
    const ProcessResult result = waitProcess(show_, 10);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.status, 0) << result.output;
}
