// cdlod.cpp -- CDLOD terrain; see cdlod.h for the algorithm and its
// invariants.
#include "terrain/cdlod.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "camera/camera.h"
#include "camera/frustum.h"
#include "image/tga.h"
#include "scene/sceneConfig.h"
#include "terrain/splatting.h"
#include "terrain/terrainFrame.h"

namespace {

constexpr float unbounded = std::numeric_limits<float>::infinity();

// Placement and morph of one vertex; the CPU copy of the shader below uses
// the same operations in the same order.
const char* const morphVertexShader =
    "#version 120\n"
    "attribute vec3 gridPoint;\n"   // quads from the node's first grid point; 1: skirt
    "attribute vec2 heights;\n"     // fine, coarse (world units)
    "uniform vec2 origin;\n"        // grid units
    "uniform float quadSize;\n"     // grid cells per quad
    "uniform vec2 worldScale;\n"    // xScale, zScale
    "uniform float invSize;\n"      // 1 / samples per side
    "uniform float detailRepeat;\n" // unit 0's repeat
    "uniform vec3 eye;\n"
    "uniform vec2 morph;\n"         // start, 1 / (end - start); (huge, 0) for none
    "uniform float skirtDepth;\n"
    "uniform float lastPoint;\n"    // size - 1: skirts end at the map's border
    "void main() {\n"
    "    vec2 g = origin + gridPoint.xy * quadSize;\n"
    "    vec3 p = vec3(g.x * worldScale.x, heights.x, g.y * worldScale.y);\n"
    "    vec3 d = p - eye;\n"
    "    float k = clamp((sqrt(d.x * d.x + d.y * d.y + d.z * d.z) - morph.x) * morph.y, 0.0, 1.0);\n"
    "    float inside = min(min(g.x, g.y), min(lastPoint - g.x, lastPoint - g.y)) > 0.0 ? 1.0 : 0.0;\n"
    "    p.y = heights.x * (1.0 - k) + heights.y * k - gridPoint.z * inside * skirtDepth;\n"
    "    vec2 st = g * invSize;\n"
    "    gl_TexCoord[0] = vec4(st * detailRepeat, 0.0, 1.0);\n"
    "    gl_TexCoord[1] = vec4(st, 0.0, 1.0);\n"
    "    gl_FrontColor = gl_Color;\n"
    "    gl_Position = gl_ModelViewProjectionMatrix * vec4(p, 1.0);\n"
    "}\n";

float morphOf(float x, float h, float z, const float eye[3], float start, float scale) {
    const float dx = x - eye[0], dy = h - eye[1], dz = z - eye[2];
    return std::clamp((std::sqrt(dx * dx + dy * dy + dz * dz) - start) * scale, 0.0f, 1.0f);
}

// The morph uniform of a level: start and 1 / length; (huge, 0) for none.
void morphUniform(float start, float end, float out[2]) {
    if (!std::isfinite(start) || !std::isfinite(end) || end <= start) {
        out[0] = 1e30f;
        out[1] = 0.0f;
        return;
    }
    out[0] = start;
    out[1] = 1.0f / (end - start);
}

bool powerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

GLubyte colourByte(float value) { return static_cast<GLubyte>(std::clamp(value, 0.0f, 255.0f)); }

// Height of a quad's surface at (u, v) in [0, 1]^2 (fractions of the quad
// along x and z), split along its (0, 0)-(1, 1) diagonal.
float quadSurface(float h00, float h10, float h01, float h11, float u, float v) {
    if (v >= u) return h00 + v * (h01 - h00) + u * (h11 - h01);
    return h00 + u * (h10 - h00) + v * (h11 - h10);
}

}  // namespace

Ccdlod::Ccdlod(int gridDim) : dim(gridDim), requestedDim(gridDim) {}

Ccdlod::~Ccdlod() {
    // GL objects are freed by release() while the context is current; here
    // only memory goes.
}

Ccdlod& cdlodAlgorithm() {
    static Ccdlod instance;
    return instance;
}

bool Ccdlod::available(std::string& why) const {
    if (prepareProgram()) return true;
    why = shaderFailure;
    return false;
}

