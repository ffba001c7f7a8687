// controls.js: the player's controls: the start button, play/pause, the seek bar with the show's
// parts marked, the time, full screen, keys as video players have them, clicks and taps, the
// layout that scales the picture by whole numbers, and what a hidden tab or a sleeping screen do.
import { failed, whenFailed } from './messages.js';
import * as show from './player.js';

const $ = (id) => document.getElementById(id);
const stage = $('stage'), canvas = $('canvas'), overlay = $('overlay'), overlayLabel = overlay.querySelector('.label');
const playButton = $('play'), seekBar = $('seek'), marks = $('marks');
const timeText = $('time'), fullButton = $('fullscreen'), again = $('again');
const kWidth = 320, kHeight = 240;
const kSkip = 5000;  // ms the arrow keys move
const { player } = show;

// ---- Layout and full screen -------------------------------------------------------------------
// The largest whole number that fits the canvas in the window (or the screen in full screen),
// so every show pixel becomes a square of whole device pixels.
function fit() {
  const full = document.fullscreenElement === stage;
  let width = window.innerWidth, height = window.innerHeight;
  if (!full) {
    for (const id of ['title', 'controls', 'notice', 'downloads']) {
      const taken = $(id).offsetHeight;
      if (taken) height -= taken + 12;
    }
    width -= 16;
    height -= 16;
  }
  const ratio = window.devicePixelRatio || 1;  // device pixels per CSS pixel
  const scale = Math.max(1, Math.floor(Math.min(width * ratio / kWidth, height * ratio / kHeight)));
  // On a screen narrower than the picture at one device pixel a pixel, it is shrunk to fit.
  stage.style.setProperty('--scale', Math.min(scale / ratio, width / kWidth));
}

// Full screen only where the browser has it (not on an iPhone, say): no button that does nothing.
const canFull = !!(document.fullscreenEnabled && stage.requestFullscreen);
function toggleFullscreen() {
  if (!canFull) return;
  if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
  else stage.requestFullscreen().catch(() => {});
}

// ---- What the controls show ---------------------------------------------------------------------
function formatTime(ms) {
  const tenths = Math.floor(ms / 100);
  return `${Math.floor(tenths / 600)}:${String(Math.floor((tenths % 600) / 10)).padStart(2, '0')}.${tenths % 10}`;
}

// The show's length as the page's line about it says it.
function formatLength(ms) {
  const seconds = Math.round(ms / 1000);
  return `, ${Math.floor(seconds / 60)} min ${seconds % 60} s long`;
}

let shownState = '', shownOffer = false;
function update() {
  timeText.value = formatTime(player.time);
  seekBar.setAttribute('aria-valuetext', `${formatTime(player.time)}, ${sceneAt(player.time)}`);
  if (document.activeElement !== seekBar || player.state !== 'playing') seekBar.value = player.time;
  if (player.end >= 0 && Number(seekBar.max) !== player.end) {
    seekBar.max = player.end;
    for (const mark of marks.children) mark.style.left = `${(100 * mark.dataset.start) / player.end}%`;
    $('length').textContent = formatLength(player.end);
  }
  followAddress();
  if (player.state === shownState && player.offer === shownOffer) return;
  shownState = player.state;
  shownOffer = player.offer;
  const playing = player.state === 'playing';
  playButton.textContent = playing ? 'pause' : 'play';
  playButton.title = playing ? 'Pause (Space or K)' : 'Play (Space or K)';
  again.hidden = player.state !== 'ended';
  for (const control of [playButton, seekBar]) control.disabled = player.state === 'loading' || player.state === 'ready';
  if (player.state === 'ready') {
    overlay.disabled = false;
    overlayLabel.textContent = 'play';
    overlay.focus({ preventScroll: true });
  } else if (player.state !== 'loading') {
    // Paused by the browser (a call, the sound taken away): the big button offers to play on.
    overlay.hidden = !player.offer;
    if (player.offer) overlayLabel.textContent = 'play';
  }
  if (playing) { wake(); touched(); } else { releaseWake(); stage.classList.remove('idle'); }
}

// The show's parts as marks on the seek bar, once the program names them: each named on hover,
// and the part the bar stands in said with its time to a screen reader.
const parts = [];
function markParts(program) {
  for (let i = 0; i < program._windowCount(); ++i) {
    const mark = document.createElement('span');
    mark.dataset.start = program._windowStart(i);
    mark.title = program.UTF8ToString(program._windowName(i));
    parts.push({ start: program._windowStart(i), name: mark.title });
    marks.append(mark);
  }
}
function sceneAt(t) {
  let name = '';
  for (const part of parts) if (part.start <= t) name = part.name;
  return name;
}

// While paused the address names the moment, so it can be copied and shared: #t=64.5 (seconds).
function followAddress() {
  if (player.state !== 'paused') return;
  const hash = `#t=${(Math.floor(player.time / 100) / 10).toFixed(1)}`;  // as the time reads
  if (location.hash === hash) return;
  try {
    history.replaceState(null, '', hash);
  } catch { /* Safari limits how often a page may do this; the next pause tries again */ }
}
function linkedTime() {
  const match = /^#t=(\d+(?:\.\d+)?)$/.exec(location.hash);
  return match ? Math.round(Number(match[1]) * 1000) : 0;
}

