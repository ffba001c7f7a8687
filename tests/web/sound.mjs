// sound.mjs: the browser test's sound side: a private PulseAudio server with one null sink whose
// monitor is recorded, and finding the song (the reference mix) in that recording.
import { spawn } from 'node:child_process';
import { existsSync, readFileSync } from 'node:fs';
import { join } from 'node:path';

export const kRate = 44100;

const wait = (ms) => new Promise((done) => setTimeout(done, ms));

// Starts PulseAudio in `folder` (socket, runtime, state, cookie, log all there) with a null sink
// "show" at 44100 Hz; a stream of silence keeps the sink running, so the recording of its monitor
// has no holes between sounds. Answers the environment a client needs and a stop function.
export async function startSoundServer(folder) {
  const env = { ...process.env, PULSE_SERVER: `unix:${folder}/native`, PULSE_RUNTIME_PATH: `${folder}/runtime`,
                PULSE_STATE_PATH: `${folder}/state`, PULSE_COOKIE: `${folder}/cookie`, HOME: folder };
  const log = join(folder, 'pulse.log');
  const server = spawn('/usr/bin/pulseaudio', ['-n', '--daemonize=no', '--exit-idle-time=-1', '--use-pid-file=no',
    '--disable-shm=yes', '--log-level=debug', `--log-target=file:${log}`,
    '-L', 'module-null-sink sink_name=show rate=44100 channels=2',
    '-L', `module-native-protocol-unix auth-anonymous=1 socket=${folder}/native`], { env, stdio: 'ignore' });
  let exited = false;
  server.on('exit', () => { exited = true; });
  for (let i = 0; i < 200 && !existsSync(`${folder}/native`) && !exited; ++i) await wait(50);
  if (!existsSync(`${folder}/native`))
    throw new Error('PulseAudio did not start (are pulseaudio and pulseaudio-utils installed?)');
  const pcm = ['--format=s16le', `--rate=${kRate}`, '--channels=2'];
  const silence = spawn('/bin/sh', ['-c', `exec pacat ${pcm.join(' ')} --latency-msec=20 < /dev/zero`], { env, stdio: 'ignore' });
  const children = [silence];
  return {
    env,
    // Records the monitor into `file` until the returned function is called.
    async record(file) {
      const recorder = spawn('parec', [...pcm, '--latency-msec=5', '-d', 'show.monitor', file], { env, stdio: 'ignore' });
      children.push(recorder);
      for (let i = 0; i < 100 && !existsSync(file); ++i) await wait(50);
      await wait(300);
      return async () => {
        recorder.kill('SIGINT');
        await new Promise((done) => (recorder.exitCode !== null ? done() : recorder.on('exit', done)));
      };
    },
    // Underruns PulseAudio counted on the browser's stream: the machine starving the sound.
    underruns() {
      const text = existsSync(log) ? readFileSync(log, 'utf8') : '';
      return (text.match(/Underrun on '[^']*(Chrom|Playback)[^']*'/gi) ?? []).length;
    },
    stop() {
      for (const child of children) child.kill();
      server.kill();
    },
  };
}

// 16-bit stereo samples as mono floats (left and right averaged).
export function monoOf(bytes) {
  const samples = new Int16Array(bytes.buffer, bytes.byteOffset, Math.floor(bytes.length / 4) * 2);
  const mono = new Float32Array(samples.length / 2);
  for (let i = 0; i < mono.length; ++i) mono[i] = (samples[2 * i] + samples[2 * i + 1]) / 65536;
  return mono;
}

// The data chunk of a 16-bit stereo WAV file, as mono floats.
export function readWav(file) {
  const bytes = readFileSync(file);
  for (let at = 12; at + 8 <= bytes.length;) {
    const size = bytes.readUInt32LE(at + 4);
    if (bytes.toString('latin1', at, at + 4) === 'data') return monoOf(bytes.subarray(at + 8, at + 8 + size));
    at += 8 + size + (size & 1);
  }
  throw new Error(`${file}: no data chunk`);
}

// Finds `song` (the reference mix) in `heard`: for windows of the recording every half second,
// the song frame they hold, as `shift` = song frame - recording frame, which stays the same while
// the song plays on unbroken. A window is searched first at the last shift, then around the given
// guesses (song frame, recording frame, seconds the sound may come after) of where a new run of the song may have begun. Quiet
// windows of the song cannot be placed and are marked so.
export function locateSong(heard, song, from, to, guesses) {
  const kWindow = 2048, kStep = kRate / 2;
  const energy = new Float64Array(song.length + 1);  // running sums of the song's squares
  for (let i = 0; i < song.length; ++i) energy[i + 1] = energy[i] + song[i] * song[i];
  const score = (r, s) => {  // normalised correlation of heard[r..] with song[r + s ..]
    const at = r + s;
    if (at < 0 || at + kWindow > song.length) return -1;
    let dot = 0, own = 0;
    for (let i = 0; i < kWindow; ++i) { dot += heard[r + i] * song[at + i]; own += heard[r + i] * heard[r + i]; }
    const theirs = energy[at + kWindow] - energy[at];
    return own > 0 && theirs > 0 ? dot / Math.sqrt(own * theirs) : -1;
  };
  const places = [];
  let shift = null;
  for (let r = from; r + kWindow <= Math.min(to, heard.length); r += kStep) {
    let level = 0;
    for (let i = 0; i < kWindow; ++i) level = Math.max(level, Math.abs(heard[r + i]));
    if (level < 0.01) { places.push({ at: r, quiet: true, level }); continue; }
    if (shift !== null && score(r, shift) > 0.9) { places.push({ at: r, shift, level }); continue; }
    // Search: around the last shift (a slip), then around every guess.
    const ranges = [];
    if (shift !== null) ranges.push([shift - kRate / 4, shift + kRate / 4]);
    for (const [songFrame, recFrame, late] of guesses) {
      if (recFrame > r + kRate / 2 || recFrame < r - 3 * kRate) continue;
      // The new run's sound starts a little after the action: the page's lead and the output
      // (up to `late` seconds), from a song frame known to a tenth of a second.
      const base = songFrame - recFrame;
      ranges.push([base - late * kRate, base + kRate / 8]);
    }
    let best = { score: 0.9, shift: null };
    for (const [low, high] of ranges)
      for (let s = Math.round(low); s <= high; ++s) {
        const value = score(r, s);
        if (value > best.score) best = { score: value, shift: s };
      }
    shift = best.shift ?? shift;
    places.push({ at: r, shift: best.shift, level, lost: best.shift === null });
  }
  return places;
}

// Where a sound first rises over `threshold` in the recording from `from` on, after at least
// `silence` frames of near silence (a click in a pause; 0 for any first sound).
export function onsetOf(heard, from, threshold, silence = 0) {
  let quiet = 0;
  for (let i = Math.max(0, from); i < heard.length; ++i) {
    if (Math.abs(heard[i]) > threshold && quiet >= silence) return i;
    quiet = Math.abs(heard[i]) < 0.002 ? quiet + 1 : 0;
  }
  return -1;
}
