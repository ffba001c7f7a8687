// recorded.mjs: what the recorded runs of the desktop show and of the page share around
// build/recording-check: the song as the show mixes it, the click that ties a recording to the
// wall clock, the frames around the scene cuts as the grids the players' logs sample, and a run
// judged with the lines that say what was found.
import { execFileSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';

// The 8 x 8 grid of pixels the flip logs and the page's hooks keep, each the middle of its cell,
// as RRGGBB hex, of one of the renderer's raw frames (0x00RRGGBB words).
function gridOfRaw(words) {
  let grid = '';
  for (let y = 15; y < 240; y += 30) for (let x = 20; x < 320; x += 40) grid += (words.readUInt32LE(4 * (y * 320 + x)) & 0xffffff).toString(16).padStart(6, '0');
  return grid;
}

// In `scratch`: the song (song.wav) and the click (click.raw); answers them with the grids of the
// frames just before and at each cut, drawn as a run from each scene's start draws them.
export function prepareRuns(scratch, { capture, check, render }, module, cutTimes) {
  const song = join(scratch, 'song.wav'), frames = join(scratch, 'cut-frames');
  execFileSync(capture, ['--module', module, '--audio', song]);
  execFileSync(check, ['--click', join(scratch, 'click.raw')]);
  execFileSync(render, ['--times', cutTimes.flatMap((c) => [c - 1, c]).join(','), '--continuous', '--format', 'raw', '--out', frames]);
  const grid = (ms) => gridOfRaw(readFileSync(join(frames, `${ms}.raw`)));
  return { song, click: readFileSync(join(scratch, 'click.raw')), cuts: cutTimes.map((ms) => ({ ms, before: grid(ms - 1), at: grid(ms) })) };
}

// What recording-check finds in a run (kept as run.json in `folder`).
export function checkRun(check, folder, run) {
  writeFileSync(join(folder, 'run.json'), JSON.stringify(run));
  return JSON.parse(execFileSync(check, [join(folder, 'run.json')], { encoding: 'utf8', maxBuffer: 1 << 26 }));
}

// A figure that may be missing (null: not measurable).
export const fixed = (v, digits = 1) => (v === null || v === undefined ? 'n/a' : v.toFixed(digits));
export const cutsLine = (found) =>
  `sound minus picture (ms): ${found.cuts.map((c) => `${c.cut} after ${c.after} ${c.clean ? c.ms.toFixed(1) : 'unclear'}`).join(', ')}; median ${found.median.toFixed(1)}`;
export const pausesLine = (found) => `the pause's sound: ${found.pauses.length ? found.pauses.map((p) =>
  `silent ${p.silenceAfter.toFixed(0)} ms after the key for ${p.silent.toFixed(2)} s, going on ${fixed(p.resumed)} ms from where it stopped`).join('; ') : 'not found'}`;
