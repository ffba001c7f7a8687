// page.test.mjs: the web build's page in headless Chromium, served over HTTP by the project's own
// server: the desktop's frames out of the canvas, the music heard and in step with the pictures,
// the frame rate, the end by a key press, and clear messages when the page cannot run.
//   node --test tests/web/page.test.mjs    (./test.sh web builds first; SHOW_RENDER and SHOW_WEB_SITE
//   point at another desktop renderer or built site, SHOW_CHROMIUM at another Chromium)
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import { createHash } from 'node:crypto';
import { mkdirSync, mkdtempSync, readFileSync, rmSync, symlinkSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { after, before, test } from 'node:test';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
const site = resolve(process.env.SHOW_WEB_SITE ?? join(root, 'build-web/site'));
const render = resolve(process.env.SHOW_RENDER ?? join(root, 'build/render'));
const scratch = mkdtempSync(join(tmpdir(), 'show-web-'));
const servers = [];
let browser;

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
  browser = await chromium.launchPersistentContext(join(scratch, 'profile'), {
    executablePath: process.env.SHOW_CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run'],
  });
});

after(async () => {
  await browser?.close();
  for (const server of servers) server.kill();
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
  const frames = join(scratch, 'frames');
  execFileSync(render, ['--times', times.join(','), '--format', 'raw', '--out', frames]);
  // The canvas holds red, green, blue, alpha: the renderer's words become blue, green, red and
  // an opaque alpha where the word's top byte was (no display shows it; some scenes leave bits
  // there).
  const expected = times.map((t) => {
    const words = readFileSync(join(frames, `${t}.raw`));
    for (let p = 0; p < words.length; p += 4) [words[p], words[p + 2], words[p + 3]] = [words[p + 2], words[p], 255];
    return createHash('sha256').update(words).digest('hex');
  });

  const { page, errors } = await openPage(await serve(site));
  await page.waitForSelector('#overlay:not([disabled])');
  // Each time drawn by the show's own code and copy, then read back from the canvas.
  const seen = await page.evaluate(async (times) => {
    const context = document.getElementById('canvas').getContext('2d');
    const hashes = [];
    for (const [i, t] of times.entries()) {
      Module._drawShowTime(t, i === 0 ? 1 : 0);
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

// Taps the page's audio before it starts: every connection to the speakers also feeds an
// analyser, and every buffer scheduled is noted with its start and length. Times each call the
// browser makes for a new frame, and notes main-thread tasks over 50 ms.
function watchPage() {
  const audio = (window.audioTap = { buffers: [] });
  const connect = AudioNode.prototype.connect;
  AudioNode.prototype.connect = function (target, ...rest) {
    if (target instanceof AudioDestinationNode) {
      if (!audio.analyser) {
        audio.context = this.context;
        audio.analyser = this.context.createAnalyser();
      }
      connect.call(this, audio.analyser);
    }
    return connect.call(this, target, ...rest);
  };
  const start = AudioBufferSourceNode.prototype.start;
  AudioBufferSourceNode.prototype.start = function (when = 0, ...rest) {
    audio.buffers.push({ at: when, length: this.buffer.duration });
    return start.call(this, when, ...rest);
  };
  const frames = (window.frameTimes = []);
  const requestFrame = window.requestAnimationFrame.bind(window);
  window.requestAnimationFrame = (callback) => requestFrame((stamp) => {
    const begun = performance.now();
    callback(stamp);
    frames.push({ stamp, took: performance.now() - begun });
  });
  window.longTasks = [];
  new PerformanceObserver((list) => window.longTasks.push(...list.getEntries().map((e) => e.duration)))
    .observe({ type: 'longtask', buffered: true });
}

test('the show plays its music in step, at the display\'s rate, until a key ends it', async () => {
  const { page, errors } = await openPage(await serve(site), watchPage);
  await page.waitForSelector('#overlay:not([disabled])');
  await page.click('#overlay');

  // Twenty seconds of play: the level reaching the speakers every quarter second, and from 10 s
  // on MikMod's song position against the show clock. MikMod's position is what its player has
  // mixed; what is heard lags it by the audio scheduled after the moment now leaving the
  // speakers (the audio clock's output stamp, carried on by the page's clock), gaps included.
  const run = await page.evaluate(async () => {
    const { context, analyser, buffers } = window.audioTap;
    const samples = new Float32Array(analyser.fftSize);
    const levels = [], offsets = [];
    const begun = performance.now();
    window.frameTimes.length = 0;
    while (performance.now() - begun < 20000) {
      await new Promise((done) => setTimeout(done, 250));
      analyser.getFloatTimeDomainData(samples);
      levels.push(Math.sqrt(samples.reduce((sum, v) => sum + v * v, 0) / samples.length));
      const stamp = context.getOutputTimestamp();
      const now = stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000;
      const waiting = Math.max(0, ...buffers.map(({ at, length }) => at + length - now));
      const show = Module._showClock();
      if (show >= 10000) offsets.push(Module._mixedSongTime() - waiting * 1000 - show);
    }
    return { levels, offsets, frames: window.frameTimes.slice(), longTasks: window.longTasks };
  });

  const quiet = run.levels.filter((level) => level < 0.005).length;
  console.log(`web: sound level (RMS) ${Math.min(...run.levels).toFixed(3)} to ` +
              `${Math.max(...run.levels).toFixed(3)}, ${quiet} of ${run.levels.length} samples quiet`);
  // A starved audio queue on a busy machine leaves moments of silence; a song that does not
  // reach the speakers leaves nothing but.
  assert.ok(quiet < run.levels.length / 2, `the music is silent in ${quiet} of ${run.levels.length} quarter seconds`);

  // MikMod's position moves a whole tick (22 ms) at a time. When a starved queue restarts, the
  // browser schedules the next buffer 50 ms ahead, and until it plays the position computed here
  // runs short while the show clock waits: a busy machine may put a few samples there.
  const apart = run.offsets.filter((offset) => Math.abs(offset) > 50).length;
  console.log(`web: song position minus show clock from 10 s on: ${Math.min(...run.offsets).toFixed(0)}` +
              ` to ${Math.max(...run.offsets).toFixed(0)} ms in ${run.offsets.length} samples, ${apart} over 50`);
  assert.ok(run.offsets.length >= 10, 'the show clock did not reach 10 s');
  assert.ok(apart <= run.offsets.length / 10, `the song position and the show clock are over 50 ms apart in ` +
            `${apart} of ${run.offsets.length} samples`);

  // Frame rate and main-thread time per frame.
  const took = run.frames.map((f) => f.took).sort((a, b) => a - b);
  const at = (q) => took[Math.min(took.length - 1, Math.floor(q * took.length))].toFixed(1);
  const stamps = run.frames.map((f) => f.stamp);
  const rate = (stamps.length - 1) / ((stamps.at(-1) - stamps[0]) / 1000);
  const gaps = stamps.slice(1).map((s, i) => s - stamps[i]).sort((a, b) => a - b);
  const over50 = took.filter((ms) => ms > 50).length;
  console.log(`web: ${run.frames.length} frames in 20 s, ${rate.toFixed(1)} a second; main-thread ms ` +
              `per frame: median ${at(0.5)}, 90% ${at(0.9)}, 99% ${at(0.99)}, max ${at(1)}, ${over50} over 50; ` +
              `longest gap between frames ${gaps.at(-1).toFixed(1)} ms; tasks over 50 ms: ${run.longTasks.length}`);
  // The figures above are for reading, not for failing on a busy machine; a frame loop that
  // stalls or runs on a timer instead of the display would fall far below this.
  assert.ok(rate > 30, `${rate.toFixed(1)} frames a second`);

  // A double-click takes the picture to full screen and back; the show plays on.
  for (const full of [true, false]) {
    await page.dblclick('#canvas');
    await page.waitForFunction((full) => !!document.fullscreenElement === full, full);
  }
  assert.ok(await page.evaluate(() => Module._mixedSongTime() > 0), 'the show ended on a double-click');

  // A key ends the show: the music stops, the last frame stays, the page offers to play again.
  await page.keyboard.press('x');
  await page.waitForSelector('#again:not([hidden])');
  assert.equal(await page.evaluate(() => Module._mixedSongTime()), -1);
  const lit = await page.evaluate(() => {
    const data = document.getElementById('canvas').getContext('2d').getImageData(0, 0, 320, 240).data;
    return data.some((value, i) => i % 4 !== 3 && value > 0);
  });
  assert.ok(lit, 'the canvas went black when the show ended');
  // And it plays again from the start; a key pressed in between does not end the new run.
  await page.keyboard.press('y');
  await page.click('#again');
  await page.waitForTimeout(1000);
  const restarted = await page.evaluate(() => Module._showClock());
  assert.ok(restarted > 0 && restarted < 2000, `show clock ${restarted} ms a second after playing again`);
  assert.ok(await page.locator('#again').isHidden(), 'the new run ended at once');
  assert.deepEqual(errors, []);
  await page.close();
});

test('a page that cannot run says so', async (t) => {
  // The site without its data file, as after an incomplete upload.
  const partial = join(scratch, 'partial');
  mkdirSync(partial);
  for (const file of ['index.html', 'style.css', 'page.js', 'show.js', 'show.wasm'])
    symlinkSync(join(site, file), join(partial, file));
  const cases = [
    { name: 'no data file', url: await serve(partial), expected: /could not be loaded/ },
    { name: 'no WebAssembly', url: await serve(site), init: () => { delete window.WebAssembly; },
      expected: /cannot run WebAssembly/ },
  ];
  for (const { name, url, init, expected } of cases) {
    await t.test(name, async () => {
      const { page } = await openPage(url, init);
      const message = page.locator('#message');
      await message.waitFor({ state: 'visible', timeout: 15000 });
      assert.match(await message.textContent(), expected);
      assert.ok(!(await page.locator('#overlay').isVisible()), 'the start overlay is still shown');
      await page.close();
    });
  }
});
