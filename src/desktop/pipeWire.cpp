// pipeWire.cpp: the song through a stream of the door's own in PipeWire's graph, filled on the
// graph's real-time thread at every cycle, which is how PipeWire's native clients play. The delay
// to the loudspeaker follows the graph's quantum, which other programs change while the show
// plays; the stream's own time report says it at every cycle, so the clock takes it from there.
#include <SDL.h>
#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>

#include <algorithm>
#include <ctime>
#include <mutex>

#include "song/song.h"
#include "sound.h"

// The latency asked of the graph: 1,024 frames of the song's rate (23 ms), the graph's usual
// quantum. A graph that another program runs at a smaller or larger quantum keeps it; the stream
// fills whatever each cycle asks.
constexpr const char* kLatency = "1024/44100";
constexpr int kFrameBytes = 4;

static pw_thread_loop* gLoop = nullptr;
static pw_context* gContext = nullptr;
static pw_core* gCore = nullptr;
static pw_stream* gStream = nullptr;
static spa_hook gListener{};
static bool gInitialised = false;
// Held by the main thread while it moves the player, and by the graph's thread while it fills a
// buffer: the thread loop's own lock does not keep out a stream processed in real time.
static std::mutex gFilling;
static int gStarted = 0;  // 1 once the stream streams, -1 once it failed

// A monotonic instant in nanoseconds as SDL's tick count, which the clock runs on.
static uint32_t ticksAt(int64_t nanoseconds) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const int64_t ago = int64_t(now.tv_sec) * 1000000000 + now.tv_nsec - nanoseconds;
    return SDL_GetTicks() - uint32_t(std::max<int64_t>(ago, 0) / 1000000);
}

// On the graph's thread, once a cycle: the frames the cycle asks for, then where the stream stands.
// The first frame of this buffer reaches the loudspeaker after what the stream still holds (the
// buffers queued and the resampler's frames) and the graph's delay from the stream to the device,
// both as of the report's instant, so the stream frame heard then is that much before it.
static void process(void*) {
    pw_buffer* buffer = pw_stream_dequeue_buffer(gStream);
    if (buffer == nullptr) return;
    spa_data& data = buffer->buffer->datas[0];
    if (data.data == nullptr) {
        pw_stream_queue_buffer(gStream, buffer);
        return;
    }
    int frames = int(data.maxsize / kFrameBytes);
    if (buffer->requested > 0) frames = std::min(frames, int(buffer->requested));
    pw_time time{};
    const bool timed = pw_stream_get_time_n(gStream, &time, sizeof time) == 0 && time.rate.denom > 0 && time.now > 0;
    {
        const std::lock_guard<std::mutex> hold(gFilling);
        handBuffer(static_cast<int16_t*>(data.data), frames, SDL_GetTicks());
    }
    data.chunk->offset = 0;
    data.chunk->stride = kFrameBytes;
    data.chunk->size = uint32_t(frames * kFrameBytes);
    buffer->size = uint64_t(frames);
    if (timed) {
        const int64_t delay = time.delay * time.rate.num * kMixRate / time.rate.denom;
        const int64_t first = readStream().stream;
        const int64_t heard = first - int64_t(time.queued) - int64_t(time.buffered) - delay;
        // A report that places the sound heard outside the second before this buffer is wrong.
        if (heard <= first && heard > first - kMixRate) reportHeard(heard, ticksAt(time.now));
    }
    pw_stream_queue_buffer(gStream, buffer);
}

static void stateChanged(void*, pw_stream_state, pw_stream_state state, const char*) {
    if (state == PW_STREAM_STATE_STREAMING) gStarted = 1;
    else if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED) gStarted = -1;
    else return;
    pw_thread_loop_signal(gLoop, false);
}

static const pw_stream_events kEvents = [] {
    pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = stateChanged;
    events.process = process;
    return events;
}();

static void closePipeWire() {
    if (gLoop != nullptr) pw_thread_loop_stop(gLoop);
    if (gStream != nullptr) pw_stream_destroy(gStream);  // no cycle calls process once this returns
    if (gCore != nullptr) pw_core_disconnect(gCore);
    if (gContext != nullptr) pw_context_destroy(gContext);
    if (gLoop != nullptr) pw_thread_loop_destroy(gLoop);
    gStream = nullptr;
    gCore = nullptr;
    gContext = nullptr;
    gLoop = nullptr;
}

static bool openPipeWire(StreamFormat& format) {
    if (!gInitialised) pw_init(nullptr, nullptr);
    gInitialised = true;
    gLoop = pw_thread_loop_new("Nocturne", nullptr);
    if (gLoop == nullptr) return false;
    // The client's configuration for real-time streams, as native players take: the thread that
    // fills each cycle asks for real-time scheduling (from RTKit on a desktop), or a busy machine
    // makes it miss cycles, which the graph plays without it.
    gContext = pw_context_new(pw_thread_loop_get_loop(gLoop),
                              pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", PW_KEY_APP_NAME, "Nocturne", nullptr), 0);
    // With no server running the connection fails, and SDL's audio gets its turn.
    gCore = gContext != nullptr ? pw_context_connect(gContext, nullptr, 0) : nullptr;
    if (gCore != nullptr)
        gStream = pw_stream_new(gCore, "Nocturne",
                                pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE,
                                                  "Music", PW_KEY_NODE_NAME, "Nocturne", PW_KEY_NODE_LATENCY, kLatency, nullptr));
    if (gStream != nullptr) pw_stream_add_listener(gStream, &gListener, &kEvents, nullptr);
    if (gStream == nullptr || pw_thread_loop_start(gLoop) < 0) {
        closePipeWire();
        return false;
    }
    uint8_t paramBuffer[512];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(paramBuffer, sizeof paramBuffer);
    spa_audio_info_raw info{};
    info.format = SPA_AUDIO_FORMAT_S16;
    info.rate = uint32_t(kMixRate);
    info.channels = 2;
    info.position[0] = SPA_AUDIO_CHANNEL_FL;
    info.position[1] = SPA_AUDIO_CHANNEL_FR;
    const spa_pod* params[1] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
    pw_thread_loop_lock(gLoop);
    gStarted = 0;
    const auto flags = pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS);
    bool ready = pw_stream_connect(gStream, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1) == 0;
    // A stream with no sink to link to stays paused: two seconds are long enough for a server that runs.
    timespec until{};
    pw_thread_loop_get_time(gLoop, &until, 2 * SPA_NSEC_PER_SEC);
    while (ready && gStarted == 0)
        if (pw_thread_loop_timed_wait_full(gLoop, &until) != 0) ready = false;
    ready = ready && gStarted == 1;
    pw_thread_loop_unlock(gLoop);
    if (!ready) {
        closePipeWire();
        return false;
    }
    // What the clock keeps behind the end of the song handed: less than a buffer and the graph's
    // delay at the smallest quantum it is meant for (256 frames of 48 kHz).
    format = {kMixRate, 256};
    return true;
}

static void lockPipeWire() { gFilling.lock(); }
static void unlockPipeWire() { gFilling.unlock(); }

const SoundOutput kPipeWireOutput{openPipeWire, closePipeWire, lockPipeWire, unlockPipeWire};
