// textureRegistry.h -- every texture of the program, requested by file name.
//
// Provides: createTextureRegistry, getTexture, getClampedTexture,
// reloadAllTextures, showTextureList. Texture names are issued from 51 up;
// each distinct file is loaded once. Main thread only.
// (Placeholder until the texture loader lands: the interface below is fixed.)
#pragma once

void createTextureRegistry();
unsigned getTexture(const char* fileName);         // mipmapped, repeating
unsigned getClampedTexture(const char* fileName);  // one level, edge-clamped
void reloadAllTextures();
void showTextureList();
