// page.js: the show as a media player in the page. It wires the parts: the download of the
// program (load.js), the player and its frame loop (player.js) over the sound and its clock
// (sound.js, clock.js), the controls (controls.js), the platform's media controls (session.js),
// what the page says (messages.js) and the other ways to watch it (downloads.js).
import { startControls } from './controls.js';
import { listDownloads } from './downloads.js';
import { loadProgram } from './load.js';
import { fail } from './messages.js';
import { picture, player, ready } from './player.js';
import { startSession } from './session.js';

const programStarted = startControls();
listDownloads();
// Kept for a visit without the network (not where the page is opened as a file).
if (navigator.serviceWorker && location.protocol.startsWith('http')) navigator.serviceWorker.register('sw.js').catch(() => {});
if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
  fail('wasm');
} else {
  loadProgram(() => {
    programStarted(window.Module);
    ready(window.Module);
    picture().then(startSession);
  }, () => player.state !== 'loading' && player.state !== 'ready');
}
