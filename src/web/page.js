// page.js: the show as a media player in the page: it downloads the program with progress, mixes
// the song ahead, plays it from the browser's audio thread, draws each frame for the moment the
// display shows it, and offers pause, seeking, keys, touch, full screen and links to a moment.
'use strict';

(function () {
  const $ = (id) => document.getElementById(id);
  const stage = $('stage'), screen = $('screen'), canvas = $('canvas'), overlay = $('overlay');
  const message = $('message'), playButton = $('play'), seekBar = $('seek'), marks = $('marks');
  const timeText = $('time'), fullButton = $('fullscreen'), again = $('again');
  const kWidth = 320, kHeight = 240;
  const kRate = 44100;        // the song's sample frames a second, and the audio context's rate
  const kChunk = 16384;       // sample frames an audio buffer holds (0.37 s)
  const kAhead = 4;           // seconds of sound kept scheduled: main-thread stalls shorter than
                              // this never reach the loudspeaker
  const kHint = 0.2;          // seconds of the device buffers asked for: shorter ones break
                              // up while the page's main thread stalls on a busy machine
  const kSkip = 5000;         // ms the arrow keys move

  // ---- Messages -------------------------------------------------------------------------------
  const kPlain = {
    program: 'The show\'s program (show.wasm or show.js) could not be loaded. Check the connection and reload the page.',
    damaged: 'The show\'s program is damaged or was cut short on its way here. Reload the page; if this stays, the site\'s copy is broken.',
    data: 'The show\'s data (show.data, the music) could not be loaded. Check the connection and reload the page.',
    music: 'The show\'s data (show.data) is damaged: its music cannot be read. Reload the page; if this stays, the site\'s copy is broken.',
    wasm: 'This browser cannot run WebAssembly, which the show needs. Try a current Firefox, Chrome, Edge or Safari.',
    sound: 'This browser could not start sound for the show.',
    crash: 'The show stopped because of an error in its program. Reload the page to watch it again.',
  };
  let failed = false;

  // The message in plain words, and underneath the browser's or the program's own, for whoever
  // looks into it. Everything stops: no sound, no frames.
  function fail(kind, detail) {
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
    overlay.hidden = true;
    again.hidden = true;
    for (const control of [playButton, seekBar]) control.disabled = true;
    try {
      stopSound();
      releaseWake();
    } catch { /* a failure before the player exists, or in the sound itself */ }
  }

  // ---- Layout and full screen -----------------------------------------------------------------
  // The largest whole number that fits the canvas in the window (or the screen in full screen),
  // so every show pixel becomes a square of whole device pixels.
  function fit() {
    const full = document.fullscreenElement === stage;
    let width = window.innerWidth, height = window.innerHeight;
    if (!full) {
      for (const id of ['title', 'controls']) height -= $(id).offsetHeight + 12;
      width -= 16;
      height -= 16;
    }
    const ratio = window.devicePixelRatio || 1;  // device pixels per CSS pixel
    const scale = Math.max(1, Math.floor(Math.min(width * ratio / kWidth, height * ratio / kHeight)));
    stage.style.setProperty('--scale', scale / ratio);
  }
  window.addEventListener('resize', fit);
  document.addEventListener('fullscreenchange', () => { fit(); wake(); });
  fit();

  // Full screen only where the browser has it (not on an iPhone, say): no button that does nothing.
  const canFull = !!(document.fullscreenEnabled && stage.requestFullscreen);
  fullButton.hidden = !canFull;
  function toggleFullscreen() {
    if (!canFull) return;
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    else stage.requestFullscreen().catch(() => {});
  }
  fullButton.addEventListener('click', toggleFullscreen);

  if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
    fail('wasm');
    return;
  }

  // ---- Loading --------------------------------------------------------------------------------
  // show.wasm and show.data are fetched here, with progress on the start button, and handed to
  // emscripten's show.js, which then only compiles and starts.
  const received = { wasm: 0, data: 0 }, totals = { wasm: 0, data: 0 };
  function showProgress() {
    const got = received.wasm + received.data, total = totals.wasm + totals.data;
    const megabytes = (got / 1e6).toFixed(1);
    overlay.textContent = totals.wasm && totals.data
      ? `loading\u2026 ${Math.min(99, Math.floor((100 * got) / total))}%` : `loading\u2026 ${megabytes} MB`;
  }
  async function download(name, kind) {
    let response;
    try {
      response = await fetch(name);
    } catch (error) {
      throw Object.assign(new Error(`${name}: ${error.message}`), { kind });
    }
    if (!response.ok) throw Object.assign(new Error(`${name}: ${response.status} ${response.statusText}`), { kind });
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
        throw Object.assign(new Error(`${name}: ${error.message}`), { kind });
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

  let stage_ = 'loading';  // what the program is doing, for the words of a failure
  let mixing = true;       // mixing the song ahead in slices while the page is idle
  window.Module = {
    canvas: canvas,
    print: (text) => console.log(text),
    printErr: (text) => console.error(text),
    // A damaged program stops emscripten's start-up; the page words it.
    onAbort: (what) => fail(stage_ === 'playing' ? 'crash' : 'damaged', what),
    onShowFail: (kind, detail) => fail(kind, detail),
    onShowReady: ready,
  };
  window.addEventListener('error', (event) => { if (stage_ !== 'playing') fail('damaged', event.message); });
  window.addEventListener('unhandledrejection', (event) => fail('damaged', event.reason));

  Promise.all([download('show.wasm', 'program'), download('show.data', 'data')]).then(([wasm, data]) => {
    overlay.textContent = 'starting\u2026';
    Module.wasmBinary = wasm;
    Module.getPreloadedPackage = () => data;
    const script = document.createElement('script');
    script.src = 'show.js';
    script.onerror = () => fail('program', 'show.js did not load');
    document.body.appendChild(script);
  }, (error) => fail(error.kind, error.message));

  // ---- The song: mixed ahead, scheduled on the audio context's timeline -----------------------
  let context = null;
  let left, right;        // views of the program's two channel buffers
  let runs = [];          // since the last seek: {at: context frame of its first sound, frame: its
                          // song frame, frames: how many follow back to back}
  let sources = [];       // scheduled buffers not ended yet: {node, at, frames}
  let nextAt = 0;         // the context frame the next buffer starts at while playing
  let heldFrame = 0;      // the song frame shown while no sound is scheduled (paused, before a start)
  let songEnded = false;  // the last buffer of the song is scheduled
  let playing = false;

  function songLengthFrames() { return Module._songFrames(); }

  // Schedules buffers from the program's play position until kAhead seconds lie ahead of the
  // context's present, each exactly where the last ends (whole sample frames at a context frame).
  function scheduleAhead() {
    if (!playing || songEnded) return;
    const run = runs[runs.length - 1];
    // Starved for longer than everything scheduled (a main thread stopped for seconds): the sound
    // has a hole now, so it goes on from where it stopped a moment from now.
    if (nextAt / kRate < context.currentTime + (context.baseLatency || 0)) {
      restartAt(run.frame + run.frames);
      return;
    }
    while (nextAt / kRate < context.currentTime + kAhead) {
      const handed = Module._fillSong(kChunk);
      if (handed === 0) { songEnded = true; break; }
      if (left.buffer !== Module.HEAPF32.buffer) channelViews();  // memory grew
      const buffer = context.createBuffer(2, handed, kRate);
      buffer.copyToChannel(left.subarray(0, handed), 0);
      buffer.copyToChannel(right.subarray(0, handed), 1);
      const node = new AudioBufferSourceNode(context, { buffer });
      node.connect(context.destination);
      node.start(nextAt / kRate);
      const source = { node, at: nextAt, frames: handed };
      sources.push(source);
      node.onended = () => {
        node.disconnect();
        sources = sources.filter((s) => s !== source);
      };
      nextAt += handed;
      run.frames += handed;
      if (handed < kChunk) { songEnded = true; break; }
    }
  }
  function channelViews() {
    left = new Float32Array(Module.HEAPF32.buffer, Module._songLeft(), Module._mostSongFrames());
    right = new Float32Array(Module.HEAPF32.buffer, Module._songRight(), Module._mostSongFrames());
  }

  // Starts the sound of song frame `frame` a moment from now, as a new run after the others.
  function restartAt(frame) {
    Module._seekSongTo(frame);
    nextAt = Math.ceil((context.currentTime + lead()) * kRate);
    runs.push({ at: nextAt, frame, frames: 0 });
    songEnded = false;
    scheduleAhead();
  }

  // How far ahead of the context's present a change is sure to reach the audio thread in time:
  // it renders a whole device buffer ahead (baseLatency), so an earlier time would already be
  // past there, and a buffer would start late or stop late.
  // Before the context's first render (the first start) nothing is rendered ahead yet.
  function lead() { return context.currentTime === 0 ? 0.05 : 0.1 + 1.5 * (context.baseLatency || 0.05); }

  // Stops the sound a moment from now (as soon as the audio thread can be sure to take it) and
  // answers the song frame it stops at; buffers not started yet are dropped.
  function stopSound() {
    if (!context || !runs.length) return heldFrame;
    const at = Math.ceil((context.currentTime + lead()) * kRate);
    for (const { node, at: start } of sources) {
      if (start >= at) { node.disconnect(); node.stop(); } else node.stop(at / kRate);
    }
    sources = [];
    const run = runs[runs.length - 1];
    run.frames = Math.max(0, Math.min(run.frames, at - run.at));
    return run.frame + run.frames;
  }

  // The context time leaving the loudspeaker at page time `when` (ms): the output stamp says
  // which context time was heard when; between stamps the page's clock carries it on.
  function heardContextTime(when) {
    const stamp = context.getOutputTimestamp ? context.getOutputTimestamp() : null;
    if (stamp && stamp.performanceTime > 0) return stamp.contextTime + (when - stamp.performanceTime) / 1000;
    const latency = (context.outputLatency || 0) + (context.baseLatency || 0);
    return context.currentTime - latency + (when - performance.now()) / 1000;
  }

  // The song frame heard at page time `when`: the show clock. Before a run's first sound it is
  // that run's start; past the last sound scheduled, where the sound stopped.
  function songFrameAt(when) {
    if (!context || !runs.length) return heldFrame;
    const heard = heardContextTime(when) * kRate;
    if (heard < runs[0].at) return runs[0].frame;
    let run = runs[0];
    for (const r of runs) if (r.at <= heard) run = r;
    return run.frame + Math.min(Math.max(0, heard - run.at), run.frames);
  }

  // ---- The player ------------------------------------------------------------------------------
  let state = 'loading';   // loading, ready, playing, paused, ended
  let lastTime = -1;       // the show time on the canvas
  let exact = true;        // the next frame is drawn as a continuous run has it (a start, a seek)
  let refresh = 1000 / 60; // the display's refresh interval, measured
  let lastStamp = 0;
  const steps = [];
  let image, pixels;
  let autoPaused = false;  // paused because the tab was hidden

  function showTimeOf(frame) { return Math.floor((frame * 1000) / kRate); }
  function songEndTime() {
    const frames = songLengthFrames();
    return frames >= 0 ? showTimeOf(frames) : -1;
  }

  function ready() {
    stage_ = 'ready';
    channelViews();
    pixels = new Uint8ClampedArray(Module.HEAPU8.buffer, Module._canvasPixels(), kWidth * kHeight * 4);
    image = new ImageData(pixels, kWidth, kHeight);
    for (let i = 0; i < Module._windowCount(); ++i) {
      const mark = document.createElement('span');
      mark.dataset.start = Module._windowStart(i);
      mark.title = Module.UTF8ToString(Module._windowName(i));
      marks.append(mark);
    }
    idleMix();
    try { makeContext(); } catch { /* said at the click, when sound is needed */ }
    state = 'ready';
    overlay.disabled = false;
    overlay.textContent = 'play';
    overlay.focus({ preventScroll: true });
  }

  // Mixes the song ahead while nothing else runs: slices of 8 ms, one a task, until it is whole.
  function idleMix() {
    if (failed) return;
    const frames = guard(() => Module._mixSongFor(8));
    if (songLengthFrames() >= 0) { mixing = false; songKnown(); return; }
    if (frames !== undefined) setTimeout(idleMix, 0);
  }
  function songKnown() {
    const end = songEndTime();
    seekBar.max = end;
    for (const mark of marks.children) mark.style.left = `${(100 * mark.dataset.start) / end}%`;
    showTime(showTimeOf(heldFrame));
  }

  // Runs a call into the program; an error there stops the page with a message, not a hang.
  function guard(call) {
    try {
      return call();
    } catch (error) {
      fail(state === 'playing' || state === 'paused' ? 'crash' : 'damaged', error);
      return undefined;
    }
  }

  function formatTime(ms) {
    const tenths = Math.floor(ms / 100);
    return `${Math.floor(tenths / 600)}:${String(Math.floor((tenths % 600) / 10)).padStart(2, '0')}.${tenths % 10}`;
  }
  function showTime(t) {
    timeText.value = formatTime(t);
    if (document.activeElement !== seekBar || state !== 'playing') seekBar.value = t;
  }

  // A link to a moment: #t=64.5 (seconds).
  function linkedTime() {
    const match = /^#t=(\d+(?:\.\d+)?)$/.exec(location.hash);
    return match ? Math.round(Number(match[1]) * 1000) : 0;
  }

  // The song's own rate, so no buffer is resampled on its way out, and device buffers long
  // enough to ride out a busy machine (the clock accounts for the latency they bring). Made while
  // the page waits for the click (it stays silent until then), so the click does not wait for
  // the sound device to open.
  function makeContext() {
    if (context) return;
    const Context = window.AudioContext || window.webkitAudioContext;
    try {
      context = new Context({ sampleRate: kRate, latencyHint: kHint });
    } catch {
      context = new Context();
    }
  }

  function begin() {
    if (state !== 'ready' || failed) return;
    try {
      makeContext();
      context.resume();
    } catch (error) {
      fail('sound', error);
      return;
    }
    stage_ = 'playing';
    overlay.hidden = true;
    for (const control of [playButton, seekBar]) control.disabled = false;
    requestAnimationFrame(frame);
    seek(linkedTime(), true);  // within the song: seek keeps it there once its length is known
    play();
  }
  overlay.addEventListener('click', begin);

  function play() {
    if (failed || state === 'playing') return;
    if (state === 'ended') { seek(0); }
    state = 'playing';
    autoPaused = false;
    playing = true;
    guard(() => restartAt(heldFrame));
    playButton.textContent = 'pause';
    playButton.title = 'Pause (Space or K)';
    again.hidden = true;
    wake();
    touched();
  }

  function pause() {
    if (state !== 'playing') return;
    state = 'paused';
    playing = false;
    heldFrame = stopSound();
    playButton.textContent = 'play';
    playButton.title = 'Play (Space or K)';
    releaseWake();
    stage.classList.remove('idle');
    followAddress();
  }

  // Moves to show time t: the picture at once as a continuous run has it there, the sound from
  // that sample a moment later.
  function seek(t, quiet) {
    if (failed || state === 'loading' || state === 'ready' && !quiet) return;
    const end = songEndTime();
    t = Math.max(0, Math.round(t));
    if (end >= 0) t = Math.min(t, end - 1);
    if (state === 'ended') {
      state = 'paused';
      again.hidden = true;
      playButton.textContent = 'play';
    }
    const frame = Math.ceil((t * kRate) / 1000);
    if (playing) {
      stopSound();
      runs = [];
      guard(() => restartAt(frame));
    } else {
      stopSound();
      runs = [];
      heldFrame = frame;
      followAddress();
    }
    exact = true;
    draw(t);
  }

  function togglePause() {
    if (state === 'playing') pause();
    else if (state === 'paused' || state === 'ended') play();
  }
  playButton.addEventListener('click', togglePause);
  again.addEventListener('click', () => { seek(0); play(); });

  // While paused the address names the moment, so it can be copied and shared.
  function followAddress() {
    if (state !== 'paused') return;
    const t = showTimeOf(heldFrame);
    history.replaceState(null, '', `#t=${(t / 1000).toFixed(1)}`);
  }

  // The seek bar: dragging seeks as it goes.
  seekBar.addEventListener('input', () => seek(Number(seekBar.value)));

  // Draws show time t and hands it to the canvas.
  function draw(t) {
    if (guard(() => Module._drawFrame(t, exact ? 1 : 0)) === undefined && failed) return;
    if (pixels.buffer !== Module.HEAPU8.buffer) {  // memory grew: new views over it
      pixels = new Uint8ClampedArray(Module.HEAPU8.buffer, Module._canvasPixels(), kWidth * kHeight * 4);
      image = new ImageData(pixels, kWidth, kHeight);
    }
    canvas.getContext('2d').putImageData(image, 0, 0);
    exact = false;
    lastTime = t;
    showTime(t);
  }

  // One display refresh: keep the sound scheduled, then draw the frame. A frame handed to the
  // canvas now stays there until the next, a refresh later, so it is drawn for the middle of that
  // span: a scene cut then reaches the canvas within half a refresh of its sound. (Drawn for the
  // frame's start plus a refresh, cuts went over 9 ms early in the median and up to 15; the
  // frame's start stamp is also well before the drawing on a busy machine, so the time is taken
  // when drawing.)
  function frame(stamp) {
    if (failed) return;
    requestAnimationFrame(frame);
    // The refresh interval: the median of the last steps between frames, which frames the
    // browser skipped on a busy machine (double steps) do not stretch.
    if (lastStamp && stamp - lastStamp > 4 && stamp - lastStamp < 100) {
      steps.push(stamp - lastStamp);
      if (steps.length > 31) steps.shift();
      refresh = [...steps].sort((a, b) => a - b)[steps.length >> 1];
    }
    lastStamp = stamp;
    if (playing) guard(scheduleAhead);
    if (state === 'playing' || state === 'paused') {
      const heard = songFrameAt(performance.now() + refresh / 2);
      const end = songLengthFrames();
      const t = showTimeOf(heard);
      if (t < lastTime) exact = true;  // back in time without a seek: the sound started anew
      if (t !== lastTime) draw(t);
      if (state === 'playing' && songEnded && end >= 0 && heard >= end) finish();
    }
    if (mixing) guard(() => Module._mixSongFor(2));
    if (mixing && songLengthFrames() >= 0) { mixing = false; songKnown(); }
  }

  // The song's end: the last frame stays, with an offer to play again.
  function finish() {
    state = 'ended';
    playing = false;
    runs = [];
    heldFrame = songLengthFrames();
    playButton.textContent = 'play';
    again.hidden = false;
    stage.classList.remove('idle');
    releaseWake();
  }

  // ---- Keys ------------------------------------------------------------------------------------
  // Only the player's own keys, and only without modifiers: the browser keeps reload, zoom, full
  // screen, tab switching and Tab or Enter on the controls. On a focused control the keys do
  // what they do there (Space presses a button, the arrows move the seek bar).
  document.addEventListener('keydown', (event) => {
    if (event.ctrlKey || event.altKey || event.metaKey || event.shiftKey || event.isComposing) return;
    if (state !== 'playing' && state !== 'paused' && state !== 'ended') return;
    const onButton = event.target instanceof HTMLButtonElement;
    const onBar = event.target === seekBar;
    const now = () => showTimeOf(songFrameAt(performance.now()));
    let handled = true;
    switch (event.key) {
      case ' ': if (onButton) return; togglePause(); break;
      case 'k': case 'K': togglePause(); break;
      case 'ArrowLeft': if (onBar) return; seek(now() - kSkip); break;
      case 'ArrowRight': if (onBar) return; seek(now() + kSkip); break;
      case 'Home': if (onBar) return; seek(0); break;
      case 'f': case 'F': toggleFullscreen(); break;
      case 'Escape': if (document.fullscreenElement) document.exitFullscreen().catch(() => {}); else handled = false; break;
      default: handled = false;
    }
    if (handled) { event.preventDefault(); touched(); }
  });

  // ---- Pointer and touch ----------------------------------------------------------------------
  // A click on the picture pauses or plays, as in video players; a tap only shows the controls
  // (a finger has no hover); a double-click or double-tap goes to full screen and back.
  let idleTimer = 0, lastTap = 0;
  let lastPointer = window.matchMedia && matchMedia('(hover: none)').matches ? 'touch' : 'mouse';
  let swallowClick = false;  // the tap that brings faded controls back does not also press one
  function touched() {
    stage.classList.remove('idle');
    clearTimeout(idleTimer);
    // The controls fade while the show plays untouched, in full screen or on a touch screen.
    if (state === 'playing' && (document.fullscreenElement || lastPointer === 'touch'))
      idleTimer = setTimeout(() => { if (state === 'playing') stage.classList.add('idle'); }, 3000);
  }
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
  canvas.addEventListener('click', (event) => { if (lastPointer === 'mouse' && event.detail <= 1) togglePause(); });
  canvas.addEventListener('dblclick', () => { if (lastPointer === 'mouse') { togglePause(); toggleFullscreen(); } });

  // ---- A hidden tab pauses; showing it again plays on ----------------------------------------
  // Playing on unseen would spend a phone's battery on frames no one sees, and the browser stops
  // the frames anyway, so the picture would be behind the sound when the tab returns.
  document.addEventListener('visibilitychange', () => {
    if (document.hidden && state === 'playing') {
      pause();
      autoPaused = true;
    } else if (!document.hidden && autoPaused && state === 'paused') {
      play();
    }
    if (!document.hidden) wake();
  });

  // ---- The screen stays on while the show plays (where the browser can) -----------------------
  let wakeLock = null;
  function wake() {
    if (state !== 'playing' || document.hidden || wakeLock || !navigator.wakeLock) return;
    navigator.wakeLock.request('screen').then((lock) => {
      wakeLock = lock;
      lock.addEventListener('release', () => { if (wakeLock === lock) wakeLock = null; });
      if (state !== 'playing') releaseWake();
    }, () => {});
  }
  function releaseWake() {
    const lock = wakeLock;
    wakeLock = null;
    if (lock) lock.release().catch(() => {});
  }
})();
