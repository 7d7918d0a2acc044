// sound.cpp -- starts one looping sound per call; see sound.h.
#include "app/sound.h"

#include <cstdio>
#include <cstdlib>

#include "platform/soundDevice.h"
#include "util/output.h"

const char* soundErrorString(int result) {
    switch (result) {
    case soundOk: return "No errors.";
    case soundSystemFailed: return "The audio system could not be started. ";
    case soundNoOutput: return "No audio output device could be opened. ";
    case soundFileNotFound: return "File not found. ";
    case soundBadFormat: return "Unsupported file or audio format. ";
    case soundNoMemory: return "Not enough memory or resources. ";
    case soundNoChannel: return "No free channel to play the sound on. ";
    default: return "Unknown error.";
    }
}

void checkSoundResult(int result) {
    if (result == soundOk) return;
    outputPrintf("FMOD error! (%d) %s\n", result, soundErrorString(result));
    // At once, like every fatal stop: no destructors run while the movement
    // thread, the window system and the mixer still work.
    fflush(nullptr);
    std::_Exit(-1);
}

void playSoundFile(const char* fileName) {
    // Systems, sounds and channels are kept until the process ends.
    SoundSystem* system = nullptr;
    checkSoundResult(soundCreateSystem(&system));
    unsigned version = 0;
    checkSoundResult(soundGetVersion(system, &version));
    if (version < requiredSoundVersion) {
        outputPrintf("Error!  You are using an old version of FMOD %08x.  This program requires %08x\n", version,
                     requiredSoundVersion);
        return;
    }
    checkSoundResult(soundInit(system, 32));
    SoundClip* clip = nullptr;
    checkSoundResult(soundCreateLoopingSound(system, fileName, &clip));
    outputText("playing sound\n");
    checkSoundResult(soundPlay(system, clip));
}
