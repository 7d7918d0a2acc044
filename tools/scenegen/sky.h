// sky.h -- the six sky box pictures.
//
// Provides: skyFaceFiles, makeSkyBox, skyFacePoint.
// The viewer draws the sky as a box 8000 wide and deep and 4000 high whose
// centre sits 800 above the camera, with one picture per face and fixed
// texture coordinates at the corners. Each texel here is coloured from the
// direction of its point on that box as seen from the camera, using the
// viewer's own corner table, so neighbouring faces meet without a seam.
#pragma once

#include "image.h"

#include <string>
#include <vector>

// File of each face, in face order 0-5: sides 0, 1, 4, 5, bottom 2, top 3.
extern const char* const skyFaceFiles[6];

// The point of face `face` at texture coordinates (s, t), relative to the
// camera.
Vec3 skyFacePoint(int face, float s, float t);

// Faces 0-5 in face order; `size` texels on a side (the black bottom face
// is small).
std::vector<Image> makeSkyBox(uint32_t seed, int size);
