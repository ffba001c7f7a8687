// audioClock.cpp: show time from the audio stream's position, paced by the tick count.
#include "audioClock.h"

#include <algorithm>

// Buffers between a callback and the loudspeaker: the one the device plays and the one just
// filled. If this changes, the README's account of the clock changes too.
constexpr int64_t kQueuedBuffers = 2;

static int64_t framesToMicroseconds(int64_t frames, StreamFormat format) { return frames * 1000000 / format.rate; }

AudioClock audioClockFrom(int32_t t, uint32_t moves) {
    AudioClock clock;
    clock.moves = moves;
    clock.last = t;
    return clock;
}

int32_t audioClockTime(AudioClock& clock, StreamReading reading, StreamFormat format, uint32_t now) {
    if (!reading.any || reading.moves != clock.moves) return clock.last;  // still the song from before the move
    const int64_t queued = framesToMicroseconds(kQueuedBuffers * format.bufferFrames, format);
    if (clock.seen == 0 || reading.position != clock.lastPosition) {  // a callback since the last read: note its lead
        clock.lastPosition = reading.position;
        clock.leads[clock.seen++ % kPaceCallbacks] =
            framesToMicroseconds(reading.position, format) - int64_t{reading.ticks} * 1000;
    }
    const int64_t lead = *std::max_element(clock.leads, clock.leads + std::min(clock.seen, kPaceCallbacks));
    const int64_t paced = int64_t{now} * 1000 + lead - queued;
    const int64_t handed = framesToMicroseconds(reading.position, format) - queued + queued / kQueuedBuffers;
    const int64_t t = std::min(paced, handed) / 1000;
    clock.last = static_cast<int32_t>(std::max<int64_t>(t, clock.last));
    return clock.last;
}
