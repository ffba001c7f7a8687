// clock.test.mjs: the page's audio clock against the ways engines report their output: an honest
// output stamp, WebKit's (its performanceTime ahead and running at twice the page's pace, no
// output latency), Firefox's (a stamp that leaves out the output latency it reports, which is its
// server's queue as it stood when first asked, kept for good), a stamp that goes stale, a stamp
// that jumps away while the sound runs on (Chromium's, on a busy machine), an output that runs
// dry, and a context whose time stops. The heard time must stay within a few milliseconds of the
// truth, or be refused (null) while the context's time stands still; the output latency is asked
// for seldom, and not while the sound starts (Firefox can lock up then).
//   node --test tests/web/clock.test.mjs
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { kQueueShortfall, kUnreportedLatency, makeAudioClock } from '../../src/web/webAudioClock.js';

// An engine rendering in device buffers of `step` seconds whose sound leaves the loudspeaker
// `latency` seconds after the context renders it; `stamp(now, heard, context)` is its output
// stamp, given the context time heard at page time `now`; `reported` its output latency, or a
// function of the queue (what the context rendered and is not heard yet, less `base`) that gives it.
function engine({ step = 0.01, latency = 0.06, base = 0.01, reported = latency - base, stamp = honest }) {
  let now = 1000, started = 1000, stopped = false;
  const asked = [];  // page times outputLatency was read at
  const context = { state: 'running', currentTime: 0, baseLatency: base, get outputLatency() {
    asked.push(now);
    return typeof reported === 'function' ? reported(context.currentTime - ((now - started) / 1000 - latency) - base) : reported;
  } };
  context.getOutputTimestamp = () => stamp(now, (now - started) / 1000 - latency, context);
  return {
    context,
    asked,
    // Page time on by `ms`; the context's time follows in whole device buffers unless stopped.
    advance(ms) {
      now += ms;
      if (!stopped) context.currentTime = Math.floor((now - started) / 1000 / step) * step;
      return now;
    },
    stop() { stopped = true; },
    lose(seconds) { latency += seconds; },  // output lost while the context's time ran on
    restart() { stopped = false; started = now - context.currentTime * 1000; },
    truth: () => (now - started) / 1000 - latency,  // the context time leaving the loudspeaker
  };
}

// The stamp says which context time was heard a moment ago, a little late.
function honest(now, heard) { return { contextTime: heard - 0.004, performanceTime: now - 4 }; }

// Runs `seconds` of frames at 60 a second, observing the clock each frame; answers the clock and
// the largest error of its heard time from `from` seconds on (ms), the last second by default.
function play(device, seconds, clock = makeAudioClock(device.context), from = seconds - 1) {
  let worst = 0;
  for (let i = 0; i < seconds * 60; ++i) {
    const now = device.advance(1000 / 60);
    clock.observe(now);
    if (i >= from * 60) worst = Math.max(worst, Math.abs(clock.heard(now) - device.truth()) * 1000);
  }
  return { clock, worst };
}

test('each engine\'s report gives the heard time within a few milliseconds', async (t) => {
  const cases = {
    // Believed from its first half second, before the output latency is asked for (Chromium's
    // latencies: 50 ms rendered ahead, 150 ms in the output).
    'an honest stamp': { latency: 0.2, base: 0.05, source: 'stamp', from: 0.75 },
    // performanceTime ahead of the page and running at twice its pace; no output latency reported.
    'WebKit\'s stamp': { latency: 0.003 + kUnreportedLatency, base: 0.003, reported: 0,
      stamp: (now, heard, context) => ({ contextTime: context.currentTime, performanceTime: 2 * now + 16 }), source: 'latency' },
    // Both stamp fields lag by the output latency, so it says the context's present is heard now;
    // that latency is the queue as it stood when first asked, on average short of it just after
    // the server's last request.
    'Firefox\'s stamp': { latency: 0.03, base: 0, reported: ((kept) => (queue) => (kept ??= queue - kQueueShortfall))(null),
      stamp: (now, heard, context) => ({ contextTime: context.currentTime - 0.03, performanceTime: now - 30 }), source: 'latency' },
    'no stamp at all': { stamp: () => ({ contextTime: 0, performanceTime: 0 }), source: 'latency' },
    // A stamp that stopped being renewed half a second into the run.
    'a stale stamp': { stamp: (now, heard) => (now < 1500 ? { contextTime: heard, performanceTime: now } : { contextTime: 0.44, performanceTime: 1500 }),
      source: 'latency' },
  };
  for (const [name, { source, from = 2, ...report }] of Object.entries(cases)) {
    await t.test(name, () => {
      const device = engine(report);
      const { clock, worst } = play(device, 3, undefined, from);
      assert.equal(clock.source, source);
      assert.ok(worst < 5, `heard time off by ${worst.toFixed(1)} ms`);
      assert.ok(device.asked.length === 1 && device.asked[0] >= 2000, `outputLatency read ${device.asked.length} times in 3 s, first at ${device.asked[0]?.toFixed(0)} ms (the sound started at 1000)`);
    });
  }
});

