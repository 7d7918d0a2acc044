// everyOtherSample.cpp -- the example terrain algorithm; see
// everyOtherSample.h.
#include "support/everyOtherSample.h"

#include <GL/gl.h>

#include "terrain/splatting.h"
#include "terrain/terrainFrame.h"

bool EveryOtherSample::setUp(const Cheightmap& grid, std::string& failure) {
    if (grid.size < 3 || grid.size % 2 == 0) {
        failure = "it needs an odd number of samples on a side";
        return false;
    }
    if (!heights.copyFrom(grid)) {
        failure = "out of memory";
        return false;
    }
    return true;
}

int EveryOtherSample::sendStrips(bool textured) const {
    const int size = heights.size;
    const float fsize = static_cast<float>(size);
    int triangles = 0;
    auto vertex = [&](int x, int z) {
        if (textured) glTexCoord2f(static_cast<float>(x) / fsize, static_cast<float>(z) / fsize);
        glVertex3f(static_cast<float>(x) * heights.xScale, static_cast<float>(heights.height(x, z)),
                   static_cast<float>(z) * heights.zScale);
    };
    for (int z = 0; z + 2 <= size - 1; z += 2) {
        glBegin(GL_TRIANGLE_STRIP);
        for (int x = 0; x < size; x += 2) {
            vertex(x, z);
            vertex(x, z + 2);
            if (x > 0) triangles += 2;
        }
        glEnd();
    }
    return triangles;
}

void EveryOtherSample::drawPass(void* context, int, float) {
    EveryOtherSample& self = *static_cast<EveryOtherSample*>(context);
    self.drawn = self.sendStrips(true);
}

void EveryOtherSample::draw() {
    // Both faces: the strips' winding is of no concern to this example.
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_CULL_FACE);
    drawBaseTexturePass(drawPass, this);
    glPopAttrib();
}

void EveryOtherSample::reportTitle() { reportTerrainTitle("EVERYOTHER %d", drawn); }

void EveryOtherSample::drawMesh() {
    glDisable(GL_CULL_FACE);
    sendStrips(false);
}
