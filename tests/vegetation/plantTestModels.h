// plantTestModels.h -- small plant models built in memory for the tests.
//
// Provides: makeTestPolygon, makeTestModel. The arrays are allocated the
// way the loader allocates them, so releaseObjectList frees them.
#pragma once

#include <initializer_list>
#include <vector>

#include "vegetation/model.h"

// A polygon through the given (x, y, z) points, untextured, in one colour;
// every vertex colour white, normals up, uv (0, 0).
inline Polygon makeTestPolygon(std::initializer_list<float> points, int red = 255, int green = 255,
                               int blue = 255) {
    Polygon polygon;
    int count = static_cast<int>(points.size() / 3);
    polygon.numVertex = count;
    polygon.points = new float[3 * count];
    polygon.normals = new float[3 * count];
    polygon.colours = new int32_t[3 * count];
    polygon.uvs = new float[2 * count]();
    int i = 0;
    for (float value : points) polygon.points[i++] = value;
    for (int v = 0; v < count; ++v) {
        polygon.normals[3 * v] = 0.0f;
        polygon.normals[3 * v + 1] = 1.0f;
        polygon.normals[3 * v + 2] = 0.0f;
        polygon.colours[3 * v] = polygon.colours[3 * v + 1] = polygon.colours[3 * v + 2] = 255;
    }
    polygon.red = red;
    polygon.green = green;
    polygon.blue = blue;
    return polygon;
}

// A model of one object holding the polygons; bounds from their points.
inline ObjectList makeTestModel(const std::vector<Polygon>& polygons, int sameTexture) {
    ObjectList model;
    model.numObject = 1;
    model.objects = new Object[1];
    Object& object = model.objects[0];
    object.numPolygon = static_cast<int>(polygons.size());
    object.polygons = new Polygon[polygons.size()];
    object.sameTexture = sameTexture;
    bool first = true;
    for (size_t p = 0; p < polygons.size(); ++p) {
        object.polygons[p] = polygons[p];
        for (int v = 0; v < polygons[p].numVertex; ++v) {
            const float* point = &polygons[p].points[3 * v];
            if (first || point[0] < object.minX) object.minX = point[0];
            if (first || point[0] > object.maxX) object.maxX = point[0];
            if (first || point[1] < object.minY) object.minY = point[1];
            if (first || point[1] > object.maxY) object.maxY = point[1];
            if (first || point[2] < object.minZ) object.minZ = point[2];
            if (first || point[2] > object.maxZ) object.maxZ = point[2];
            first = false;
        }
    }
    model.minX = object.minX;
    model.maxX = object.maxX;
    model.minY = object.minY;
    model.maxY = object.maxY;
    model.minZ = object.minZ;
    model.maxZ = object.maxZ;
    model.polygonTotal = object.numPolygon;
    return model;
}
