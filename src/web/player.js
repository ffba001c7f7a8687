// player.js: the show as a media player: ready, playing, paused, ended; start, pause, seek and
// the end; the frame loop, which draws each frame for the moment the display shows it.
import { failed, fail, whenFailed } from './messages.js';
import { median } from './clock.js';
import * as sound from './sound.js';

const kWidth = 320, kHeight = 240;
const kPoster = 26000;  // the show time the picture shows before the start: the title, the cube
const kHeldBack = 250;  // ms the clock may step back by with the frame kept on the canvas
const canvas = document.getElementById('canvas');
const listeners = [];
let program = null;
let image, pixels;

export const player = {
  state: 'loading',   // loading, ready, playing, paused, ended
  time: 0,            // the show time on the canvas
  end: -1,            // the song's end as a show time, once it is known
  offer: false,       // paused by the browser, not the viewer: play is offered on the picture
};
let exact = true;     // the next frame is drawn as a continuous run has it (a start, a seek)
let refresh = 1000 / 60;  // the display's refresh interval, measured
let lastStamp = 0;
const steps = [];
const drawing = [];   // ms the latest frames took from their start to their hand-over
let mixing = true;    // mixing the song ahead while the page is otherwise idle

// Whatever shows the player's state (the controls) hears of every change here.
export function onChange(listener) { listeners.push(listener); }
function changed() { for (const listener of listeners) listener(player); }

export const showTimeOf = (frame) => Math.floor((frame * 1000) / sound.kRate);
const frameOf = (t) => Math.ceil((t * sound.kRate) / 1000);

// Runs a call into the program; an error there stops the page with a message, not a hang.
function guard(call) {
  try {
    return call();
  } catch (error) {
    fail(player.state === 'playing' || player.state === 'paused' ? 'crash' : 'damaged', error);
    return undefined;
  }
}

// The program has started: the song opens, and mixing goes on in slices while the page waits;
// the picture shows the poster frame, the show's own title.
export function ready(module) {
  program = module;
  sound.attachProgram(program);
  pixels = new Uint8ClampedArray(program.HEAPU8.buffer, program._canvasPixels(), kWidth * kHeight * 4);
  image = new ImageData(pixels, kWidth, kHeight);
  draw(kPoster);
  exact = true;
  player.time = 0;
  whenFailed(() => sound.stopAll());
  idleMix();
  changed();
}

// Mixes the song while nothing else runs, slices of 8 ms, one a task, until it is whole; then
// keeps the radial blur's run the same way, for seeks into it.
function idleMix() {
  if (failed) return;
  if (mixing) {
    const frames = guard(() => program._mixSongFor(8));
    if (frames !== undefined) setTimeout(idleMix, 0);
    songKnown();
  } else if (guard(() => program._keepBlurFor(8))) {
    setTimeout(idleMix, 0);
  }
}
function songKnown() {
  if (!mixing) return true;
  const frames = program._songFrames();
  if (frames < 0) return false;
  mixing = false;
  // The song is whole: it becomes the media element's, and the show can start once that can play it.
  sound.songReady(() => {
    if (player.state !== 'loading') return;
    player.state = 'ready';
    changed();
  }, (detail) => fail('sound', detail));
  player.end = showTimeOf(frames);
  if (player.state !== 'playing') player.time = Math.min(player.time, player.end - 1);
  changed();
  return true;
}

// The viewer's click, tap or Enter: the sound starts (inside it, as browsers require) from `t`.
export function begin(t) {
  if (player.state !== 'ready' || failed) return;
  try {
    sound.startSound(interrupted);
  } catch (error) {
    fail('sound', error);
    return;
  }
  requestAnimationFrame(frame);
  player.state = 'paused';
  seek(t);
  play();
}

export function play() {
  if (failed || (player.state !== 'paused' && player.state !== 'ended')) return;
  if (player.state === 'ended') seek(0);
  player.state = 'playing';
  player.offer = false;
  guard(() => sound.play(performance.now()));
  changed();
}

