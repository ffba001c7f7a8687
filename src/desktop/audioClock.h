// audioClock.h: show time from the audio stream's position: the song as it is heard.
#pragma once
#include <cstdint>

#include "sound.h"

// How many of the latest buffers, or of the server's reports, the clock takes its pace from.
constexpr int kPaceCallbacks = 8;
constexpr int kPaceReports = 24;

// The clock's state between reads. The device's pace is kept in stream frames (everything handed
// to it, song or silence), which run on through seeks and pauses; the song's place in the stream
// is anchored anew after each move.
struct AudioClock {
    uint32_t moves = 0;            // the player's move count the clock follows
    bool anchored = false;         // the song since the move has been seen in the stream
    int64_t anchorStream = 0;      // the stream frame where it starts
    int64_t anchorSong = 0;        // and the song's frame there
    int64_t songEnd = 0;           // the end of the song handed since the move, so far
    uint32_t lastStream = 0;       // the latest callback seen, to tell a new one
    int64_t leads[kPaceCallbacks] = {};  // per callback seen: its stream end's time less its tick time, in µs
    int seen = 0;
    uint32_t reports = 0;          // the server's latest report's count
    int64_t heardLeads[kPaceReports] = {};  // per report seen: the stream heard's time less its tick time, in µs
    int heardSeen = 0;
    int64_t heardLead = 0;         // the one but lowest of them, kept between reports: the frame loop's
                                   // pacing reads the clock some sixty times a frame
    int32_t last = 0;              // the last time given, so the clock never runs backwards
    int64_t stopsAt = -1;          // where the player has stopped handing the song (a pause), or -1
};

// After a start, a seek or a resume to show time t, the player's move count then: the clock
// holds at t until the song from t reaches the loudspeaker, keeping what it knows of the pace.
void restartAudioClock(AudioClock& clock, int32_t t, uint32_t moves);

// The show time of the song reaching the loudspeaker at tick count now.
//
// Where the sound server reports what it plays, the clock keeps to those reports: the stream frame
// reaching the loudspeaker, at a tick. A server that plays its graph a cycle at a time (PipeWire)
// reports the end of the cycle it is in, never less than what is heard and up to a cycle more; a
// report read late says less. So of the latest reports (about a second's), the clock keeps to the
// one but lowest: near the cycle's edge, and not the one report that was read late.
//
// Otherwise a callback runs when the device has room for another buffer, so at its tick the device is
// playing the stream up to two buffers before the end of the buffer just filled (the one it
// plays and that one; about one and seven eighths through SDL 2's PulseAudio output). A callback can
// only run late, never early, so the clock keeps to the callback whose stream end was furthest
// ahead of its ticks among the latest few, and runs on with the ticks from there. The song heard
// is the stream heard less where the song's part of it began; it never goes past the song handed
// over, less one buffer, so it stops with the stream, and when the player has stopped at a known
// frame (a pause), it runs on to exactly that frame, which the device plays out. Never below the
// time it started from, never below the last time given.
int32_t audioClockTime(AudioClock& clock, StreamReading reading, HeardReport heard, StreamFormat format, uint32_t now);