bool Ccdlod::prepareProgram() const {
    if (shaderState != 0) return shaderState > 0;
    shaderState = -1;
    const char* version = reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION));
    if (!version || std::atof(version) < 1.2) {
        shaderFailure = "CDLOD needs GLSL 1.20 vertex shaders, which this OpenGL lacks";
        while (glGetError() != GL_NO_ERROR) {
        }
        return false;
    }
    GLuint shader = glCreateShader(GL_VERTEX_SHADER);
    glShaderSource(shader, 1, &morphVertexShader, nullptr);
    glCompileShader(shader);
    GLint done = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &done);
    char log[512] = "";
    if (done != GL_TRUE) {
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        glDeleteShader(shader);
        shaderFailure = std::string("CDLOD's vertex shader does not compile on this OpenGL: ") + log;
        return false;
    }
    GLuint made = glCreateProgram();
    glAttachShader(made, shader);
    // The grid points drive the vertex (attribute 0, as gl_Vertex would).
    glBindAttribLocation(made, 0, "gridPoint");
    glBindAttribLocation(made, 1, "heights");
    glLinkProgram(made);
    glDeleteShader(shader);
    glGetProgramiv(made, GL_LINK_STATUS, &done);
    if (done != GL_TRUE) {
        glGetProgramInfoLog(made, sizeof log, nullptr, log);
        glDeleteProgram(made);
        shaderFailure = std::string("CDLOD's vertex shader does not link on this OpenGL: ") + log;
        return false;
    }
    program = made;
    while (glGetError() != GL_NO_ERROR) {
    }
    shaderState = 1;
    return true;
}

bool Ccdlod::setUp(const Cheightmap& grid, std::string& failure) {
    release();
    dim = requestedDim;
    if (!grid.data || grid.size < 3 || !powerOfTwo(grid.size - 1)) {
        failure = "its side must be 2^n + 1 samples";
        return false;
    }
    const int size = grid.size;
    const int leafDim = std::min(dim, size - 1);
    if (!powerOfTwo(leafDim) || leafDim < 2) {
        failure = "the grid mesh must be a power of two of at least 2 quads";
        return false;
    }
    dim = leafDim;
    gridSize = size;
    scaleX = grid.xScale;
    scaleZ = grid.zScale;
    top = 0;
    while ((dim << top) < size - 1) ++top;

    std::vector<float> sample(static_cast<size_t>(size) * size);
    for (int z = 0; z < size; ++z)
        for (int x = 0; x < size; ++x) sample[static_cast<size_t>(z) * size + x] = static_cast<float>(grid.height(x, z));
    auto at = [&](int x, int z) { return sample[static_cast<size_t>(z) * size + x]; };

    // The tree, root first, children after their parent (breadth first).
    tree.clear();
    CdlodNode root;
    root.level = top;
    root.cells = dim << top;
    tree.push_back(root);
    for (size_t i = 0; i < tree.size(); ++i) {
        if (tree[i].level == 0) continue;
        for (int c = 0; c < 4; ++c) {
            CdlodNode child;
            child.level = tree[i].level - 1;
            child.cells = tree[i].cells / 2;
            child.x = tree[i].x + (c & 1) * child.cells;
            child.z = tree[i].z + (c >> 1) * child.cells;
            tree[i].children[c] = static_cast<int>(tree.size());
            tree.push_back(child);
        }
    }

    const int side = dim + 1;
    const size_t perNode = static_cast<size_t>(nodeVertices());
    heights.assign(tree.size() * perNode * 2, 0.0f);
    levelErrors.assign(top + 1, 0.0f);
    levelDiagonals.assign(top + 1, 0.0f);
    levelAmplitudes.assign(top + 1, 0.0f);
    for (size_t n = 0; n < tree.size(); ++n) {
        CdlodNode& node = tree[n];
        node.firstVertex = n * perNode;
        const int step = 1 << node.level;
        float low = unbounded, high = -unbounded;
        for (int z = node.z; z <= node.z + node.cells; ++z)
            for (int x = node.x; x <= node.x + node.cells; ++x) {
                low = std::min(low, at(x, z));
                high = std::max(high, at(x, z));
            }
        node.minY = low;
        node.maxY = high;
        // Fine and coarse height of every vertex.
        float amplitude = 0.0f;
        for (int j = 0; j <= dim; ++j)
            for (int i = 0; i <= dim; ++i) {
                const int x = node.x + i * step, z = node.z + j * step;
                const float h = at(x, z);
                float c = h;
                if (node.level < top) {
                    if ((i & 1) && (j & 1))
                        c = (at(x - step, z - step) + at(x + step, z + step)) * 0.5f;
                    else if (i & 1)
                        c = (at(x - step, z) + at(x + step, z)) * 0.5f;
                    else if (j & 1)
                        c = (at(x, z - step) + at(x, z + step)) * 0.5f;
                }
                float* v = &heights[(node.firstVertex + static_cast<size_t>(j) * side + i) * 2];
                v[0] = h;
                v[1] = c;
                amplitude = std::max(amplitude, std::abs(c - h));
            }
        // The skirt vertices copy their border vertex's heights.
        for (int line = 0; line < 6; ++line)
            for (int t = 0; t <= dim; ++t) {
                const unsigned border = borderVertex(line, t), skirt = skirtVertex(line, t);
                heights[(node.firstVertex + skirt) * 2] = heights[(node.firstVertex + border) * 2];
                heights[(node.firstVertex + skirt) * 2 + 1] = heights[(node.firstVertex + border) * 2 + 1];
            }
        // The most any sample lies off the node's mesh.
        float worst = 0.0f;
        if (step > 1) {
            const float inv = 1.0f / static_cast<float>(step);
            for (int j = 0; j < dim; ++j)
                for (int i = 0; i < dim; ++i) {
                    const int x0 = node.x + i * step, z0 = node.z + j * step;
                    const float h00 = at(x0, z0), h10 = at(x0 + step, z0);
                    const float h01 = at(x0, z0 + step), h11 = at(x0 + step, z0 + step);
                    for (int dz = 0; dz <= step; ++dz)
                        for (int dx = 0; dx <= step; ++dx) {
                            const float surface =
                                quadSurface(h00, h10, h01, h11, static_cast<float>(dx) * inv, static_cast<float>(dz) * inv);
                            worst = std::max(worst, std::abs(at(x0 + dx, z0 + dz) - surface));
                        }
                }
        }
        node.error = worst;
        const float w = static_cast<float>(node.cells) * scaleX, d = static_cast<float>(node.cells) * scaleZ;
        const float diagonal = std::sqrt(w * w + d * d + (high - low) * (high - low));
        levelErrors[node.level] = std::max(levelErrors[node.level], worst);
        levelDiagonals[node.level] = std::max(levelDiagonals[node.level], diagonal);
        levelAmplitudes[node.level] = std::max(levelAmplitudes[node.level], amplitude);
    }
    for (int level = 1; level <= top; ++level) levelErrors[level] = std::max(levelErrors[level], levelErrors[level - 1]);
    ranges.assign(top + 1, unbounded);
    morphStarts.assign(top + 1, unbounded);
    buildPieces();
    leafLevels.assign(static_cast<size_t>((size - 1) / dim) * ((size - 1) / dim), -1);
    computeRanges();
    return true;
}

