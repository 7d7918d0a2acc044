// splatting.h -- the terrain texture roles and the texturing passes.
//
// Provides: the texture names of the base texture, the two splat layers with
// their coverage maps, and the lightmap; the detail repeat and fade range
// constants; the passes drawSplattingPasses, drawBaseFadePass,
// drawLightmapPass, drawBaseTexturePass; resetTerrainTextures.
//
// The texture names are written once by scene set-up on the main thread and
// are 0 (no texture) until then. The passes run on the main thread inside the
// frame: the brute-force renderer runs them over the whole grid, the
// geomipmapping renderer over one patch at a time.
//
// Texture coordinates of grid point (x, z) are s = x / size, t = z / size. A
// splatting pass sends unit 0 (s, t) times the detail repeat, so the detail
// textures tile across the terrain, and unit 1 (s, t), so each coverage map
// covers the terrain once. Both units modulate (the texture loader's and the
// initial environment mode), so unit 1 multiplies the detail colour by the
// coverage map and the two passes add up to
//     layer 1 detail x layer 1 coverage + layer 2 detail x layer 2 coverage.
//
// Every pass saves and restores the enables, blending and current colour it
// changes and leaves texture unit 0 active. Texture bindings are left as the
// pass made them: after the terrain the frame driver binds texture 0 on both
// units (resetTerrainTextures) before the plants are drawn.
#pragma once

extern unsigned baseTexture;       // "sbend1010.tga"
extern unsigned detailTexture1;    // "twig01ar.tga"
extern unsigned coverageTexture1;  // "leavesm1.tga"
extern unsigned detailTexture2;    // "tmsand10a.tga"
extern unsigned coverageTexture2;  // "sandm1.tga"
extern unsigned lightmapTexture;   // "lightmap.tga"

// Repeat of the detail textures in the splatting passes.
constexpr float splatDetailRepeat = 10.0f;
// Distance over which geomipmapping fades the base texture in beyond the
// terrain's multiTextureDistance.
constexpr float baseFadeRange = 20.0f;

// Sends the terrain geometry of one pass. multiTex 1: two coordinate sets per
// vertex, unit 0's multiplied by repeat; multiTex 0: one set, unscaled.
typedef void (*TerrainPassDraw)(void* context, int multiTex, float repeat);

// True when the two multitexture entry points are available. Without them
// the splatting passes fall back to the base texture pass.
bool multitextureReady();

// The two splatting passes: layer 1 (detail on unit 0, coverage on unit 1),
// then layer 2 added on top. With releaseTextures (geomipmapping) texture 0
// is bound on unit 1 and then unit 0 afterwards.
void drawSplattingPasses(TerrainPassDraw draw, void* context, bool releaseTextures);

// The base texture blended over what is drawn with the given alpha (0-1).
void drawBaseFadePass(TerrainPassDraw draw, void* context, float alpha);

// Multiplies the frame buffer by the lightmap. multiTex chooses the
// coordinate sets (repeat 1); with releaseUnit1 (brute force) texture 0 is
// bound on unit 1 first.
void drawLightmapPass(TerrainPassDraw draw, void* context, int multiTex, bool releaseUnit1);

// The base texture alone, one coordinate set, no blending.
void drawBaseTexturePass(TerrainPassDraw draw, void* context);

// After the terrain: texture 0 on unit 1, then on unit 0 (left active);
// blending off.
void resetTerrainTextures();
