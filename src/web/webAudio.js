// sound.js: the song on the browser's audio thread and the show clock, the song frame heard now.
// The program has the whole song mixed in memory; from the play position it is handed to the
// audio context in buffers scheduled back to back at exact sample times, seconds ahead, so a
// stalled main thread never reaches the loudspeaker. A stop is a fade at the context's present
// and the buffers stopped, so a pause or a seek is heard after the output's own latency only.
// Without a running audio clock (no output device, a context the browser keeps stopped) the show
// goes on by the page's clock, silent, and back to the sound as soon as it runs.
import { makeAudioClock } from './webAudioClock.js';
import { sayNoSound } from './messages.js';

export const kRate = 44100;   // the song's sample frames a second, and the audio context's rate
const kChunk = 16384;         // sample frames an audio buffer holds (0.37 s)
const kAhead = 4;             // seconds of sound kept scheduled ahead of the context's present
const kFade = 0.005;          // seconds a stop fades over, so that it does not click
const kStopLead = 0.03;       // seconds ahead of the context's present a stop's fade begins: the
                              // audio thread takes it at its next render quantum
// Seconds of device buffers asked for. Chromium's whole output latency comes to about four times
// this (0.05: 52 ms rendered ahead and 152 ms in the output), so a pause or a seek is heard
// within a quarter of a second; 0.2 rode out a busy two-core machine better but took 0.8 s to
// answer. Firefox and WebKit keep their own short buffers whatever is asked.
const kDeviceBuffers = 0.05;
const kNoStart = 1000;        // ms the audio clock may take to start before the show goes on silent

let context = null, clock = null;
let program = null, left, right;  // the program, and views of its two channel buffers
let runs = [];          // since the last seek: {at: context frame of its first sound, frame: its
                        // song frame, frames: how many follow back to back, gain: its fader}
let sources = [];       // scheduled buffers not ended yet: {node, at, frames}
let nextAt = 0;         // the context frame the next buffer starts at while playing
let heldFrame = 0;      // the song frame shown while no sound is scheduled (paused, before a start)
let lastHeard = 0;      // the song frame heard when the audio clock was last seen running
let songEnded = false;  // the last buffer of the song is scheduled
let playing = false;
let playedAt = 0;       // page ms of the last start
let silent = null;      // the page's clock while there is no sound: {at: page ms, frame}
let everSilent = false; // the audio clock failed before: a start goes on silent at once
let heardSince = false; // the audio clock ran since the last start
let interrupted = () => {};
let noOutput = false;   // the browser lists no audio output device to play on
let watchingOutputs = false;

export function attachProgram(module) {
  program = module;
  channelViews();
}
function channelViews() {
  left = new Float32Array(program.HEAPF32.buffer, program._songLeft(), program._mostSongFrames());
  right = new Float32Array(program.HEAPF32.buffer, program._songRight(), program._mostSongFrames());
}
const songLength = () => program._songFrames();

// The context, made and resumed inside the viewer's click or tap (browsers start sound only
// then), at the song's rate so nothing is resampled on the page's side. A phone plays it as a
// player does, through the ringer switch; an interruption (a call) or a suspension by the browser
// pauses the show through `onInterrupt`.
export function startContext(onInterrupt) {
  interrupted = onInterrupt;
  resumedAt = -Infinity;
  if (navigator.audioSession) {
    try { navigator.audioSession.type = 'playback'; } catch { /* an older session API */ }
  }
  if (!context) {
    const Context = window.AudioContext || window.webkitAudioContext;
    try {
      context = new Context({ sampleRate: kRate, latencyHint: kDeviceBuffers });
    } catch {
      context = new Context();
    }
    clock = makeAudioClock(context);
    context.onstatechange = () => {
      if (playing && !silent && heardSince && (context.state === 'suspended' || context.state === 'interrupted')) interrupted();
    };
  }
  resumeContext();
  listOutputs();
}

// An engine that can choose its output device (setSinkId) lists the devices it has: with none,
// Chromium plays into a stand-in whose clock runs on as if heard, so only the list tells the
// viewer there is no sound. Asked again whenever the devices change.
function listOutputs() {
  const devices = navigator.mediaDevices;
  if (!devices || !devices.enumerateDevices || !('setSinkId' in context)) return;
  const check = () => devices.enumerateDevices().then((list) => {
    noOutput = !list.some((device) => device.kind === 'audiooutput');
    sayNoSound(noOutput || !!silent);
  }, () => {});
  if (!watchingOutputs) devices.addEventListener('devicechange', check);
  watchingOutputs = true;
  check();
}
let resumedAt = -Infinity;
function resumeContext() {
  if (!context || context.state === 'running' || context.state === 'closed') return;
  const now = performance.now();
  if (now - resumedAt < 1000) return;  // once a second is asking often enough
  resumedAt = now;
  context.resume().catch(() => {});
}

// How far ahead of the context's present a change surely reaches the audio thread before it
// renders past it: it renders a device buffer (baseLatency) at a time. Before the context's
// first render (the first start) nothing is rendered ahead yet.
function lead() { return context.currentTime === 0 ? 0.05 : 0.02 + (context.baseLatency || 0.02); }