unsigned Ccdlod::borderVertex(int line, int t) const {
    const int side = dim + 1;
    // Lines 0-2: i = 0, dim / 2, dim (t = j); lines 3-5: j = 0, dim / 2, dim (t = i).
    const int fixed = (line % 3) * dim / 2;
    return static_cast<unsigned>(line < 3 ? t * side + fixed : fixed * side + t);
}

unsigned Ccdlod::skirtVertex(int line, int t) const {
    const int side = dim + 1;
    return static_cast<unsigned>(side * side + line * side + t);
}

void Ccdlod::buildPieces() {
    const int side = dim + 1, half = dim / 2;
    pieces.assign(5 + 5 * 4, {});
    auto quads = [&](std::vector<unsigned>& out, int i0, int j0, int count) {
        for (int j = j0; j < j0 + count; ++j)
            for (int i = i0; i < i0 + count; ++i) {
                const unsigned a = static_cast<unsigned>(j * side + i), b = a + 1;
                const unsigned c = a + static_cast<unsigned>(side), d = c + 1;
                // Counter-clockwise seen from above: (x, z), (x, z + 1), (x + 1, z + 1), ...
                const unsigned t[6] = {a, c, d, a, d, b};
                out.insert(out.end(), t, t + 6);
            }
    };
    quads(pieces[0], 0, 0, dim);
    for (int q = 0; q < 4; ++q) quads(pieces[1 + q], (q & 1) * half, (q >> 1) * half, half);
    // Skirts: for the whole mesh (0) and each quarter (1-4), its west,
    // east, south and north side, faced both ways.
    for (int piece = 0; piece < 5; ++piece) {
        const int q = piece - 1;
        const int qx = q < 0 ? 0 : (q & 1), qz = q < 0 ? 0 : (q >> 1);
        const int count = q < 0 ? dim : half;
        const int lines[4] = {q < 0 ? 0 : qx, q < 0 ? 2 : qx + 1, q < 0 ? 3 : 3 + qz, q < 0 ? 5 : 4 + qz};
        const int firsts[4] = {qz * half, qz * half, qx * half, qx * half};
        for (int sideIndex = 0; sideIndex < 4; ++sideIndex) {
            std::vector<unsigned>& out = pieces[5 + piece * 4 + sideIndex];
            for (int t = firsts[sideIndex]; t < firsts[sideIndex] + count; ++t) {
                const unsigned b0 = borderVertex(lines[sideIndex], t), b1 = borderVertex(lines[sideIndex], t + 1);
                const unsigned s0 = skirtVertex(lines[sideIndex], t), s1 = skirtVertex(lines[sideIndex], t + 1);
                const unsigned tri[12] = {b0, s0, b1, b1, s0, s1, b0, b1, s0, b1, s1, s0};
                out.insert(out.end(), tri, tri + 12);
            }
        }
    }
}

