// flips.mjs: what the recorded runs of the show program (the desktop's and the device stand-in's)
// share: the flip log that flip_log.cpp writes, read back, the distance between two of its grids,
// and a watch of the machine's own stalls.
import { spawn, spawnSync } from 'node:child_process';
import { closeSync, existsSync, fstatSync, openSync, readFileSync, readSync } from 'node:fs';
import { availableParallelism } from 'node:os';
import { tieToTest, wallNow } from './sound.mjs';

// The flip log's records (flip_log.h): CLOCK_MONOTONIC ns, the key presses taken so far, an 8 x 8
// grid of 0x00RRGGBB pixels; 272 bytes with the padding. Node's hrtime is the same clock.
const kRecord = 272;
export const monotonicToWall = wallNow() - Number(process.hrtime.bigint()) / 1e9;
const record = (bytes, at) => {
  let grid = '';
  for (let i = 0; i < 64; ++i) grid += (bytes.readUInt32LE(at + 12 + 4 * i) & 0xffffff).toString(16).padStart(6, '0');
  return { wall: Number(bytes.readBigInt64LE(at)) / 1e9 + monotonicToWall, keys: bytes.readUInt32LE(at + 8), grid };
};
export function flips(file) {
  const bytes = existsSync(file) ? readFileSync(file) : Buffer.alloc(0);
  return Array.from({ length: Math.floor(bytes.length / kRecord) }, (_, i) => record(bytes, i * kRecord));
}
// The latest only, read from the file's end while the show runs.
export function latestFlip(file) {
  if (!existsSync(file)) return undefined;
  const fd = openSync(file, 'r'), bytes = Buffer.alloc(kRecord);
  const written = fstatSync(fd).size, size = written - (written % kRecord);
  const got = size >= kRecord ? readSync(fd, bytes, 0, kRecord, size - kRecord) : 0;
  closeSync(fd);
  return got === kRecord ? record(bytes, 0) : undefined;
}
export const distance = (a, b) => {
  let d = 0;
  for (let i = 0; i < a.length; i += 2) d += Math.abs(parseInt(a.substr(i, 2), 16) - parseInt(b.substr(i, 2), 16));
  return d;
};

// Stalls of the machine itself: on each processor a watcher with real-time priority above the
// servers' where the machine allows it wakes every millisecond and says each wake that came more
// than 25 ms late. A shared virtual machine's host stops its processors now and then (here: 25 to
// 160 ms every ten to twenty seconds), one at a time: a server's thread on one stands while the
// other runs. Between stalls the host may take a processor in slices too short to see that way;
// the kernel counts that time as stolen (/proc/stat), which `stolen` answers as a share of a
// processor's time over a stretch of the wall clock, sampled every quarter second. In the host's
// stormy spells the stalls come thick (`stormy`): quiet runs of 80 s here see 0 to 8, runs with
// 20 to 53 came in spells, and a break or a late cut then came where no stall over 25 ms was seen
// on its processor just before.
const kStormRate = 15 / 80;  // stalls a second
export function watchStalls() {
  const watched = wallNow();
  const realTime = spawnSync('/usr/bin/chrt', ['-f', '30', '/bin/true']).status === 0;
  const stalls = [];
  const watchers = Array.from({ length: availableParallelism() }, (_, cpu) => {
    const perl = `use Time::HiRes qw(time sleep); $| = 1; my $last = time;
      while (1) { sleep 0.001; my $now = time; printf "%.6f %.6f\\n", $now, $now - $last if $now - $last > 0.025; $last = $now }`;
    const watcher = tieToTest(spawn('taskset', ['-c', String(cpu), ...(realTime ? ['chrt', '-f', '30'] : []), 'perl', '-e', perl]));
    watcher.stdout.on('data', (text) => {
      for (const line of String(text).trim().split('\n')) stalls.push(line.split(' ').map(Number));
    });
    return watcher;
  });
  const samples = [];
  const sample = () => samples.push({ wall: wallNow(), cpus: processorTimes() });
  sample();
  const sampler = setInterval(sample, 250);
  const stolen = (cpu, from, to) => {
    const inside = samples.filter((s) => s.wall >= from - 0.25 && s.wall <= to + 0.25);
    if (inside.length < 2) return 0;
    const [first, last] = [inside[0].cpus[cpu], inside.at(-1).cpus[cpu]];
    return (last.steal - first.steal) / Math.max(1, last.all - first.all);
  };
  const stormy = (from = watched, to = wallNow()) =>
    stalls.filter(([at]) => at >= from && at <= to).length >= kStormRate * (to - from);
  // The most any one processor had taken over the stretch.
  const mostStolen = (from, to) => Math.max(0, ...watchers.map((_, cpu) => stolen(cpu, from, to)));
  return { stalls, stolen, mostStolen, stormy, end: () => { clearInterval(sampler); watchers.forEach((w) => w.kill()); } };
}

// Each processor's stolen and whole time so far, in the kernel's ticks.
function processorTimes() {
  return readFileSync('/proc/stat', 'utf8').split('\n').filter((l) => /^cpu\d/.test(l)).map((l) => {
    const ticks = l.split(/\s+/).slice(1, 9).map(Number);
    return { steal: ticks[7], all: ticks.reduce((a, b) => a + b, 0) };
  });
}
