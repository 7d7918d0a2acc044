// terrainAlgorithm.h -- the interface every terrain algorithm implements, and
// the registry the rest of the program finds them through.
//
// Provides: TerrainAlgorithm (the interface), terrainAlgorithms (the
// registry, in menu order), findTerrainAlgorithm, matchTerrainAlgorithm,
// selectedTerrainAlgorithm, terrainAlgorithmSelectable,
// registerTerrainAlgorithm, unregisterTerrainAlgorithm,
// setUpTerrainAlgorithms, releaseTerrainAlgorithms.
//
// A terrain algorithm is its own pair of files under terrain/ and one entry
// in the registry's table (terrainRegistry.cpp). Everything that lists,
// selects, draws, counts, titles or measures terrain algorithms (the frame
// driver, the menus, setTerrainAlgorithm, getTerrainAlgorithms, the title,
// the fidelity instrument, the benchmark) goes through this interface, so a
// new algorithm reaches all of them on the same terms as the others.
//
// What an algorithm may assume, in every call below: the main thread; the
// rendering context current; the scene's height grid loaded (setUp is
// called once per scene build, before any other call; release when the
// scene is torn down). In update, draw and drawMesh also: the frame's
// camera snapshot taken (frameCameraX/Y/Z, camera/camera.h) and the view
// frustum extracted (camera/frustum.h), the view transform loaded.
//
// What it must leave: every GL state it changes restored (enables, texture
// bindings and environments of both units, client arrays, bound buffers and
// programs, matrices), as the other renderers do, so the plants and the
// next frame see the state they would have seen without it.
//
// Units: world units, with grid point (x, z) at world (x * xScale,
// sample * yScale, z * zScale) of the grid given to setUp; tolerances in
// screen pixels of the current viewport.
#pragma once

#include <memory>
#include <string>
#include <vector>

class Cheightmap;
class TerrainMeshCopy;

class TerrainAlgorithm {
public:
    virtual ~TerrainAlgorithm() = default;

    // Identity. id is the menu command number and the value of
    // terrainAlgorithm (scene/sceneConfig.h); 600-603 are the first four
    // entries, new ones take the next free numbers. menuLabel is the item's
    // text under "Terrain Algorithms"; name is the word getTerrainAlgorithms
    // returns (and the first keyword); keywords are the case-sensitive
    // substrings setTerrainAlgorithm looks for, tried in registry order.
    virtual int id() const = 0;
    virtual const char* menuLabel() const = 0;
    virtual const char* name() const = 0;
    virtual std::vector<std::string> keywords() const = 0;

    // Whether terrainErrorTolerance (scene/sceneConfig.h) changes what it
    // draws (the title then gets "  tolerance n px").
    virtual bool honoursTolerance() const = 0;

    // false for an entry that draws no terrain (the quad-tree): the
    // instrument then has nothing to measure.
    virtual bool drawsTerrain() const { return true; }

    // Whether it can be selected on this OpenGL; why says what is missing
    // (for example vertex shaders). An unavailable algorithm is refused with
    // that reason and the previous one stays selected.
    virtual bool available(std::string& why) const {
        (void)why;
        return true;
    }

    // Builds its structures from the scene's loaded, scaled height grid. It
    // must take its heights from grid (never from a file of its own), so
    // every algorithm draws the same samples. false, with the reason in
    // failure, when it cannot; it then draws nothing.
    virtual bool setUp(const Cheightmap& grid, std::string& failure) = 0;
    virtual void release() = 0;

    // The grid it draws from after setUp (null for an entry without one):
    // setUpTerrainAlgorithms checks that it holds the same samples as the
    // grid it was given.
    virtual const Cheightmap* heightGrid() const { return nullptr; }

    // The frame, with showTerrain on: update does the level-of-detail work
    // (choosing this frame's mesh), draw draws it with the texturing passes
    // the switches ask for. Called once each per frame, update first.
    virtual void update() {}
    virtual void draw() = 0;

    // Triangles of all passes of the last draw, counted as the algorithm's
    // own statistics count them.
    virtual int triangles() const = 0;

    // The title statistics of the last frame, written with
    // reportTerrainTitle (terrain/terrainFrame.h), e.g. "ROAM %f %f %f".
    virtual void reportTitle() = 0;

    // The fidelity instrument: sends the exact mesh the last draw drew,
    // geometry only (world positions; the caller sets every pass, texture
    // and matrix), without stepping the algorithm and without changing its
    // counts or extents. Drawn once untextured and once in the single
    // measurement pass.
    virtual void drawMesh() = 0;

    // The popping instrument (terrain/terrainPopping.h), after a frame and
    // outside its time, while popping is measured: a copy of the mesh the
    // last draw drew, which the instrument draws again from the next
    // frame's camera. The default captures what drawMesh sends as
    // world-space triangles (GL feedback, positions exact); an algorithm
    // may return a compact copy of its own instead (brute force keeps
    // nothing: its mesh is always the grid). grid is the scene's full
    // grid. Null when no copy can be made.
    virtual std::unique_ptr<TerrainMeshCopy> copyMesh(Cheightmap& grid);
};

// Every registered algorithm, in menu order (brute force, geomipmapping,
// quad-tree, ROAM 2.0, then the others). Built on first use; never empty.
const std::vector<TerrainAlgorithm*>& terrainAlgorithms();

// The entry with this id, or null.
TerrainAlgorithm* findTerrainAlgorithm(int id);

// The first entry, in registry order, one of whose keywords name contains;
// null when none matches.
TerrainAlgorithm* matchTerrainAlgorithm(const std::string& name);

// The entry of terrainAlgorithm, or null.
TerrainAlgorithm* selectedTerrainAlgorithm();

// Whether the entry with this id may be selected now: false, with the
// reason in why, for an unknown id or an algorithm that is not available.
bool terrainAlgorithmSelectable(int id, std::string& why);

// Adds an algorithm after the registered ones (tests and plug-ins; the
// built-in table is in terrainRegistry.cpp). The caller keeps ownership.
// When a scene grid is already loaded it is set up on it at once. false,
// and nothing registered, for a null entry, an id already taken, or a set-up
// that fails (failure, when given, says why). Menus built afterwards list it.
bool registerTerrainAlgorithm(TerrainAlgorithm* algorithm, std::string* failure = nullptr);

// Takes an algorithm added by registerTerrainAlgorithm out again (after
// release); the built-in entries stay.
void unregisterTerrainAlgorithm(TerrainAlgorithm* algorithm);

// Scene set-up: every registered algorithm, in order, set up on grid (the
// scene's loaded height grid, read from heightFile), then each one's
// heightGrid compared with grid. false with failure naming the algorithm
// and heightFile at the first set-up that fails or grid that differs.
bool setUpTerrainAlgorithms(const Cheightmap& grid, const std::string& heightFile, std::string& failure);

// Releases every registered algorithm.
void releaseTerrainAlgorithms();
