// page.js: starts the show's WebAssembly program in the page: loading, the click that lets it
// make sound, whole-number scaling, full screen, the end of the song, and clear failure messages.
'use strict';

(function () {
  const stage = document.getElementById('stage');
  const screen = document.getElementById('screen');
  const canvas = document.getElementById('canvas');
  const overlay = document.getElementById('overlay');
  const message = document.getElementById('message');
  const again = document.getElementById('again');
  const kWidth = 320, kHeight = 240;
  const kNotLoaded = 'The show could not be loaded: part of the page is missing or did not ' +
                     'arrive. Reload the page to try again.';
  let lastError = '';

  // The message in plain words, and underneath the browser's or the program's own, for whoever
  // looks into it.
  function fail(text, detail) {
    const plain = document.createElement('span');
    plain.textContent = text;
    message.replaceChildren(plain);
    if (detail) {
      const small = document.createElement('small');
      small.textContent = String(detail);
      message.append(small);
    }
    message.hidden = false;
    overlay.hidden = true;
    again.hidden = true;
  }

  // The largest whole number that fits the canvas in the window (or the screen in full screen),
  // so every show pixel becomes a square of whole device pixels.
  function fit() {
    const full = document.fullscreenElement === stage;
    let width = window.innerWidth, height = window.innerHeight;
    if (!full) {
      for (const id of ['title', 'controls']) height -= document.getElementById(id).offsetHeight + 12;
      width -= 16;
      height -= 16;
    }
    const ratio = window.devicePixelRatio || 1;  // device pixels per CSS pixel
    const scale = Math.max(1, Math.floor(Math.min(width * ratio / kWidth, height * ratio / kHeight)));
    screen.style.setProperty('--scale', scale / ratio);
  }
  window.addEventListener('resize', fit);
  document.addEventListener('fullscreenchange', fit);
  fit();

  function toggleFullscreen() {
    if (document.fullscreenElement) document.exitFullscreen();
    else if (stage.requestFullscreen) stage.requestFullscreen().catch(() => {});
  }
  document.getElementById('fullscreen').addEventListener('click', (event) => {
    event.currentTarget.blur();  // a later key press must reach the show, not the button
    toggleFullscreen();
  });
  canvas.addEventListener('dblclick', toggleFullscreen);

  if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
    fail('This browser cannot run WebAssembly, which the show needs. ' +
         'Try a current Firefox, Chrome, Edge or Safari.');
    return;
  }

  function start() {
    if (Module._startShow() !== 0) {
      fail('The show could not start its music.', lastError);
      return;
    }
    overlay.hidden = true;
    again.hidden = true;
  }
  overlay.addEventListener('click', start);
  again.addEventListener('click', (event) => {
    event.currentTarget.blur();
    start();
  });

  window.Module = {
    canvas: canvas,
    screenIsReadOnly: true,  // every frame is copied whole: no need to read the canvas back
    print: (text) => console.log(text),
    printErr: (text) => { console.error(text); lastError = text; },
    onAbort: (what) => fail(kNotLoaded, what),
    onShowReady: () => {
      overlay.disabled = false;
      overlay.textContent = 'click to start';
    },
    onShowEnd: () => { again.hidden = false; },  // the last frame stays on the canvas
  };
  // A missing data file is reported by an exception outside the program's reach.
  window.addEventListener('error', (event) => {
    if (message.hidden) fail(kNotLoaded, event.message);
  });

  const script = document.createElement('script');
  script.src = 'show.js';
  script.onerror = () => fail(kNotLoaded, 'show.js did not load');
  document.body.appendChild(script);
})();