// Schedules buffers from the program's play position until kAhead seconds lie ahead.
function scheduleAhead() {
  const run = runs[runs.length - 1];
  // Starved for longer than everything scheduled (a main thread stopped for seconds): the sound
  // has a hole now, so it goes on from where it stopped a moment from now.
  if (nextAt / kRate < context.currentTime) {
    restartAt(run.frame + run.frames);
    return;
  }
  while (!songEnded && nextAt / kRate < context.currentTime + kAhead) {
    const handed = program._fillSong(kChunk);
    if (handed === 0) { songEnded = true; break; }
    if (left.buffer !== program.HEAPF32.buffer) channelViews();  // memory grew
    const buffer = context.createBuffer(2, handed, kRate);
    buffer.getChannelData(0).set(left.subarray(0, handed));
    buffer.getChannelData(1).set(right.subarray(0, handed));
    const node = context.createBufferSource();
    node.buffer = buffer;
    node.connect(run.gain);
    node.start(nextAt / kRate);
    const source = { node, at: nextAt, frames: handed };
    sources.push(source);
    node.onended = () => {
      node.disconnect();
      sources = sources.filter((s) => s !== source);
    };
    nextAt += handed;
    run.frames += handed;
    if (handed < kChunk) songEnded = true;
  }
}

// Starts the sound of song frame `frame` a moment from now, as a new run after the others.
function restartAt(frame) {
  program._seekSongTo(frame);
  nextAt = Math.ceil((context.currentTime + lead()) * kRate);
  const gain = context.createGain();
  gain.connect(context.destination);
  runs.push({ at: nextAt, frame, frames: 0, gain });
  songEnded = false;
  scheduleAhead();
}

// Stops the sound as soon as the audio thread can take it: a short fade and every buffer stopped
// at its end. Answers the song frame it stops at.
function stopSound() {
  if (!context || !runs.length) return heldFrame;
  const run = runs[runs.length - 1];
  const at = context.currentTime + kStopLead, end = at + kFade;
  run.gain.gain.setValueAtTime(1, at);
  run.gain.gain.linearRampToValueAtTime(0, end);
  for (const { node, at: start } of sources) {
    if (start / kRate >= end) { node.onended = null; node.disconnect(); }
    node.stop(Math.max(end, start / kRate));
  }
  sources = [];
  const gain = run.gain;
  setTimeout(() => gain.disconnect(), (kStopLead + 2 * kFade) * 1000 + 200);
  run.frames = Math.max(0, Math.min(run.frames, Math.round((at + kFade / 2) * kRate) - run.at));
  return run.frame + run.frames;
}

// Plays on from where the show is held: with sound where the audio clock runs or may yet start,
// else silent by the page's clock at once (it failed before and still stands).
export function play(now) {
  const frame = heldFrame;
  playing = true;
  playedAt = now;
  heardSince = false;
  lastHeard = frame;
  resumedAt = -Infinity;  // inside a click or key, where a browser lets the sound start
  resumeContext();
  runs = [];
  if (everSilent && !clock.running(now)) goSilent(now, frame);
  else restartAt(frame);
}

// Stops playing; answers the song frame the sound (or the silent clock) stops at. The runs stay,
// so the picture goes on with the sound still on its way to the loudspeaker and stops with it.
export function pause(now) {
  if (!playing) return heldFrame;
  playing = false;
  heldFrame = silent ? silentFrame(now) : stopSound();
  silent = null;
  return heldFrame;
}

// Moves to song frame `frame`: playing on from there, or held there while paused.
export function seek(frame, now) {
  if (playing && !silent) stopSound();
  heldFrame = frame;
  silent = null;
  runs = [];
  if (playing) play(now);
}

function silentFrame(now) {
  const frame = silent.frame + Math.floor(((now - silent.at) * kRate) / 1000);
  const end = songLength();
  return end >= 0 ? Math.min(frame, end) : frame;
}
function goSilent(now, frame) {
  stopSound();
  runs = [];
  silent = { at: now, frame };
  everSilent = true;
  sayNoSound(true);
}

// Once a frame: keeps the sound scheduled, and moves between sound and silence as the audio
// clock starts, stops or comes back.
export function pump(now) {
  if (!context) return;
  clock.observe(now);
  if (!playing) return;
  const running = clock.running(now);
  if (silent) {
    resumeContext();
    if (!running) return;
    heldFrame = silentFrame(now);
    silent = null;
    play(now);
    return;
  }
  if (!heardSince && running && clock.heard(now) * kRate >= runs[0].at) {
    heardSince = true;
    sayNoSound(noOutput);
  }
  if (!running && (heardSince || now - playedAt > kNoStart)) {
    goSilent(now, lastHeard);
    return;
  }
  scheduleAhead();
}

// The song frame heard at page time `when`: the show clock. Before a run's first sound it is
// that run's start; past the last sound scheduled, where the sound stopped.
export function heardFrame(when) {
  if (silent) return silentFrame(when);
  if (!runs.length) return heldFrame;
  const time = clock.heard(when);
  if (time === null) return lastHeard;
  const heard = time * kRate;
  let run = runs[0];
  if (heard < run.at) return run.frame;
  for (const r of runs) if (r.at <= heard) run = r;
  lastHeard = run.frame + Math.round(Math.min(Math.max(0, heard - run.at), run.frames));
  return lastHeard;
}

// The whole song has been heard.
export function songOver(when) {
  const end = songLength();
  return playing && end >= 0 && (silent || songEnded) && heardFrame(when) >= end;
}

export function stopAll() {
  if (playing) pause(performance.now());
}