// Which sides of each area border an area of another level: the areas
// marked on a map of leaf squares.
void Ccdlod::markSkirts() {
    const int leaves = (gridSize - 1) / dim;
    std::fill(leafLevels.begin(), leafLevels.end(), -1);
    for (const CdlodArea& area : areas)
        for (int z = area.z / dim; z < (area.z + area.cells) / dim; ++z)
            for (int x = area.x / dim; x < (area.x + area.cells) / dim; ++x)
                leafLevels[static_cast<size_t>(z) * leaves + x] = static_cast<signed char>(area.level);
    auto differs = [&](int x, int z, int level) {
        if (x < 0 || z < 0 || x >= leaves || z >= leaves) return false;
        const int other = leafLevels[static_cast<size_t>(z) * leaves + x];
        return other >= 0 && other != level;
    };
    for (CdlodArea& area : areas) {
        area.skirts = 0;
        const int x0 = area.x / dim, z0 = area.z / dim, n = area.cells / dim;
        for (int t = 0; t < n; ++t) {
            if (differs(x0 - 1, z0 + t, area.level)) area.skirts |= 1;
            if (differs(x0 + n, z0 + t, area.level)) area.skirts |= 2;
            if (differs(x0 + t, z0 - 1, area.level)) area.skirts |= 4;
            if (differs(x0 + t, z0 + n, area.level)) area.skirts |= 8;
        }
    }
}

float Ccdlod::skirtDepth(int level) const {
    return skirtShare * static_cast<float>(1 << level) * std::max(scaleX, scaleZ);
}

int Ccdlod::areaTriangles(const CdlodArea& area) const {
    const int piece = area.quarter + 1;
    size_t indices = pieces[piece].size();
    for (int side = 0; side < 4; ++side)
        if (area.skirts & (1 << side)) indices += pieces[5 + piece * 4 + side].size();
    return static_cast<int>(indices / 3);
}

int Ccdlod::selectionTriangles() const {
    int total = 0;
    for (const CdlodArea& area : areas) total += areaTriangles(area);
    return total;
}

void Ccdlod::release() {
    if (gridBuffer || heightBuffer || indexBuffer) {
        const GLuint names[3] = {gridBuffer, heightBuffer, indexBuffer};
        glDeleteBuffers(3, names);
    }
    gridBuffer = heightBuffer = indexBuffer = 0;
    tree.clear();
    heights.clear();
    levelErrors.clear();
    levelDiagonals.clear();
    levelAmplitudes.clear();
    ranges.clear();
    morphStarts.clear();
    areas.clear();
    gridSize = 0;
    top = 0;
    drawnTriangles = 0;
}

float Ccdlod::range(int level) const {
    return level >= 0 && level < static_cast<int>(ranges.size()) ? ranges[level] : unbounded;
}

float Ccdlod::morphStart(int level) const {
    return level >= 0 && level < static_cast<int>(morphStarts.size()) ? morphStarts[level] : unbounded;
}

float Ccdlod::fineHeight(int node, int i, int j) const {
    return heights[(tree[node].firstVertex + static_cast<size_t>(j) * (dim + 1) + i) * 2];
}

float Ccdlod::coarseHeight(int node, int i, int j) const {
    return heights[(tree[node].firstVertex + static_cast<size_t>(j) * (dim + 1) + i) * 2 + 1];
}

float Ccdlod::morphFactor(int level, float x, float h, float z) const {
    float m[2];
    morphUniform(morphStart(level), range(level), m);
    return morphOf(x, h, z, eyePosition, m[0], m[1]);
}

