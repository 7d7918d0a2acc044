// splatting.cpp -- terrain texture roles; see splatting.h.
#include "terrain/splatting.h"

unsigned baseTexture = 0;
unsigned detailTexture1 = 0;
unsigned coverageTexture1 = 0;
unsigned detailTexture2 = 0;
unsigned coverageTexture2 = 0;
unsigned lightmapTexture = 0;
