// plantBatch.cpp -- batched opaque plant drawing; see plantBatch.h.
#include "vegetation/plantBatch.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "image/tga.h"
#include "vegetation/modelDraw.h"

int plantBatching = 1;
int plantWalkOnly = 0;
bool plantInstanceMode = false;

namespace {

// One vertex of a batched triangle, interleaved so the driver reads one
// stream.
struct BatchVertex {
    float position[3];
    float uv[2];
    uint8_t colour[4];
};

// The triangles of one texture and alpha reference, in the order appended.
struct BatchGroup {
    GLuint texture = 0;
    float alpha = 0.0f;
    std::vector<BatchVertex> vertices;
};

// An object's triangles as the single-texture path draws them (the first
// three vertices of each polygon), packed once: x, y, z, u, v per vertex.
struct PackedObject {
    std::vector<float> vertices;
};
std::vector<PackedObject> packedObjects;

const PackedObject& packed(Object& object) {
    if (object.batchSlot < 0) {
        PackedObject pack;
        for (int p = 0; p < object.numPolygon; ++p) {
            const Polygon& polygon = object.polygons[p];
            if (polygon.numVertex < 3) continue;  // drawSharedTriangle draws nothing
            for (int v = 0; v < 3; ++v) {
                for (int c = 0; c < 3; ++c) pack.vertices.push_back(polygon.points[3 * v + c]);
                pack.vertices.push_back(polygon.uvs[2 * v]);
                pack.vertices.push_back(polygon.uvs[2 * v + 1]);
            }
        }
        object.batchSlot = static_cast<int32_t>(packedObjects.size());
        packedObjects.push_back(std::move(pack));
    }
    return packedObjects[static_cast<size_t>(object.batchSlot)];
}

// Groups are kept between frames so their arrays keep their capacity; the
// active ones are groups[0 .. activeGroups).
std::vector<BatchGroup> groups;
size_t activeGroups = 0;
bool batchOpen = false;
uint8_t lastColour[4] = {255, 255, 255, 255};

constexpr float degreesToRadiansFactor = 3.14159265358979f / 180.0f;

// a = a * b for 3 x 4 affine matrices.
void multiplyInto(float a[12], const float b[12]) {
    float r[12];
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 4; ++column) {
            float v = a[4 * row] * b[column] + a[4 * row + 1] * b[4 + column] + a[4 * row + 2] * b[8 + column];
            if (column == 3) v += a[4 * row + 3];
            r[4 * row + column] = v;
        }
    }
    for (int i = 0; i < 12; ++i) a[i] = r[i];
}

// The rotation glRotatef(angle, x, y, z) makes (axis normalised; a zero axis
// leaves the matrix alone, as GL does).
void rotationMatrix(float angle, float x, float y, float z, float r[12]) {
    for (int i = 0; i < 12; ++i) r[i] = (i % 5 == 0) ? 1.0f : 0.0f;
    float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0f) return;
    x /= length;
    y /= length;
    z /= length;
    float s = std::sin(angle * degreesToRadiansFactor);
    float c = std::cos(angle * degreesToRadiansFactor);
    float k = 1.0f - c;
    r[0] = x * x * k + c;
    r[1] = x * y * k - z * s;
    r[2] = x * z * k + y * s;
    r[4] = y * x * k + z * s;
    r[5] = y * y * k + c;
    r[6] = y * z * k - x * s;
    r[8] = x * z * k - y * s;
    r[9] = y * z * k + x * s;
    r[10] = z * z * k + c;
}

uint8_t colourByte(float value) { return static_cast<uint8_t>(static_cast<int>(value) & 0xFF); }

BatchGroup& groupFor(GLuint texture, float alpha) {
    for (size_t i = 0; i < activeGroups; ++i)
        if (groups[i].texture == texture && groups[i].alpha == alpha) return groups[i];
    if (activeGroups == groups.size()) groups.emplace_back();
    BatchGroup& group = groups[activeGroups++];
    group.texture = texture;
    group.alpha = alpha;
    group.vertices.clear();
    return group;
}

void appendObject(Object& object, const float m[12], const uint8_t colour[4]) {
    const PackedObject& pack = packed(object);
    size_t count = pack.vertices.size() / 5;
    if (count == 0) return;
    std::vector<BatchVertex>& out = groupFor(object.texture, object.drawnAlphaReference).vertices;
    size_t at = out.size();
    out.resize(at + count);
    BatchVertex* vertex = out.data() + at;
    const float* in = pack.vertices.data();
    for (size_t i = 0; i < count; ++i, ++vertex, in += 5) {
        vertex->position[0] = m[0] * in[0] + m[1] * in[1] + m[2] * in[2] + m[3];
        vertex->position[1] = m[4] * in[0] + m[5] * in[1] + m[6] * in[2] + m[7];
        vertex->position[2] = m[8] * in[0] + m[9] * in[1] + m[10] * in[2] + m[11];
        vertex->uv[0] = in[3];
        vertex->uv[1] = in[4];
        for (int c = 0; c < 4; ++c) vertex->colour[c] = colour[c];
    }
}

}  // namespace

