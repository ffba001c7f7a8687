// load.js: downloads the show's program and data with progress on the start button, then hands
// them to emscripten's show.js, which only compiles and starts the program.
import { fail } from './messages.js';

const label = document.querySelector('#overlay .label');
const received = { wasm: 0, data: 0 }, totals = { wasm: 0, data: 0 };

function showProgress() {
  const got = received.wasm + received.data, total = totals.wasm + totals.data;
  label.textContent = totals.wasm && totals.data
    ? `loading\u2026 ${Math.min(99, Math.floor((100 * got) / total))}%` : `loading\u2026 ${(got / 1e6).toFixed(1)} MB`;
}

async function download(name, kind) {
  const failure = (text) => Object.assign(new Error(`${name}: ${text}`), { kind });
  let response;
  try {
    response = await fetch(name);
  } catch (error) {
    throw failure(error.message);
  }
  if (!response.ok) throw failure(`${response.status} ${response.statusText}`);
  // Content-Length counts the bytes sent; when they were compressed, the bytes read here are
  // more, so the page counts megabytes instead of a percentage.
  const key = kind === 'program' ? 'wasm' : 'data';
  if (!response.headers.get('Content-Encoding')) totals[key] = Number(response.headers.get('Content-Length')) || 0;
  const parts = [];
  const reader = response.body.getReader();
  for (;;) {
    let part;
    try {
      part = await reader.read();
    } catch (error) {
      throw failure(error.message);
    }
    if (part.done) break;
    parts.push(part.value);
    received[key] += part.value.length;
    showProgress();
  }
  const whole = new Uint8Array(received[key]);
  let at = 0;
  for (const part of parts) { whole.set(part, at); at += part.length; }
  return whole.buffer;
}

// Loads the program; `ready` runs once it has started and opened the song. `playing` tells
// whether a failure from here on is a crash of a running show or a damaged download.
export function loadProgram(ready, playing) {
  window.Module = {
    print: (text) => console.log(text),
    printErr: (text) => console.error(text),
    onAbort: (what) => fail(playing() ? 'crash' : 'damaged', what),
    onShowFail: (kind, detail) => fail(kind, detail),
    onShowReady: ready,
  };
  window.addEventListener('error', (event) => { if (!playing()) fail('damaged', event.message); });
  window.addEventListener('unhandledrejection', (event) => fail('damaged', event.reason));
  Promise.all([download('show.wasm', 'program'), download('show.data', 'data')]).then(([wasm, data]) => {
    label.textContent = 'starting\u2026';
    Module.wasmBinary = wasm;
    Module.getPreloadedPackage = () => data;
    const script = document.createElement('script');
    script.src = 'show.js';
    script.onerror = () => fail('program', 'show.js did not load');
    document.body.appendChild(script);
  }, (error) => fail(error.kind, error.message));
}
