// soundDevice.cpp -- the sound calls on SDL2_mixer; see soundDevice.h.
//
// SDL2_mixer has one output device per process: the first initialisation
// opens it, later "systems" share it, so each playSound adds one more
// looping sound on top of those already playing. When the program ends
// normally the device is closed first, so the mixer thread stops before the
// process tears down its files (a disk output device gets all it played).
#include "platform/soundDevice.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <cstdio>
#include <cstdlib>
#include <new>

struct SoundSystem {
    int channels = 0;
};

struct SoundClip {
    Mix_Chunk* chunk = nullptr;
};

namespace {
bool audioStarted = false;
bool deviceOpen = false;
int channelsAllocated = 0;

void closeSoundDevice() {
    if (deviceOpen) {
        Mix_HaltChannel(-1);
        Mix_CloseAudio();
        deviceOpen = false;
    }
    if (audioStarted) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audioStarted = false;
    }
}
}  // namespace

int soundCreateSystem(SoundSystem** system) {
    if (!audioStarted) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return soundSystemFailed;
        Mix_Init(MIX_INIT_OGG | MIX_INIT_FLAC | MIX_INIT_MP3);
        audioStarted = true;
        atexit(closeSoundDevice);
    }
    *system = new (std::nothrow) SoundSystem;
    return *system ? soundOk : soundNoMemory;
}

int soundGetVersion(SoundSystem*, unsigned* version) {
    const SDL_version* linked = Mix_Linked_Version();
    *version = (static_cast<unsigned>(linked->major) << 16) | (static_cast<unsigned>(linked->minor) << 8) |
               static_cast<unsigned>(linked->patch);
    return soundOk;
}

int soundInit(SoundSystem* system, int channels) {
    if (!deviceOpen) {
        if (Mix_OpenAudio(MIX_DEFAULT_FREQUENCY, MIX_DEFAULT_FORMAT, 2, 1024) != 0) return soundNoOutput;
        deviceOpen = true;
    }
    system->channels = channels;
    // Every system asks for its own channels on the shared device.
    channelsAllocated += channels;
    Mix_AllocateChannels(channelsAllocated);
    return soundOk;
}

int soundCreateLoopingSound(SoundSystem*, const char* fileName, SoundClip** clip) {
    FILE* probe = fopen(fileName, "rb");
    if (!probe) return soundFileNotFound;
    fclose(probe);
    Mix_Chunk* chunk = Mix_LoadWAV(fileName);
    if (!chunk) return soundBadFormat;
    *clip = new (std::nothrow) SoundClip{chunk};
    if (!*clip) {
        Mix_FreeChunk(chunk);
        return soundNoMemory;
    }
    return soundOk;
}

int soundPlay(SoundSystem*, SoundClip* clip) {
    // Loop count -1: the sound repeats until the process ends.
    if (Mix_PlayChannel(-1, clip->chunk, -1) < 0) return soundNoChannel;
    return soundOk;
}
