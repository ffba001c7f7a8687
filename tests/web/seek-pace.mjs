// seek-pace.mjs: how often an engine's media clock leaves its sound after a seek. The built page
// plays into a private PulseAudio server with the browser test's canary and a recording of the
// sink's monitor (without those, Firefox's clock kept its pace at every seek here), one core kept
// busy; the seek bar is moved to a random point every `--every` ms, and the element's currentTime
// is noted against the page's clock at every frame. A playing element's clock moves at its
// output's pace, so the pace of its readings between seeks, fitted as a line, should be 100 % within
// a fraction of a per cent; under 99 % it has slipped. `--routed` plays the element through an
// AudioContext (createMediaElementSource), made in the start's click.
//   node tests/web/seek-pace.mjs [--engine firefox] [--seeks 150] [--every 4000] [--routed]
// (the site built first, by `make web` or `./test.sh web`)
import { spawn } from 'node:child_process';
import { existsSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';
import { launch } from './driver.mjs';
import { startSoundServer, tieToTest } from '../sound.mjs';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
const { values: options } = parseArgs({ options: {
  engine: { type: 'string', default: 'firefox' }, seeks: { type: 'string', default: '150' },
  every: { type: 'string', default: '4000' }, routed: { type: 'boolean', default: false } } });
const [seeks, every] = [Number(options.seeks), Number(options.every)];
const site = join(root, 'build-web/site');
if (!existsSync(join(site, 'index.html'))) {
  console.error(`seek-pace: no built site in ${site}: make web builds it`);
  process.exit(1);
}
if (!(seeks > 0) || !(every >= 2000)) {
  console.error('seek-pace: --seeks takes a count above 0, --every a time of 2000 ms or more');
  process.exit(2);
}
const kSlipped = 0.99;
const wait = (ms) => new Promise((done) => setTimeout(done, ms));
const folder = mkdtempSync(join(tmpdir(), 'seek-pace-'));
const children = [];
let sound, browser;
try {
  const server = tieToTest(spawn(process.execPath, [join(root, 'scripts/serve-web.mjs'), site, '0']));
  children.push(server);
  const url = await new Promise((done) => server.stdout.on('data', (text) => done(String(text).match(/http:\/\/\S+/)[0])));
  sound = await startSoundServer(join(folder, 'pulse'));
  sound.canary(200);
  const stopRecording = await sound.record(join(folder, 'monitor.raw'));
  browser = await launch(options.engine, { env: sound.env, folder: join(folder, 'profile') });
  children.push(tieToTest(spawn(process.execPath, ['-e', 'for (;;);'], { stdio: 'ignore' })));
  const page = await browser.open(url);
  await page.waitFor(() => { const o = document.getElementById('overlay'); return !!o && !o.disabled && !o.hidden; }, null, 60000, 'the start button');
  await page.evaluate((routed) => {
    window.readings = [];
    let element = null;
    const play = HTMLMediaElement.prototype.play;
    HTMLMediaElement.prototype.play = function (...rest) {
      if (routed && !element) {
        const context = new AudioContext();
        context.createMediaElementSource(this).connect(context.destination);
      }
      element = this;
      return play.apply(this, rest);
    };
    const note = () => { if (element) window.readings.push([performance.now(), element.currentTime]); requestAnimationFrame(note); };
    requestAnimationFrame(note);
  }, options.routed);
  await page.click('#overlay');
  await wait(every);
  const seekTimes = [];
  for (let i = 0; i < seeks; ++i) {
    seekTimes.push(await page.evaluate(() => performance.now()));
    await page.seek(5000 + Math.floor(Math.random() * 95000));
    await wait(every);
  }
  const readings = await page.evaluate(() => window.readings);
  await stopRecording();
  // Each seek's pace: the moves of the reading from 0.5 s after it to 0.5 s before the next.
  const paces = seekTimes.map((at) => {
    const moves = [];
    let last = null;
    for (const [ms, reading] of readings) {
      if (ms > at + 500 && ms < at + every - 500 && reading !== last) moves.push([ms / 1000, reading]);
      last = reading;
    }
    if (moves.length < 10) return null;
    const mean = (i) => moves.reduce((sum, move) => sum + move[i], 0) / moves.length;
    const [mx, my] = [mean(0), mean(1)];
    return moves.reduce((sum, [x, y]) => sum + (x - mx) * (y - my), 0) / moves.reduce((sum, [x]) => sum + (x - mx) ** 2, 0);
  });
  const known = paces.filter((pace) => pace !== null);
  if (!known.length) throw new Error('the element\'s clock never moved between seeks');
  const slipped = known.filter((pace) => pace < kSlipped);
  console.log(`${options.engine}${options.routed ? ', routed through an AudioContext' : ''}: ${seeks} seeks ${every} ms apart, ` +
              `${slipped.length} of ${known.length} slipped (paces under ${kSlipped * 100} %: ${slipped.map((p) => (p * 100).toFixed(1)).join(', ') || 'none'}); ` +
              (slipped.length < known.length ? `the others ${(Math.min(...known.filter((p) => p >= kSlipped)) * 100).toFixed(1)} to ` +
                                               `${(Math.max(...known) * 100).toFixed(1)} %` : 'no others'));
} finally {
  await browser?.close();
  await sound?.stop();
  for (const child of children) child.kill();
  rmSync(folder, { recursive: true, force: true });
}
