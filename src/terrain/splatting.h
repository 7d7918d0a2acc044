// splatting.h -- the terrain texture roles used by the texturing passes.
//
// Provides: the texture names of the base texture, the two splat layers with
// their coverage maps, and the lightmap. Written once by scene set-up on the
// main thread; 0 (no texture) until then.
#pragma once

extern unsigned baseTexture;       // "sbend1010.tga"
extern unsigned detailTexture1;    // "twig01ar.tga"
extern unsigned coverageTexture1;  // "leavesm1.tga"
extern unsigned detailTexture2;    // "tmsand10a.tga"
extern unsigned coverageTexture2;  // "sandm1.tga"
extern unsigned lightmapTexture;   // "lightmap.tga"
