// plants.h -- the plant models of the scene and their leaf textures.
//
// Provides: Model and its parts, makePlants, modelText.
// Every model stands on y = 0 centred on x = z = 0, in world units for a
// walker whose eye is 8 units above the ground (before the scene's per-plant
// scale). Billboards are one rectangle in the x-y plane facing +z; crossed
// billboards two such rectangles at right angles.
//
// How the viewer draws a model decides how it is built here:
// - An object whose polygons all name one texture takes a fast path that
//   draws only the first three vertices of each polygon as a textured
//   triangle, tinted by the lightmap at the plant. Such objects are made of
//   triangles only; a billboard rectangle is two triangles.
// - Otherwise each polygon is drawn as it is: textured triangles and quads
//   tinted by the polygon colour, untextured quads in the polygon colour or,
//   with red -1, in per-vertex colours. Textured polygons come first in such
//   objects so an untextured one never inherits a texture still bound.
// - Textures of models loaded with the brighten flag get 50 added to red,
//   green and blue on load; those textures are written 50 darker.
#pragma once

#include "image.h"

#include <string>
#include <vector>

struct ModelVertex {
    Vec3 point, normal;
    int red = 255, green = 255, blue = 255;
    float u = 0, v = 0;
};

struct ModelPolygon {
    std::vector<ModelVertex> vertices;
    bool textured = false;
    std::string texture; // file name beside the model
    int red = 255, green = 255, blue = 255; // red -1: per-vertex colours
};

struct ModelObject {
    std::vector<ModelPolygon> polygons;
};

struct Model {
    std::string file;
    std::vector<ModelObject> objects;
    float alpha = 0.5f; // alpha-test reference written on the ObjectList line
    bool hasScale = false;
    Vec3 scale = {1, 1, 1};
    bool hasRotation = false;
    float rotation[4] = {0, 0, 1, 0}; // degrees, axis
    bool brightened = false; // the scene loads this model with the brighten flag
};

struct PlantTexture {
    std::string file;
    Image image;             // as written to the file
    bool brightened = false; // gets 50 added on load
};

struct Plants {
    std::vector<Model> models;
    std::vector<PlantTexture> textures;
};

Plants makePlants(uint32_t seed);

// The model file text in the tagged one-element-per-line format.
std::string modelText(const Model& model);
