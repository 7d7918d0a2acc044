// view.h -- a software drawing of the scene from a walker's eye.
//
// Provides: ViewScene, ViewCamera, renderView.
// It draws what the viewer shows with the brute-force terrain, splatting and
// the lightmap on, the sky box, and every plant set with full models placed
// by the viewer's own placement walk (same generator, same draws), so a
// scene can be judged without starting the program. It is a preview, not the
// program's renderer: no mipmap filtering beyond a simple chain, no blending.
#pragma once

#include "image.h"
#include "plants.h"

#include <vector>

struct ViewScene {
    int size = 0;                       // terrain size of the grids below
    const std::vector<uint8_t>* heights = nullptr;
    const std::vector<uint8_t>* lightGrid = nullptr;
    const std::vector<uint8_t>* distribution = nullptr;
    const Image* layer1 = nullptr;      // twig01ar.tga
    const Image* layer1Cover = nullptr; // leavesm1.tga
    const Image* layer2 = nullptr;      // tmsand10a.tga
    const Image* layer2Cover = nullptr; // sandm1.tga
    const Image* lightmap = nullptr;    // lightmap.tga
    const std::vector<Image>* sky = nullptr;
    const Plants* plants = nullptr;
};

// Eye position on the ground (the eye stands 8 units above it) and the view
// angles in degrees: horizontal 0 looks along -z and grows toward +x;
// vertical 0 is level and grows downward.
struct ViewCamera {
    float x = 60, z = 200, horizontal = 35, vertical = 8;
};

Image renderView(const ViewScene& scene, const ViewCamera& camera, int width, int height);
