// main.cpp: the show in a desktop window: the options, the window, the song through SDL's audio,
// the paced frame loop with its keys, and the order of shutdown.
#include <SDL.h>
#include <signal.h>  // sig_atomic_t

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "clock.h"
#include "demo/demo.h"
#include "display.h"
#include "mixing.h"
#include "moduleSearch.h"
#include "options.h"
#include "pacing.h"
#include "platform.h"
#include "sound.h"
#include "song/player.h"
#include "song/song.h"

constexpr int kSignalStatusBase = 128;        // a shell's status for a program ended by signal n: 128 + n
constexpr int64_t kMixedLead = kMixRate / 2;  // song mixed past a new position before it plays from there
constexpr int32_t kSkip = 5000;               // the arrow keys' step, milliseconds
constexpr int32_t kBackToStart = 1000;        // Page Up further into a scene than this goes to its start
constexpr uint32_t kWaitSlice = 90;           // ms of mixing between the waiting picture's flips

static volatile sig_atomic_t gStopSignal = 0;

static void stopOnSignal(int number) { gStopSignal = number; }

// A message as printf writes it, for reportFailure.
template <typename... Values>
static std::string say(const char* format, Values... values) {
    char text[2048];
    snprintf(text, sizeof text, format, values...);
    return text;
}

// What the loop plays and shows.
struct Playback {
    SongPlayer player;
    int32_t shown = 0;        // the show time of the frame on screen
    bool paused = false;
    bool redraw = false;      // the frame for `shown` is to be drawn from scratch (after a move)
    uint32_t playedAt = 0;    // ticks when the player had handed all it will; 0 before
    int32_t stopsAt = -1;     // pausing: the show time the sound stops at, which the picture runs on to
    uint32_t stopping = 0;    // ticks when the pause was asked for
    int32_t movingTo = -1;    // a move waiting for its song to be mixed (one processor), or -1
    bool movePaused = false;  // and whether it lands paused
    bool dimmed = false;      // the waiting picture has dimmed the frame it holds
    bool quit = false;
};

// The song's last show time, once its end is mixed (the mixer thread gets there within a second).
static int32_t lastTime() {
    const int64_t length = songLength();
    return length < 0 ? INT32_MAX : static_cast<int32_t>(showTimeAt(length)) - 1;
}

// Plays (or holds, when paused) from show time t once the song from there is mixed: the song from
// there, the clock from there, and the exact frame for t, drawn now (`drawn`) or next.
static void land(Playback& play, int32_t t, bool paused, bool drawn) {
    lockSound();
    play.player.paused = paused;
    seekSong(play.player, songFrameAt(t));
    const uint32_t moves = play.player.moves;
    unlockSound();
    startClock(t, moves);
    play.shown = t;
    play.paused = paused;
    play.redraw = !drawn;
    play.playedAt = 0;
    play.movingTo = -1;
}

// Moves to show time t: at once where the song is mixed ahead (the desktop), else (one processor)
// silent at t while the loop mixes the song up to it, a stretch at each pass, with the waiting
// picture on screen.
static void moveTo(Playback& play, int32_t t, bool paused) {
    play.stopsAt = -1;
    t = std::clamp(t, 0, lastTime());
    if (!mixingInSteps()) {
        mixSongUntil(songFrameAt(t) + kMixedLead);
        land(play, std::min(t, lastTime()), paused, false);
        return;
    }
    lockSound();
    play.player.paused = true;
    seekSong(play.player, songFrameAt(t));
    unlockSound();
    play.movingTo = t;
    play.movePaused = paused;
    play.dimmed = false;
}

// The device still holds what it was handed, a tenth of a second: the player stops handing
// the song at once, and the picture runs on with the clock to where the sound stops, so both stop
// at the same moment and a resume goes on from there, without a sample played twice.
static void pause(Playback& play) {
    lockSound();
    play.player.paused = true;
    const int64_t stopsAt = play.player.position;
    unlockSound();
    stopClockAt(stopsAt);
    play.stopsAt = static_cast<int32_t>(showTimeAt(stopsAt));
    play.stopping = SDL_GetTicks();
}

