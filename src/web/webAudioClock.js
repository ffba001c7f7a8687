// clock.js: the audio context's time at the loudspeaker, for any page time. Engines differ in
// what they report, and a wrong report must neither freeze nor run away with the show, so every
// report is checked against the context's own time and the page's clock before it is used:
// - the output stamp (getOutputTimestamp) only while its performanceTime moves with its
//   contextTime (WebKit's runs at twice the page's clock), is neither in the future nor stale,
//   and puts the loudspeaker behind what the context has rendered by at least about the output
//   latency the engine reports and by less than a second; and then held against its jumps;
// - otherwise the context's time less the latency it reports, plus what an engine that reports
//   none was measured to add (from a recording of its sound);
// - and no time at all while the context's time stands still: the caller then goes on by the
//   page's own clock, without sound.
// The output latency is asked for seldom. Firefox answers it by asking the sound server while it
// holds its audio graph's lock, until it once gets a nonzero answer; a question that meets the
// audio thread's own call for samples locks up the page's thread for good (seen here at the start
// of the sound, one start in ten with the machine busy). So it is asked only once the clock has
// run a second, and then every few seconds. That first answer Firefox keeps for good, and it is
// the server's queue as it stood at that moment, which drains from one render of the context to
// the next: asked at any moment, it would fall short of the queue just after a render (the moment
// the clock's steps are taken at) by 0 to 25 ms, a different error each run. So it is asked at a
// frame that sees the context's time just after a render, as closely as the freshest step seen
// lately, which comes within a few frames (an engine whose answer is its queue as of its latest
// render, as Chromium's, answers the same then).

const kSmoothing = 1000;       // ms of the context's clock kept: it moves in steps of a device buffer
const kDropSteps = 12;         // the latest steps, whose own latest is near exact
const kDrop = 0.005;           // s those may lie below the older ones by chance
const kStill = 600;            // ms without a move of currentTime: the context's clock has stopped
const kPaceSpan = 0.25;        // s of stamps between two checks of their pace
const kPaceTolerance = 0.05;   // how far their pace may stray from the context's
const kStale = 300;            // ms after which a stamp is old news
const kLatencyAfter = 1000;    // ms of a running clock before the output latency is asked for
const kLatencyEvery = 5000;    // ms between two questions
const kFresh = 0.002;          // s a frame may see the context's time later than the freshest step
const kFreshWait = 1000;       // ms a question waits for such a frame before it is asked anyway
const kBand = 0.003;           // s the stamps may move from the held offset and still be followed
const kFollow = 0.0005;        // s a second the held offset follows them by at most (clocks drift)
const kSettle = 5000;          // ms stamps must stay apart, and together, before they are believed
const kLeast = 0.02;           // s a stamp puts the loudspeaker behind the context at least, until the
                               // engine's output latency is known
// Output latency of an engine that reports none (outputLatency 0 or missing): WebKit's sound was
// measured 50 to 60 ms behind its context's time less its base latency.
export const kUnreportedLatency = 0.055;
// What the output latency of an engine whose stamp leaves the output out (Firefox's: the server's
// queue at one moment, kept) falls short by: the queue drains between the server's requests for
// more (6.24 ms apart for Firefox's stream here), and Firefox's sound, measured from recordings of
// thirteen runs, lay 3.5 ms behind its context's time less that answer on average (-4 to +10.5
// ms): about half a request.
export const kQueueShortfall = 0.0035;

// The middle value (the upper of the two middle ones of an even count).
export const median = (values) => [...values].sort((a, b) => a - b)[values.length >> 1];

