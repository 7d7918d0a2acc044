// splatting.cpp -- terrain texture roles and texturing passes; see splatting.h.
//
// Rule shared with bruteForce.cpp and geomipmap.cpp: each pass leaves unit 0
// active and restores its enables, blending and colour; texture bindings are
// reset by the frame driver after the terrain (resetTerrainTextures).
#include "terrain/splatting.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "image/tga.h"

unsigned baseTexture = 0;
unsigned detailTexture1 = 0;
unsigned coverageTexture1 = 0;
unsigned detailTexture2 = 0;
unsigned coverageTexture2 = 0;
unsigned lightmapTexture = 0;

bool multitextureReady() { return glActiveTextureARB_ != nullptr && glMultiTexCoord2fARB_ != nullptr; }

void drawSplattingPasses(TerrainPassDraw draw, void* context, bool releaseTextures) {
    if (!multitextureReady()) {
        drawBaseTexturePass(draw, context);
        return;
    }
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);

    // Layer 1: detail on unit 0, its coverage map on unit 1.
    glActiveTextureARB_(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, detailTexture1);
    glActiveTextureARB_(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, coverageTexture1);
    glDisable(GL_BLEND);
    draw(context, 1, splatDetailRepeat);

    // Layer 2 added on top.
    glActiveTextureARB_(GL_TEXTURE0_ARB);
    glBindTexture(GL_TEXTURE_2D, detailTexture2);
    glActiveTextureARB_(GL_TEXTURE1_ARB);
    glBindTexture(GL_TEXTURE_2D, coverageTexture2);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    draw(context, 1, splatDetailRepeat);
    glDisable(GL_BLEND);

    if (releaseTextures) {
        glActiveTextureARB_(GL_TEXTURE1_ARB);
        glBindTexture(GL_TEXTURE_2D, 0);
        glActiveTextureARB_(GL_TEXTURE0_ARB);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    glPopAttrib();
    glActiveTextureARB_(GL_TEXTURE0_ARB);
}

void drawBaseFadePass(TerrainPassDraw draw, void* context, float alpha) {
    // The colour is saved by hand: Mesa does not reliably restore it from the
    // attribute stack when other groups are pushed and popped in between.
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
    if (multitextureReady()) glActiveTextureARB_(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, baseTexture);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1.0f, 1.0f, 1.0f, alpha);
    draw(context, 0, 1.0f);
    glDisable(GL_BLEND);
    glPopAttrib();
    glColor4fv(colour);
}

void drawLightmapPass(TerrainPassDraw draw, void* context, int multiTex, bool releaseUnit1) {
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
    if (multitextureReady()) {
        if (releaseUnit1) {
            glActiveTextureARB_(GL_TEXTURE1_ARB);
            glBindTexture(GL_TEXTURE_2D, 0);
        }
        glActiveTextureARB_(GL_TEXTURE0_ARB);
    }
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, lightmapTexture);
    // The frame buffer times the lightmap colour.
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_SRC_COLOR);
    draw(context, multiTex, 1.0f);
    glDisable(GL_BLEND);
    glPopAttrib();
}

void drawBaseTexturePass(TerrainPassDraw draw, void* context) {
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
    if (multitextureReady()) glActiveTextureARB_(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, baseTexture);
    glDisable(GL_BLEND);
    draw(context, 0, 1.0f);
    glPopAttrib();
}

void resetTerrainTextures() {
    if (multitextureReady()) {
        glActiveTextureARB_(GL_TEXTURE1_ARB);
        glBindTexture(GL_TEXTURE_2D, 0);
        glActiveTextureARB_(GL_TEXTURE0_ARB);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_BLEND);
}