void Ccdlod::computeRanges() {
    if (tree.empty()) return;
    const float leafWidth = static_cast<float>(dim) * std::max(scaleX, scaleZ);
    // Pixels per world unit of vertical error at distance 1, for the
    // view's corner (the nearest eye depth for a distance).
    float pixels = frustumPixelsPerUnit;
    if (pixels > 0.0f) {
        GLfloat projection[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        if (projection[0] != 0.0f && projection[5] != 0.0f) {
            const float tx = 1.0f / projection[0], ty = 1.0f / projection[5];
            pixels *= std::sqrt(1.0f + tx * tx + ty * ty);
        }
    }
    const bool byError = terrainErrorTolerance > 0.0f && pixels > 0.0f;
    const float keep = 1.0f - morphShare;
    float previous = 0.0f;
    for (int level = 0; level < top; ++level) {
        float r;
        if (byError) {
            // The range ends where level + 1's error is within the tolerance.
            r = levelErrors[level + 1] * pixels / terrainErrorTolerance;
        } else {
            r = 4.0f * leafWidth * static_cast<float>(1 << level);
        }
        if (level > 0) {
            r = std::max(r, 2.0f * previous);
            r = std::max(r, previous + levelDiagonals[level - 1] / keep);
        }
        r = std::max(r, 1e-3f);
        ranges[level] = r;
        morphStarts[level] = previous + keep * (r - previous);
        previous = r;
    }
    ranges[top] = unbounded;
    morphStarts[top] = unbounded;
}

bool Ccdlod::reaches(const CdlodNode& node, int quarter, float radius) const {
    if (!std::isfinite(radius)) return true;
    int x = node.x, z = node.z, cells = node.cells;
    if (quarter >= 0) {
        cells /= 2;
        x += (quarter & 1) * cells;
        z += (quarter >> 1) * cells;
    }
    const float low[3] = {static_cast<float>(x) * scaleX, node.minY, static_cast<float>(z) * scaleZ};
    const float high[3] = {static_cast<float>(x + cells) * scaleX, node.maxY, static_cast<float>(z + cells) * scaleZ};
    float squared = 0.0f;
    for (int axis = 0; axis < 3; ++axis) {
        const float d = std::clamp(eyePosition[axis], low[axis], high[axis]) - eyePosition[axis];
        squared += d * d;
    }
    return squared <= radius * radius;
}

bool Ccdlod::visible(const CdlodNode& node, int quarter) const {
    float x = static_cast<float>(node.x), z = static_cast<float>(node.z), cells = static_cast<float>(node.cells);
    if (quarter >= 0) {
        cells /= 2.0f;
        x += static_cast<float>(quarter & 1) * cells;
        z += static_cast<float>(quarter >> 1) * cells;
    }
    const float hx = cells * scaleX / 2.0f, hz = cells * scaleZ / 2.0f;
    return boxInFrustum(x * scaleX + hx, (node.minY + node.maxY) / 2.0f, z * scaleZ + hz, hx,
                        (node.maxY - node.minY) / 2.0f + 1e-3f, hz);
}

void Ccdlod::addArea(int node, int quarter) {
    const CdlodNode& n = tree[node];
    CdlodArea area;
    area.node = node;
    area.quarter = quarter;
    area.level = n.level;
    area.cells = quarter < 0 ? n.cells : n.cells / 2;
    area.x = n.x + (quarter < 0 ? 0 : (quarter & 1) * area.cells);
    area.z = n.z + (quarter < 0 ? 0 : (quarter >> 1) * area.cells);
    areas.push_back(area);
}

// True when the node's square is taken care of (drawn, or outside the
// view); false leaves it to the parent.
bool Ccdlod::selectNode(int index, int level) {
    const CdlodNode& node = tree[index];
    if (!reaches(node, -1, range(level))) return false;
    if (!visible(node, -1)) return true;
    if (level == 0 || !reaches(node, -1, range(level - 1))) {
        addArea(index, -1);
        return true;
    }
    for (int c = 0; c < 4; ++c) {
        if (selectNode(node.children[c], level - 1)) continue;
        if (visible(node, c)) addArea(index, c);
    }
    return true;
}

void Ccdlod::update() {
    areas.clear();
    if (tree.empty()) return;
    eyePosition[0] = frameCameraX;
    eyePosition[1] = frameCameraY;
    eyePosition[2] = frameCameraZ;
    computeRanges();
    selectNode(0, top);
    finestDrawn = top;
    coarsestDrawn = 0;
    for (const CdlodArea& area : areas) {
        finestDrawn = std::min(finestDrawn, area.level);
        coarsestDrawn = std::max(coarsestDrawn, area.level);
    }
    if (areas.empty()) finestDrawn = coarsestDrawn = 0;
    markSkirts();
}

bool Ccdlod::prepareBuffers() {
    if (indexBuffer) return true;
    if (tree.empty()) return false;
    const int side = dim + 1;
    // Grid points (i, j, 0), then the skirt points (i, j, 1) of the six lines.
    std::vector<float> points;
    points.reserve(static_cast<size_t>(nodeVertices()) * 3);
    for (int j = 0; j <= dim; ++j)
        for (int i = 0; i <= dim; ++i) points.insert(points.end(), {static_cast<float>(i), static_cast<float>(j), 0.0f});
    for (int line = 0; line < 6; ++line)
        for (int t = 0; t <= dim; ++t) {
            const unsigned border = borderVertex(line, t);
            points.insert(points.end(), {static_cast<float>(border % side), static_cast<float>(border / side), 1.0f});
        }
    std::vector<unsigned> indices;
    pieceFirst.clear();
    for (const std::vector<unsigned>& piece : pieces) {
        pieceFirst.push_back(indices.size());
        indices.insert(indices.end(), piece.begin(), piece.end());
    }

    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint names[3] = {0, 0, 0};
    glGenBuffers(3, names);
    glBindBuffer(GL_ARRAY_BUFFER, names[0]);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(points.size() * sizeof(float)), points.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, names[1]);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(heights.size() * sizeof(float)), heights.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, names[2]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(unsigned)), indices.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    if (glGetError() != GL_NO_ERROR || !names[0] || !names[1] || !names[2]) {
        glDeleteBuffers(3, names);
        return false;
    }
    gridBuffer = names[0];
    heightBuffer = names[1];
    indexBuffer = names[2];
    const GLuint p = program;
    uniforms.origin = glGetUniformLocation(p, "origin");
    uniforms.quadSize = glGetUniformLocation(p, "quadSize");
    uniforms.worldScale = glGetUniformLocation(p, "worldScale");
    uniforms.invSize = glGetUniformLocation(p, "invSize");
    uniforms.detailRepeat = glGetUniformLocation(p, "detailRepeat");
    uniforms.eye = glGetUniformLocation(p, "eye");
    uniforms.morph = glGetUniformLocation(p, "morph");
    uniforms.skirtDepth = glGetUniformLocation(p, "skirtDepth");
    uniforms.lastPoint = glGetUniformLocation(p, "lastPoint");
    return true;
}