// ---- Keys -------------------------------------------------------------------------------------
// Only the player's own keys, and only without modifiers: the browser keeps reload, zoom, full
// screen, tab switching and Tab or Enter on the controls. On a focused control the keys do what
// they do there (Space presses a button, the arrows move the seek bar).
function onKey(event) {
  if (event.ctrlKey || event.altKey || event.metaKey || event.shiftKey || event.isComposing) return;
  if (player.state !== 'playing' && player.state !== 'paused' && player.state !== 'ended') return;
  const onButton = event.target instanceof HTMLButtonElement;
  const onBar = event.target === seekBar;
  let handled = true;
  switch (event.key) {
    case ' ': if (onButton) return; show.togglePause(); break;
    case 'k': case 'K': show.togglePause(); break;
    case 'ArrowLeft': if (onBar) return; show.seek(show.now() - kSkip); break;
    case 'ArrowRight': if (onBar) return; show.seek(show.now() + kSkip); break;
    case 'Home': if (onBar) return; show.seek(0); break;
    case 'f': case 'F': toggleFullscreen(); break;
    // A keyboard's media keys, while the page has the focus (elsewhere the platform sends them
    // to the page's media session).
    case 'MediaPlayPause': show.togglePause(); break;
    case 'MediaPlay': show.play(); break;
    case 'MediaPause': case 'MediaStop': show.pause(); break;
    case 'Escape': if (document.fullscreenElement) document.exitFullscreen().catch(() => {}); else handled = false; break;
    default: handled = false;
  }
  if (handled) { event.preventDefault(); touched(); }
}

// ---- Pointer and touch ------------------------------------------------------------------------
// A click on the picture pauses or plays, as in video players; a tap only shows the controls (a
// finger has no hover); a double-click or double-tap goes to full screen and back.
let idleTimer = 0, lastTap = 0;
let lastPointer = window.matchMedia && matchMedia('(hover: none)').matches ? 'touch' : 'mouse';
let swallowClick = false;  // the tap that brings faded controls back does not also press one
function touched() {
  stage.classList.remove('idle');
  clearTimeout(idleTimer);
  // The controls fade while the show plays untouched, in full screen or on a touch screen.
  if (player.state === 'playing' && (document.fullscreenElement || lastPointer === 'touch'))
    idleTimer = setTimeout(() => { if (player.state === 'playing') stage.classList.add('idle'); }, 3000);
}
function listenToPointers() {
  stage.addEventListener('pointermove', (event) => { if (event.pointerType === 'mouse') { lastPointer = 'mouse'; touched(); } });
  stage.addEventListener('pointerdown', (event) => {
    if (event.pointerType === 'mouse') return;
    lastPointer = event.pointerType;
    swallowClick = stage.classList.contains('idle') && event.target !== canvas;
    touched();
  });
  stage.addEventListener('click', (event) => {
    if (!swallowClick) return;
    swallowClick = false;
    event.preventDefault();
    event.stopPropagation();
  }, true);
  canvas.addEventListener('pointerup', (event) => {
    lastPointer = event.pointerType;
    if (event.pointerType === 'mouse') return;  // a mouse's click comes as a click
    const now = performance.now();
    if (now - lastTap < 350) { toggleFullscreen(); lastTap = 0; } else lastTap = now;
    touched();
  });
  canvas.addEventListener('click', (event) => { if (lastPointer === 'mouse' && event.detail <= 1) show.togglePause(); });
  canvas.addEventListener('dblclick', () => { if (lastPointer === 'mouse') { show.togglePause(); toggleFullscreen(); } });
}

// ---- A hidden tab pauses; showing it again plays on -------------------------------------------
// Playing on unseen would spend a phone's battery on frames no one sees, and the browser stops
// the frames anyway, so the picture would be behind the sound when the tab returns.
let autoPaused = false;
function onVisibility() {
  if (document.hidden && player.state === 'playing') {
    show.pause();
    autoPaused = true;
  } else if (!document.hidden && autoPaused) {
    autoPaused = false;
    if (player.state === 'paused') show.play();
  }
  if (!document.hidden) wake();
}

// ---- The screen stays on while the show plays (where the browser can) -------------------------
let wakeLock = null;
function wake() {
  if (player.state !== 'playing' || document.hidden || wakeLock || !navigator.wakeLock) return;
  navigator.wakeLock.request('screen').then((lock) => {
    wakeLock = lock;
    lock.addEventListener('release', () => { if (wakeLock === lock) wakeLock = null; });
    if (player.state !== 'playing') releaseWake();
  }, () => {});
}
function releaseWake() {
  const lock = wakeLock;
  wakeLock = null;
  if (lock) lock.release().catch(() => {});
}

// Sets the controls up; `program` arrives once it has started.
export function startControls() {
  window.addEventListener('resize', fit);
  // The controls wrap on a narrow screen and the notice comes and goes: the picture makes room.
  if (window.ResizeObserver) new ResizeObserver(fit).observe($('controls'));
  new MutationObserver(fit).observe($('notice'), { attributes: true });
  document.addEventListener('fullscreenchange', () => { fit(); wake(); });
  fit();
  fullButton.hidden = !canFull;
  fullButton.addEventListener('click', toggleFullscreen);
  overlay.addEventListener('click', () => {
    if (player.state === 'ready') show.begin(linkedTime());
    else show.play();
  });
  playButton.addEventListener('click', show.togglePause);
  again.addEventListener('click', () => { show.seek(0); show.play(); });
  seekBar.addEventListener('input', () => show.seek(Number(seekBar.value)));  // dragging seeks as it goes
  document.addEventListener('keydown', onKey);
  listenToPointers();
  document.addEventListener('visibilitychange', onVisibility);
  show.onChange(update);
  whenFailed(() => {
    overlay.hidden = true;
    again.hidden = true;
    for (const control of [playButton, seekBar]) control.disabled = true;
    releaseWake();
  });
  return (program) => { if (!failed) markParts(program); };
}
