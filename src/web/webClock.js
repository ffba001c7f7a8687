// webClock.js: the page's show clock, read from the browser's audio clock and emscripten's SDL
// audio queue (linked into the program with --js-library).
//
// Emscripten's SDL asks MikMod for one buffer at a time and schedules it on the audio context to
// start where the previous one ends, holding about 0.1-0.17 s ahead of what is heard. So the song
// heard so far is what was handed over less what still waits: the buffers counted here, minus
// the part of the queue that lies after the audio clock's present moment.

mergeInto(LibraryManager.library, {
  watchAudioQueue__deps: ['$SDL'],
  watchAudioQueue: function() {
    var audio = SDL.audio;
    // libmikmod's SDL driver hands back its first two buffers empty ("delay the callback 2
    // frames"): the song begins with the third.
    audio.songBuffers = -2;
    audio.heard = 0;
    var push = audio.pushAudio;
    audio.pushAudio = function(pointer, bytes) {
      if (!audio.paused) audio.songBuffers++;
      push(pointer, bytes);
    };
  },

  heardSongSeconds__deps: ['$SDL'],
  heardSongSeconds: function() {
    var audio = SDL.audio;
    if (!audio || audio.songBuffers === undefined) return 0;
    var context = SDL.audioContext;
    // The moment being heard now: the output stamp says which context time left the speakers
    // when; between its updates the page's clock carries it on.
    var now = context.currentTime;
    if (context.getOutputTimestamp) {
      var stamp = context.getOutputTimestamp();
      if (stamp.performanceTime > 0) {
        now = stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000;
      }
    }
    var waiting = Math.max(0, audio.nextPlayTime - now);
    var heard = audio.songBuffers * audio.bufferDurationSecs - waiting;
    // Never backwards: after a starved queue the next buffer starts a little late.
    audio.heard = Math.max(audio.heard, heard);
    return audio.heard;
  },
});
