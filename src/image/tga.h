// tga.h -- TGA files into OpenGL textures, and the multitexture entry points.
//
// Provides: the loader result codes, textureBrighten, trilinearFiltering,
// the three ARB multitexture entry points, initMultitexture, loadTGATexture,
// loadTGATextureClamped, isPowerOfTwo. Main thread only, with the rendering
// context current.
// (Placeholder until the texture loader lands: the interface below is fixed.)
#pragma once

#include <GL/gl.h>

enum TgaResult {
    TGA_OK = 1,
    TGA_OPEN_FAILED = 13,
    TGA_BAD_TYPE = 14,
    TGA_NOT_POWER_OF_TWO = 15,
    TGA_BAD_DEPTH = 16,
    TGA_READ_FAILED = 17,
};

extern int textureBrighten;     // brighten 32-bit images by 50 while loading
extern int trilinearFiltering;  // 0 bilinear, 1 trilinear (key T)

typedef void (*ActiveTextureProc)(GLenum texture);
typedef void (*MultiTexCoord2fProc)(GLenum target, GLfloat s, GLfloat t);
extern ActiveTextureProc glActiveTextureARB_;
extern MultiTexCoord2fProc glMultiTexCoord2fARB_;
extern ActiveTextureProc glClientActiveTextureARB_;

bool initMultitexture();
int loadTGATexture(const char* fileName, unsigned textureName);
int loadTGATextureClamped(const char* fileName, unsigned textureName);
bool isPowerOfTwo(int n);
