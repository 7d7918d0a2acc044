// impostor.h -- billboard textures rendered from a plant model.
//
// Provides: ImpostorAxis, impostorHalfWidth, impostorHeight, renderImpostor.
// A billboard card stands on y = 0 centred on the model's vertical axis. Its
// texture is the model seen orthographically across the card: every texel
// is sampled many times, a sample is covered where a polygon's texture passes
// the viewer's alpha test (the model's alpha reference), the nearest covered
// polygon gives the colour, and the texel's alpha is the share of its covered
// samples. Colours are the model's texture colours as the viewer shows them
// (after the brightening on load); the viewer tints card and model alike by
// the lightmap, and lights neither otherwise.
#pragma once

#include "paint.h"
#include "plants.h"

#include <vector>

// The card's plane: acrossZ is the x-y plane seen from +z (u along +x),
// acrossX the z-y plane seen from +x (u along -z), as the crossed billboard's
// two rectangles are laid out.
enum class ImpostorAxis { acrossZ, acrossX };

// Half the card width that holds the model seen along either axis, and the
// model's height: the card covers the model's footprint and height.
float impostorHalfWidth(const Model& model);
float impostorHeight(const Model& model);

// The model drawn onto a width x height canvas spanning [-halfWidth,
// halfWidth] across and [0, cardHeight] up. Polygons whose texture is not in
// `textures` are skipped. Transparent texels are left for the texture's
// colour bleeding.
Canvas renderImpostor(const Model& model, const std::vector<PlantTexture>& textures, ImpostorAxis axis,
                      float halfWidth, float cardHeight, int width, int height);
