// sound.mjs: the recorded runs' sound side, for the desktop show and the browser page alike: a
// private sound server (PulseAudio, or PipeWire with its PulseAudio server) with a null sink
// "show" whose monitor is recorded and another, "canary", and clicks written into the first at
// known wall times. What the recording holds is judged by build/recording-check.
import { spawn, spawnSync } from 'node:child_process';
import { existsSync, mkdirSync, statSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';

const wait = (ms) => new Promise((done) => setTimeout(done, ms));
export const exited = (child) => new Promise((done) => (child.exitCode !== null || child.signalCode ? done() : child.on('exit', done)));
// The wall clock the page's hooks keep too, in seconds.
export const wallNow = () => (performance.timeOrigin + performance.now()) / 1000;

// Ends `child` should the test be killed before it can: a watch outlives neither of them.
export function tieToTest(child) {
  const watch = spawn('/bin/sh', ['-c', `while kill -0 ${process.pid} 2> /dev/null; do sleep 1; done; kill ${child.pid}`], { stdio: 'ignore' });
  child.on('exit', () => watch.kill());
  return child;
}

// With real-time priority where the machine grants it, as a desktop's RTKit gives a sound
// server's threads: without it the server itself runs dry on a busy machine.
const realTime = spawnSync('/usr/bin/chrt', ['-f', '20', '/bin/true']).status === 0;
const shell = (command, env, log = '/dev/null') =>
  tieToTest(spawn('/bin/sh', ['-c', `exec ${realTime ? 'chrt -f 20 ' : ''}${command} > ${log} 2>&1`], { env, stdio: 'ignore' }));
async function until(done, what, child) {
  for (let i = 0; i < 200 && !done() && !(child && child.exitCode !== null); ++i) await wait(50);
  if (!done()) throw new Error(`${what} did not start (are pulseaudio, pulseaudio-utils and pipewire-pulse installed?)`);
}

// PulseAudio (its log at debug level, each line stamped in seconds since `started`), or with
// `quantum` PipeWire as a desktop runs it: the graph's daemon with the same two sinks each driving
// a graph of its own, WirePlumber to link the streams, pipewire-pulse for the clients of
// PulseAudio, its own session bus, the graph's quantum forced to `quantum` frames of 48 kHz, and
// late clients and underruns logged at the level of information. Everything lives in `folder`.
// A stream of silence keeps the sink running, so the recording of its monitor has no holes
// between sounds; its queue is long, because a stream that runs dry makes the sink mix again what
// it had mixed. Answers the environment a client needs, the server's log and its clock, and
// functions to record, to click, to play the canary and to stop.
export async function startSoundServer(folder, { quantum = 0 } = {}) {
  const children = [];
  let env, log, started = 0;
  mkdirSync(folder, { recursive: true });
  if (!quantum) {
    env = { ...process.env, PULSE_SERVER: `unix:${folder}/native`, PULSE_RUNTIME_PATH: `${folder}/runtime`,
            PULSE_STATE_PATH: `${folder}/state`, PULSE_COOKIE: `${folder}/cookie`, HOME: folder };
    log = join(folder, 'pulse.log');
    started = wallNow();  // the log's clock, within the few milliseconds the server takes to start
    children.push(shell(`/usr/bin/pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes
      --log-level=debug --log-time=1 --log-target=file:${log} -L 'module-null-sink sink_name=show rate=44100 channels=2'
      -L 'module-null-sink sink_name=canary rate=44100 channels=2'
      -L 'module-native-protocol-unix auth-anonymous=1 socket=${folder}/native'`.replace(/\n\s*/g, ' '), env));
    await until(() => existsSync(`${folder}/native`), 'PulseAudio', children[0]);
  } else {
    const run = join(folder, 'run'), config = join(folder, 'config');
    mkdirSync(join(config, 'pipewire/pipewire.conf.d'), { recursive: true });
    mkdirSync(run, { recursive: true, mode: 0o700 });
    const sink = (name, priority) => `{ factory = adapter args = { factory.name = support.null-audio-sink node.name = ${name}
      media.class = Audio/Sink audio.position = [ FL FR ] priority.session = ${priority} priority.driver = ${priority}
      node.driver = true node.always-process = true object.linger = true } }`;
    writeFileSync(join(config, 'pipewire/pipewire.conf.d/sinks.conf'), `context.objects = [\n${sink('show', 2000)}\n${sink('canary', 100)}\n]\n`);
    env = { ...process.env, XDG_RUNTIME_DIR: run, XDG_CONFIG_HOME: config, DBUS_SESSION_BUS_ADDRESS: `unix:path=${run}/bus`,
            PULSE_SERVER: `unix:${run}/pulse/native`, HOME: folder };
    for (const name of ['PULSE_RUNTIME_PATH', 'PULSE_STATE_PATH', 'PULSE_COOKIE']) delete env[name];
    log = join(folder, 'pipewire-pulse.log');
    children.push(tieToTest(spawn('dbus-daemon', ['--session', '--nofork', '--nopidfile', `--address=unix:path=${run}/bus`], { env, stdio: 'ignore' })));
    await until(() => existsSync(`${run}/bus`), 'the session bus (dbus-daemon)', children.at(-1));
    children.push(shell(`env PIPEWIRE_DEBUG='*pw.node*:3' pipewire`, env, join(folder, 'pipewire.log')));
    await until(() => existsSync(`${run}/pipewire-0`), 'PipeWire', children.at(-1));
    const forced = spawnSync('/usr/bin/pw-metadata', ['-n', 'settings', '0', 'clock.force-quantum', String(quantum)], { env });
    if (forced.status !== 0) throw new Error(`pw-metadata: ${forced.stderr}`);
    children.push(tieToTest(spawn('wireplumber', [], { env, stdio: 'ignore' })));
    children.push(shell(`env PIPEWIRE_DEBUG='*mod.protocol-pulse*:3' pipewire-pulse`, env, log));
    await until(() => existsSync(`${run}/pulse/native`), 'pipewire-pulse', children.at(-1));
    // WirePlumber has made the show's sink the default.
    await until(() => spawnSync('/usr/bin/pactl', ['get-default-sink'], { env, encoding: 'utf8' }).stdout === 'show\n', 'WirePlumber\'s default sink');
  }
  const pcm = ['--raw', '--format=s16le', '--rate=44100', '--channels=2'];
  const pacat = (options) => tieToTest(spawn('/bin/sh', ['-c', `exec pacat ${pcm.join(' ')} ${options} < /dev/zero`], { env, stdio: 'ignore' }));
  children.push(pacat('--client-name=silence --stream-name=silence --latency-msec=500'));  // named so, pipewire-pulse counts its underflows apart
  return {
    env,
    log,
    started,
    quantum,
    // Records the monitor into `file` until the returned function is called. With `arrivals`
    // that answers when each stretch of the recording reached the file ([wall s, frames in it
    // then]), looked at every millisecond; without, the file is looked at only until it starts.
    async record(file, { arrivals: follow = false } = {}) {
      const recorder = spawn('parec', [...pcm, '--latency-msec=5', '-d', 'show.monitor', file], { env, stdio: 'ignore' });
      children.push(recorder);
      const arrivals = [];
      const look = () => {
        const frames = existsSync(file) ? Math.floor(statSync(file).size / 4) : 0;
        if (frames > (arrivals.at(-1)?.[1] ?? 0)) arrivals.push([wallNow(), frames]);
      };
      const looking = setInterval(look, follow ? 1 : 50);
      // Connected once the sink's sound reaches the file: on a server just started and a busy
      // machine that took over a second, and a click written before it would be cut.
      for (let i = 0; i < 200 && !arrivals.length && recorder.exitCode === null; ++i) await wait(50);
      await wait(300);
      if (!follow) clearInterval(looking);
      return async () => {
        recorder.kill('SIGINT');
        await exited(recorder);
        clearInterval(looking);
        look();
        return follow ? arrivals : undefined;
      };
    },
    // Writes `sound` (raw 16-bit stereo) into the sink `count` times, a third of a second or so
    // apart at random, each by a stream already connected and waiting for it; answers the wall
    // times of the writes. On PipeWire a click is heard at the start of the graph's next cycle,
    // and of several one comes near it.
    async click(sound, count = 1) {
      const streams = Array.from({ length: count }, () =>
        spawn('pacat', [...pcm, '--stream-name=click', '--latency-msec=20'], { env, stdio: ['pipe', 'ignore', 'ignore'] }));
      await wait(500);
      const written = [];
      for (const stream of streams) {
        if (written.length) await wait(250 + Math.random() * 170);
        written.push(wallNow());
        stream.stdin.end(sound);
      }
      await Promise.all(streams.map(exited));
      return written;
    },
    // A canary: silence into a sink of its own with a queue about as long as the player's, whose
    // underruns say that the machine starved a plain client too, not only the player. Answers
    // the function that stops it.
    canary(latencyMs) {
      const canary = pacat(`--client-name=canary --stream-name=canary -d canary --latency-msec=${latencyMs}`);
      children.push(canary);
      return async () => {
        canary.kill();
        await exited(canary);
      };
    },
    async stop() {
      for (const child of children.reverse()) {
        child.kill();
        await exited(child);
      }
    },
  };
}
