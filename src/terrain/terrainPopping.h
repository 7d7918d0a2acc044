// terrainPopping.h -- how much the terrain jumps from one frame to the next
// ("popping"), measured offscreen in screen pixels from the current camera.
//
// Provides: TerrainMeshCopy, TriangleMeshCopy, copyMeshByFeedback,
// FullGridCopy, TerrainPoppingResult, TerrainPoppingStatus,
// measureMeshPopping, poppingMeasureOn, turnPoppingMeasureOn,
// turnPoppingMeasureOff, keepTerrainFrameMesh, measureTerrainPopping,
// terrainPoppingLine, measureAndReportTerrainPopping.
//
// While popping is being measured (turnPoppingMeasureOn), the frame driver
// calls keepTerrainFrameMesh after every frame, outside the frame time: the
// selected algorithm hands over a copy of the mesh it drew
// (TerrainAlgorithm::copyMesh), and the copies of the last two frames are
// kept. Off (the default), nothing is copied or kept and nothing a frame
// does changes; turning it off frees the copies.
//
// The numbers, in the order the script function returns and the console
// line prints them:
//   1. popping, 95th percentile, in pixels;
//   2. popping, maximum, in pixels. The previous frame's mesh and this
//      frame's are both drawn offscreen from the current camera (so camera
//      motion is taken out: the height field does not move, only the
//      meshes' choice of detail). Each pixel either mesh covers gives the
//      surface point that mesh shows there (its world position, written by
//      the error instrument's shader); the vertical distance from that
//      point to the other mesh's surface at the same x and z is projected
//      at the point's eye depth d into pixels, distance * (H / 2) *
//      cot(fov / 2) / d, as the geometric error is; the pixel takes the
//      larger of its two points' distances. A point over ground the other
//      mesh does not cover (a patch culled in one frame, seen in the other)
//      says nothing about popping and leaves its pixel out unless the
//      pixel's other point has a distance.
//   3. share of differing pixels, 0 to 1: over the same pixels, those whose
//      single-pass colour (base texture times lightmap, as the error
//      instrument draws it) differs between the two meshes by more than 8
//      of 255 in red, green or blue.
// Resolution: a pixel where both meshes show the very same point (equal
// world positions) measures 0, so a mesh against an unchanged copy of
// itself measures exactly 0 (brute force always does). Elsewhere the point
// is the shader's interpolated world position and the other surface is
// evaluated from the copy's triangles: good to a few hundredths of a pixel
// (about 0.05 px at grazing angles, seen with the full grid against a
// feedback copy of itself). A pixel whose two points lie on either side of
// a silhouette edge is charged the true vertical gap under each point,
// which can be large for a small move of the edge.
// Units: pixels of the current viewport; share a fraction.
//
// The measurement draws into framebuffer objects and restores the GL state
// it changes; it needs GLSL 1.20 and float colour buffers (the world
// positions) and says so when the driver lacks them. Copies are made with
// GL feedback (positions exact, see copyMeshByFeedback). Main thread, with
// the rendering context current, outside the frame.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "terrain/terrainError.h"

class Cheightmap;

// One frame's terrain mesh, kept to be drawn again and queried.
class TerrainMeshCopy {
public:
    virtual ~TerrainMeshCopy() = default;
    // Sends the kept mesh, geometry only, in world positions (the caller sets
    // passes and matrices, as for TerrainAlgorithm::drawMesh).
    virtual void draw() const = 0;
    // The kept surface's height at world (x, z) nearest to nearY; false
    // where the kept mesh has no surface.
    virtual bool heightAt(double x, double z, double nearY, double& y) const = 0;
    virtual size_t triangleCount() const = 0;
};

// World-space triangles (three corners of x, y, z each), with a bucket grid
// over x and z for height queries.
class TriangleMeshCopy : public TerrainMeshCopy {
public:
    // corners: 9 floats per triangle, world positions.
    explicit TriangleMeshCopy(std::vector<float> corners);
    void draw() const override;
    bool heightAt(double x, double z, double nearY, double& y) const override;
    size_t triangleCount() const override { return corners_.size() / 9; }
    const std::vector<float>& corners() const { return corners_; }

private:
    std::vector<float> corners_;
    double minX_ = 0.0, minZ_ = 0.0, cell_ = 1.0;
    int columns_ = 0, rows_ = 0;
    std::vector<unsigned> bucketStart_;  // columns * rows + 1 offsets into bucketTriangles_
    std::vector<unsigned> bucketTriangles_;
};

// Copies what draw(context) sends with GL feedback: the projection is a
// top-down orthographic view holding the whole grid with a wide margin (so
// nothing is clipped), the modelview is the identity, culling and every
// texture unit but 0 are off, and unit 0 generates (s, t, r, q) = eye (x,
// y, z, 1) from identity eye planes: feedback returns those coordinates,
// which are the vertices' world positions as float arithmetic computes
// them (1 * x + 0 * y + 0 * z + 0), whatever scaling an algorithm loads on
// the modelview. Null when feedback fails. The GL state is restored.
std::unique_ptr<TriangleMeshCopy> copyMeshByFeedback(const Cheightmap& grid, TerrainMeshDraw draw, void* context);

// The full grid, as brute force draws it: nothing is copied, the grid is
// drawn again and queried along brute force's diagonals.
class FullGridCopy : public TerrainMeshCopy {
public:
    explicit FullGridCopy(Cheightmap& grid) : grid_(grid) {}
    void draw() const override;
    bool heightAt(double x, double z, double nearY, double& y) const override;
    size_t triangleCount() const override;

private:
    Cheightmap& grid_;
};

struct TerrainPoppingResult {
    double p95 = 0.0;           // pixels
    double max = 0.0;           // pixels
    double share = 0.0;         // fraction 0..1
    size_t measuredPixels = 0;  // pixels with a distance
    size_t skippedPixels = 0;   // covered, but over ground only one mesh has
};

enum class TerrainPoppingStatus {
    measured,
    off,          // popping is not being measured
    noFrames,     // fewer than two frames kept since it was turned on
    nothingDrawn, // the algorithm draws no terrain (the quad-tree), or the terrain is off
    noOffscreen,  // no framebuffer, shaders or float colour buffers
};

// Measures previous against current for the view. False (reason in why)
// when the offscreen pictures or world positions cannot be made.
bool measureMeshPopping(const Cheightmap& grid, const TerrainMeshCopy& previous, const TerrainMeshCopy& current,
                        const TerrainView& view, TerrainPoppingResult& result, std::string& why);

// Whether the frame meshes are being kept. Written by turnPoppingMeasureOn
// and Off only, on the main thread.
extern bool poppingMeasureOn;
void turnPoppingMeasureOn();
// Frees the kept copies.
void turnPoppingMeasureOff();

// The frame driver, after the frame time is taken: with popping measured,
// keeps the selected algorithm's copy of the frame's mesh (and the one
// before it). Does nothing while off.
void keepTerrainFrameMesh();

// Measures the last two kept frames from the view; why says what is missing.
TerrainPoppingStatus measureTerrainPopping(const TerrainView& view, TerrainPoppingResult& result, std::string& why);

// "Terrain popping: 95th percentile 0.42 px, maximum 3.10 px, differing pixels 0.0123"
std::string terrainPoppingLine(const TerrainPoppingResult& result);

// The script function and the menu item: measures from the current view
// and prints the line, or "Terrain popping: <why>".
TerrainPoppingStatus measureAndReportTerrainPopping(TerrainPoppingResult& result);