// Once the picture has reached where the sound stopped (or the device has had time to play it
// all), the pause holds.
static void holdWhenStopped(Playback& play) {
    const StreamFormat format = streamFormat();
    const uint32_t playedOut = uint32_t(2 * format.bufferFrames * 1000 / format.rate) + 50;
    if (play.stopsAt < 0 || (play.shown < play.stopsAt && SDL_GetTicks() - play.stopping < playedOut)) return;
    play.paused = true;
}

// Goes on from where the sound stopped; the picture, already there, is not drawn again.
static void resume(Playback& play) {
    const int32_t from = play.stopsAt >= 0 ? play.stopsAt : play.shown;
    lockSound();
    if (play.stopsAt < 0) seekSong(play.player, songFrameAt(from));  // a seek or a step while paused
    play.player.paused = false;
    play.player.moves.fetch_add(1);
    const uint32_t moves = play.player.moves;
    unlockSound();
    startClock(from, moves);
    play.paused = false;
    play.stopsAt = -1;
}

// The start of the scene before (or of this one, well into it) and of the next.
static int32_t sceneStart(int32_t t, int direction) {
    const int at = showWindowAt(t);
    if (direction > 0) return at + 1 < kShowWindowCount ? kShowWindows[at + 1].start : t;
    if (t - kShowWindows[at].start > kBackToStart || at == 0) return kShowWindows[at].start;
    return kShowWindows[at - 1].start;
}

static void pressKey(Playback& play, SDL_Surface* screen, SDLKey key, const ShowOptions& options) {
    // A move still waiting for its song stands for where the player is.
    const bool waiting = play.movingTo >= 0;
    const int32_t at = waiting ? play.movingTo : play.shown;
    const bool held = waiting ? play.movePaused : play.paused || play.stopsAt >= 0;  // a move while pausing lands paused too
    switch (key) {
        case SDLK_SPACE:
            if (waiting) play.movePaused = !play.movePaused;
            else if (held) resume(play);
            else pause(play);
            break;
        case SDLK_LEFT: moveTo(play, at - kSkip, held); break;
        case SDLK_RIGHT: moveTo(play, at + kSkip, held); break;
        case SDLK_PAGEUP: moveTo(play, sceneStart(at, -1), held); break;
        case SDLK_PAGEDOWN: moveTo(play, sceneStart(at, 1), held); break;
        case SDLK_HOME: moveTo(play, options.from, held); break;
        case SDLK_PERIOD:
            if (waiting ? play.movePaused : play.paused) moveTo(play, nextFrameTime60(at), true);
            break;
        case SDLK_f: toggleFullscreen(screen); break;
        case SDLK_ESCAPE:
        case SDLK_q: play.quit = true; break;
        default: break;  // the rest of the keyboard does nothing
    }
}

// Once the player has handed over all it will, the run is over when that has been heard: the
// two buffers the device still holds.
static bool runOver(Playback& play) {
    if (play.paused || !songPlayed(play.player)) return false;
    const uint32_t now = SDL_GetTicks();
    if (play.playedAt == 0) play.playedAt = now;
    const StreamFormat format = streamFormat();
    return now - play.playedAt >= uint32_t(2 * format.bufferFrames * 1000 / format.rate);
}