test('a context whose time stops gives no heard time, and its return is followed', () => {
  const device = engine({});
  const { clock } = play(device, 2);
  device.stop();
  let now = device.advance(300);
  clock.observe(now);
  assert.notEqual(clock.heard(now), null, 'a short gap between device buffers is not a stop');
  now = device.advance(500);
  clock.observe(now);
  assert.equal(clock.running(now), false);
  assert.equal(clock.heard(now), null);
  device.restart();
  assert.ok(play(device, 3, clock).worst < 5, 'the clock follows the context again');
});

test('an output that ran dry is followed within a quarter second, and late frames are not taken for one', async (t) => {
  const latencyPath = { stamp: () => ({ contextTime: 0, performanceTime: 0 }) };
  const error = (clock, device, now) => Math.abs(clock.heard(now) - device.truth()) * 1000;
  for (const [name, report] of [['by the latency', latencyPath], ['by an honest stamp', {}]]) {
    await t.test(`80 ms of output lost, ${name}`, () => {
      const device = engine(report);
      const { clock } = play(device, 3);
      device.stop();
      for (let i = 0; i < 5; ++i) clock.observe(device.advance(1000 / 60));
      device.restart();  // the context renders on from where it stood: heard 83 ms later than before
      for (let i = 0; i < 15; ++i) clock.observe(device.advance(1000 / 60));
      const { worst } = play(device, 3, clock, 0);
      assert.ok(worst < 5, `heard time off by ${worst.toFixed(1)} ms from a quarter second after`);
    });
  }
  await t.test('frames handled late by a busy page, and a page stalled for 300 ms', () => {
    const device = engine(latencyPath);
    const { clock } = play(device, 2);
    let now = 0;
    for (let i = 0; i < 60; ++i) {
      now = device.advance(i === 30 ? 300 : 1000 / 60);
      clock.observe(now + (i % 3 === 0 ? 40 : 0));  // one frame in three comes 40 ms late
      assert.ok(error(clock, device, now) < 5, `heard time off by ${error(clock, device, now).toFixed(1)} ms at frame ${i}`);
    }
  });
});

test('a stamp that jumps while the sound runs on is not followed, and a lasting change is', async (t) => {
  await t.test('80 ms away, and back in steps over nine seconds', () => {
    let away = 0;
    const device = engine({ stamp: (now, heard) => honest(now, heard - away) });
    let { clock, worst } = play(device, 3);
    for (away of [0.08, 0.04, 0.02, 0.01, 0.005, 0.0025, 0]) worst = Math.max(worst, play(device, 1.5, clock, 0).worst);
    assert.ok(worst < 5, `heard time off by ${worst.toFixed(1)} ms`);
  });
  await t.test('30 ms of output lost while the context\'s time ran on', () => {
    const device = engine({});
    const { clock } = play(device, 3);
    device.lose(0.03);
    const { worst } = play(device, 7, clock);
    assert.ok(worst < 5, `heard time off by ${worst.toFixed(1)} ms seven seconds after`);
  });
});
