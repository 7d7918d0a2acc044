// tga.h -- TGA files into OpenGL textures, and the multitexture entry points.
//
// Provides: the loader result codes (from tgaDecode.h), textureBrighten,
// trilinearFiltering, the three ARB multitexture entry points,
// initMultitexture, loadTGATexture, loadTGATextureClamped, readTGAFile,
// isPowerOfTwo.
// The caller chooses the texture name (the texture registry issues them);
// nothing here generates names. Failures create nothing, print nothing and
// leave the texture name's old image in place; the loaders hand the reason
// of a failure to a caller that asks for it, and the registry prints it.
// Files are opened through openRegularFile: a pipe or a directory is
// refused (code 17) without blocking. After a successful load,
// texture 0 is bound and GL_TEXTURE_2D is enabled.
// Globals here are written on the main thread only: textureBrighten by the
// scene set-up and the registry's reload, trilinearFiltering by the T key,
// the entry points once by initMultitexture.
// Main thread only, with the rendering context current.
#pragma once

#include <GL/gl.h>

#include <string>

#include "image/tgaDecode.h"

extern int textureBrighten;     // brighten 32-bit images by 50 while loading
extern int trilinearFiltering;  // 0 bilinear, 1 trilinear (key T)

// Named with a trailing underscore so they do not clash with the prototypes
// the GL headers declare for the same entry points.
typedef void (*ActiveTextureProc)(GLenum texture);
typedef void (*MultiTexCoord2fProc)(GLenum target, GLfloat s, GLfloat t);
extern ActiveTextureProc glActiveTextureARB_;
extern MultiTexCoord2fProc glMultiTexCoord2fARB_;
extern ActiveTextureProc glClientActiveTextureARB_;

// Checks the extension string for GL_ARB_multitexture (printing
// "GL_ARB_multitexture NOT found.\n" when it is missing) and resolves the
// three entry points; true only when all three resolved.
bool initMultitexture();

// Mipmapped, repeating texture (bilinear or trilinear by trilinearFiltering;
// anisotropy 2 with trilinear where GL_EXT_texture_filter_anisotropic exists).
// The internal format is always RGBA.
// reason, when given, receives why a load failed (see readTGAFile).
int loadTGATexture(const char* fileName, unsigned textureName, std::string* reason = nullptr);

// One level, edge-clamped, linear filtering; the internal format equals the
// file's pixel format (an 8-bit file gives an alpha texture).
int loadTGATextureClamped(const char* fileName, unsigned textureName, std::string* reason = nullptr);

// Reads and converts a file without touching OpenGL. On TGA_OK the caller
// owns image.pixels (freeTGAImage); otherwise image is empty and reason,
// when given, says why in words: the system's text for a file that cannot
// be opened (code 13), "is a directory" or "not a regular file" (17), or the
// decoder's reason (tgaDecode.h).
int readTGAFile(const char* fileName, int brighten, TgaImage& image, std::string* reason = nullptr);

bool isPowerOfTwo(int n);
