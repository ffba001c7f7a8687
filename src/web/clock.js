// clock.js: the song's position at the loudspeaker for any page time, from the clock the browser
// keeps for its own media: a media element's currentTime, which its media pipeline drives from
// what its sound output has played, off the page's thread. Engines publish it at their own pace
// (Chromium and WebKit afresh at every read, Firefox every 40 ms or so), and the page sees a
// reading up to a frame after it was true; so each move is noted against the page's clock, and
// the freshest of the last few, which was seen soonest after it was true, gives the offset
// between the two clocks. Where the media stands (its pipeline ran dry, a busy machine kept it
// from playing), the heard time stands with it, a little after the readings stop moving. A
// reading the page took after its own thread stood says nothing of that: WebKitGTK and Firefox
// answer the first read after such a stall with the position they gave before it (and Firefox, by
// the frames around one such stall, now and then with one a step or a few past that).
//
// Firefox's reading now and then leaves its sound after a start or a seek: it moves on at 94 to
// 98 % of the wall clock's pace for seconds, falling 50 to 180 ms behind a sound that kept its
// own, while its steps stay regular. A sound output keeps the page clock's pace within far less
// than that; what it can do is stand (run dry), and a standing pipeline's readings stand or crawl.
// So a second after the first move after a start, a seek or a stand, the offset is held: it may
// rise to what the readings say, but falls only by a tenth of a per cent of the time gone by, for
// a sound output slower than the page's clock; a stand, or readings that crawl, start it afresh.

const kFreshest = 250;    // ms of moves the freshest is taken from
const kDropMoves = 3;     // the latest moves, all surely below the freshest: the media stood since
const kPaceSpan = 1000;   // ms of moves whose spacing gives the engine's pace of publishing
const kStandsAfter = 2.5; // of those spacings without a move, the media stands
const kLeast = 0.05;      // s the heard time runs on past the latest reading at least
const kLeap = 0.5;        // s a move may run ahead of the page's clock before it is a seek
const kAwaySteps = 2.5;   // of the page's usual spacings between frames, a gap is the page's own stall
// A seek's first reading may lie 50 to 100 ms ahead, and a clock about to slip starts 10 to 60 ms
// ahead of its sound, passing it within about a second: the offset is held from then.
const kSettle = 1000;     // ms after the first move
const kSlowest = 0.001;   // the share of the time gone by the held offset may fall by
const kStood = 0.010;     // s a move surely fell short of the page's clock by: the media stood
const kCrawl = 0.75;      // of the page clock's pace, under which the readings crawl
const kCrawlSpan = 200;   // ms of moves that pace is taken over
const kFreshSteps = 1.5;  // of the page's usual spacings between looks, under which the engine's
                          // moves come: it reads afresh at every read
