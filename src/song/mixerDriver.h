// mixerDriver.h: a MikMod output driver made of libmikmod's own software mixer (the VC_*
// functions), for the drivers of the show's own to fill in only the entries that differ.
#pragma once
#include <mikmod.h>

inline void ignoreCommandLine(const CHAR*) {}
inline BOOL alwaysPresent() { return 1; }
inline void mixNothing() {}
inline int restartMixer() {
    VC_Exit();
    return VC_Init();
}

// Everything but where the mixed bytes go: the caller sets Update (and whatever else it needs).
inline MDRIVER softwareMixerDriver(const CHAR* name, const CHAR* version, const CHAR* alias) {
    MDRIVER driver{};
    driver.Name = name;
    driver.Version = version;
    driver.SoftVoiceLimit = 255;
    driver.Alias = alias;
    driver.CmdLineHelp = "";
    driver.CommandLine = ignoreCommandLine;
    driver.IsPresent = alwaysPresent;
    driver.SampleLoad = VC_SampleLoad;
    driver.SampleUnload = VC_SampleUnload;
    driver.FreeSampleSpace = VC_SampleSpace;
    driver.RealSampleLength = VC_SampleLength;
    driver.Init = VC_Init;
    driver.Exit = VC_Exit;
    driver.Reset = restartMixer;
    driver.SetNumVoices = VC_SetNumVoices;
    driver.PlayStart = VC_PlayStart;
    driver.PlayStop = VC_PlayStop;
    driver.Update = mixNothing;
    driver.VoiceSetVolume = VC_VoiceSetVolume;
    driver.VoiceGetVolume = VC_VoiceGetVolume;
    driver.VoiceSetFrequency = VC_VoiceSetFrequency;
    driver.VoiceGetFrequency = VC_VoiceGetFrequency;
    driver.VoiceSetPanning = VC_VoiceSetPanning;
    driver.VoiceGetPanning = VC_VoiceGetPanning;
    driver.VoicePlay = VC_VoicePlay;
    driver.VoiceStop = VC_VoiceStop;
    driver.VoiceStopped = VC_VoiceStopped;
    driver.VoiceGetPosition = VC_VoiceGetPosition;
    driver.VoiceRealVolume = VC_VoiceRealVolume;
    return driver;
}