void Ccdlod::passThunk(void* context, int multiTex, float repeat) {
    static_cast<Ccdlod*>(context)->drawPass(multiTex, repeat);
}

void Ccdlod::drawPass(int multiTex, float repeat) {
    glColor3ub(colourByte(terrainColour[0]), colourByte(terrainColour[1]), colourByte(terrainColour[2]));
    const bool twoSets = multiTex != 0 && multitextureReady();
    glUniform1f(uniforms.detailRepeat, twoSets ? repeat : 1.0f);
    for (const CdlodArea& area : areas) {
        const CdlodNode& node = tree[area.node];
        float morph[2];
        morphUniform(morphStart(node.level), range(node.level), morph);
        glUniform2f(uniforms.origin, static_cast<float>(node.x), static_cast<float>(node.z));
        glUniform1f(uniforms.quadSize, static_cast<float>(1 << node.level));
        glUniform2fv(uniforms.morph, 1, morph);
        glUniform1f(uniforms.skirtDepth, skirtDepth(node.level));
        glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 0,
                              reinterpret_cast<const void*>(node.firstVertex * 2 * sizeof(float)));
        const int piece = area.quarter + 1;
        auto drawPiece = [&](int index) {
            glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(pieces[index].size()), GL_UNSIGNED_INT,
                           reinterpret_cast<const void*>(pieceFirst[index] * sizeof(unsigned)));
        };
        drawPiece(piece);
        for (int side = 0; side < 4; ++side)
            if (area.skirts & (1 << side)) drawPiece(5 + piece * 4 + side);
        drawnTriangles += areaTriangles(area);
    }
}

void Ccdlod::draw() {
    drawnTriangles = 0;
    if (tree.empty() || areas.empty() || !prepareProgram() || !prepareBuffers()) return;
    // The colour is saved by hand, as brute force does.
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    GLint previousProgram = 0, previousArray = 0, previousElements = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previousProgram);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &previousArray);
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &previousElements);
    glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glFrontFace(GL_CCW);
    glEnable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);

    glUseProgram(program);
    glUniform2f(uniforms.worldScale, scaleX, scaleZ);
    glUniform1f(uniforms.invSize, 1.0f / static_cast<float>(gridSize));
    glUniform1f(uniforms.lastPoint, static_cast<float>(gridSize - 1));
    glUniform3fv(uniforms.eye, 1, eyePosition);
    glBindBuffer(GL_ARRAY_BUFFER, gridBuffer);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, heightBuffer);
    glEnableVertexAttribArray(1);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);

    if (splattingEnabled) {
        drawSplattingPasses(passThunk, this, false);
        if (lightmapEnabled) drawLightmapPass(passThunk, this, 1, true);
    } else {
        drawBaseTexturePass(passThunk, this);
        // Brute force darkens by the lightmap with and without splatting.
        if (lightmapEnabled) drawLightmapPass(passThunk, this, 0, true);
    }

    glDisableVertexAttribArray(0);
    glDisableVertexAttribArray(1);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLuint>(previousElements));
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(previousArray));
    glUseProgram(static_cast<GLuint>(previousProgram));
    glPopClientAttrib();
    glPopAttrib();
    glColor4fv(colour);
}

