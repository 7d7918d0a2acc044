// plantBatch.cpp -- batched opaque plant drawing; see plantBatch.h.
#include "vegetation/plantBatch.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/tga.h"
#include "platform/platform.h"
#include "util/threadClock.h"
#include "vegetation/modelDraw.h"

int plantBatching = 1;
int plantWalkOnly = 0;
bool plantInstanceMode = false;
double plantFlushCpuSeconds = 0.0;

namespace {

// One vertex of a batched triangle, interleaved so the driver reads one
// stream.
// Its constructor leaves it unset: the arrays grow by the vertices about to
// be written, and filling them with zeros first would only cost time.
struct BatchVertex {
    BatchVertex() {}
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

// Vertex buffer objects (GL_ARB_vertex_buffer_object) for the gathered
// triangles. Handing the driver client arrays makes it copy them into fresh
// memory on every draw; a ring of buffers that keep their storage is filled
// instead, one buffer per flush, so a buffer is written again only after the
// frames that used it have been drawn. Without the extension the arrays go
// as client arrays.
using GenBuffersProc = void (*)(GLsizei, GLuint*);
using BindBufferProc = void (*)(GLenum, GLuint);
using BufferDataProc = void (*)(GLenum, GLsizeiptr, const void*, GLenum);
using BufferSubDataProc = void (*)(GLenum, GLintptr, GLsizeiptr, const void*);
struct BufferEntryPoints {
    bool resolved = false;
    GenBuffersProc genBuffers = nullptr;
    BindBufferProc bindBuffer = nullptr;
    BufferDataProc bufferData = nullptr;
    BufferSubDataProc bufferSubData = nullptr;
    bool usable() const { return genBuffers && bindBuffer && bufferData && bufferSubData; }
} bufferGl;

struct RingBuffer {
    GLuint name = 0;
    size_t capacity = 0;  // bytes
};
constexpr int ringSize = 24;  // about three frames of the scene's nine plant flushes
RingBuffer ring[ringSize];
int nextBuffer = 0;

bool resolveBufferEntryPoints() {
    if (!bufferGl.resolved) {
        bufferGl.resolved = true;
        const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
        if (extensions && std::strstr(extensions, "GL_ARB_vertex_buffer_object")) {
            bufferGl.genBuffers = reinterpret_cast<GenBuffersProc>(platformGetProcAddress("glGenBuffersARB"));
            bufferGl.bindBuffer = reinterpret_cast<BindBufferProc>(platformGetProcAddress("glBindBufferARB"));
            bufferGl.bufferData = reinterpret_cast<BufferDataProc>(platformGetProcAddress("glBufferDataARB"));
            bufferGl.bufferSubData =
                reinterpret_cast<BufferSubDataProc>(platformGetProcAddress("glBufferSubDataARB"));
        }
    }
    return bufferGl.usable();
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

// A stretch of vertices drawn with one call under one state.
constexpr GLuint inheritedTexture = 0xFFFFFFFFu;  // keeps the texture bound before
struct Run {
    GLuint texture;   // inheritedTexture for untextured polygons that bind none
    GLenum primitive; // GL_TRIANGLES (quads are split)
    bool blend;
    float alpha;
    size_t first, count;
};

// Models with objects drawn polygon by polygon are kept in the walk's order,
// every polygon with the state its display list gives it; consecutive
// polygons under the same state share a run.
std::vector<Run> sequence;
std::vector<BatchVertex> sequenceVertices;
std::vector<BatchVertex> groupStore;  // the grouped arrays one after another, at the flush
GLuint sequenceBound = inheritedTexture;  // the texture the replay would have bound by now

void addToSequence(GLuint texture, GLenum primitive, bool blend, float alpha, size_t count) {
    if (!sequence.empty()) {
        Run& last = sequence.back();
        if (last.texture == texture && last.primitive == primitive && last.blend == blend && last.alpha == alpha &&
            last.first + last.count == sequenceVertices.size() - count) {
            last.count += count;
            return;
        }
    }
    sequence.push_back({texture, primitive, blend, alpha, sequenceVertices.size() - count, count});
}

BatchVertex transformed(const float* point, float u, float v, const float m[12], const uint8_t colour[4]) {
    BatchVertex vertex;
    vertex.position[0] = m[0] * point[0] + m[1] * point[1] + m[2] * point[2] + m[3];
    vertex.position[1] = m[4] * point[0] + m[5] * point[1] + m[6] * point[2] + m[7];
    vertex.position[2] = m[8] * point[0] + m[9] * point[1] + m[10] * point[2] + m[11];
    vertex.uv[0] = u;
    vertex.uv[1] = v;
    for (int c = 0; c < 4; ++c) vertex.colour[c] = colour[c];
    return vertex;
}

uint8_t lowByte(int value) { return static_cast<uint8_t>(value & 0xFF); }

// One object in the walk's order: the single-texture path as one run
// (blending off, tinted by the plant colour), otherwise polygon by polygon
// as drawPolygon draws them (blending on, in the polygon's colours).
void appendInSequence(const Object& object, const float m[12], const uint8_t plantColourBytes[4]) {
    float alpha = object.drawnAlphaReference;
    if (object.sameTexture) {
        size_t count = 0;
        for (int p = 0; p < object.numPolygon; ++p) {
            const Polygon& polygon = object.polygons[p];
            if (polygon.numVertex < 3) continue;
            for (int v = 0; v < 3; ++v)
                sequenceVertices.push_back(transformed(&polygon.points[3 * v], polygon.uvs[2 * v],
                                                       polygon.uvs[2 * v + 1], m, plantColourBytes));
            count += 3;
        }
        if (count) addToSequence(object.texture, GL_TRIANGLES, false, alpha, count);
        sequenceBound = object.texture;
        return;
    }
    for (int p = 0; p < object.numPolygon; ++p) {
        const Polygon& polygon = object.polygons[p];
        int n = polygon.numVertex;
        if (n != 3 && n != 4) continue;  // drawPolygon draws nothing
        const uint8_t flat[4] = {lowByte(polygon.red), lowByte(polygon.green), lowByte(polygon.blue), 255};
        // A quad as two triangles split along its 1-3 diagonal, as the
        // display lists of Mesa draw GL_QUADS; glDrawArrays(GL_QUADS) splits
        // along 0-2, which interpolates vertex colours differently.
        static const int quadOrder[6] = {0, 1, 3, 1, 2, 3};
        int emitted = n == 3 ? 3 : 6;
        for (int k = 0; k < emitted; ++k) {
            int v = n == 3 ? k : quadOrder[k];
            const uint8_t* colour = flat;
            uint8_t own[4];
            if (n == 4 && !polygon.isTextured && polygon.red == -1) {
                const int32_t* c = &polygon.colours[3 * v];
                own[0] = lowByte(c[0]);
                own[1] = lowByte(c[1]);
                own[2] = lowByte(c[2]);
                own[3] = 255;
                colour = own;
            }
            float u = polygon.isTextured ? polygon.uvs[2 * v] : 0.0f;
            float t = polygon.isTextured ? polygon.uvs[2 * v + 1] : 0.0f;
            sequenceVertices.push_back(transformed(&polygon.points[3 * v], u, t, m, colour));
        }
        addToSequence(polygon.isTextured ? polygon.texture : sequenceBound, GL_TRIANGLES, true,
                      alpha, static_cast<size_t>(emitted));
        // A textured polygon leaves texture 0 bound for the polygons after it.
        if (polygon.isTextured) sequenceBound = 0;
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
    bool grouped = modelBatchable(model);
    // The two kinds are never mixed in one flush: what was gathered of the
    // other kind is drawn first, so the order of the walk is kept wherever
    // it can show.
    if (grouped ? !sequence.empty() : activeGroups > 0) flushPlantBatch();
    if (model.hasAlpha) alphaReference = model.alpha;
    uint8_t bytes[4] = {colourByte(colour[0]), colourByte(colour[1]), colourByte(colour[2]), 255};
    for (int c = 0; c < 4; ++c) lastColour[c] = bytes[c];
    for (int i = 0; i < model.numObject; ++i) {
        Object& object = model.objects[i];
        if (!object.alphaFixed) {
            object.drawnAlphaReference = alphaReference;
            object.alphaFixed = 1;
        }
        if (grouped)
            appendObject(object, matrix.m, bytes);
        else
            appendInSequence(object, matrix.m, bytes);
    }
    return true;
}

void flushPlantBatch() {
    const AddThreadCpuTime timed(plantFlushCpuSeconds);
    // The grouped arrays become one run each, after one another in the
    // vertex store (copied there only without buffer objects; with them
    // each array goes straight into its place in the buffer); the sequence
    // already is runs over its own vertices.
    std::vector<BatchVertex>* store = &sequenceVertices;
    std::vector<Run> groupRuns;
    const bool buffered = resolveBufferEntryPoints();
    size_t groupedVertices = 0;
    if (sequence.empty()) {
        store = &groupStore;
        groupStore.clear();
        for (size_t i = 0; i < activeGroups; ++i) {
            const std::vector<BatchVertex>& v = groups[i].vertices;
            if (v.empty()) continue;
            groupRuns.push_back({groups[i].texture, GL_TRIANGLES, false, groups[i].alpha, groupedVertices, v.size()});
            groupedVertices += v.size();
            if (!buffered && !plantWalkOnly) groupStore.insert(groupStore.end(), v.begin(), v.end());
        }
    } else {
        groupedVertices = sequenceVertices.size();
    }
    const std::vector<Run>& runs = sequence.empty() ? groupRuns : sequence;
    if (runs.empty() || plantWalkOnly) {
        for (size_t i = 0; i < activeGroups; ++i) groups[i].vertices.clear();
        activeGroups = 0;
        sequence.clear();
        sequenceVertices.clear();
        sequenceBound = inheritedTexture;
        return;
    }

    GLint clientUnit = GL_TEXTURE0_ARB;
    if (glClientActiveTextureARB_) {
        glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE_ARB, &clientUnit);
        glClientActiveTextureARB_(GL_TEXTURE0_ARB);
    }
    GLint boundTexture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glDisableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);

    // With buffer objects the vertices go into this flush's ring buffer and
    // the pointers below are offsets into it.
    const char* first = reinterpret_cast<const char*>(store->data());
    GLint previousBuffer = 0;
    if (buffered) {
        size_t bytes = groupedVertices * sizeof(BatchVertex);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &previousBuffer);
        RingBuffer& buffer = ring[nextBuffer];
        nextBuffer = (nextBuffer + 1) % ringSize;
        if (!buffer.name) bufferGl.genBuffers(1, &buffer.name);
        bufferGl.bindBuffer(GL_ARRAY_BUFFER_ARB, buffer.name);
        if (buffer.capacity < bytes) {
            buffer.capacity = bytes + bytes / 2;
            bufferGl.bufferData(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptr>(buffer.capacity), nullptr,
                                GL_STREAM_DRAW_ARB);
        }
        if (store == &sequenceVertices) {
            bufferGl.bufferSubData(GL_ARRAY_BUFFER_ARB, 0, static_cast<GLsizeiptr>(bytes), store->data());
        } else {
            size_t at = 0;
            for (size_t i = 0; i < activeGroups; ++i) {
                const std::vector<BatchVertex>& v = groups[i].vertices;
                if (v.empty()) continue;
                bufferGl.bufferSubData(GL_ARRAY_BUFFER_ARB, static_cast<GLintptr>(at * sizeof(BatchVertex)),
                                       static_cast<GLsizeiptr>(v.size() * sizeof(BatchVertex)), v.data());
                at += v.size();
            }
        }
        first = nullptr;
    }
    for (size_t i = 0; i < activeGroups; ++i) groups[i].vertices.clear();
    activeGroups = 0;
    glVertexPointer(3, GL_FLOAT, sizeof(BatchVertex), first + offsetof(BatchVertex, position));
    glTexCoordPointer(2, GL_FLOAT, sizeof(BatchVertex), first + offsetof(BatchVertex, uv));
    glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(BatchVertex), first + offsetof(BatchVertex, colour));

