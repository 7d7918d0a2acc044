// soundDevice.h -- the sound library behind playSound (SDL2_mixer).
//
// Provides: the result codes of the sound calls, soundCreateSystem,
// soundGetVersion, soundInit, soundCreateLoopingSound, soundPlay.
// The calls mirror the steps of starting one looping background sound:
// create the system, read its version, initialise it, create the sound
// from a file, play it on any free channel. Every call returns a result
// code (0 = success); app/sound.cpp turns failures into the fatal message.
// Main thread only; the library mixes on its own thread.
#pragma once

enum SoundResult {
    soundOk = 0,
    soundSystemFailed = 1,    // the audio subsystem could not start
    soundNoOutput = 2,        // no audio output device could be opened
    soundFileNotFound = 22,   // the file cannot be opened
    soundBadFormat = 23,      // the file is not audio the library decodes
    soundNoMemory = 36,       // out of memory or resources
    soundNoChannel = 37,      // no free channel to play on
};

struct SoundSystem;
struct SoundClip;

int soundCreateSystem(SoundSystem** system);
// Library version as 0x00MMmmpp (major, minor, patch).
int soundGetVersion(SoundSystem* system, unsigned* version);
int soundInit(SoundSystem* system, int channels);
int soundCreateLoopingSound(SoundSystem* system, const char* fileName, SoundClip** clip);
int soundPlay(SoundSystem* system, SoundClip* clip);
