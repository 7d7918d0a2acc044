// sound.h -- looping background sound started by scripts (playSound).
//
// Provides: requiredSoundVersion, playSoundFile, checkSoundResult,
// soundErrorString. Any failure of a sound call is fatal: the error line
// "FMOD error! (%d) %s\n" and exit code -1. Main thread only.
#pragma once

// Lowest sound library version accepted (SDL2_mixer 2.0.0 as 0x00MMmmpp).
constexpr unsigned requiredSoundVersion = 0x020000;

void playSoundFile(const char* fileName);
void checkSoundResult(int result);
const char* soundErrorString(int result);
