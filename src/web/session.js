// session.js: the platform's own media controls (Media Session): the show's title, artist and
// picture where the platform shows what plays (a phone's lock screen, the notification area, a
// desktop's media overlay), and their play, pause and seek actions, which a keyboard's media keys
// and a headset's button send too. The position is kept current, so their seek bars are right.
import * as show from './player.js';

const kSkip = 5;  // seconds a seek back or forward moves when the platform names none

export function startSession(artwork) {
  const session = navigator.mediaSession;
  if (!session || typeof MediaMetadata !== 'function') return;
  session.metadata = new MediaMetadata({
    title: document.title,
    artist: 'Quenor, Velmit and Orsadun',
    album: 'A night in 320 × 240',
    artwork: artwork ? [{ src: artwork, sizes: '320x240', type: 'image/png' }] : [],
  });
  const actions = {
    play: () => show.play(),
    pause: () => show.pause(),
    stop: () => show.pause(),
    seekto: (details) => show.seek(details.seekTime * 1000),
    seekbackward: (details) => show.seek(show.now() - (details.seekOffset || kSkip) * 1000),
    seekforward: (details) => show.seek(show.now() + (details.seekOffset || kSkip) * 1000),
  };
  for (const [action, handler] of Object.entries(actions)) {
    try {
      session.setActionHandler(action, handler);
    } catch { /* an action this platform does not know */ }
  }
  show.onChange((player) => {
    session.playbackState = player.state === 'playing' ? 'playing' : 'paused';
    if (player.end <= 0 || !session.setPositionState) return;
    try {
      session.setPositionState({ duration: player.end / 1000, playbackRate: 1, position: Math.min(player.time, player.end) / 1000 });
    } catch { /* a position the platform refuses is left as it was */ }
  });
}