PlantInstanceMatrix makeInstanceMatrix(const ObjectList* model, float x, float y, float z, float scale,
                                       float turn) {
    PlantInstanceMatrix result;
    float* m = result.m;
    float s = std::sin(turn * degreesToRadiansFactor);
    float c = std::cos(turn * degreesToRadiansFactor);
    // translate * scale * rotation about y.
    const float placed[12] = {scale * c, 0.0f, scale * s, x, 0.0f, scale, 0.0f, y, -scale * s, 0.0f, scale * c, z};
    for (int i = 0; i < 12; ++i) m[i] = placed[i];
    if (!model) return result;
    if (model->isScaled) {
        const float own[12] = {model->scale[0], 0, 0, 0, 0, model->scale[1], 0, 0, 0, 0, model->scale[2], 0};
        multiplyInto(m, own);
    }
    if (model->isRotated) {
        float own[12];
        rotationMatrix(model->rotation[0], model->rotation[1], model->rotation[2], model->rotation[3], own);
        multiplyInto(m, own);
    }
    return result;
}

void multiplyInstanceMatrix(const PlantInstanceMatrix& matrix) {
    const float* m = matrix.m;
    const GLfloat columns[16] = {m[0], m[4], m[8], 0.0f, m[1], m[5], m[9], 0.0f,
                                 m[2], m[6], m[10], 0.0f, m[3], m[7], m[11], 1.0f};
    glMultMatrixf(columns);
}

bool modelBatchable(const ObjectList& model) {
    for (int i = 0; i < model.numObject; ++i)
        if (!model.objects[i].sameTexture) return false;
    return true;
}

void beginPlantBatch() {
    activeGroups = 0;
    batchOpen = true;
}

bool plantBatchOpen() { return batchOpen; }

bool batchModel(const ObjectList& model, const PlantInstanceMatrix& matrix, const float colour[3]) {
    if (!modelBatchable(model)) return false;
    if (model.hasAlpha) alphaReference = model.alpha;
    uint8_t bytes[4] = {colourByte(colour[0]), colourByte(colour[1]), colourByte(colour[2]), 255};
    for (int c = 0; c < 4; ++c) lastColour[c] = bytes[c];
    for (int i = 0; i < model.numObject; ++i) {
        Object& object = model.objects[i];
        if (!object.alphaFixed) {
            object.drawnAlphaReference = alphaReference;
            object.alphaFixed = 1;
        }
        appendObject(object, matrix.m, bytes);
    }
    return true;
}

void flushPlantBatch() {
    bool anything = false;
    for (size_t i = 0; i < activeGroups; ++i) anything = anything || !groups[i].vertices.empty();
    if (!anything || plantWalkOnly) {
        for (size_t i = 0; i < activeGroups; ++i) groups[i].vertices.clear();
        activeGroups = 0;
        return;
    }
    GLint clientUnit = GL_TEXTURE0_ARB;
    if (glClientActiveTextureARB_) {
        glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE_ARB, &clientUnit);
        glClientActiveTextureARB_(GL_TEXTURE0_ARB);
    }
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glDisableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);

    // The state each object's display list sets before its triangles.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    for (size_t i = 0; i < activeGroups; ++i) {
        BatchGroup& group = groups[i];
        if (group.vertices.empty()) continue;
        glAlphaFunc(GL_GREATER, group.alpha);
        glBindTexture(GL_TEXTURE_2D, group.texture);
        const BatchVertex* first = group.vertices.data();
        glVertexPointer(3, GL_FLOAT, sizeof(BatchVertex), first->position);
        glTexCoordPointer(2, GL_FLOAT, sizeof(BatchVertex), first->uv);
        glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(BatchVertex), first->colour);
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(group.vertices.size()));
        group.vertices.clear();
    }
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);

    glPopClientAttrib();
    if (glClientActiveTextureARB_) glClientActiveTextureARB_(static_cast<GLenum>(clientUnit));
    // The colour array leaves the current colour undefined; the last plant's
    // colour is what the display lists would have left.
    glColor4ubv(lastColour);
    activeGroups = 0;
}

void endPlantBatch() {
    flushPlantBatch();
    batchOpen = false;
}
