// preview.h -- pictures for looking at a generated scene.
//
// Provides: PreviewTile, thumbnail, renderModel, makeContactSheet, makeRelief.
// The contact sheet shows every picture the generator wrote (RAW grids as
// grey pictures, alpha cut-outs over a checkerboard) and each plant model
// drawn the way the viewer draws it. Pictures are shown as picture viewers
// show the TGA files: row 0 at the bottom.
#pragma once

#include "image.h"
#include "plants.h"

#include <string>
#include <vector>

struct PreviewTile {
    std::string label;
    Image picture; // RGB, any size; scaled to fit the tile
};

// The picture scaled to fit a square of `size` pixels, alpha shown over a
// checkerboard.
Image thumbnail(const Image& image, int size);

// The model seen from slightly above, with its textures (brightened as the
// scene loads them), alpha test and the fast path's three-vertex rule.
Image renderModel(const Model& model, const std::vector<PlantTexture>& textures, int size);

Image makeContactSheet(const std::vector<PreviewTile>& tiles, int tileSize, int columns);

// Shaded relief of a height grid: the base texture times the lightmap
// texture, with the grid's own hill shading for its fine detail.
Image makeRelief(const std::vector<uint8_t>& heights, int size, const Image& base, const Image& lightmap);