void Ccdlod::reportTitle() {
    reportTerrainTitle("CDLOD nodes %d levels %d-%d range %.1f", nodesDrawn(), finestDrawn, coarsestDrawn,
                       static_cast<double>(top > 0 ? range(0) : 0.0f));
}

void Ccdlod::morphedMesh(std::vector<float>& positions, bool withSkirts) const {
    positions.clear();
    const int side = dim + 1;
    std::vector<float> vertices(static_cast<size_t>(nodeVertices()) * 3);
    for (const CdlodArea& area : areas) {
        const CdlodNode& node = tree[area.node];
        const int step = 1 << node.level;
        float morph[2];
        morphUniform(morphStart(node.level), range(node.level), morph);
        const float drop = skirtDepth(node.level);
        // Every vertex of the node, as the shader places it.
        for (int v = 0; v < nodeVertices(); ++v) {
            const bool skirt = v >= side * side;
            const unsigned grid = skirt ? borderVertex((v - side * side) / side, (v - side * side) % side)
                                        : static_cast<unsigned>(v);
            const int i = static_cast<int>(grid % side), j = static_cast<int>(grid / side);
            const float* hv = &heights[(node.firstVertex + static_cast<size_t>(v)) * 2];
            const float gx = static_cast<float>(node.x) + static_cast<float>(i) * static_cast<float>(step);
            const float gz = static_cast<float>(node.z) + static_cast<float>(j) * static_cast<float>(step);
            const float x = gx * scaleX, z = gz * scaleZ;
            const float k = morphOf(x, hv[0], z, eyePosition, morph[0], morph[1]);
            float* out = &vertices[static_cast<size_t>(v) * 3];
            out[0] = x;
            // Skirt points on the map's border stay up: nothing outside hides them.
            const float last = static_cast<float>(gridSize - 1);
            const bool inside = std::min(std::min(gx, gz), std::min(last - gx, last - gz)) > 0.0f;
            out[1] = hv[0] * (1.0f - k) + hv[1] * k - (skirt && inside ? drop : 0.0f);
            out[2] = z;
        }
        const int piece = area.quarter + 1;
        auto emit = [&](int index) {
            for (unsigned corner : pieces[index]) {
                const float* v = &vertices[static_cast<size_t>(corner) * 3];
                positions.insert(positions.end(), v, v + 3);
            }
        };
        emit(piece);
        if (withSkirts)
            for (int sideIndex = 0; sideIndex < 4; ++sideIndex)
                if (area.skirts & (1 << sideIndex)) emit(5 + piece * 4 + sideIndex);
    }
}

void Ccdlod::drawMesh() {
    morphedMesh(meshScratch);
    if (meshScratch.empty()) return;
    GLint previousArray = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &previousArray);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, meshScratch.data());
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(meshScratch.size() / 3));
    glPopClientAttrib();
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(previousArray));
}

