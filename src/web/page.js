// page.js: the show as a media player in the page. It wires the parts: the download of the
// program (load.js), the player and its frame loop (player.js) over the sound and its clock
// (sound.js, clock.js), the controls (controls.js), the platform's media controls (session.js)
// and what the page says (messages.js).
import { startControls } from './controls.js';
import { loadProgram } from './load.js';
import { fail } from './messages.js';
import { picture, player, ready } from './player.js';
import { startSession } from './session.js';

const programStarted = startControls();
if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
  fail('wasm');
} else {
  loadProgram(() => {
    programStarted(window.Module);
    ready(window.Module);
    picture().then(startSession);
  }, () => player.state !== 'loading' && player.state !== 'ready');
}
