// model.h -- the in-memory plant model: ObjectList, Object, Polygon.
//
// Provides: Polygon, Object, ObjectList, releaseObjectList.
// A model is three nested plain records read from one model file by
// modelLoader.cpp. The arrays they point to are heap blocks owned by the
// model and allocated once by the loader; the scene keeps its models for the
// whole run. Copies of an ObjectList are shallow: every copy shares the one
// Object array, so the display list built for an object (modelDraw.cpp) is
// seen by every placement of the model.
// Written by the loader at scene set-up; afterwards only the display list
// and first-draw fields change, on the main thread, at a model's first
// opaque draw.
#pragma once

#include <cstdint>

// One face. The renderer draws only triangles and quads (numVertex 3 or 4).
struct Polygon {
    float* points = nullptr;    // numVertex x (x, y, z)
    float* normals = nullptr;   // numVertex x (x, y, z)
    int32_t* colours = nullptr; // numVertex x (red, green, blue), 0-255
    float* uvs = nullptr;       // numVertex x (u, v)
    int32_t numVertex = 0;
    uint32_t texture = 0;       // texture name issued by the registry
    int32_t red = 255;          // red -1: per-vertex colours
    int32_t green = 255;
    int32_t blue = 255;
    int32_t isTextured = 0;
};

// One part of a model, drawn through its own display list.
struct Object {
    Polygon* polygons = nullptr;
    int32_t numPolygon = 0;
    uint32_t texture = 0;       // texture name of the first polygon
    int32_t sameTexture = 1;    // 0 once a polygon's texture differs from the first one's
    uint32_t displayList = 0;   // set at the first opaque draw
    int32_t listBuilt = 0;
    float drawnAlphaReference = 0.0f;  // alpha reference at the first opaque draw
    int32_t alphaFixed = 0;            // 1 once drawnAlphaReference is set
    int32_t batchSlot = -1;            // its triangles packed for batching (plantBatch.cpp)
    float minX = 0.0f, maxX = 0.0f;
    float minY = 0.0f, maxY = 0.0f;
    float minZ = 0.0f, maxZ = 0.0f;
    float boundsSet = 0.0f;     // 1.0 once the first vertex was taken
};

// One model file.
struct ObjectList {
    Object* objects = nullptr;
    int32_t numObject = 0;
    char name[1000] = {};       // not filled by the loader
    float scale[3] = {1.0f, 1.0f, 1.0f};
    int32_t isScaled = 0;
    float rotation[4] = {};     // angle in degrees, then axis x, y, z
    int32_t isRotated = 0;
    float alpha = 0.0f;         // alpha-test reference of this model
    int32_t hasAlpha = 0;
    float minX = 0.0f, maxX = 0.0f;  // union of the objects' bounds, file coordinates
    float minY = 0.0f, maxY = 0.0f;
    float minZ = 0.0f, maxZ = 0.0f;
    float boundsSet = 0.0f;
    int32_t polygonTotal = 0;   // sum of numPolygon over all objects
};

// Frees every array of the model and empties it. The scene never calls it
// (its models live for the whole run); tests and the fuzz target do.
// Display lists already built are not deleted.
void releaseObjectList(ObjectList& model);
