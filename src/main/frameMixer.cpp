// frameMixer.cpp: a MikMod output driver that mixes one frame per update into memory.
#include "frameMixer.h"

#include <mikmod.h>

#include "mixerDriver.h"

namespace {

constexpr int kBytesPerSample = 4;          // 16-bit stereo
constexpr int kMaxFrames = 20 * 60 * 60;    // a song that never ends stops after 20 minutes at 60 fps

SongMix* target = nullptr;  // the mix being filled; the driver's callbacks take no user data

void appendFrame(bool silent) {
    const size_t at = target->samples.size();
    target->samples.resize(at + 2 * size_t(target->samplesPerFrame));
    SBYTE* bytes = reinterpret_cast<SBYTE*>(target->samples.data() + at);
    const ULONG count = ULONG(target->samplesPerFrame) * kBytesPerSample;
    if (silent)
        VC_SilenceBytes(bytes, count);
    else
        VC_WriteBytes(bytes, count);
    ++target->frames;
}

void update() { appendFrame(false); }
void pause() { appendFrame(true); }  // libmikmod pauses only when asked; kept for the frame count

MDRIVER makeFrameDriver() {
    MDRIVER driver = softwareMixerDriver("Frames", "one video frame per update, into memory", "frames");
    driver.Update = update;
    driver.Pause = pause;
    return driver;
}

MDRIVER frameDriver = makeFrameDriver();

}  // namespace

bool mixSong(const std::string& modulePath, int samplesPerFrame, SongMix& mix, std::string& error) {
    static const bool registered = (MikMod_RegisterDriver(&frameDriver), MikMod_RegisterAllLoaders(), true);
    (void)registered;
    mix = SongMix{};
    mix.samplesPerFrame = samplesPerFrame;
    md_device = UWORD(MikMod_DriverFromAlias("frames"));
    md_mixfreq = kMixRate;
    md_mode |= DMODE_SOFT_MUSIC;  // as the show sets it, over libmikmod's defaults (16-bit stereo, surround)
    if (MikMod_Init("") != 0) {
        error = std::string("could not initialise MikMod: ") + MikMod_strerror(MikMod_errno);
        return false;
    }
    MODULE* module = Player_Load(modulePath.c_str(), 64, 0);
    if (module == nullptr) {
        error = "could not load module " + modulePath + ": " + MikMod_strerror(MikMod_errno);
        MikMod_Exit();
        return false;
    }
    target = &mix;
    Player_Start(module);
    while (Player_Active() && mix.frames < kMaxFrames) MikMod_Update();
    Player_Stop();
    Player_Free(module);
    MikMod_Exit();
    target = nullptr;
    return true;
}
