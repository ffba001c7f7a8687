// playback.test.mjs: the real show as a desktop user gets it, against a private sound server
// (PulseAudio, and PipeWire through its pulse server and in its graph) whose null sink's monitor is
// recorded (sound.mjs), with a preload (flip_log.cpp) that logs every flip and presses keys. One
// run with the player's keys: a start just before a cut, two seeks, a pause, then a minute of the
// show from its start. build/recording-check follows the song through the recording for breaks and
// times every cut against its frame, as it does for the browser page and the Windows program; the
// servers' own counts of underruns, and the machine's own stalls, tell a starved machine from a
// fault. On PulseAudio a second run on SDL's dummy audio sets the frame rate to compare with.
// Ctrl+C and SIGTERM end the runs.
//   node --test tests/playback.test.mjs    (make test runs it; SHOW_BUILD names another build
//   folder, SHOW_PLAYBACK_KEEP a folder that keeps each run)
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { appendFileSync, cpSync, existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { constants, tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { after, before, test } from 'node:test';
import { fileURLToPath } from 'node:url';
import { distance, flips, latestFlip, monotonicToWall, watchStalls } from './flips.mjs';
import { checkRun, cutsLine, fixed, pausesLine, prepareRuns } from './recorded.mjs';
import { exited, startSoundServer, tieToTest, wallNow } from './sound.mjs';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '..');
const build = resolve(process.env.SHOW_BUILD ?? join(root, 'build'));
const [show, render, capture, check] = ['show', 'render', 'capture', 'recording-check'].map((name) => join(build, name));
const flipLog = join(build, 'tests/libflip_log.so');
const scratch = mkdtempSync(join(tmpdir(), 'show-playback-'));
const wait = (ms) => new Promise((done) => setTimeout(done, ms));
const kRate = 44100;
const songFrameAt = (ms) => Math.floor((ms * kRate) / 1000);

// Scene cuts whose music has a clear onset: the helmet, the stripes and logo, the pan, the voxel
// landscape, the plasma warp.
const kCuts = [8800, 17000, 34500, 51000, 59600];
const kFrom = 59000;  // the start, and Home's seek: 600 ms before the plasma's cut
const kTolerance = 20, kMedianTolerance = 10;  // ms
const kStall = 0.25;  // s without a flip: the machine did not run the show
const kClicks = 8;

after(() => rmSync(scratch, { recursive: true, force: true }));

// The real show with the real song, its flips logged, keys to press. The flip log stands in for a
// display's refresh as many screens have it, a little under 60 Hz: the cuts lie whole tenths of a
// second apart, six refreshes at exactly 60 Hz, where every cut of a stretch would meet the
// refresh at the same point of it and their median would tell that point rather than the clock.
function startShow(path, args, env) {
  const log = `${path}.flips`, keys = `${path}.keys`;
  writeFileSync(keys, '');
  env = { ...env, LD_PRELOAD: flipLog, SHOW_FLIP_LOG: log, SHOW_KEYS: keys, SDL_VIDEODRIVER: 'dummy', SHOW_REFRESH_HZ: '59.95' };
  for (const name of ['DISPLAY', 'SDL12COMPAT_SYNC_TO_VBLANK', ...(env.SDL_AUDIODRIVER ? [] : ['SDL_AUDIODRIVER'])]) delete env[name];
  const child = tieToTest(spawn(show, args, { cwd: join(root, 'assets'), env, stdio: ['ignore', 'pipe', 'pipe'] }));
  let output = '';
  child.stdout.on('data', (text) => (output += text));
  child.stderr.on('data', (text) => (output += text));
  const started = wallNow();
  const latest = () => latestFlip(log);
  return {
    started,
    latest,
    flips: () => flips(log),
    // Until the latest flip satisfies `done`; false after `ms`.
    async waitFor(ms, done) {
      for (const end = Date.now() + ms; Date.now() < end; await wait(10)) if (latest() && done(latest())) return true;
      return false;
    },
    // Key presses in one write, so the show takes them in one go.
    press: (names) => appendFileSync(keys, names),
    // The signal, and the status and the seconds from it to the exit.
    async stop(signal) {
      const signalled = wallNow();
      child.kill(signal);
      await Promise.race([exited(child), wait(10000)]);
      if (child.exitCode === null && child.signalCode === null) child.kill('SIGKILL');
      await exited(child);
      return { status: child.exitCode ?? 128 + constants.signals[child.signalCode], seconds: wallNow() - signalled, output };
    },
  };
}
const framesPerSecond = (records, from) => records.filter((f) => f.wall >= from + 2 && f.wall < from + 12).length / 10;

let reference;
before(() => {
  for (const program of [show, render, capture, check, flipLog])
    if (!existsSync(program)) throw new Error(`${program} is missing: build the project first (make build)`);
  reference = prepareRuns(scratch, { capture, check, render }, join(root, 'assets/musa.xm'), kCuts);
});

// PulseAudio; PipeWire through its pulse server at the largest quantum a desktop's graph usually
// runs at (it runs at what its most demanding client asks for), where the delay is longest; and
// the show's own stream in the graph at the quantum it asks for, a desktop's usual one. At 256
// frames, 5 ms a cycle, this two-core machine broke the song now and then even with real-time
// scheduling.
for (const { name, quantum, ownStream } of [{ name: 'PulseAudio', quantum: 0 }, { name: 'PipeWire at 2048 frames', quantum: 2048 },
  { name: 'the show\'s own PipeWire stream at 1024 frames', quantum: 1024, ownStream: true }]) {
  test(`${name}: picture and sound stay together through moves, without breaks`, async (t) => {
    const folder = join(scratch, name.replace(/\W+/g, '-'));
    const sound = await startSoundServer(folder, { quantum });
    const stalls = watchStalls();
    try {
      await playAndJudge(t, folder, sound, stalls, ownStream);
    } finally {
      stalls.end();
      await sound.stop();
      if (process.env.SHOW_PLAYBACK_KEEP) cpSync(folder, join(process.env.SHOW_PLAYBACK_KEEP, name.replace(/\W+/g, '-')), { recursive: true });
    }
  });
}

async function playAndJudge(t, folder, sound, stalls, ownStream) {
  const { cuts, click } = reference;
  const showsCut = (f, cut) => distance(f.grid, cut.at) < distance(f.grid, cut.before);
  const plasma = (f) => showsCut(f, cuts[4]);

  const recording = join(folder, 'monitor.raw');
  const stopRecording = await sound.record(recording, { arrivals: true });
  await wait(200);
  const clicks = await sound.click(click, kClicks);
  // Starts after the clicks' streams and stops before the last ones: eight of them starting at
  // once can starve it on PipeWire.
  const stopCanary = sound.canary(279);
  await wait(300);

  // The player's run. Each wait is for the latest flip after the keys before it were taken.
  const player = startShow(`${folder}/player`, ['--from', String(kFrom), '--controls'], { ...sound.env, SDL_AUDIODRIVER: ownStream ? 'pipewire' : '' });
  const moves = [{ what: 'start', song: songFrameAt(kFrom) }];
  let keyCount = 0;
  const press = (what, names, song = null) => {
    player.press(names);
    moves.push({ what, song });
    keyCount += names.split('\n').length - 1;
  };
  const after = (done) => (f) => f.keys === keyCount && done(f);
  const sleepUntil = (wall) => wait(Math.max(0, (wall - wallNow()) * 1000));
  assert.ok(await player.waitFor(10000, plasma), `the plasma's cut was never shown after --from ${kFrom}`);
  await sleepUntil(player.latest().wall + 1);
  press('seek', 'home\n', songFrameAt(kFrom));  // back to 600 ms before the cut
  assert.ok(await player.waitFor(5000, after((f) => !plasma(f))) && await player.waitFor(5000, plasma), 'Home did not go back before the cut');
  await sleepUntil(player.latest().wall + 1);
  press('seek', 'home\n', songFrameAt(kFrom));  // back again, and a pause before the cut: the cut comes after the resume
  assert.ok(await player.waitFor(5000, after((f) => !plasma(f))));
  // Early enough that the song stops (with what the device still holds) well before the last
  // fifth of a second before the cut, which is how the cut is known when it is heard.
  await sleepUntil(player.latest().wall + 0.15);
  press('pause', 'space\n');
  await wait(2000);
  press('resume', 'space\n');
  assert.ok(await player.waitFor(5000, after(plasma)));
  // Page Up to each scene's start before, to the show's start: a minute of the show.
  await sleepUntil(player.latest().wall + 1.3);
  press('seek', 'pageup\n'.repeat(7), 0);
  assert.ok(await player.waitFor(5000, after(() => true)));
  // Far from the plasma's cut, other scenes can look more like the plasma than the landscape does.
  const fromStart = player.latest().wall;
  await sleepUntil(fromStart + (kCuts[4] - 1000) / 1000);
  assert.ok(await player.waitFor(20000, plasma), 'the show did not come to the plasma again');
  await wait(1000);
  const ended = await player.stop('SIGINT');
  await stopCanary();
  await wait(300);
  clicks.push(...await sound.click(click, kClicks));  // after the show, for the recording's pace
  const arrivals = await stopRecording();
  const records = player.flips();
  const rate = framesPerSecond(records, fromStart);
  console.log(`ended in ${ended.seconds.toFixed(2)} s by SIGINT; ${rate.toFixed(0)} frames per second`);
  assert.equal(ended.status, 130, ended.output);  // 128 + the signal's number
  assert.ok(ended.seconds < 1, `SIGINT took ${ended.seconds.toFixed(2)} s`);
  if (!sound.quantum) {
    // The same show with SDL's dummy audio and no sound server to be found: SIGTERM ends it as
    // Ctrl+C does, and the sound never holds the frame loop down.
    const dummy = startShow(`${folder}/dummy`, [], { ...sound.env, SDL_AUDIODRIVER: 'dummy', PULSE_SERVER: `unix:${folder}/none` });
    await wait(13000);
    const stopped = await dummy.stop('SIGTERM');
    const dummyRate = framesPerSecond(dummy.flips(), dummy.started);
    console.log(`ended in ${stopped.seconds.toFixed(2)} s by SIGTERM; ${dummyRate.toFixed(0)} frames per second with dummy audio`);
    assert.equal(stopped.status, 143, stopped.output);
    assert.ok(stopped.seconds < 1, `SIGTERM took ${stopped.seconds.toFixed(2)} s`);
    assert.ok(rate > dummyRate / 3, 'the frame loop waits on the sound');
  }

  // The moves as the show took them: at the flip after which their keys went in.
  const moveWalls = [player.started];
  for (let i = 1; i < records.length; ++i) if (records[i].keys !== records[i - 1].keys) moveWalls.push(records[i].wall);
  assert.equal(moveWalls.length, moves.length, 'the show did not take every key press');
  moves.forEach((m, i) => (m.wall = moveWalls[i]));
  let longestStall = 0;
  for (let i = 1; i < records.length; ++i) longestStall = Math.max(longestStall, records[i].wall - records[i - 1].wall);

  // The server's whole log counts (the canary plays only while the show does), not the stretch
  // from the start to the last move, a minute before the run's end.
  const found = checkRun(check, folder, { recording, song: reference.song, serverLog: sound.log, clicks, arrivals,
    runStart: player.started, settle: 0.5, moves, frames: records.map(({ wall, grid }) => ({ wall, grid })), cuts });
  // The silence that keeps the sink running is a plain client too, with a longer queue still.
  const canary = (found.underruns.canary ?? 0) + (found.underruns.silence ?? 0);
  if (found.error && canary + found.clickUnderruns > 0)
    return t.skip(`the machine starved the run (${canary} underruns of the canary and the silence, ${found.clickUnderruns} of the clicks): ${found.error}`);
  assert.equal(found.error, undefined, found.error);

  // PipeWire's log says each late client at its level of information, stamped by the monotonic
  // clock: "[I][14593.280379] pw.node | ... (Nocturne-78) client too slow!". Through
  // pipewire-pulse that is the server's thread; the show's own stream in the graph is the show's
  // thread, which is no excuse: a cycle is the machine's doing only if another client (the
  // recorder, the silence, the canary) was late in it too, and the log then names them all.
  const missed = !sound.quantum ? [] : readFileSync(join(folder, 'pipewire.log'), 'utf8').split('\n')
    .filter((line) => line.includes('client too slow!') && line.startsWith('[I][') && !(ownStream && line.includes('(Nocturne-')))
    .map((line) => parseFloat(line.slice(4)) + monotonicToWall);
  // Whether what was heard at `wall` followed a stall or a missed cycle closely enough to be its
  // doing: the clock keeps to the server's answers of about the second before.
  const explains = (wall) => [...stalls.stalls.map(([at]) => at), ...missed].some((at) => at > wall - 1.5 && at < wall + 0.1);
  const stalled = [];
  const breaks = [];
  found.breaks.forEach((text, i) => (explains(found.breakWalls[i]) ? stalled.push(`break ${text}`) : breaks.push(text)));
  const cutFailures = [];
  for (const c of found.cuts) {
    const text = `cut ${c.cut} after ${c.after}`;
    if (!c.clean) cutFailures.push(`${text}: the frames around it do not show one clean change of scene`);
    else if (Math.abs(c.ms) > kTolerance) (explains(c.wall) ? stalled : cutFailures).push(`${text}: heard ${c.ms.toFixed(1)} ms after it was shown`);
  }
  const pause = found.pauses[0];
  console.log(cutsLine(found));
  console.log(`song followed at ${found.found} of ${found.probes} half seconds; ${breaks.length} breaks; ${pausesLine(found)}`);
  for (const line of breaks) console.log(`  break ${line}`);
  console.log(`underruns ${JSON.stringify(found.underruns)}; the machine stalled the watchers ${stalls.stalls.length} times by over 25 ms, ` +
              `at most ${Math.max(0, ...stalls.stalls.map(([, s]) => s * 1000)).toFixed(0)} ms; PipeWire went on without a late client ${missed.length} times` +
              `${missed.length ? ` (at ${missed.map((wall) => `${(wall - player.started).toFixed(1)} s`).join(', ')} of the run)` : ''}; ` +
              `longest time between flips ${longestStall.toFixed(3)} s`);

  // On PipeWire a cycle that the pulse server's thread missed drops its streams for that cycle:
  // the song jumps by whole graph quanta of 48 kHz, which the show's stream there (44.1 kHz,
  // written a thousand frames at a time, with no underrun counted) cannot do by itself. The show's
  // own stream in the graph can, so there only other clients' late cycles excuse it.
  const cycle = sound.quantum / 48;  // ms
  const cyclesDropped = ownStream || !sound.quantum ? 0 : found.breaks.filter((text) => {
    const jump = Math.abs(parseFloat(text.match(/jumps by (-?[\d.]+) ms/)?.[1] ?? 0));
    return jump / cycle > 0.5 && Math.abs(jump / cycle - Math.round(jump / cycle)) * cycle < 0.4;
  }).length;
  // A machine that did not run the show (the server saw the streams starve, or the frames
  // stopped) cannot tell a fault: say so rather than judge the measurement.
  const faults = [...breaks.map((b) => `break ${b}`), ...cutFailures];
  // The pause's silence is found by its edges, which a cycle dropped or a stall at either move
  // shifts as it shifts the song: judged as a break is.
  const pauseFaults = [];
  if (!(pause && Math.abs(pause.silent - 2) <= 0.25)) pauseFaults.push(`the pause's silence lasts ${pause ? `${pause.silent.toFixed(2)} s` : 'no time'}, not as long as the pause`);
  if (!(pause && pause.resumed !== null && Math.abs(pause.resumed) <= 3)) pauseFaults.push(`the song after the pause goes on ${fixed(pause?.resumed)} ms from where it stopped`);
  const pausedNear = moves.filter((m) => m.what === 'pause' || m.what === 'resume').some((m) => explains(m.wall + 0.1));
  (pausedNear ? stalled : faults).push(...pauseFaults);
  if (Math.abs(found.median) > kMedianTolerance) faults.push(`median ${found.median.toFixed(1)} ms`);
  if (faults.length && (canary > 0 || longestStall > kStall || cyclesDropped > 0 || stalls.stormy()))
    return t.skip(`the machine starved the show (${canary} underruns of the canary and the silence, ${cyclesDropped} graph cycles dropped, ` +
                  `frames stalled up to ${longestStall.toFixed(2)} s, the machine stalled ${stalls.stalls.length} times): not judged: ${faults.join('; ')}`);
  if (!faults.length && stalled.length) return t.skip(`the machine stalled or the server missed a cycle just before these, which are not judged: ${stalled.join('; ')}`);
  assert.deepEqual(faults, [], `the server counted underruns ${JSON.stringify(found.underruns)}`);
  assert.equal(found.cuts.length, 8, 'every cut of the run heard: the plasma\'s four times, the others once');
}
