// bruteForce.h -- the brute-force terrain renderer.
//
// Provides: bruteExtent, drawBruteForce, renderBruteForce.
// Draws every cell of a Cheightmap every frame as triangle strips, each
// vertex in immediate mode with one call per attribute and no display list
// or vertex array: it is the reference the level-of-detail renderers are
// measured against. Heights come from Cheightmap::height for every vertex;
// no normals, lighting off. Main thread, inside the frame.
#pragma once

class Cheightmap;

// Running maxima of the grid x index, the height and the grid z index of the
// vertices drawBruteForce has emitted; never reset. Written only by
// drawBruteForce; shown in the window title.
extern float bruteExtent[3];

// Draws the whole grid once: size - 1 strips of 2 * size vertices. Texture
// coordinates are x / size and z / size; multiTex 1 sends unit 0 those times
// repeat and unit 1 them unscaled, multiTex 0 one unscaled set. Resets and
// recounts the terrain's vertexCount and triangleCount (2 * (size - 1)^2
// triangles). Leaves face culling on, lighting off and the colour set to
// terrainColour.
void drawBruteForce(Cheightmap& terrain, int multiTex, float repeat);

// One frame of the brute-force terrain (bruteTerrain) with its texturing
// passes: the two splatting passes or the base texture, then the lightmap
// pass when lighting is on. Reports the title "BRUTE x h z" (terrainReport).
// The terrain's triangleCount is that of one pass.
void renderBruteForce();
