// sound.mjs: the browser test's sound side: a private PulseAudio server with one null sink whose
// monitor is recorded, and clicks written into it at known wall times. What the recording holds
// is judged by build/recording-check.
import { spawn, spawnSync } from 'node:child_process';
import { existsSync, statSync } from 'node:fs';
import { join } from 'node:path';

const wait = (ms) => new Promise((done) => setTimeout(done, ms));
const exited = (child) => new Promise((done) => (child.exitCode !== null || child.signalCode ? done() : child.on('exit', done)));
// The wall clock the page's hooks keep too, in seconds.
export const wallNow = () => (performance.timeOrigin + performance.now()) / 1000;

// Ends `child` should the test be killed before it can: a watch outlives neither of them.
export function tieToTest(child) {
  const watch = spawn('/bin/sh', ['-c', `while kill -0 ${process.pid} 2> /dev/null; do sleep 1; done; kill ${child.pid}`], { stdio: 'ignore' });
  child.on('exit', () => watch.kill());
  return child;
}

// Starts PulseAudio in `folder` (socket, runtime, state, cookie, and its log at debug level, each
// line stamped in seconds since `started`, all there) with a null sink "show" at 44100 Hz and
// another, "canary". A stream of silence keeps the sink running, so the recording of its monitor
// has no holes between sounds; its queue is long, because a stream that runs dry makes the sink
// mix again what it had mixed. Answers the environment a client needs, the log's path and clock,
// and functions to record, to click and to stop.
export async function startSoundServer(folder) {
  const env = { ...process.env, PULSE_SERVER: `unix:${folder}/native`, PULSE_RUNTIME_PATH: `${folder}/runtime`,
                PULSE_STATE_PATH: `${folder}/state`, PULSE_COOKIE: `${folder}/cookie`, HOME: folder };
  const log = join(folder, 'pulse.log');
  // With real-time priority where the machine grants it, as a desktop's RTKit gives the server's
  // threads: without it the server itself runs dry on a busy machine.
  const realTime = spawnSync('/usr/bin/chrt', ['-f', '20', '/bin/true']).status === 0;
  const started = wallNow();  // the log's clock, within the few milliseconds the server takes to start
  const [program, ...before] = realTime ? ['/usr/bin/chrt', '-f', '20', '/usr/bin/pulseaudio'] : ['/usr/bin/pulseaudio'];
  const server = spawn(program, [...before, '-n', '--daemonize=no', '--exit-idle-time=-1', '--use-pid-file=no',
    '--disable-shm=yes', '--log-level=debug', '--log-time=1', `--log-target=file:${log}`,
    '-L', 'module-null-sink sink_name=show rate=44100 channels=2',
    '-L', 'module-null-sink sink_name=canary rate=44100 channels=2',
    '-L', `module-native-protocol-unix auth-anonymous=1 socket=${folder}/native`], { env, stdio: 'ignore' });
  tieToTest(server);  // its clients end with it
  for (let i = 0; i < 200 && !existsSync(`${folder}/native`) && server.exitCode === null; ++i) await wait(50);
  if (!existsSync(`${folder}/native`)) {
    server.kill();
    throw new Error('PulseAudio did not start (are pulseaudio and pulseaudio-utils installed?)');
  }
  const pcm = ['--raw', '--format=s16le', '--rate=44100', '--channels=2'];
  // A canary: silence into a sink of its own with a queue about as long as the page's device
  // buffers, whose underruns say that the machine starved a plain client too, not only the browser.
  const children = [`--stream-name=silence --latency-msec=500`, `--stream-name=canary -d canary --latency-msec=100`]
    .map((options) => spawn('/bin/sh', ['-c', `exec pacat ${pcm.join(' ')} ${options} < /dev/zero`], { env, stdio: 'ignore' }));
  return {
    env,
    log,
    started,
    // Records the monitor into `file` until the returned function is called.
    async record(file) {
      const recorder = spawn('parec', [...pcm, '--latency-msec=5', '-d', 'show.monitor', file], { env, stdio: 'ignore' });
      children.push(recorder);
      // Connected once the sink's sound reaches the file: on a server just started and a busy
      // machine that took over a second, and a click written before it would be cut.
      const recording = () => existsSync(file) && statSync(file).size > 0;
      for (let i = 0; i < 200 && !recording() && recorder.exitCode === null; ++i) await wait(50);
      await wait(300);
      return async () => {
        recorder.kill('SIGINT');
        await exited(recorder);
      };
    },
    // Writes `sound` (raw 16-bit stereo) into the sink once pacat is connected; answers the wall
    // time of the write, as the desktop's playback test does.
    async click(sound) {
      const pacat = spawn('pacat', [...pcm, '--stream-name=click', '--latency-msec=20'], { env, stdio: ['pipe', 'ignore', 'ignore'] });
      await wait(500);
      const written = wallNow();
      pacat.stdin.end(sound);
      await exited(pacat);
      return written;
    },
    async stop() {
      for (const child of [...children, server]) {
        child.kill();
        await exited(child);
      }
    },
  };
}