const kFewest = 20;       // of an engine's moves between looks, before they say how far its offset moves
const kDropSpan = 100;    // ms of moves a drop of the offset is taken over

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
  let holdFrom = null;    // page ms from which the offset is held
  let held = null;        // the held offset (s), once it is
  let heldAt = 0;         // page ms it was last brought up to date
  let afterStall = false; // the page looked after its own thread stood, and nothing moved since
  let doubt = false;      // the latest move was the first after such a stall
  const sures = [];       // [page ms, offset] at the latest moves not in doubt, back to one
                          // before kDropSpan
  const misses = [];      // ms by which the offsets of an engine fresh at every read moved from
                          // one look to the next, lately
  const path = [];        // [page ms, reading] at the latest moves, latest first, back to one
                          // before kCrawlSpan

  // The first move after a start, a seek or a stand: the offset is held from a second after it.
  function startHolding(now) {
    holdFrom = now + kSettle;
    held = null;
    path.length = 0;
    sures.length = 0;
  }

  // The engine's usual spacing between moves (ms): a frame in Chromium, 40 ms in Firefox.
  function spacing() {
    const gaps = [];
    for (let i = 1; i < moves.length; ++i) gaps.push(moves[i][0] - moves[i - 1][0]);
    return gaps.length ? median(gaps) : null;
  }

  // How far past the latest reading the heard time may run: a few of the engine's usual spacings
  // between moves, beyond which the media stands.
  function reach() {
    const step = spacing();
    return Math.max(kLeast, step === null ? 0 : (kStandsAfter * step) / 1000);
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
      if (stoodHere) afterStall = true;
      if (!playing) {
        this.reset();
        return;
      }
      // The first reading is where the media stood before it played on: only a move says when.
      if (last === null) last = reading;
      if (reading !== last) {
        // Backwards, or further on than the page's clock went: a seek, whatever the page asked.
        if (reading < last || (moves.length && reading - last > (now - movedAt) / 1000 + kLeap)) moves.length = 0;
        if (!moves.length) startHolding(now);
        // The media stood (surely, since the page saw the reading unmoved that long after its
        // move before, or the offset of an engine fresh at every read dropped by more than it
        // moves between looks) or crawled: it is followed afresh, as after a start.
        // Not on the first move after the page's own thread stood: a stale reading (above) and
        // a media that stood through the stall look the same there, so the next move judges.
        // Meanwhile the readings are followed: their lower answer leaves the canvas as it is,
        // where the held offset's would draw ahead of a sound that stood.
        doubt = afterStall;
        afterStall = false;
        if (!doubt) {
          const offset = reading - now / 1000;
          const fresh = moves.length > 1 && spacing() < kFreshSteps * median(looks);
          const drop = sures.length ? Math.max(...sures.map(([, was]) => was)) - offset : 0;
          const usual = misses.length >= kFewest ? Math.max(...misses) / 1000 : Infinity;
          if (held !== null) {
            const [at, was] = path.find(([seenAt]) => seenAt <= now - kCrawlSpan) ?? [now, reading];
            const crawled = now - at >= kCrawlSpan && reading - was < (kCrawl * (now - at)) / 1000;
            if (crawled || (before - movedAt) / 1000 - (reading - last) > kStood || (fresh && drop > kStood + usual)) startHolding(now);
          }
          // How far the offset moves from one look to the next where the engine reads afresh
          // and nothing stood: the measure a drop is taken against.
          if (fresh && held !== null && sures.length && sures.at(-1)[0] === before) {
            misses.push(Math.abs(offset - sures.at(-1)[1]) * 1000);
            if (misses.length > 60) misses.shift();
          }
          sures.push([now, offset]);
          while (sures.length > 1 && sures[1][0] <= now - kDropSpan) sures.shift();
        }
        path.unshift([now, reading]);
        while (path.length > 2 && path.at(-2)[0] <= now - kCrawlSpan) path.pop();
        last = reading;
        movedAt = now;
        moves.push([now, reading - now / 1000, reading - (before ?? now - 1000 / 60) / 1000]);
        away = 0;
      } else if (stoodHere) {
        away += gap;
      }
      while (moves.length > 1 && moves[0][0] < now - kPaceSpan) moves.shift();
      if (holdFrom === null || now < holdFrom) return;
      const followed = follow(now) - now / 1000;
      held = held === null ? followed : Math.max(followed, held - (kSlowest * (now - heldAt)) / 1000);
      heldAt = now;
    },
    // The media time heard at page time `when`, or null before it moved: what the readings say,
    // never below the held offset but for the time they stand now.
    heard(when) {
      const followed = follow(when);
      if (followed === null || held === null || doubt) return followed;
      const standing = Math.max(0, when - movedAt - away - 1000 * reach()) / 1000;
      return Math.max(followed, when / 1000 + held - standing);
    },
    reset() {
      moves.length = 0;
      last = null;
      movedAt = -Infinity;
      away = 0;
      holdFrom = null;
      held = null;
      afterStall = false;
      doubt = false;
      sures.length = 0;
      path.length = 0;
    },
  };

  // What the readings say is heard at page time `when`, or null before they moved.
  function follow(when) {
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
  }
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