int main(int argc, char** argv) {
    prepareDoor();
    ShowOptions options;
    std::string problem;
    if (!parseShowOptions(argc, argv, options, problem)) {
        reportFailure("show: " + problem + "\n" + kShowUsage);
        return 2;
    }
    // 320 x 240 is tiny on today's screens: ask sdl12-compat for a crisp whole-number scale, and
    // for frames presented on the display's refresh, unless the user's environment chose otherwise.
    setDefaultEnvironment("SDL12COMPAT_WINDOW_SCALING", "3");
    setDefaultEnvironment("SDL12COMPAT_SCALE_METHOD", "nearest");
    setDefaultEnvironment("SDL12COMPAT_SYNC_TO_VBLANK", "1");

    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) < 0) {
        reportFailure(say("Couldn't initialize SDL: %s\n", SDL_GetError()));
        SDL_Quit();
        return 1;
    }
    SDL_Surface* screen = openDisplay(options.fullscreen);
    if (screen == nullptr) {
        reportFailure(say("Couldn't set 320x240x32 video mode: %s\n", SDL_GetError()));
        return 1;
    }
    catchStopRequests(stopOnSignal);

    initDemo();  // before the music and the clock, so its time is not show time
    warmScenes();

    Playback play;
    if (!openSound(play.player)) {
        reportFailure(say("Could not initialize sound, reason: %s\n", SDL_GetError()));
        return 255;  // as -1 always was on Linux; Windows keeps a -1 whole, as 4294967295
    }
    std::string module, reason;
    if (!findModule(module, reason) || startMixing(module, reason) != SongOpen::ok) {
        if (!module.empty()) reason += " (" + module + ")";
        reportFailure(say("Could not load module, reason: %s\n", reason.c_str()));
        closeSound();
        SDL_Quit();
        return 1;  // a show without its music has failed
    }
    const auto finish = [&](int status) {
        closeSound();  // no callback reads the song from here on
        stopMixing();
        SDL_Quit();
        return status;
    };

    play.player.end = options.to == INT32_MAX ? INT32_MAX : static_cast<int32_t>(songFrameAt(options.to));
    moveTo(play, options.from, false);
    bool started = false;  // the first move has landed
    int32_t stamp = getTime();

    SDL_Event event{};  // keeps the type of the last event polled between events
    while (gStopSignal == 0 && !play.quit) {
        if (!options.controls && event.type == SDL_KEYDOWN) break;
        if (runOver(play)) {
            if (!options.loop) break;
            moveTo(play, options.from, false);
        }
        if (options.controls) {
            while (SDL_PollEvent(&event))
                if (event.type == SDL_KEYDOWN) pressKey(play, screen, event.key.keysym.sym, options);
        } else {
            SDL_PollEvent(&event);  // one event per frame; a close request is taken and ignored
        }
        SDL_LockSurface(screen);
        uint32_t* pixels = static_cast<uint32_t*>(screen->pixels);
        int permille = -1;
        if (play.movingTo >= 0) {
            switch (mixForMove(play.player, songFrameAt(play.movingTo), kWaitSlice, permille, reason)) {
                case MoveMixing::waiting:
                    drawWaiting(pixels, permille, !play.dimmed);
                    play.dimmed = true;
                    break;
                case MoveMixing::ready: {
                    // Drawn before the song plays from there: the radial blur's last frame takes
                    // seconds on the device, which the song would not wait for.
                    const int32_t t = std::min(play.movingTo, lastTime());
                    drawAfterSeek(pixels, t);
                    land(play, t, play.movePaused, true);
                    break;
                }
                case MoveMixing::failed:
                    reportFailure(say("Could not load module, reason: %s\n", reason.c_str()));
                    SDL_UnlockSurface(screen);
                    return finish(1);
            }
        } else if (play.redraw) {
            drawAfterSeek(pixels, play.shown);
            play.redraw = false;
        } else if (!play.paused) {
            play.shown = doDemo(pixels, play.stopsAt >= 0 ? play.stopsAt : INT32_MAX);
            paceFrame(stamp, getTime);
            holdWhenStopped(play);
        }
        if (!started && play.movingTo < 0) {
            started = true;
            if (play.shown < options.from) {
                SDL_UnlockSurface(screen);
                reportFailure(say("show: --from %d is past the song's end at %d ms\n%s", options.from, lastTime() + 1, kShowUsage));
                return finish(2);
            }
        }
        mixStep(play.player);
        stamp = getTime();
        SDL_UnlockSurface(screen);
        SDL_Flip(screen);
        noteFlip();
        if (options.controls) showPosition(play.movingTo >= 0 ? play.movingTo : play.shown, play.paused, permille);
        if (play.paused) SDL_Delay(10);  // a still picture needs no busy loop
    }
    return finish(gStopSignal == 0 ? 0 : kSignalStatusBase + gStopSignal);
}
