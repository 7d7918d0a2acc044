// tga.cpp -- placeholder loader: reports every file as missing.
#include "image/tga.h"

int textureBrighten = 0;
int trilinearFiltering = 0;
ActiveTextureProc glActiveTextureARB_ = nullptr;
MultiTexCoord2fProc glMultiTexCoord2fARB_ = nullptr;
ActiveTextureProc glClientActiveTextureARB_ = nullptr;

bool initMultitexture() { return true; }
int loadTGATexture(const char*, unsigned) { return TGA_OPEN_FAILED; }
int loadTGATextureClamped(const char*, unsigned) { return TGA_OPEN_FAILED; }
bool isPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }
