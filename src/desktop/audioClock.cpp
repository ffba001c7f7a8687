// audioClock.cpp: show time from the audio stream's position, paced by the tick count.
#include "audioClock.h"

#include <algorithm>

// What the device holds when a callback runs, in eighths of a buffer: at most the one it plays
// and the one just filled; measured against the loudspeaker through SDL 2's PulseAudio output
// (a null sink's monitor, recorded), about one and seven eighths. If this changes, the README's
// account of the clock changes too.
constexpr int64_t kQueuedEighths = 15;

static int64_t framesToMicroseconds(int64_t frames, StreamFormat format) { return frames * 1000000 / format.rate; }

void restartAudioClock(AudioClock& clock, int32_t t, uint32_t moves) {
    clock.moves = moves;
    clock.anchored = false;
    clock.last = t;
    clock.stopsAt = -1;
}

int32_t audioClockTime(AudioClock& clock, StreamReading reading, HeardReport heard, StreamFormat format, uint32_t now) {
    if (heard.count != clock.reports) {  // a report since the last read: the lead kept to, found anew
        clock.reports = heard.count;
        clock.heardLeads[clock.heardSeen++ % kPaceReports] = framesToMicroseconds(heard.frame, format) - int64_t{heard.ticks} * 1000;
        int64_t leads[kPaceReports];
        const int count = std::min(clock.heardSeen, kPaceReports);
        std::copy_n(clock.heardLeads, count, leads);
        std::nth_element(leads, leads + std::min(1, count - 1), leads + count);
        clock.heardLead = leads[std::min(1, count - 1)];
    }
    if (!reading.any) return clock.last;
    if (clock.seen == 0 || reading.stream != clock.lastStream) {  // a callback since the last read
        clock.lastStream = reading.stream;
        clock.leads[clock.seen++ % kPaceCallbacks] =
            framesToMicroseconds(int64_t{reading.stream} + reading.frames, format) - int64_t{reading.ticks} * 1000;
        if (reading.moves == clock.moves && reading.handed > 0) {  // the song since the move
            if (!clock.anchored) {
                clock.anchored = true;
                clock.anchorStream = reading.stream;
                clock.anchorSong = reading.songAt;
            }
            clock.songEnd = int64_t{reading.songAt} + reading.handed;
        }
    }
    if (!clock.anchored) return clock.last;  // the device still plays what it had before the move
    int64_t lead;
    if (clock.heardSeen > 0) {
        lead = clock.heardLead;
    } else {
        const int64_t queued = framesToMicroseconds(kQueuedEighths * format.bufferFrames / 8, format);
        lead = *std::max_element(clock.leads, clock.leads + std::min(clock.seen, kPaceCallbacks)) - queued;
    }
    const int64_t streamHeard = int64_t{now} * 1000 + lead;
    const int64_t paced = streamHeard - framesToMicroseconds(clock.anchorStream - clock.anchorSong, format);
    const int64_t handed = clock.stopsAt >= 0 ? framesToMicroseconds(clock.stopsAt, format)
                                              : framesToMicroseconds(clock.songEnd - format.bufferFrames, format);
    const int64_t t = std::min(paced, handed) / 1000;
    clock.last = static_cast<int32_t>(std::max<int64_t>(t, clock.last));
    return clock.last;
}