export function pause() {
  if (player.state !== 'playing') return;
  player.state = 'paused';
  sound.pause(performance.now());  // the picture runs on to where the sound stops
  changed();
}

export function togglePause() {
  if (player.state === 'playing') pause();
  else play();
}

// The browser interrupted or suspended the sound (a call on a phone): paused, play offered.
function interrupted() {
  player.offer = true;
  pause();
}

// Moves to show time t: the picture at once as a continuous run has it there, the sound from
// that sample as soon as the audio thread takes it.
export function seek(t) {
  if (failed || player.state === 'loading' || player.state === 'ready') return;
  t = Math.max(0, Math.round(t));
  if (player.end >= 0) t = Math.min(t, player.end - 1);
  if (player.state === 'ended') player.state = 'paused';
  guard(() => sound.seek(frameOf(t), performance.now()));
  exact = true;
  draw(t);
  changed();
}

// The show time a key's seek counts from.
export function now() { return showTimeOf(sound.heardFrame(performance.now())); }

// The picture as it stands, as a PNG file in memory (the poster, for the platform's controls).
export function picture() {
  return new Promise((done) => canvas.toBlob((blob) => done(blob ? URL.createObjectURL(blob) : null), 'image/png'));
}

// Draws show time t and hands it to the canvas.
function draw(t) {
  if (guard(() => program._drawFrame(t, exact ? 1 : 0)) === undefined && failed) return;
  if (pixels.buffer !== program.HEAPU8.buffer) {  // memory grew: new views over it
    pixels = new Uint8ClampedArray(program.HEAPU8.buffer, program._canvasPixels(), kWidth * kHeight * 4);
    image = new ImageData(pixels, kWidth, kHeight);
  }
  canvas.dataset.time = t;  // the show time on the canvas, for whoever looks into the page
  canvas.getContext('2d').putImageData(image, 0, 0);
  exact = false;
  player.time = t;
}

// One display refresh: keep the sound going, then draw the frame. A frame handed to the canvas
// stays there until the next, a refresh later, so it is drawn for the middle of that span, and
// it is handed over only once drawn, as long after the frame's start as the latest frames took
// (a few milliseconds in Chromium, tens in WebKitGTK): a scene cut then reaches the canvas within
// half a refresh of its sound. The time is taken when the frame starts, not from its start stamp,
// which lags on a busy machine.
function frame(stamp) {
  if (failed) return;
  requestAnimationFrame(frame);
  // The refresh interval: the median of the last steps between frames, which frames the browser
  // skipped on a busy machine (double steps) do not stretch.
  if (lastStamp && stamp - lastStamp > 4 && stamp - lastStamp < 100) {
    steps.push(stamp - lastStamp);
    if (steps.length > 31) steps.shift();
    refresh = median(steps);
  }
  lastStamp = stamp;
  const now = performance.now();
  guard(() => sound.pump(now));
  if (player.state === 'playing' || player.state === 'paused') {
    const when = now + (drawing.length ? median(drawing) : 0) + refresh / 2;
    const t = showTimeOf(sound.heardFrame(when));
    // A little behind the canvas, the clock followed a sound that ran dry for a moment: the frame
    // stays until the sound is back at it. Further back the sound started anew, and the frame
    // there is drawn as a continuous run has it.
    const held = t < player.time && player.time - t < kHeldBack;
    if (player.time - t >= kHeldBack) exact = true;
    if (t !== player.time && !held) {
      draw(t);
      drawing.push(performance.now() - now);
      if (drawing.length > 15) drawing.shift();
      changed();
    }
    if (player.state === 'playing' && sound.songOver(when)) finish();
  }
}

// The song's end: the last frame stays, with an offer to play again.
function finish() {
  sound.pause(performance.now());
  player.state = 'ended';
  changed();
}
