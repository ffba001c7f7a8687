// messages.js: what the page says to the viewer: a failure that stops the show, in plain words
// with the browser's or the program's own words underneath, and the quiet notice of a show that
// plays without sound.
const kPlain = {
  program: 'The show\'s program (show.wasm or show.js) could not be loaded. Check the connection and reload the page.',
  damaged: 'The show\'s program is damaged or was cut short on its way here. Reload the page; if this stays, the site\'s copy is broken.',
  data: 'The show\'s data (show.data, the music) could not be loaded. Check the connection and reload the page.',
  music: 'The show\'s data (show.data) is damaged: its music cannot be read. Reload the page; if this stays, the site\'s copy is broken.',
  wasm: 'This browser cannot run WebAssembly, which the show needs. Try a current Firefox, Chrome, Edge or Safari.',
  sound: 'This browser could not start sound for the show.',
  crash: 'The show stopped because of an error in its program. Reload the page to watch it again.',
};

const message = document.getElementById('message');
const notice = document.getElementById('notice');
const onFail = [];
export let failed = false;

// Whatever must stop when the page fails (the sound, the wake lock, the controls) registers here.
export function whenFailed(stop) { onFail.push(stop); }

// Says `kind` of failure and stops everything: no sound, no frames.
export function fail(kind, detail) {
  if (failed) return;
  failed = true;
  const plain = document.createElement('span');
  plain.textContent = kPlain[kind];
  message.replaceChildren(plain);
  if (detail) {
    const small = document.createElement('small');
    small.textContent = String(detail && detail.message ? detail.message : detail).replace(/\s*Build with -s ASSERTIONS.*$/s, '');
    message.append(small);
  }
  message.hidden = false;
  for (const stop of onFail) {
    try { stop(); } catch { /* a failure in the sound itself, or before the player exists */ }
  }
}

// The quiet line under the picture while the show plays on without sound (no output device, or a
// context the browser keeps stopped), as the desktop plays silently without a sound device.
export function sayNoSound(silent) {
  notice.hidden = !silent;
}