    // The state the display lists set before each object's triangles, or
    // before each polygon of an object drawn polygon by polygon.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);
    GLuint texture = static_cast<GLuint>(boundTexture);
    for (const Run& run : runs) {
        if (run.blend)
            glEnable(GL_BLEND);
        else
            glDisable(GL_BLEND);
        glAlphaFunc(GL_GREATER, run.alpha);
        // An untextured polygon keeps the texture bound before it.
        if (run.texture != inheritedTexture) texture = run.texture;
        glBindTexture(GL_TEXTURE_2D, texture);
        glDrawArrays(run.primitive, static_cast<GLint>(run.first), static_cast<GLsizei>(run.count));
    }
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    if (buffered) bufferGl.bindBuffer(GL_ARRAY_BUFFER_ARB, static_cast<GLuint>(previousBuffer));

    glPopClientAttrib();
    if (glClientActiveTextureARB_) glClientActiveTextureARB_(static_cast<GLenum>(clientUnit));
    // The colour array leaves the current colour undefined; set the one the
    // display lists would have left.
    const uint8_t* last = sequence.empty() ? lastColour : sequenceVertices.back().colour;
    glColor4ubv(last);
    sequence.clear();
    sequenceVertices.clear();
    sequenceBound = inheritedTexture;
}

void endPlantBatch() {
    flushPlantBatch();
    batchOpen = false;
}