export function makeAudioClock(context) {
  const steps = [];              // [page ms, currentTime - page s] at each move of currentTime
  let lastTime = context.currentTime, movedAt = -Infinity;
  let checked = null;            // the stamp whose pace was last checked
  let paced = 0;                 // pace checks passed in a row
  const stamps = [];             // offsets (contextTime - performanceTime s) of trusted stamps
  let held = null;               // the offset the heard time is taken at (s), once stamps were trusted
  let heldAt = 0;                // page ms it last followed them
  let apart = null;              // {value, since}: the stamps away from the held offset, and since when
  const implied = [];            // the latencies (s) the held offset gave the context's time lately
  let dropped = null;            // {at: page ms, by: s}: the context's time's last drop
  let leavesOutput = false;      // the engine's stamp leaves the output out (Firefox's)
  let ranFrom = -Infinity;       // page ms the clock started running at
  let latency = null, askedAt = -Infinity;  // the output latency the engine reports (s), and when

  // `time`: the context's time at page time `now`.
  function askLatency(now, time) {
    const due = Math.max(ranFrom + kLatencyAfter, askedAt + kLatencyEvery);
    if (now < due || (contextAt(now) - time > kFresh && now < due + kFreshWait)) return;
    latency = context.outputLatency || 0;
    askedAt = now;
  }

  // The context's present at page time `now` (ms): the moment currentTime last stepped is when it
  // was exact, so the largest offset seen lately is the truest.
  function contextAt(now) {
    let offset = -Infinity;
    for (const [, value] of steps) offset = Math.max(offset, value);
    return now / 1000 + offset;
  }

  // A step is seen at the first frame after it, up to a frame late (and a late frame later still),
  // so the largest offset of a dozen steps is within a millisecond or two of exact. When the output
  // runs dry, the context's time stands while the page's goes on, and the sound it renders next is
  // heard that much later for good (Firefox's, 4 to 60 ms at a time on a busy machine): the
  // largest of the last dozen then lies below the older steps', which are forgotten, or they would
  // keep the picture that far ahead of the sound for the whole smoothing span.
  function followDrop() {
    if (steps.length <= kDropSteps) return;
    let before = -Infinity, since = -Infinity;
    for (let i = 0; i < steps.length; ++i) {
      if (i < steps.length - kDropSteps) before = Math.max(before, steps[i][1]);
      else since = Math.max(since, steps[i][1]);
    }
    if (since >= before - kDrop) return;
    steps.splice(0, steps.length - kDropSteps);
    dropped = { at: steps[steps.length - 1][0], by: since - before };
  }

  function checkStamp(now) {
    const stamp = context.getOutputTimestamp ? context.getOutputTimestamp() : null;
    const distrust = () => { paced = 0; stamps.length = 0; checked = stamp; };
    if (!stamp || !(stamp.performanceTime > 0) || !(stamp.contextTime > 0)) return distrust();
    // How far the loudspeaker is behind the context by the stamp: less than the output latency the
    // engine itself reports (before it is asked, than a device buffer or two) is a stamp that leaves
    // the output out (Firefox's: its performanceTime lags by just that latency, so it says the
    // context's present is heard now). Such a stamp, or one from the future, is this engine's way,
    // not a moment's error: what its stamps seemed to say before is forgotten.
    const behind = contextAt(now) - (stamp.contextTime + (now - stamp.performanceTime) / 1000);
    const least = latency === null ? kLeast : latency / 2 - 0.005;
    if (stamp.performanceTime > now + 2 || behind < least) {
      leavesOutput ||= behind < least;
      held = apart = null;
      implied.length = 0;
      return distrust();
    }
    if (now - stamp.performanceTime > kStale || behind > 1) return distrust();
    if (!checked) checked = stamp;
    const contextSpan = stamp.contextTime - checked.contextTime;
    const pageSpan = (stamp.performanceTime - checked.performanceTime) / 1000;
    if (Math.max(contextSpan, pageSpan) >= kPaceSpan) {
      if (Math.abs(pageSpan / contextSpan - 1) > kPaceTolerance) return distrust();
      ++paced;
      checked = stamp;
    }
    if (paced >= 2) {
      stamps.push(stamp.contextTime - stamp.performanceTime / 1000);
      if (stamps.length > 15) stamps.shift();
      hold(now, median(stamps));
      implied.push(contextAt(now) - (now / 1000 + held));
      if (implied.length > 15) implied.shift();
    }
  }

  // The held offset follows the stamps as long as they stay near it, no faster than clocks drift.
  // A sound that runs on unbroken is heard at one offset from the page's clock: Chromium's stamp
  // jumps by 10 to 80 ms after the machine kept its sound threads waiting, while the sound goes
  // on as before, and comes back over five to fifteen seconds in steps. So stamps that leave the
  // held offset are believed when the context's time dropped by as much just before (the output
  // ran dry, and the sound is heard that much later for good), or once they have stayed apart,
  // and together, a few seconds.
  function hold(now, offset) {
    const ranDry = dropped && now - dropped.at < 1000 && held !== null &&
      Math.abs(offset - held - dropped.by) <= Math.max(kBand, -dropped.by / 4);
    if (held === null || ranDry || (apart && now - apart.since >= kSettle)) {
      held = offset;
      apart = dropped = null;
    } else if (Math.abs(offset - held) <= kBand) {
      const most = (kFollow * Math.max(0, now - heldAt)) / 1000;
      held += Math.max(-most, Math.min(most, offset - held));
      apart = null;
    } else if (!apart || Math.abs(offset - apart.value) > kBand) {
      apart = { value: offset, since: now };
    }
    heldAt = now;
  }

  return {
    // Called once a frame: notes the context's clock and checks its output stamp.
    observe(now) {
      const time = context.currentTime;
      if (time !== lastTime) {
        if (now - movedAt > kStill) this.reset();  // it stood still: what was seen before is void
        if (!steps.length) ranFrom = now;
        lastTime = time;
        movedAt = now;
        steps.push([now, time - now / 1000]);
        followDrop();
      }
      while (steps.length > 1 && steps[0][0] < now - kSmoothing) steps.shift();
      if (!this.running(now)) return;
      askLatency(now, time);
      checkStamp(now);
    },
    // The context's clock runs: it moved lately, and the browser has not stopped it.
    running(now) { return context.state === 'running' && now - movedAt < kStill && steps.length > 0; },
    // Which clock is used, for whoever looks into it.
    get source() { return stamps.length ? 'stamp' : implied.length ? 'held' : 'latency'; },
    // The context time leaving the loudspeaker at page time `when`, or null while the clock stands:
    // by the trusted stamps; while they are not, by the latency they last implied; or by the
    // latency the engine reports.
    heard(when) {
      if (!this.running(when)) return null;
      if (stamps.length) return held + when / 1000;
      const reported = latency > 0 ? latency + (leavesOutput ? kQueueShortfall : 0) : kUnreportedLatency;
      const lag = implied.length ? median(implied) : (context.baseLatency || 0) + reported;
      return contextAt(when) - lag;
    },
    // Forgets what was seen of the stamps, as after a stop of the context's clock.
    reset() {
      steps.length = stamps.length = implied.length = paced = 0;
      checked = held = apart = dropped = null;
      movedAt = -Infinity;
    },
  };
}
