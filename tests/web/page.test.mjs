// page.test.mjs: the web build's page in headless Chromium, served by the project's own server,
// its sound played into a private PulseAudio server and recorded: the desktop's frames out of the
// canvas, seeks that land on exactly the frame a continuous run has, the keys a player takes and
// those it leaves to the browser, a recording of over a minute of play with stalls, a pause,
// seeks and replays in which the song never breaks and the picture keeps to it, and clear
// messages when the page cannot run.
//   node --test tests/web/page.test.mjs    (./test.sh web builds first; SHOW_RENDER, SHOW_CAPTURE
//   and SHOW_WEB_SITE point at other desktop tools or another built site, SHOW_CHROMIUM at
//   another Chromium; SHOW_WEB_DEBUG names a folder that keeps the recording and the page's log)
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import { createHash } from 'node:crypto';
import { mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, symlinkSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { after, before, test } from 'node:test';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { kRate, locateSong, monoOf, onsetOf, readWav, startSoundServer } from './sound.mjs';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
const site = resolve(process.env.SHOW_WEB_SITE ?? join(root, 'build-web/site'));
const render = resolve(process.env.SHOW_RENDER ?? join(root, 'build/render'));
const capture = resolve(process.env.SHOW_CAPTURE ?? join(root, 'build/capture'));
const scratch = mkdtempSync(join(tmpdir(), 'show-web-'));
const servers = [];
let browser, sound;

// Serves a folder with scripts/serve-web.mjs and answers with the address it prints.
async function serve(folder) {
  const server = spawn(process.execPath, [join(root, 'scripts/serve-web.mjs'), folder, '0']);
  servers.push(server);
  return new Promise((done, failed) => {
    server.stdout.on('data', (text) => done(String(text).match(/http:\/\/\S+/)[0]));
    server.on('exit', (code) => failed(new Error(`serve-web.mjs ended with status ${code}`)));
  });
}

before(async () => {
  mkdirSync(join(scratch, 'pulse'));
  sound = await startSoundServer(join(scratch, 'pulse'));
  // Chromium with its sound on, into the private server.
  browser = await chromium.launchPersistentContext(join(scratch, 'profile'), {
    executablePath: process.env.SHOW_CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    env: sound.env,
    ignoreDefaultArgs: ['--mute-audio'],
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run'],
  });
});

after(async () => {
  await browser?.close();
  for (const server of servers) server.kill();
  sound?.stop();
  rmSync(scratch, { recursive: true, force: true });
});

async function openPage(url, initScript) {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  if (initScript) await page.addInitScript(initScript);
  await page.goto(url);
  return { page, errors };
}

// The renderer's frames for `times`, drawn in order on one buffer from black, as canvas bytes
// (red, green, blue, opaque alpha) keyed by time.
function rendered(times, folder) {
  rmSync(folder, { recursive: true, force: true });
  execFileSync(render, ['--times', times.join(','), '--format', 'raw', '--out', folder]);
  const frames = new Map();
  for (const t of times) {
    const words = readFileSync(join(folder, `${t}.raw`));
    for (let p = 0; p < words.length; p += 4) [words[p], words[p + 2], words[p + 3]] = [words[p + 2], words[p], 255];
    frames.set(t, words);
  }
  rmSync(folder, { recursive: true, force: true });
  return frames;
}
const sha = (bytes) => createHash('sha256').update(bytes).digest('hex');
const canvasHash = (page) => page.evaluate(async () => {
  const data = document.getElementById('canvas').getContext('2d').getImageData(0, 0, 320, 240).data;
  const digest = await crypto.subtle.digest('SHA-256', data);
  return [...new Uint8Array(digest)].map((b) => b.toString(16).padStart(2, '0')).join('');
});

// Show times: four from each window of the timeline (first and last millisecond included), the
// credit pages, the instants no window holds, and runs of consecutive frames through the radial
// blur, whose every frame builds on the one before.
function showTimes() {
  const windows = [[0, 8800], [8800, 8200], [17000, 17500], [34500, 16500], [51000, 8600],
    [59600, 8700], [68300, 200], [68500, 16800], [85300, 12700], [98000, 1000], [99000, 3250],
    [102250, 12750], [115001, 126], [115128, 510], [115639, 5000]];
  const times = new Set([115000, 115127, 115638]);
  for (const [start, length] of windows)
    for (let k = 0; k < 4; ++k) times.add(start + Math.floor((k * (length - 1)) / 3));
  for (const page of [99000, 99800, 100200, 101100, 101600]) times.add(page).add(page + 150);
  for (let t = 68500; t < 68510; ++t) times.add(t);        // the blur starting on black
  for (let t = 76000; t < 76300; t += 20) times.add(t);     // mid-blur at 50 frames a second
  for (let t = 85100; t < 85300; t += 20) times.add(t);     // into its last frame
  return [...times].sort((a, b) => a - b);
}

test('the canvas shows the desktop renderer\'s frames', async () => {
  const times = showTimes();
  const frames = rendered(times, join(scratch, 'frames'));
  const expected = times.map((t) => sha(frames.get(t)));

  const { page, errors } = await openPage(await serve(site));
  await page.waitForSelector('#overlay:not([disabled])');
  // Each time drawn by the show's own code into its canvas picture, put on the canvas as the
  // page does, and read back.
  const seen = await page.evaluate(async (times) => {
    const context = document.getElementById('canvas').getContext('2d');
    const hashes = [];
    for (const [i, t] of times.entries()) {
      Module._drawShowTime(t, i === 0 ? 1 : 0);
      const pixels = new Uint8ClampedArray(Module.HEAPU8.buffer, Module._canvasPixels(), 320 * 240 * 4);
      context.putImageData(new ImageData(pixels.slice(), 320, 240), 0, 0);
      const digest = await crypto.subtle.digest('SHA-256', context.getImageData(0, 0, 320, 240).data);
      hashes.push([...new Uint8Array(digest)].map((b) => b.toString(16).padStart(2, '0')).join(''));
    }
    return hashes;
  }, times);
  const differing = times.filter((t, i) => seen[i] !== expected[i]);
  console.log(`web: ${times.length} frames compared, ${differing.length} differ`);
  assert.deepEqual(differing, [], 'frames that differ from the desktop renderer\'s');
  assert.deepEqual(errors, []);
  await page.close();
});

test('a link to a moment, seeks to exact frames, and the keys a player takes', async () => {
  const { page, errors } = await openPage(`${await serve(site)}#t=64.5`);
  await page.waitForSelector('#overlay:not([disabled])');
  // Keyboard users start it: the start button has the focus, Enter presses it.
  await page.keyboard.press('Enter');
  await page.waitForSelector('#overlay', { state: 'hidden' });
  await page.waitForTimeout(600);
  await page.keyboard.press(' ');
  await page.waitForFunction(() => document.getElementById('play').textContent === 'play');
  const paused = await page.evaluate(() => [document.getElementById('time').value, location.hash]);
  const pausedAt = Number(paused[1].slice(3));
  assert.ok(pausedAt >= 64.5 && pausedAt < 66, `started from #t=64.5, paused at ${paused}`);

  // The browser's own keys pass by; the player's keys without modifiers are its own.
  await page.evaluate(() => {
    window.keysSeen = [];
    window.addEventListener('keydown', (event) => window.keysSeen.push([event.key, event.ctrlKey, event.defaultPrevented]));
  });
  for (const key of ['Control+Equal', 'Control+Minus', 'Shift', 'Tab', 'F11', 'Control+ArrowRight']) await page.keyboard.press(key);
  const browsers = await page.evaluate(() => window.keysSeen.filter(([, , prevented]) => prevented));
  assert.deepEqual(browsers, [], 'browser keys the page kept for itself');
  assert.equal(await page.locator('#play').textContent(), 'play', 'a browser key changed the player');

  // Seeks while paused: the picture is at once the frame a continuous run shows at the target.
  // The blur's targets are checked against the renderer drawing every 60 fps frame of the blur
  // before them, as a continuous run does.
  const targets = [2000, 9000, 20000, 40000, 55000, 62000, 69000, 70500, 90000, 100000, 104000, 116000];
  const grid = (t) => { const r = []; for (let n = Math.ceil((68300 * 60) / 1000); Math.floor((n * 1000) / 60) < t; ++n) r.push(Math.floor((n * 1000) / 60)); return r; };
  const differing = [];
  await page.locator('#seek').focus();
  for (const t of targets) {
    const times = t >= 68500 && t < 85300 ? [...grid(t), t] : [t];
    const expected = sha(rendered(times, join(scratch, 'seek')).get(t));
    await page.locator('#seek').fill(String(t));
    if (await canvasHash(page) !== expected) differing.push(t);
    assert.equal(await page.evaluate(() => location.hash), `#t=${(t / 1000).toFixed(1)}`, 'the address follows a paused seek');
  }
  console.log(`web: ${targets.length} seeks compared with the renderer's continuous frames, ${differing.length} differ`);
  assert.deepEqual(differing, [], 'seek targets whose frame differs');

  // The arrow keys move five seconds, Home goes to the start, K plays and Space pauses.
  await page.locator('#canvas').focus().catch(() => {});
  await page.evaluate(() => document.activeElement.blur());
  await page.keyboard.press('ArrowLeft');
  assert.equal(await page.evaluate(() => location.hash), '#t=111.0');
  await page.keyboard.press('Home');
  assert.equal(await page.evaluate(() => location.hash), '#t=0.0');
  await page.keyboard.press('k');
  await page.waitForTimeout(700);
  await page.keyboard.press(' ');
  const stopped = Number((await page.evaluate(() => location.hash)).slice(3));
  assert.ok(stopped > 0.2 && stopped < 1.5, `K played from the start and Space paused at ${stopped} s`);
  assert.deepEqual(errors, []);
  await page.close();
});

// Notes in the page, before it runs, the audio context it makes, each frame handed to the canvas
// (when, the context time heard then by the output stamp, and an 8 x 8 grid of its pixels), and
// main-thread tasks over 50 ms.
function watchPage() {
  document.addEventListener('click', () => { window.clickedAt ??= performance.now(); }, true);
  const Context = window.AudioContext;
  window.AudioContext = class extends Context {
    constructor(...options) { super(...options); window.showContext = this; }
  };
  const presents = (window.presents = []);
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function (image, ...rest) {
    put.call(this, image, ...rest);
    const at = performance.now();
    const stamp = window.showContext?.getOutputTimestamp();
    const grid = [];
    for (let y = 15; y < 240; y += 30) for (let x = 20; x < 320; x += 40) {
      const p = 4 * (y * 320 + x);
      grid.push(image.data[p], image.data[p + 1], image.data[p + 2]);
    }
    presents.push({ at, heard: stamp?.performanceTime > 0 ? stamp.contextTime + (at - stamp.performanceTime) / 1000 : null, grid });
  };
  window.longTasks = [];
  new PerformanceObserver((list) => window.longTasks.push(...list.getEntries().map((e) => [e.startTime, e.duration])))
    .observe({ type: 'longtask', buffered: true });
}

// The context time at the loudspeaker now, by the output stamp.
const heardNow = (page) => page.evaluate(() => {
  const stamp = window.showContext.getOutputTimestamp();
  return stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000;
});
const showTime = (page) => page.evaluate(() => {
  const [m, s] = document.getElementById('time').value.split(':');
  return 60000 * Number(m) + 1000 * Number(s);
});
const stall = (page, ms) => page.evaluate((ms) => { const end = performance.now() + ms; while (performance.now() < end); }, ms);
// A click through the page's own audio context at a known context time, to find in the recording.
const click = (page) => page.evaluate(() => {
  const context = window.showContext;
  const buffer = context.createBuffer(1, 64, 44100);
  buffer.getChannelData(0).fill(0.8, 0, 16);
  const node = new AudioBufferSourceNode(context, { buffer });
  node.connect(context.destination);
  const at = Math.ceil((context.currentTime + 0.3) * 44100) / 44100;
  node.start(at);
  return at;
});

// Scene cuts: the first five have clear musical onsets; the last ends the radial blur, which a
// seek into the blur plays through.
const kCuts = [8800, 17000, 34500, 51000, 59600, 85300];

test('the sound never breaks through stalls, a pause, seeks and replays, and the picture keeps to it', async (t) => {
  // The song as the page mixes it, and the renderer's frames on either side of each cut.
  const reference = join(scratch, 'song.wav');
  execFileSync(capture, ['--module', join(root, 'assets/musa.xm'), '--audio', reference]);
  const song = readWav(reference);
  const cutFrames = rendered(kCuts.flatMap((c) => [c - 1, c]), join(scratch, 'cuts'));
  const gridOf = (bytes) => { const g = []; for (let y = 15; y < 240; y += 30) for (let x = 20; x < 320; x += 40) { const p = 4 * (y * 320 + x); g.push(bytes[p], bytes[p + 1], bytes[p + 2]); } return g; };
  const distance = (a, b) => a.reduce((sum, v, i) => sum + Math.abs(v - b[i]), 0);

  const recording = join(scratch, 'monitor.raw');
  const stopRecording = await sound.record(recording);
  const { page, errors } = await openPage(await serve(site), watchPage);
  await page.waitForSelector('#overlay:not([disabled])');
  const actions = [];  // {what, heard: context time at the loudspeaker, song: song frame it starts}
  const act = async (what, song, doIt) => {
    const heard = await heardNow(page).catch(() => null);
    await doIt();
    const done = await heardNow(page);
    actions.push({ what, heard: heard ?? done, done, song });
  };
  const until = async (ms) => { while ((await showTime(page)) < ms) await page.waitForTimeout(50); };
  await page.click('#overlay');
  // The click's moment on the audio clock, carried back from its first output stamp.
  await page.waitForFunction(() => window.showContext?.getOutputTimestamp().performanceTime > 0);
  actions.push({ what: 'start', song: 0, heard: await page.evaluate(() => {
    const stamp = window.showContext.getOutputTimestamp();
    return stamp.contextTime + (window.clickedAt - stamp.performanceTime) / 1000;
  }) });

  const stalls = [5000, 25000, 45000];
  for (const at of stalls) {
    if (at === 45000) {
      await until(30000);  // a pause of two seconds, with a click in its silence
      await act('pause', null, () => page.keyboard.press(' '));
      await page.waitForTimeout(1200);
      actions.clicks = [await click(page)];
      await page.waitForTimeout(800);
      const pausedAt = await showTime(page);  // where the sound stopped, to a tenth of a second
      await act('resume', Math.ceil((pausedAt * kRate) / 1000), () => page.keyboard.press(' '));
    }
    await until(at);
    await stall(page, at === 45000 ? 600 : 300);  // the last one twice as long
  }
  await until(61000);
  for (const [target, wait] of [[84000, 3000], [57500, 4000], [116000, 0]]) {
    await act('seek', Math.ceil((target * kRate) / 1000), () => page.locator('#seek').fill(String(target)));
    await page.waitForTimeout(wait);
  }
  // Two replays from the end: the button, then Home and Space.
  await page.waitForSelector('#again:not([hidden])', { timeout: 15000 });
  await act('replay', 0, () => page.click('#again'));
  await page.waitForTimeout(3000);
  await act('seek', Math.ceil((116000 * kRate) / 1000), () => page.locator('#seek').fill('116000'));
  await page.waitForSelector('#again:not([hidden])', { timeout: 15000 });
  await page.evaluate(() => document.activeElement.blur());
  await page.keyboard.press('Home');
  await act('replay', 0, () => page.keyboard.press(' '));
  await page.waitForTimeout(3000);
  await act('pause', null, () => page.keyboard.press(' '));
  await page.waitForTimeout(800);
  actions.clicks.push(await click(page));
  await page.waitForTimeout(800);
  const { presents, longTasks } = await page.evaluate(() => ({ presents: window.presents, longTasks: window.longTasks }));
  await stopRecording();
  await page.close();
  assert.deepEqual(errors, []);

  // The recording and the page's context time: the clicks, played at known context times.
  if (process.env.SHOW_WEB_DEBUG) {
    writeFileSync(join(process.env.SHOW_WEB_DEBUG, 'run.json'), JSON.stringify({ actions, clicks: actions.clicks, presents, longTasks }));
    execFileSync('cp', [recording, reference, process.env.SHOW_WEB_DEBUG]);
  }
  const heard = monoOf(readFileSync(recording));
  const clickAt = [];
  let from = 0;
  const recOf = (contextTime) => clickAt[0] + Math.round((contextTime - actions.clicks[0]) * kRate);
  for (const [i, at] of actions.clicks.entries()) {
    // Each click lies in a pause's silence, where the recording at its context time should be.
    const expected = i === 0 ? 0 : recOf(at) - kRate / 2;
    const found = onsetOf(heard, Math.max(from, expected), 0.6, kRate / 4);
    assert.ok(found >= 0, `click ${i} is not in the recording`);
    clickAt.push(found);
    from = found + kRate / 10;
  }
  const drift = (clickAt[1] - recOf(actions.clicks[1])) / kRate * 1000;
  for (const action of actions) [action.rec, action.recDone] = [Math.max(0, recOf(action.heard)), recOf(action.done ?? action.heard)];

  // The song's place in the recording every half second.
  const starts = actions.filter((a) => a.song !== null);
  const places = locateSong(heard, song, actions[0].rec, clickAt[1] - kRate / 5, starts.map((a) => [a.song, a.rec, a.what === 'start' ? 2.5 : 1.5]));
  // An action's effect on the sound: from the moment it was asked for until the sound before it
  // has played out and the new sound begun (the lead and the output's latency, longer when busy).
  const kSettle = 2.5 * kRate;
  const near = (rec) => actions.some((a) => rec >= a.rec - kRate / 5 && rec <= a.recDone + kSettle);
  const breaks = [];
  let last = null;
  for (const place of places) {
    if (place.quiet) continue;
    if (place.lost) {
      if (!near(place.at)) breaks.push(`${(place.at / kRate).toFixed(1)} s: not the song (level ${place.level.toFixed(2)})`);
      continue;
    }
    if (last && Math.abs(place.shift - last.shift) > 0.003 * kRate && !actions.some((a) => a.rec <= place.at && a.recDone + kSettle >= last.at))
      breaks.push(`${(place.at / kRate).toFixed(1)} s: the song jumps ${((place.shift - last.shift) / kRate * 1000).toFixed(1)} ms`);
    last = place;
  }
  // No burst: from each start from silence (the first, and the replays after the end), nothing
  // louder than the song's own first seconds.
  const bursts = [];
  for (const start of starts.filter((a) => a.song === 0)) {
    let loudest = 0, songs = 0;
    for (let i = start.rec; i < start.rec + 2 * kRate; ++i) loudest = Math.max(loudest, Math.abs(heard[i]));
    for (let i = 0; i < 2 * kRate; ++i) songs = Math.max(songs, Math.abs(song[i]));
    if (loudest > songs * 1.1 + 0.01) bursts.push(`${start.what} at ${(start.rec / kRate).toFixed(1)} s: peak ${loudest.toFixed(2)}, the song's ${songs.toFixed(2)}`);
  }

  // Picture and sound: where each cut's first frame was handed over against where the cut was
  // heard; the seeks land shortly before a cut (59.6 s and the blur's end), which measures them.
  const presentRec = presents.filter((p) => p.heard !== null).map((p) => ({ ...p, rec: recOf(p.heard) }));
  // Each stretch of the recording where the song played on unbroken, and the cuts it holds
  // (a cut heard twice, after a seek back, counts twice).
  const stretches = [];
  for (const place of places) {
    if (place.quiet || place.lost) continue;
    const last = stretches[stretches.length - 1];
    if (last && last.shift === place.shift) last.to = place.at + place.shift;
    else stretches.push({ shift: place.shift, from: place.at + place.shift, to: place.at + place.shift });
  }
  const offsets = [];
  for (const { shift, from, to } of stretches) for (const cut of kCuts) {
    const cutFrame = songFrameOf(cut);
    if (cutFrame <= from || cutFrame > to + kRate / 2) continue;
    const soundRec = cutFrame - shift;
    const [before, atCut] = [gridOf(cutFrames.get(cut - 1)), gridOf(cutFrames.get(cut))];
    // The first frame near the cut's own (the blur's last frame, drawn here from black, only
    // gives the scale of the change).
    const first = presentRec.find((p) => p.rec > soundRec - kRate / 2 && 3 * distance(p.grid, atCut) < distance(before, atCut));
    if (first) offsets.push({ what: `cut ${cut}`, ms: ((soundRec - first.rec) / kRate) * 1000 });
  }
  const sorted = offsets.map((o) => o.ms).sort((a, b) => a - b);
  const median = sorted[Math.floor(sorted.length / 2)];

  const underruns = sound.underruns();
  // The stalls this test makes are 300 and 600 ms; a task of over a second is the machine's.
  const starving = longTasks.filter(([, duration]) => duration > 1000).length;
  console.log(`web: ${(heard.length / kRate).toFixed(1)} s recorded, the song placed ${places.filter((p) => p.shift !== undefined && !p.lost).length} times, ` +
              `${breaks.length} breaks, ${bursts.length} bursts; first sound ${((onsetOf(heard, actions[0].rec, 0.002) - actions[0].rec) / kRate * 1000).toFixed(0)} ms after the click`);
  console.log(`web: sound minus picture (ms): ${offsets.map((o) => `${o.what} ${o.ms.toFixed(1)}`).join(', ')}; median ${median?.toFixed(1)}`);
  console.log(`web: clicks ${drift.toFixed(1)} ms apart from the output stamp's account; PulseAudio underruns ${underruns}; ` +
              `main-thread tasks over 1 s ${starving}; frames ${presents.length}`);
  for (const line of [...breaks, ...bursts]) console.log(`web:   ${line}`);

  // A starved machine (the sound server ran dry, or the browser stopped for seconds) breaks any
  // sound: said so, not counted as the page's fault.
  if ((breaks.length || Math.abs(drift) > 3) && (underruns > 0 || starving > 0)) {
    t.skip(`the machine starved the run (${underruns} underruns, ${starving} long stalls): ${breaks.join('; ')}`);
    return;
  }
  assert.deepEqual(breaks, [], 'breaks in the recorded song');
  assert.deepEqual(bursts, [], 'noise where the song starts');
  assert.ok(Math.abs(drift) <= 3, `the recording and the audio clock moved ${drift.toFixed(1)} ms apart`);
  assert.equal(offsets.length, kCuts.length + 1, 'cuts not found in the pictures (one is heard twice)');
  for (const { what, ms } of offsets) assert.ok(Math.abs(ms) <= 15, `${what}: sound minus picture ${ms.toFixed(1)} ms`);
  assert.ok(Math.abs(median) <= 10, `median sound minus picture ${median.toFixed(1)} ms`);
});
const songFrameOf = (ms) => Math.ceil((ms * kRate) / 1000);

test('a page that cannot run says so in plain words', async (t) => {
  // The site without one of its files, as after an incomplete upload, or with a damaged one.
  const partial = (name, without, damage) => {
    const folder = join(scratch, name);
    mkdirSync(folder);
    for (const file of readdirSync(site))
      if (file === damage) writeFileSync(join(folder, file), readFileSync(join(site, file)).subarray(0, 5000));
      else if (file !== without) symlinkSync(join(site, file), join(folder, file));
    return serve(folder);
  };
  const cases = [
    { name: 'no data file', url: await partial('nodata', 'show.data'), expected: /show\.data.*could not be loaded/ },
    { name: 'a damaged data file', url: await partial('baddata', null, 'show.data'), expected: /show\.data\) is damaged/ },
    { name: 'no program', url: await partial('nowasm', 'show.wasm'), expected: /program.*could not be loaded/ },
    { name: 'a page file missing', url: await partial('nosound', 'sound.js'), expected: /page's own files could not be loaded/ },
    { name: 'a damaged program', url: await partial('badwasm', null, 'show.wasm'), expected: /program is damaged/ },
    { name: 'no WebAssembly', url: await serve(site), init: () => { delete window.WebAssembly; },
      expected: /cannot run WebAssembly/ },
  ];
  for (const { name, url, init, expected } of cases) {
    await t.test(name, async () => {
      const { page } = await openPage(url, init);
      const message = page.locator('#message');
      await message.waitFor({ state: 'visible', timeout: 15000 });
      const text = await message.textContent();
      assert.match(text, expected);
      assert.doesNotMatch(text, /ASSERTIONS|Build with/, 'a developer\'s hint in the message');
      assert.ok(!(await page.locator('#overlay').isVisible()), 'the start button is still shown');
      await page.close();
    });
  }
});
