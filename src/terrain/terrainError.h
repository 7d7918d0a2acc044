// terrainError.h -- how far the selected terrain algorithm's picture is from
// the full-resolution terrain, measured offscreen in screen pixels.
//
// Provides: TerrainView, currentTerrainView, loadTerrainView,
// GridSpan, fullGridSpan, drawTerrainSinglePass, drawFullGridSinglePass,
// drawFullGridMesh, drawTerrainWorldPositions, TerrainErrorResult, TerrainErrorStatus, measureMeshError,
// measureTerrainError, terrainErrorLine, measureAndReportTerrainError.
//
// The numbers, in the order the script function returns and the console
// line prints them:
//   1. geometric error, 95th percentile, in pixels;
//   2. geometric error, maximum, in pixels. Both are taken over the pixels
//      the algorithm's mesh covers: the mesh is drawn offscreen, each
//      covered pixel's surface point is read back (written by a small
//      shader as the world position, or, on an OpenGL without shaders,
//      rebuilt from the depth buffer, which is good to about half a pixel
//      far away), and the vertical distance (world units) from that point
//      to the full-resolution grid's surface at the same x and z is
//      projected at the point's eye depth d into pixels: distance * (H / 2) * cot(fov / 2) / d
//      for a viewport H pixels high and vertical field of view fov. The
//      grid's samples fix its surface only at the samples and along the
//      cells' edges; inside a cell a full-resolution mesh may run along
//      either diagonal (brute force's strips take one, geomipmapping's
//      fans and ROAM's bintree alternate), and a bilinear patch lies
//      between the two. So the distance counted is how far the point lies
//      outside the span of the cell's two triangulations: 0 for any mesh
//      that draws every sample, whichever way it splits the cells, and for
//      a coarser mesh the height its missing samples leave out. (Measured
//      against one diagonal alone, the finest level of either LOD
//      algorithm would be charged the cell's twist, up to some 18 pixels
//      near the camera on the generated maps, for detail it does draw.)
//      Brute force measures 0: its 95th percentile is about a thousandth
//      of a pixel, and its maximum a few tenths at most, in the odd pixel
//      seen at a grazing angle (the rasteriser's sub-pixel rounding),
//      which is this measurement's resolution.
//   3. image error, share of differing pixels, a fraction from 0 to 1: the
//      pixels where the algorithm's mesh and the full grid (brute force),
//      both drawn with the same single pass (base texture modulated by the
//      lightmap; no splatting, plants or sky), differ by more than 8 of 255
//      levels in any of red, green and blue, over the pixels either picture
//      covers with terrain;
//   4. PSNR of the same pair over the same pixels, in dB; infinite when
//      they are identical (the script gets math.huge, the line says "inf").
// The quad-tree entry and a terrain switched off have nothing to measure.
//
// What the measurement leaves alone: it draws into a framebuffer object
// and restores every GL state it changes, so the window's picture and the
// next frame are those that would have been without it; it steps no
// algorithm (ROAM's optimiser is not run, geomipmapping's levels are not
// updated: the meshes measured are the ones the last frame drew, seen from
// the current camera, so measure right after a frame drawn from the same
// camera); triangle counts and extents are put back and the title report
// is not touched. It runs between frames, so its time is not part of any
// frame time (the frame-rate text counts the pause, as for any script).
// Main thread, with the rendering context current, outside the frame.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class Cheightmap;

// A view to measure: matrices as OpenGL takes them (column-major) and the
// viewport's size in pixels.
struct TerrainView {
    float modelview[16];   // world to eye
    float projection[16];  // eye to clip
    int width = 0;
    int height = 0;
};

// The current camera's view (position and angles as the camera holds them
// now; terrain following is not applied) with the current projection and
// viewport.
TerrainView currentTerrainView();

// Loads the view's projection and modelview (leaves GL_MODELVIEW current).
void loadTerrainView(const TerrainView& view);

// The heights in world units the full grid's surface may take at world
// (x, z): the cell's two triangulations there (low <= high), and the one
// brute force draws (strips: split from (x, z + 1) to (x + 1, z)).
// Positions outside the grid take the nearest edge.
struct GridSpan {
    double low = 0.0, high = 0.0;
    double strips = 0.0;
    // World units that y lies below low or above high; 0 inside the span.
    double outside(double y) const;
};
GridSpan fullGridSpan(const Cheightmap& grid, double x, double z);

// Sends a terrain mesh for one picture (geometry; textures are set by the pass).
typedef void (*TerrainMeshDraw)(void* context);

// Draws a mesh with the single measurement pass: the base texture
// modulated by the lightmap, both placed by world x and z over the grid
// (s = x / size, t = z / size), whatever coordinates the mesh sends. Loads
// the view; depth test on, blending, lighting and fog off, polygons filled.
void drawTerrainSinglePass(const Cheightmap& grid, const TerrainView& view, TerrainMeshDraw draw, void* context);
// The full grid (brute force over `grid`) in the single pass; the grid's
// vertex and triangle counts and the brute-force extent are put back.
void drawFullGridSinglePass(Cheightmap& grid, const TerrainView& view);

// The full grid in `context` (a Cheightmap) as brute force draws it, for a
// TerrainMeshDraw; its counts and the brute-force extent are put back.
void drawFullGridMesh(void* context);

// The world position of every pixel the mesh covers (x, y, z, 1; 0 where
// nothing is drawn), rows bottom-up, drawn with the single pass's coverage
// by a small shader into a float target. False when the OpenGL in use has
// no shaders, float colour buffers or framebuffer objects.
bool drawTerrainWorldPositions(const Cheightmap& grid, const TerrainView& view, TerrainMeshDraw draw, void* context,
                               std::vector<float>& positions);

// Tests: rebuild surface points from the depth buffer even where shaders
// exist. Main thread; false by default.
extern bool terrainErrorDepthOnly;

struct TerrainErrorResult {
    double geometricP95 = 0.0;  // pixels
    double geometricMax = 0.0;  // pixels
    double imageShare = 0.0;    // fraction 0..1
    double psnr = 0.0;          // dB; infinite when identical
    size_t meshPixels = 0;      // pixels the measured mesh covers
    size_t comparedPixels = 0;  // pixels either picture covers
};

enum class TerrainErrorStatus {
    measured,
    quadTree,     // the selected entry draws no terrain (the quad-tree)
    terrainOff,   // showTerrain is 0
    noTerrain,    // no full grid loaded
    noOffscreen,  // no framebuffer object could be made
};

// Measures a mesh sent by drawMesh against the full grid `grid` for the
// view. False (reason in why) when no framebuffer can be made.
bool measureMeshError(Cheightmap& grid, TerrainMeshDraw drawMesh, void* context, const TerrainView& view,
                      TerrainErrorResult& result, std::string& why);

// Measures the selected algorithm (terrainAlgorithm; its drawMesh,
// terrain/terrainAlgorithm.h) against bruteTerrain. For the other statuses the result is left
// at zero and why says what is missing.
TerrainErrorStatus measureTerrainError(const TerrainView& view, TerrainErrorResult& result, std::string& why);

// The console line of a measurement, e.g.
// "Terrain error: 95th percentile 0.42 px, maximum 3.10 px, differing pixels 0.0123, PSNR 38.21 dB"
// ("PSNR inf" when identical).
std::string terrainErrorLine(const TerrainErrorResult& result);

// The script function and the menu item: measures the current view and
// prints the line, or "Terrain error: <why>" when there is nothing to measure.
TerrainErrorStatus measureAndReportTerrainError(TerrainErrorResult& result);