bool checkCdlodInvariants(const Ccdlod& cdlod, std::string& problem) {
    char text[256];
    auto fail = [&](const char* format, auto... values) {
        snprintf(text, sizeof text, format, values...);
        problem = text;
        return false;
    };
    const std::vector<CdlodNode>& nodes = cdlod.nodes();
    if (nodes.empty()) return true;
    const int dim = cdlod.gridDim();
    // The tree: children tile their parent, boxes and errors nest.
    for (size_t n = 0; n < nodes.size(); ++n) {
        const CdlodNode& node = nodes[n];
        if (node.cells != dim << node.level) return fail("node %zu: %d cells at level %d", n, node.cells, node.level);
        if (node.minY > node.maxY) return fail("node %zu: empty height range", n);
        if (node.error > cdlod.levelError(node.level)) return fail("node %zu: error above its level's", n);
        for (int c = 0; c < 4 && node.level > 0; ++c) {
            const CdlodNode& child = nodes[node.children[c]];
            if (child.level != node.level - 1 || child.x != node.x + (c & 1) * node.cells / 2 ||
                child.z != node.z + (c >> 1) * node.cells / 2)
                return fail("node %zu: child %d misplaced", n, c);
            if (child.minY < node.minY || child.maxY > node.maxY) return fail("node %zu: child %d box outside", n, c);
        }
        for (int j = 0; j <= dim; ++j)
            for (int i = 0; i <= dim; ++i) {
                const float h = cdlod.fineHeight(static_cast<int>(n), i, j);
                if (h < node.minY || h > node.maxY) return fail("node %zu: vertex outside its box", n);
                if (!(i & 1) && !(j & 1) && cdlod.coarseHeight(static_cast<int>(n), i, j) != h)
                    return fail("node %zu: vertex (%d, %d) of the coarser mesh morphs", n, i, j);
            }
    }
    // The ranges.
    const float keep = 1.0f - Ccdlod::morphShare;
    for (int level = 0; level < cdlod.topLevel(); ++level) {
        const float r = cdlod.range(level), previous = level > 0 ? cdlod.range(level - 1) : 0.0f;
        if (!(r > 0.0f) || !std::isfinite(r)) return fail("range %d is %g", level, static_cast<double>(r));
        if (level > 0 && r < 2.0f * previous * 0.9999f) return fail("range %d below twice the finer", level);
        if (level > 0 && r < (previous + cdlod.levelDiagonal(level - 1) / keep) * 0.9999f)
            return fail("range %d leaves no room for level %d's nodes", level, level - 1);
        const float m = cdlod.morphStart(level);
        if (std::abs(m - (previous + keep * (r - previous))) > 1e-3f * r) return fail("morph start %d misplaced", level);
    }
    if (std::isfinite(cdlod.range(cdlod.topLevel()))) return fail("the top level's range is bounded");

    // The selection: no overlap, each area within its range and beyond the
    // finer one, neighbours at most one level apart.
    const int size = cdlod.size();
    std::vector<int> levelAt(static_cast<size_t>(size - 1) * (size - 1), -1);
    const float* eye = cdlod.eye();
    auto boxDistance = [&](int x, int z, int cells, float minY, float maxY, bool farthest) {
        const float low[3] = {static_cast<float>(x) * cdlod.xScale(), minY, static_cast<float>(z) * cdlod.zScale()};
        const float high[3] = {static_cast<float>(x + cells) * cdlod.xScale(), maxY,
                               static_cast<float>(z + cells) * cdlod.zScale()};
        float squared = 0.0f;
        for (int axis = 0; axis < 3; ++axis) {
            const float d = farthest ? std::max(std::abs(eye[axis] - low[axis]), std::abs(eye[axis] - high[axis]))
                                     : std::clamp(eye[axis], low[axis], high[axis]) - eye[axis];
            squared += d * d;
        }
        return std::sqrt(squared);
    };
    for (const CdlodArea& area : cdlod.selection()) {
        const CdlodNode& node = nodes[area.node];
        if (area.level != node.level) return fail("area of node %d at level %d", area.node, area.level);
        const float nearest = boxDistance(node.x, node.z, node.cells, node.minY, node.maxY, false);
        if (nearest > cdlod.range(area.level) * 1.0001f) return fail("node %d drawn beyond its range", area.node);
        if (area.level > 0) {
            const CdlodNode& finer = area.quarter < 0 ? node : nodes[node.children[area.quarter]];
            const float d = area.quarter < 0 ? boxDistance(node.x, node.z, node.cells, node.minY, node.maxY, false)
                                             : boxDistance(finer.x, finer.z, finer.cells, finer.minY, finer.maxY, false);
            if (d < cdlod.range(area.level - 1) * 0.9999f)
                return fail("node %d drawn at level %d within the finer range", area.node, area.level);
        }
        if (area.level + 1 <= cdlod.topLevel()) {
            // Every point of the area lies where level + 1 has not begun to morph.
            const float farthest = boxDistance(node.x, node.z, node.cells, node.minY, node.maxY, true);
            if (farthest > cdlod.morphStart(area.level + 1) * 1.0001f)
                return fail("node %d reaches level %d's morph", area.node, area.level + 1);
        }
        for (int z = area.z; z < area.z + area.cells; ++z)
            for (int x = area.x; x < area.x + area.cells; ++x) {
                int& cell = levelAt[static_cast<size_t>(z) * (size - 1) + x];
                if (cell >= 0) return fail("cell (%d, %d) drawn twice", x, z);
                cell = area.level;
            }
    }
    for (int z = 0; z < size - 1; ++z)
        for (int x = 0; x < size - 1; ++x) {
            const int here = levelAt[static_cast<size_t>(z) * (size - 1) + x];
            if (here < 0) continue;
            const int east = x + 1 < size - 1 ? levelAt[static_cast<size_t>(z) * (size - 1) + x + 1] : -1;
            const int north = z + 1 < size - 1 ? levelAt[static_cast<size_t>(z + 1) * (size - 1) + x] : -1;
            if ((east >= 0 && std::abs(east - here) > 1) || (north >= 0 && std::abs(north - here) > 1))
                return fail("levels more than one apart at cell (%d, %d)", x, z);
        }
    return true;
}
