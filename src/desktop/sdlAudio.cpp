// sdlAudio.cpp: the song through SDL 1.2's audio callback: a copy per callback, so the device is
// never kept waiting on the mixing, whatever the main thread is doing. SDL cannot say how long its
// device takes to play what it was handed, so the clock assumes it.
#include <SDL.h>

#include "sound.h"
#include "song/song.h"

// 2,048 frames (46 ms at 44,100 Hz): with the one the device plays, some 90 ms queued, which rides
// out a busy machine's scheduling (SDL 2's PulseAudio output hands the buffer over from a thread
// of libpulse's that runs at ordinary priority); the clock subtracts this queue, so it costs no
// sync, only that much delay before a seek is heard and before a pause stops.
constexpr Uint16 kBufferFrames = 2048;

static void fill(void*, Uint8* stream, int length) {
    handBuffer(reinterpret_cast<int16_t*>(stream), length / 4, SDL_GetTicks());
}

static bool openSdl(StreamFormat& format) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0) return false;
    SDL_AudioSpec wanted{};
    wanted.freq = kMixRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = kBufferFrames;
    wanted.callback = fill;
    // With no "obtained" record SDL converts to exactly this format itself; it fills in the
    // buffer length it settled on.
    if (SDL_OpenAudio(&wanted, nullptr) < 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    format = {wanted.freq, wanted.samples};
    SDL_PauseAudio(0);
    return true;
}

static void closeSdl() {
    SDL_CloseAudio();  // the callback has stopped once this returns
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

const SoundOutput kSdlOutput{openSdl, closeSdl, SDL_LockAudio, SDL_UnlockAudio};
