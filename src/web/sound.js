// sound.js: the song played by a media element, and the show clock, the song frame heard now.
// The program mixes the whole song into memory; the page hands it to an <audio> element as a WAV
// file, so the browser's media pipeline plays it off the page's thread, seconds ahead, and keeps
// the clock that says what has been heard (clock.js): the one it holds a video's picture to its
// sound with, across stalls, pauses, seeks, hidden tabs and the platform's interruptions.
import { makeMediaClock, makeStandWatch } from './clock.js';
import { sayNoSound } from './messages.js';

export const kRate = 44100;  // the song's sample frames a second
const kTries = 4;            // loads of the song before the page says it cannot play it

let program = null;
let audio = null;
const clock = makeMediaClock();
const stuck = makeStandWatch();
let playing = false;         // the viewer's wish: the song plays on
let heldFrame = 0;           // the song frame shown while not playing
let interrupted = () => {};
let failed = () => {};
let watchingOutputs = false;
let played = false;          // the element has played: a start is then a seek
let ownPauses = 0;           // pauses the page asked of the element itself, whose events are not the browser's
let reloading = false;       // the element is being loaded afresh, its clock at 0 until it plays from heldFrame

export function attachProgram(module) { program = module; }
const songLength = () => program._songFrames();

// The whole song as a WAV file in memory, 16-bit stereo at 44,100 Hz, the program's own samples;
// an element ready to play it. Called once the program has mixed the song to its end; `onReady`
// once the element can play it (WebKitGTK's, sought and played before it could, said it
// played and stood where it was sought for good).
export function songReady(onReady, onFail) {
  if (audio) return;
  failed = onFail;
  const frames = songLength();
  const header = new DataView(new ArrayBuffer(44));
  const text = (at, word) => { for (let i = 0; i < 4; ++i) header.setUint8(at + i, word.charCodeAt(i)); };
  text(0, 'RIFF');
  header.setUint32(4, 36 + 4 * frames, true);
  text(8, 'WAVE');
  text(12, 'fmt ');
  header.setUint32(16, 16, true);         // the format's size
  header.setUint16(20, 1, true);          // integer samples
  header.setUint16(22, 2, true);          // channels
  header.setUint32(24, kRate, true);
  header.setUint32(28, 4 * kRate, true);  // bytes a second
  header.setUint16(32, 4, true);          // bytes a frame
  header.setUint16(34, 16, true);         // bits a sample
  text(36, 'data');
  header.setUint32(40, 4 * frames, true);
  // One piece of memory, not a file of many pieces.
  const file = new Uint8Array(44 + 4 * frames);
  file.set(new Uint8Array(header.buffer));
  const most = program._mostSongFrames();
  for (let at = 0; at < frames;) {
    const copied = program._copySong(at, Math.min(most, frames - at));
    if (copied <= 0) break;
    file.set(new Uint8Array(program.HEAPU8.buffer, program._mixedSamples(), 4 * copied), 44 + 4 * at);
    at += copied;
  }
  const song = new Blob([file], { type: 'audio/wav' });
  audio = new Audio();
  // Not 'auto': WebKitGTK then keeps what it read ahead in a cache of its own, and a seek back
  // into it played on from where the reading had got to (a seek from 19.3 s to 15 s played from
  // 26.9 s for seven seconds, its clock saying 15) in every try here; read as it plays, it seeks
  // right. The element still reads enough to play before the start is offered.
  audio.preload = 'metadata';
  audio.addEventListener('canplay', onReady, { once: true });
  audio.src = URL.createObjectURL(song);
  // The browser paused it (a call on a phone, another player taking the sound): so is the show.
  // Not a pause the page asked for itself, whose event may come after the viewer played again,
  // nor one a load of its own may bring.
  audio.addEventListener('pause', () => {
    if (ownPauses) --ownPauses;
    else if (playing && !audio.ended && !reloading) interrupted();
  });
  // An error after which the element still plays is its output failing (Firefox's, without a
  // sound server): it goes on by its own clock, silent. Before the song was read, WebKitGTK now
  // and then refuses a file it plays the next time (one load in eight here): it is loaded again,
  // a few times, before the page gives up.
  let tries = 1;
  audio.addEventListener('error', () => {
    if (audio.readyState >= HTMLMediaElement.HAVE_METADATA) {
      sayNoSound(true);
    } else if (tries++ < kTries) {
      URL.revokeObjectURL(audio.src);
      audio.src = URL.createObjectURL(song);
      audio.load();
      ownPauses = 0;  // loading drops the events still to come
      if (playing) play();
    } else {
      failed(audio.error && (audio.error.message || `media error ${audio.error.code}`));
    }
  });
}

// Inside the viewer's click, tap or key: the moment a browser lets a page start sound. A phone
// plays it as a player does, through the ringer switch.
export function startSound(onInterrupt) {
  interrupted = onInterrupt;
  if (navigator.audioSession) {
    try { navigator.audioSession.type = 'playback'; } catch { /* an older session API */ }
  }
  probeOutput();
}

