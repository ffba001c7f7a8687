// hooks.js: the browser test's watch on the page, loaded by the test's copy of index.html before
// anything else, as a plain script, so every engine runs the same hooks the same way. Times are
// wall times in ms since the epoch (performance.timeOrigin + performance.now()), the clock the
// test itself keeps, so the recording, the keys and the frames meet on one clock without trusting
// the engine's own account of its output latency.
'use strict';
(function () {
  const wall = () => performance.timeOrigin + performance.now();
  window.addEventListener('error', (event) => log.errors.push(String(event.message)));
  window.addEventListener('unhandledrejection', (event) => log.errors.push(String(event.reason)));
  // When the page got each key, click and seek-bar move: the test's actions land a driver's
  // round trip after it sends them.
  const log = (window.showLog = { frames: [], events: [], longTasks: [], errors: [], seeks: [], media: [], undrawn: [] });
  for (const type of ['keydown', 'click', 'input']) window.addEventListener(type, (event) => log.events.push([event.type, wall()]), true);

  // A browser without WebAssembly, on request (?without=WebAssembly).
  if (new URLSearchParams(location.search).get('without') === 'WebAssembly') delete window.WebAssembly;

  // Every frame handed to the canvas: when, and an 8 x 8 grid of its pixels as hex (the same
  // points the desktop's flip log samples), compact enough to carry out of any engine's driver.
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function (image, ...rest) {
    put.call(this, image, ...rest);
    const at = wall();
    let grid = '';
    for (let y = 15; y < 240; y += 30) for (let x = 20; x < 320; x += 40) {
      const p = 4 * (y * 320 + x);
      grid += ((image.data[p] << 16) | (image.data[p + 1] << 8) | image.data[p + 2]).toString(16).padStart(6, '0');
    }
    // The show time the page says it drew (its canvas's data-time), and the element's clock.
    log.frames.push({ at, grid, time: Number(this.canvas.dataset.time), media: media ? media.currentTime : null,
                     ready: media ? media.readyState : null });
  };
  // Every animation frame the page drew nothing at, once its element plays: when, and what the
  // page's clock was given then (the element's clock, paused, seeking, readiness), read in the
  // same task as the page reads them. A page that let go of its hold did so at a frame like these
  // as often as at a drawn one.
  const frameRequest = window.requestAnimationFrame;
  window.requestAnimationFrame = function (callback) {
    return frameRequest.call(window, (stamp) => {
      const drawn = log.frames.length;
      const seen = media && [wall(), media.currentTime, media.paused, media.seeking, media.readyState];
      callback(stamp);
      if (seen && log.frames.length === drawn) log.undrawn.push(seen);
    });
  };
  // The page's media element, once it plays: its clock is logged with every frame, and its state
  // is there for a test's message.
  let media = null;
  window.showMedia = () => media && { time: media.currentTime, paused: media.paused, seeking: media.seeking,
                                      readyState: media.readyState, seeks: log.seeks.map(([at, to]) => [Math.round(at - wall()), to]) };
  const play = HTMLMediaElement.prototype.play;
  HTMLMediaElement.prototype.play = function (...rest) {
    // Every seek the element starts, the page's own among them (one where it stood for good).
    if (media !== this) {
      this.addEventListener('seeking', () => log.seeks.push([wall(), this.currentTime]));
      // The element's own word on its state, for the reader of a kept run: when it played,
      // paused, waited for data and went on, with its clock and readiness then.
      for (const type of ['play', 'pause', 'waiting', 'playing', 'stalled', 'canplay'])
        this.addEventListener(type, () => log.media.push([wall(), type, this.currentTime, this.readyState]));
    }
    media = this;
    return play.apply(this, rest);
  };

  // The element's clock made to stand where it says it plays, as WebKitGTK's now and then does
  // (its pipeline as if paused): seeks, and a pause, play and seek, do not move it; loading it
  // afresh does.
  const clock = Object.getOwnPropertyDescriptor(HTMLMediaElement.prototype, 'currentTime');
  let stands = null;
  Object.defineProperty(HTMLMediaElement.prototype, 'currentTime', {
    configurable: true,
    get() { return stands ?? clock.get.call(this); },
    set(seconds) { clock.set.call(this, seconds); },
  });
  const load = HTMLMediaElement.prototype.load;
  HTMLMediaElement.prototype.load = function (...rest) {
    stands = null;
    return load.apply(this, rest);
  };
  window.standMedia = () => { stands = media.currentTime; return stands; };

  // The handlers the page gives the platform's media controls, for the test to act as the
  // platform does (a lock screen, a headset's button).
  window.sessionActions = {};
  if (window.MediaSession) {
    const set = MediaSession.prototype.setActionHandler;
    MediaSession.prototype.setActionHandler = function (action, handler) {
      window.sessionActions[action] = handler;
      return set.call(this, action, handler);
    };
  }

  // Main-thread tasks over 50 ms, where the engine reports them (Chromium).
  try {
    new PerformanceObserver((list) => log.longTasks.push(...list.getEntries().map((e) => [e.startTime, e.duration])))
      .observe({ type: 'longtask', buffered: true });
  } catch { /* not reported here: the frame log's gaps stand in */ }
})();
