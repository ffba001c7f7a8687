// pulseAudio.cpp: the song through a stream of the door's own on a PulseAudio server (or PipeWire's
// pipewire-pulse), whose server is asked what it plays every few tens of milliseconds. The delay to
// the loudspeaker depends on the server, its sink and, on PipeWire, on a graph quantum that other
// programs change while the show plays; the server knows it, so the clock takes it from there
// instead of assuming it.
#include <SDL.h>
#include <pulse/pulseaudio.h>

#include <algorithm>

#include "song/song.h"
#include "sound.h"

// About 280 ms asked for in all: the server keeps the stream and its sink's latency within this,
// asking for a twelfth of it at a time. pipewire-pulse keeps 7,168 frames of it in the stream's
// buffer (163 ms), over three cycles of a graph at 2,048 frames. A cycle that comes before the
// show's thread has topped the buffer up must still find a cycle's sound, or it plays a cycle of
// silence instead: with 3,072 frames kept that came one to three times a minute on a two-core
// machine, and with 4,096 a cycle or two went silent in two runs of six. PulseAudio gives half of
// it to its sink, whose latency the lowest of its clients sets: a pause is heard within 300 ms.
constexpr uint32_t kQueueFrames = 12288, kRequestFrames = 1024, kFrameBytes = 4;

static pa_threaded_mainloop* gLoop = nullptr;
static pa_context* gContext = nullptr;
static pa_stream* gStream = nullptr;

static void wake(void*) { pa_threaded_mainloop_signal(gLoop, 0); }
static void contextChanged(pa_context*, void*) { wake(nullptr); }
static void streamChanged(pa_stream*, void*) { wake(nullptr); }

// On the loop's thread, with its lock held: the whole request, in as many pieces as the stream's
// buffers come in.
static void request(pa_stream* stream, size_t bytes, void*) {
    const uint32_t ticks = SDL_GetTicks();
    while (bytes >= kFrameBytes) {
        void* data = nullptr;
        size_t length = bytes;
        if (pa_stream_begin_write(stream, &data, &length) < 0 || data == nullptr) return;
        const int frames = int(std::min(length, bytes) / kFrameBytes);
        handBuffer(static_cast<int16_t*>(data), frames, ticks);
        if (pa_stream_write(stream, data, size_t(frames) * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
        bytes -= size_t(frames) * kFrameBytes;
    }
}

// The server's answer to a question about the stream's timing: where it reads the stream, and how
// long its sink takes from there to the loudspeaker, as of the moment it answered, which the
// transport's time places just before now. An answer is taken only if what it says is heard lies
// within the second before the end of what has been written: a server that says otherwise is
// wrong, and the clock keeps to the answers before it.
static void answered(pa_stream* stream, int success, void*) {
    const uint32_t ticks = SDL_GetTicks();
    const pa_timing_info* timing = pa_stream_get_timing_info(stream);
    if (!success || timing == nullptr || !timing->playing || timing->read_index_corrupt || timing->write_index_corrupt) return;
    const int64_t ahead = int64_t(timing->sink_usec) - int64_t(timing->transport_usec);
    const int64_t heard = timing->read_index / kFrameBytes - ahead * kMixRate / 1000000;
    const int64_t written = timing->write_index / kFrameBytes;
    if (heard <= written && heard > written - kMixRate) reportHeard(heard, ticks);
}

// The question is asked 30 to 50 ms apart, at random: PipeWire moves its read position a whole
// graph cycle at a time, so the answers fall at every point of the cycle and the clock can find
// the cycle's edge among them.
static void ask(pa_mainloop_api*, pa_time_event* event, const struct timeval*, void*) {
    if (pa_operation* asking = pa_stream_update_timing_info(gStream, answered, nullptr)) pa_operation_unref(asking);
    static uint32_t noise = 12345;
    noise = noise * 1103515245u + 12345u;
    pa_context_rttime_restart(gContext, event, pa_rtclock_now() + (30 + (noise >> 16) % 21) * PA_USEC_PER_MSEC);
}

static void closePulse() {
    if (gLoop != nullptr) pa_threaded_mainloop_stop(gLoop);  // no request runs once this returns
    if (gStream != nullptr) pa_stream_unref(gStream);
    if (gContext != nullptr) {
        pa_context_disconnect(gContext);
        pa_context_unref(gContext);
    }
    if (gLoop != nullptr) pa_threaded_mainloop_free(gLoop);
    gStream = nullptr;
    gContext = nullptr;
    gLoop = nullptr;
}

// Waits, with the loop's lock held, until `state` says ready (true) or failed (false).
template <typename State>
static bool waitUntilReady(State state) {
    for (;;) {
        switch (state()) {
            case 1: return true;
            case -1: return false;
            default: pa_threaded_mainloop_wait(gLoop);
        }
    }
}

static bool openPulse(StreamFormat& format) {
    gLoop = pa_threaded_mainloop_new();
    if (gLoop == nullptr) return false;
    gContext = pa_context_new(pa_threaded_mainloop_get_api(gLoop), "Nocturne");
    if (gContext == nullptr) {
        closePulse();
        return false;
    }
    pa_context_set_state_callback(gContext, contextChanged, nullptr);
    // No server started for the show: without one running, SDL's audio gets its turn.
    if (pa_context_connect(gContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 || pa_threaded_mainloop_start(gLoop) < 0) {
        closePulse();
        return false;
    }
    pa_threaded_mainloop_lock(gLoop);
    bool ready = waitUntilReady([] {
        const pa_context_state_t s = pa_context_get_state(gContext);
        return s == PA_CONTEXT_READY ? 1 : PA_CONTEXT_IS_GOOD(s) ? 0 : -1;
    });
    if (ready) {
        const pa_sample_spec sampleFormat{PA_SAMPLE_S16NE, uint32_t(kMixRate), 2};
        gStream = pa_stream_new(gContext, "Nocturne", &sampleFormat, nullptr);
        ready = gStream != nullptr;
    }
    if (ready) {
        pa_stream_set_state_callback(gStream, streamChanged, nullptr);
        pa_stream_set_write_callback(gStream, request, nullptr);
        const uint32_t none = uint32_t(-1);
        const pa_buffer_attr attributes{none, kQueueFrames * kFrameBytes, none, kRequestFrames * kFrameBytes, none};
        // libpulse's own timing updates slow down to one in seconds, and its interpolation between
        // them drifted by tens of milliseconds a second through pipewire-pulse: the show asks itself.
        ready = pa_stream_connect_playback(gStream, nullptr, &attributes, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) == 0 &&
                waitUntilReady([] {
                    const pa_stream_state_t s = pa_stream_get_state(gStream);
                    return s == PA_STREAM_READY ? 1 : PA_STREAM_IS_GOOD(s) ? 0 : -1;
                });
    }
    if (ready) ready = pa_context_rttime_new(gContext, pa_rtclock_now(), ask, nullptr) != nullptr;
    pa_threaded_mainloop_unlock(gLoop);
    if (!ready) {
        closePulse();
        return false;
    }
    format = {kMixRate, int(kQueueFrames / 2)};
    return true;
}

static void lockPulse() { pa_threaded_mainloop_lock(gLoop); }
static void unlockPulse() { pa_threaded_mainloop_unlock(gLoop); }

const SoundOutput kPulseOutput{openPulse, closePulse, lockPulse, unlockPulse};