// A media element plays on by its own clock, silent, where there is no sound output: Firefox
// says so only by an error event whose element goes on playing; Chromium plays into a stand-in,
// and only the outputs it lists (an engine that lets a page choose its output lists them) say
// there is none. Asked at each start and again when the devices change.
let outputListed = true;
function probeOutput() {
  const devices = navigator.mediaDevices;
  const Context = window.AudioContext || window.webkitAudioContext;
  if (!devices || !devices.enumerateDevices || !Context || !('setSinkId' in Context.prototype)) return;
  devices.enumerateDevices().then((list) => {
    outputListed = list.some((device) => device.kind === 'audiooutput');
    sayNoSound(!outputListed);
  }, () => {});
  if (!watchingOutputs) devices.addEventListener('devicechange', probeOutput);
  watchingOutputs = true;
}

// The element at song frame `frame`: a seek unless it is there already, or always (`afresh`).
function moveTo(frame, afresh = false) {
  const seconds = frame / kRate;
  if (afresh || Math.abs(audio.currentTime - seconds) > 0.5 / kRate) audio.currentTime = seconds;
  clock.reset();
}

// Plays on from where the show is held. After the first start always by a seek: an element that
// merely goes on after a pause plays on into the output as it was, and Firefox's clock then put
// the sound 50 to 70 ms ahead of it for ten seconds (the server's timing, smoothed, settling
// again); after a seek its output starts afresh. Not at the first start, where the element has
// not played and stands where the show starts: sought just as it began to play, Firefox's clock
// fell 50 to 100 ms behind its sound over the first five seconds and took ten more to come back,
// in four runs of seven. (After a resume it did so too, once in eight; sought first and played
// once the seek had landed, WebKitGTK's element stood, as below.)
export function play() {
  playing = true;
  sayNoSound(!outputListed);  // an output that failed before is tried again
  if (reloading) return;      // it plays once it can (restart)
  // Refused (a browser that wants a click first): paused, and play is offered on the picture.
  if (audio.paused) audio.play().catch((error) => { if (error && error.name === 'NotAllowedError' && playing) interrupted(); });
  // The seek after the play: WebKitGTK's element, sought while paused and then played, says it
  // plays and stands where it was sought for good.
  moveTo(heldFrame, played);
  played = true;
}

// Pauses the element as the page's own wish: its pause event, which comes a task or more later
// (after a play that came quickly after, a media key pressed twice), is then not the browser's.
function pauseElement() {
  if (audio.paused) return;
  ++ownPauses;
  audio.pause();
}

// Stops playing; answers the song frame the sound stops at, where the element says it stopped.
export function pause() {
  if (!playing) return heldFrame;
  playing = false;
  pauseElement();
  clock.reset();
  if (!reloading) heldFrame = Math.min(Math.round(audio.currentTime * kRate), songLength());
  return heldFrame;
}

// Moves to song frame `frame`: playing on from there, or held there while paused.
export function seek(frame) {
  heldFrame = frame;
  if (playing && !reloading) moveTo(frame);
}

const moving = () => playing && !audio.paused && !audio.seeking && audio.readyState >= HTMLMediaElement.HAVE_FUTURE_DATA;

// Loads the element afresh and plays it from where it stood once it can, as at the start; the
// picture holds there meanwhile. For an element that stands for good where it says it plays:
// sought there, WebKitGTK's stood on (ready to play, not seeking, its clock 2 ms past the sought
// point, sought twice more in vain), and paused, played and sought there, four times in a row.
function restart() {
  heldFrame = Math.round(audio.currentTime * kRate);
  reloading = true;
  clock.reset();
  audio.addEventListener('canplay', () => {
    reloading = false;
    if (playing) play();
  }, { once: true });
  audio.load();
  ownPauses = 0;  // loading drops the events still to come
}

// Once a frame: notes the element's clock, and starts afresh an element that stands for good
// where it says it plays.
export function pump(now) {
  if (!audio || reloading) return;
  clock.observe(now, audio.currentTime, moving());
  if (stuck(now, audio.currentTime, playing && !audio.paused && !audio.ended)) restart();
}

// The song frame heard at page time `when`: the show clock. Where the media stands (it starts,
// seeks or waits for data) the frame it stands at.
export function heardFrame(when) {
  if (!audio || !playing || reloading) return heldFrame;
  const heard = clock.heard(when);
  const frame = Math.round((heard === null ? audio.currentTime : heard) * kRate);
  return Math.max(0, Math.min(frame, songLength()));
}

// The whole song has been heard.
export function songOver(when) {
  return playing && (audio.ended || heardFrame(when) >= songLength());
}

export function stopAll() {
  if (playing) pause();
}
