// modelDraw.cpp -- plant model drawing; see modelDraw.h.
//
// The GL state these functions leave behind (alpha test and blending off,
// face culling off, a texture bound) is part of their behaviour: the display
// lists compiled here capture it, and the plant passes are drawn after the
// terrain with that state expected.
#include "vegetation/modelDraw.h"

#include <GL/gl.h>

float plantColour[3] = {30.0f, 30.0f, 30.0f};
float alphaReference = 0.6f;

namespace {

GLubyte lowByte(int value) { return static_cast<GLubyte>(value & 0xFF); }

GLubyte colourByte(float value) { return lowByte(static_cast<int>(value)); }

// Scale first, then rotation: the model is rotated, then scaled.
void applyModelTransform(const ObjectList& model) {
    if (model.isScaled) glScalef(model.scale[0], model.scale[1], model.scale[2]);
    if (model.isRotated) glRotatef(model.rotation[0], model.rotation[1], model.rotation[2], model.rotation[3]);
    if (model.hasAlpha) alphaReference = model.alpha;
}

void drawSharedTriangles(const Object& object) {
    glBindTexture(GL_TEXTURE_2D, object.texture);
    for (int i = 0; i < object.numPolygon; ++i) drawSharedTriangle(object.polygons[i]);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
}

void drawPolygonsOneByOne(const Object& object) {
    for (int i = 0; i < object.numPolygon; ++i) {
        applyPolygonState(object.polygons[i]);
        drawPolygon(object.polygons[i]);
    }
}

}  // namespace

void setPlantColour(float red, float green, float blue) {
    plantColour[0] = red;
    plantColour[1] = green;
    plantColour[2] = blue;
}

void drawObjectList(const ObjectList& model) {
    glColor3ub(colourByte(plantColour[0]), colourByte(plantColour[1]), colourByte(plantColour[2]));
    glPushMatrix();
    applyModelTransform(model);
    for (int i = 0; i < model.numObject; ++i) {
        Object& object = model.objects[i];
        if (object.listBuilt) {
            glCallList(object.displayList);
            continue;
        }
        if (!object.alphaFixed) {
            object.drawnAlphaReference = alphaReference;
            object.alphaFixed = 1;
        }
        object.displayList = glGenLists(1);
        glNewList(object.displayList, GL_COMPILE_AND_EXECUTE);
        drawObject(object);
        glEndList();
        object.listBuilt = 1;
    }
    glPopMatrix();
}

void drawObjectListFaded(const ObjectList& model, float alpha) {
    glPushMatrix();
    applyModelTransform(model);
    for (int i = 0; i < model.numObject; ++i) drawObjectFaded(model.objects[i], alpha);
    glPopMatrix();
}

void drawObject(const Object& object) {
    if (!object.sameTexture) {
        drawPolygonsOneByOne(object);
        return;
    }
    // Blending is switched on and straight off again: these leaves are
    // alpha-tested only.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, alphaReference);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    drawSharedTriangles(object);
}

void drawObjectFaded(const Object& object, float alpha) {
    if (!object.sameTexture) {
        drawPolygonsOneByOne(object);
        return;
    }
    glColor4f(plantColour[0] / 255.0f, plantColour[1] / 255.0f, plantColour[2] / 255.0f, alpha);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_ALPHA_TEST);
    // A fragment's alpha is its texture alpha times the fade alpha; scaling
    // the reference the same way keeps the cut-out shape of the opaque draw,
    // so the model fades instead of vanishing once alpha drops below the
    // reference.
    glAlphaFunc(GL_GREATER, alphaReference * alpha);
    glDisable(GL_CULL_FACE);
    drawSharedTriangles(object);
}

void applyPolygonState(const Polygon& polygon) {
    glColor3ub(lowByte(polygon.red), lowByte(polygon.green), lowByte(polygon.blue));
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, alphaReference);
    glDisable(GL_CULL_FACE);
}

void drawPolygon(const Polygon& polygon) {
    if (polygon.isTextured) glBindTexture(GL_TEXTURE_2D, polygon.texture);
    const float* p = polygon.points;
    const float* n = polygon.normals;
    const float* uv = polygon.uvs;
    if (polygon.numVertex == 3) {
        glBegin(GL_TRIANGLES);
        for (int v = 0; v < 3; ++v) {
            glNormal3f(n[3 * v], n[3 * v + 1], n[3 * v + 2]);
            if (polygon.isTextured) glTexCoord2f(uv[2 * v], uv[2 * v + 1]);
            glVertex3f(p[3 * v], p[3 * v + 1], p[3 * v + 2]);
        }
        glEnd();
        if (polygon.isTextured) glBindTexture(GL_TEXTURE_2D, 0);
    } else if (polygon.numVertex == 4) {
        glBegin(GL_QUADS);
        for (int v = 0; v < 4; ++v) {
            if (polygon.isTextured) {
                glTexCoord2f(uv[2 * v], uv[2 * v + 1]);
            } else if (polygon.red == -1) {
                const int32_t* c = &polygon.colours[3 * v];
                glColor3ub(lowByte(c[0]), lowByte(c[1]), lowByte(c[2]));
            }
            glVertex3f(p[3 * v], p[3 * v + 1], p[3 * v + 2]);
        }
        glEnd();
        if (polygon.isTextured) glBindTexture(GL_TEXTURE_2D, 0);
    }
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
}

void drawSharedTriangle(const Polygon& polygon) {
    if (polygon.numVertex < 3) return;
    const float* p = polygon.points;
    const float* n = polygon.normals;
    const float* uv = polygon.uvs;
    glBegin(GL_TRIANGLES);
    for (int v = 0; v < 3; ++v) {
        glNormal3f(n[3 * v], n[3 * v + 1], n[3 * v + 2]);
        glTexCoord2f(uv[2 * v], uv[2 * v + 1]);
        glVertex3f(p[3 * v], p[3 * v + 1], p[3 * v + 2]);
    }
    glEnd();
}
