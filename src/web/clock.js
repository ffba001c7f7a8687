// clock.js: the song's position at the loudspeaker for any page time, from the clock the browser
// keeps for its own media: a media element's currentTime, which its media pipeline drives from
// what its sound output has played, off the page's thread. Engines publish it at their own pace
// (Chromium and WebKit afresh at every read, Firefox every 40 ms or so), and the page sees a
// reading up to a frame after it was true; so each move is noted against the page's clock, and
// the freshest of the last few, which was seen soonest after it was true, gives the offset
// between the two clocks. Where the media stands (its pipeline ran dry, a busy machine kept it
// from playing), the heard time stands with it, a little after the readings stop moving. A
// reading the page took after its own thread stood says nothing of that: WebKitGTK answers the
// first read after such a stall with the position it gave before it.

const kFreshest = 250;    // ms of moves the freshest is taken from
const kDropMoves = 3;     // the latest moves, all surely below the freshest: the media stood since
const kPaceSpan = 1000;   // ms of moves whose spacing gives the engine's pace of publishing
const kStandsAfter = 2.5; // of those spacings without a move, the media stands
const kLeast = 0.05;      // s the heard time runs on past the latest reading at least
const kLeap = 0.5;        // s a move may run ahead of the page's clock before it is a seek
const kAwaySteps = 2.5;   // of the page's usual spacings between frames, a gap is the page's own stall

// The middle value (the upper of the two middle ones of an even count).
export const median = (values) => [...values].sort((a, b) => a - b)[values.length >> 1];

export function makeMediaClock() {
  // At each move of the reading: [page ms it was seen at, the offset (reading - page s) then,
  // and the offset at the observation before]: it became true between the two, so the clocks'
  // true offset lies between those.
  const moves = [];
  let last = null;        // the latest reading (s)
  let movedAt = -Infinity;
  let observedAt = null;
  let away = 0;           // ms the page itself stood, in gaps between its looks, since the latest move
  const looks = [];       // the latest spacings between the page's looks (ms)

  // How far past the latest reading the heard time may run: a few of the engine's usual spacings
  // between moves (a frame in Chromium, 40 ms in Firefox), beyond which the media stands.
  function reach() {
    const gaps = [];
    for (let i = 1; i < moves.length; ++i) gaps.push(moves[i][0] - moves[i - 1][0]);
    return Math.max(kLeast, gaps.length ? (kStandsAfter * median(gaps)) / 1000 : 0);
  }

  return {
    // Called once a frame at page time `now` (ms) with the element's currentTime (s) and whether
    // it plays on (not paused, seeking or waiting for data).
    observe(now, reading, playing) {
      const before = observedAt;
      observedAt = now;
      const gap = before === null ? 0 : now - before;
      const stoodHere = looks.length && gap > kAwaySteps * median(looks);
      if (gap > 0) looks.push(gap);
      if (looks.length > 31) looks.shift();
      if (!playing) {
        this.reset();
        return;
      }
      // The first reading is where the media stood before it played on: only a move says when.
      if (last === null) last = reading;
      if (reading !== last) {
        // Backwards, or further on than the page's clock went: a seek, whatever the page asked.
        if (reading < last || (moves.length && reading - last > (now - movedAt) / 1000 + kLeap)) moves.length = 0;
        last = reading;
        movedAt = now;
        moves.push([now, reading - now / 1000, reading - (before ?? now - 1000 / 60) / 1000]);
        away = 0;
      } else if (stoodHere) {
        away += gap;
      }
      while (moves.length > 1 && moves[0][0] < now - kPaceSpan) moves.shift();
    },
    // The media time heard at page time `when`, or null before it moved.
    heard(when) {
      if (!moves.length) return null;
      // The freshest of the moves lately; unless the latest few lie surely below it, the media
      // having stood since (its pipeline ran dry, a busy machine kept it from playing), when the
      // older ones are forgotten.
      let offset = -Infinity, latest = -Infinity, latestUpper = -Infinity;
      for (let i = moves.length - 1; i >= 0 && (offset === -Infinity || moves[i][0] >= movedAt - kFreshest); --i) {
        if (i >= moves.length - kDropMoves) {
          latest = Math.max(latest, moves[i][1]);
          latestUpper = Math.max(latestUpper, moves[i][2]);
        }
        offset = Math.max(offset, moves[i][1]);
      }
      if (moves.length > kDropMoves && latestUpper < offset - 0.002) {
        moves.splice(0, moves.length - kDropMoves);
        offset = latest;
      }
      // Never past what the latest reading allows, and never far past the reading itself, but
      // for the time the page did not look.
      return Math.min(when / 1000 + offset, when / 1000 + moves[moves.length - 1][2], last + reach() + away / 1000);
    },
    reset() {
      moves.length = 0;
      last = null;
      movedAt = -Infinity;
      away = 0;
    },
  };
}

// An element that says it plays and stands for good: WebKitGTK's, now and then, after a seek (at
// the sought point for 4 s, and 2 s before the song's end until the viewer did something else, in
// two runs of eight on a busy machine here), where a pipeline that merely ran dry stands for well
// under a second. Called once a frame with the page time (ms), the element's currentTime and
// whether it should be playing; answers whether to start it afresh where it stands now: after a
// second of standing, then after twice as long each time, so that a pipeline slow to come back
// is not kept from it.
const kStuckAfter = 1000;  // ms
export function makeStandWatch() {
  let reading = null, since = 0, after = kStuckAfter;
  return (now, current, wanted) => {
    if (!wanted || current !== reading) {
      reading = wanted ? current : null;
      since = now;
      after = kStuckAfter;
      return false;
    }
    if (now - since < after) return false;
    since = now;
    after *= 2;
    return true;
  };
}
