// textureRegistry.h -- every texture of the program, requested by file name.
//
// Provides: createTextureRegistry, textureRegistryExists, getTexture,
// getClampedTexture, reloadAllTextures, loadTexturesIntoNewContext,
// formatTextureList, showTextureList,
// textureRegistryCount, resetTextureRegistry, TEXTURE_REGISTRY_CAPACITY,
// TEXTURE_FILE_NAME_MAX.
// Texture names are issued from 51 up, one per distinct file name (exact,
// case-sensitive match); each file is loaded once, and a file keeps the
// loading mode (mipmapped or clamped) of its first request. A file that
// gives no image still gets its name, and is reported at that request:
// "file %s not found\n" for a missing file requested mipmapped, otherwise
// "Cannot load texture file NAME: reason" (a missing clamped file, a pipe or
// directory, a truncated, colour-mapped or unsupported image). The registry holds at most TEXTURE_REGISTRY_CAPACITY files and
// names of at most TEXTURE_FILE_NAME_MAX characters: a request beyond that
// prints why and returns texture name 0 (no image; binding it untextures).
// Main thread only (loads need the rendering context).
#pragma once

#include <cstddef>

enum { TEXTURE_REGISTRY_CAPACITY = 1000, TEXTURE_FILE_NAME_MAX = 999 };

// Creates the empty registry (last name 50) unless one exists already; a
// second call keeps the existing entries. getTexture creates it on demand.
void createTextureRegistry();
bool textureRegistryExists();

unsigned getTexture(const char* fileName);         // mipmapped, repeating
unsigned getClampedTexture(const char* fileName);  // one level, edge-clamped

// Reloads every entry under its own name, with its own brighten flag and
// the current trilinearFiltering; textureBrighten keeps the last entry's flag.
void reloadAllTextures();

// After the rendering context was replaced (a second window): loads every
// entry again under its own name into the now current context, with its own
// mode and brighten flag, so the names handed out earlier are valid there.
// textureBrighten is left as it was.
void loadTexturesIntoNewContext();

// The list text: "texnum %d\n", then "texlist %d _%s_\n" per entry. Each
// line is cut to 99 characters and the whole text to 9999 (whole lines
// only); returns the text's length.
size_t formatTextureList(char* text, size_t size);
// Shows that list in a message box titled "list" over the main window.
void showTextureList();

int textureRegistryCount();

// Forgets every entry and starts again at name 51 (the textures themselves
// stay). For test programs; the viewer never calls it.
void resetTextureRegistry();
