// clipmap.cpp -- geometry clipmaps; see clipmap.h.
//
// Rule shared with bruteForce.cpp and splatting.cpp: each pass leaves unit 0
// active and restores its enables, blending and colour. The footprint draws
// also put back the program, the buffers, the client arrays and the binding
// of texture unit 2 (the heights) as they found them.
#include "terrain/clipmap.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "camera/camera.h"
#include "camera/frustum.h"
#include "image/tga.h"
#include "scene/sceneConfig.h"
#include "terrain/heightmap.h"
#include "terrain/splatting.h"
#include "terrain/terrainFrame.h"
#include "util/output.h"

namespace {

enum Footprint {
    footBlock,   // m x m
    footFixV,    // 3 x m
    footFixH,    // m x 3
    footTrimV,   // 2 x (2m + 1)
    footTrimH,   // 2m x 2
    footCentre,  // 3 x 3
    footSeal,    // the outer edge's zero-area triangles
    footprintKinds
};

// Texture unit of the level heights: units 0 and 1 belong to the passes.
constexpr GLenum heightUnit = GL_TEXTURE2;
constexpr int heightUnitIndex = 2;

GLubyte colourByte(float value) { return static_cast<GLubyte>(std::clamp(value, 0.0f, 255.0f)); }

int positiveModulo(int value, int divisor) {
    const int r = value % divisor;
    return r < 0 ? r + divisor : r;
}

// The shader mirrors Cclipmap::vertexPosition operation for operation.
const char* const clipmapVertexShader =
    "#version 120\n"
    "invariant gl_Position;\n"
    "uniform sampler2D heights;\n"
    "uniform vec2 block;      // footprint's first lattice point, level units\n"
    "uniform vec2 origin;     // window's first lattice point\n"
    "uniform vec2 viewer;     // clamped viewer, level units\n"
    "uniform vec4 lattice;    // spacing, last lattice index, size - 1, n\n"
    "uniform vec3 blend;      // (n - 1) / 2 - w - 1, w, 1 when a coarser level exists\n"
    "uniform vec3 scale;      // xScale, zScale, 1 / size\n"
    "uniform vec2 coords;     // repeat of unit 0, 1 for two coordinate sets\n"
    "void main() {\n"
    "    vec2 g = clamp(block + gl_Vertex.xy, 0.0, lattice.y);\n"
    "    vec2 p = min(g * lattice.x, lattice.z);\n"
    "    vec4 h = texture2DLod(heights, (g + 0.5) / lattice.w, 0.0);\n"
    "    vec2 d = clamp((abs(g - viewer) - blend.x) / blend.y, 0.0, 1.0);\n"
    "    float a = max(d.x, d.y);\n"
    "    vec2 local = g - origin;\n"
    "    if (local.x == 0.0 || local.y == 0.0 || local.x == lattice.w - 1.0 || local.y == lattice.w - 1.0) a = 1.0;\n"
    "    a *= blend.z;\n"
    "    float y = h.r * (1.0 - a) + h.a * a;\n"
    "    vec4 world = vec4(p.x * scale.x, y, p.y * scale.y, 1.0);\n"
    "    gl_Position = gl_ModelViewProjectionMatrix * world;\n"
    "    gl_ClipVertex = gl_ModelViewMatrix * world;\n"
    "    vec2 st = p * scale.z;\n"
    "    gl_TexCoord[0] = vec4(coords.y > 0.5 ? st * coords.x : st, 0.0, 1.0);\n"
    "    gl_TexCoord[1] = vec4(st, 0.0, 1.0);\n"
    "    gl_FrontColor = gl_Color;\n"
    "    gl_BackColor = gl_Color;\n"
    "}\n";

GLuint compileVertexProgram() {
    GLuint shader = glCreateShader(GL_VERTEX_SHADER);
    glShaderSource(shader, 1, &clipmapVertexShader, nullptr);
    glCompileShader(shader);
    GLint done = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &done);
    if (done != GL_TRUE) {
        char log[1024] = "";
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        outputPrintf("Geometry Clipmaps: the vertex shader does not compile: %s\n", log);
        glDeleteShader(shader);
        return 0;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, shader);
    glLinkProgram(program);
    glDeleteShader(shader);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

bool hasExtension(const char* name) {
    const char* list = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (!list) return false;
    const size_t length = std::strlen(name);
    for (const char* at = std::strstr(list, name); at; at = std::strstr(at + 1, name))
        if ((at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0')) return true;
    return false;
}

}  // namespace

int clipmapLevelsFor(int n, int size) {
    const int reach = (n - 1) / 2 - 1;
    int levels = 1;
    while (static_cast<long>(reach) << (levels - 1) < size - 1 && levels < 30) ++levels;
    return levels;
}

Cclipmap& clipmapAlgorithm() {
    static Cclipmap entry;
    return entry;
}

Cclipmap::~Cclipmap() {
    // No context may be current when the program ends: the GL objects go
    // with it.
}

bool Cclipmap::available(std::string& why) const {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const char* glsl = reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION));
    if (!version || std::atof(version) < 2.0 || !glsl || std::atof(glsl) < 1.2) {
        why = "Geometry Clipmaps need OpenGL 2.0 with GLSL 1.20 vertex shaders";
        return false;
    }
    GLint vertexUnits = 0, allUnits = 0;
    glGetIntegerv(GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS, &vertexUnits);
    glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &allUnits);
    if (vertexUnits < 1 || allUnits <= heightUnitIndex) {
        why = "Geometry Clipmaps need vertex texture fetch (this OpenGL has no vertex texture units)";
        return false;
    }
    if (std::atof(version) < 3.0 && !hasExtension("GL_ARB_texture_float")) {
        why = "Geometry Clipmaps need float textures (GL_ARB_texture_float)";
        return false;
    }
    return true;
}

bool Cclipmap::setUp(const Cheightmap& grid, std::string& failure) {
    release();
    if (!grid.data || grid.size < 3) {
        failure = "no height grid is loaded";
        return false;
    }
    heights = &grid;
    lowest = highest = static_cast<float>(grid.height(0, 0));
    for (int z = 0; z < grid.size; ++z)
        for (int x = 0; x < grid.size; ++x) {
            const float h = static_cast<float>(grid.height(x, z));
            lowest = std::min(lowest, h);
            highest = std::max(highest, h);
        }
    try {
        measureLevelErrors();
    } catch (const std::bad_alloc&) {
        failure = "not enough memory";
        release();
        return false;
    }
    return true;
}

void Cclipmap::freeGl() {
    for (ClipmapLevel& level : levelState)
        if (level.texture) {
            const GLuint name = level.texture;
            glDeleteTextures(1, &name);
            level.texture = 0;
        }
    if (vertexBuffer || indexBuffer) {
        const GLuint names[2] = {vertexBuffer, indexBuffer};
        glDeleteBuffers(2, names);
    }
    vertexBuffer = indexBuffer = 0;
}

void Cclipmap::release() {
    freeGl();
    if (program) glDeleteProgram(program);
    program = 0;
    programTried = 0;
    heights = nullptr;
    n = 0;
    levelState.clear();
    footprintSet.clear();
    localPoints.clear();
    localIndices.clear();
    frameItems.clear();
    errors.clear();
    drawnTriangles = passTriangles = lastSamplesWritten = 0;
}

// The largest distance from a sample to the lattice surface of spacing s
// (every s-th sample, cells split like brute force's strips), per level.
void Cclipmap::measureLevelErrors() {
    const Cheightmap& grid = *heights;
    const int last = grid.size - 1;
    errors.assign(1, 0.0f);
    for (int s = 2; s <= last; s *= 2) {
        double worst = 0.0;
        for (int z = 0; z <= last; ++z) {
            const int z0 = std::min(z / s * s, last - 1), z1 = std::min(z0 + s, last);
            const double v = static_cast<double>(z - z0) / (z1 - z0);
            for (int x = 0; x <= last; ++x) {
                const int x0 = std::min(x / s * s, last - 1), x1 = std::min(x0 + s, last);
                const double u = static_cast<double>(x - x0) / (x1 - x0);
                const double h00 = grid.height(x0, z0), h10 = grid.height(x1, z0);
                const double h01 = grid.height(x0, z1), h11 = grid.height(x1, z1);
                const double surface = u + v <= 1.0 ? h00 + u * (h10 - h00) + v * (h01 - h00)
                                                    : h11 + (1.0 - u) * (h01 - h11) + (1.0 - v) * (h10 - h11);
                worst = std::max(worst, std::abs(grid.height(x, z) - surface));
            }
        }
        errors.push_back(static_cast<float>(worst));
    }
}

float Cclipmap::levelError(int l) const {
    if (l <= 0 || errors.empty()) return 0.0f;
    return errors[static_cast<size_t>(std::min(l, static_cast<int>(errors.size()) - 1))];
}

int Cclipmap::sizeFor(float tolerance, float pixelsPerUnit) const {
    if (!(tolerance > 0.0f) || !(pixelsPerUnit > 0.0f) || !heights) return clipmapDefaultSize;
    const float cell = std::min(heights->xScale, heights->zScale);
    for (int candidate = clipmapSmallestSize; candidate <= clipmapLargestSize; candidate = candidate * 2 + 1) {
        const int levels = clipmapLevelsFor(candidate, heights->size);
        const float reach = static_cast<float>((candidate - 1) / 2 - 1) * cell;
        bool within = true;
        for (int l = 1; l < levels && within; ++l) {
            const float distance = reach * static_cast<float>(1 << (l - 1));
            if (levelError(l) * pixelsPerUnit / distance > tolerance) within = false;
        }
        if (within) return candidate;
    }
    return clipmapLargestSize;
}

void Cclipmap::footprintPoint(int f, unsigned k, int& x, int& z) const {
    const size_t at = (footprintSet[static_cast<size_t>(f)].firstVertex + k) * 2;
    x = static_cast<int>(localPoints[at]);
    z = static_cast<int>(localPoints[at + 1]);
}

void Cclipmap::buildFootprints() {
    const int m = (n + 1) / 4;
    footprintSet.assign(footprintKinds, {});
    localPoints.clear();
    localIndices.clear();
    auto grid = [&](int kind, int width, int depth) {
        ClipmapFootprint& f = footprintSet[kind];
        f.width = width;
        f.depth = depth;
        f.firstVertex = static_cast<unsigned>(localPoints.size() / 2);
        f.firstIndex = static_cast<unsigned>(localIndices.size());
        for (int z = 0; z < depth; ++z)
            for (int x = 0; x < width; ++x) {
                localPoints.push_back(static_cast<float>(x));
                localPoints.push_back(static_cast<float>(z));
            }
        // Each cell split from (x, z + 1) to (x + 1, z), counter-clockwise from above.
        for (int z = 0; z + 1 < depth; ++z)
            for (int x = 0; x + 1 < width; ++x) {
                const unsigned v00 = static_cast<unsigned>(z * width + x), v10 = v00 + 1;
                const unsigned v01 = v00 + static_cast<unsigned>(width), v11 = v01 + 1;
                const unsigned cell[6] = {v00, v01, v10, v10, v01, v11};
                localIndices.insert(localIndices.end(), cell, cell + 6);
            }
        f.indexCount = static_cast<unsigned>(localIndices.size()) - f.firstIndex;
    };
    grid(footBlock, m, m);
    grid(footFixV, 3, m);
    grid(footFixH, m, 3);
    grid(footTrimV, 2, 2 * m + 1);
    grid(footTrimH, 2 * m, 2);
    grid(footCentre, 3, 3);

    // The seal: along each side of the window, the triangle of two even
    // boundary points and the odd one between, wound so that it faces up
    // when the odd point lies inside the window (where a crack would open).
    ClipmapFootprint& seal = footprintSet[footSeal];
    seal.width = seal.depth = n;
    seal.seal = true;
    seal.firstVertex = static_cast<unsigned>(localPoints.size() / 2);
    seal.firstIndex = static_cast<unsigned>(localIndices.size());
    const int last = n - 1;
    unsigned next = 0;
    auto point = [&](int x, int z) {
        localPoints.push_back(static_cast<float>(x));
        localPoints.push_back(static_cast<float>(z));
        return next++;
    };
    const int sides[4][4] = {{0, 0, 1, 0}, {last, 0, 0, 1}, {last, last, -1, 0}, {0, last, 0, -1}};
    for (const auto& side : sides) {
        for (int k = 0; k < last; k += 2) {
            const int x0 = side[0] + side[2] * k, z0 = side[1] + side[3] * k;
            const int x2 = x0 + 2 * side[2], z2 = z0 + 2 * side[3];
            const int x1 = x0 + side[2], z1 = z0 + side[3];
            // A point inside the window next to the odd one.
            const int ix = std::clamp(x1 + (x1 == 0 ? 1 : x1 == last ? -1 : 0), 0, last);
            const int iz = std::clamp(z1 + (z1 == 0 ? 1 : z1 == last ? -1 : 0), 0, last);
            const unsigned a = point(x0, z0), b = point(x2, z2), c = point(x1, z1);
            // Front faces have a negative x-z cross product (see the cells above).
            const long cross = static_cast<long>(x2 - x0) * (iz - z0) - static_cast<long>(z2 - z0) * (ix - x0);
            const unsigned triangle[3] = {cross < 0 ? a : b, cross < 0 ? b : a, c};
            localIndices.insert(localIndices.end(), triangle, triangle + 3);
        }
    }
    seal.indexCount = static_cast<unsigned>(localIndices.size()) - seal.firstIndex;
}

void Cclipmap::build(int newSize) {
    freeGl();
    n = newSize;
    transitionWidth = std::max(1, n / 10);
    const int count = clipmapLevelsFor(n, heights->size);
    levelState.assign(static_cast<size_t>(count), {});
    for (int l = 0; l < count; ++l) {
        ClipmapLevel& level = levelState[static_cast<size_t>(l)];
        level.spacing = 1 << l;
        level.lastLattice = (heights->size - 1 + level.spacing - 1) / level.spacing;
        level.mirror.assign(static_cast<size_t>(n) * n * 2, 0.0f);
    }
    buildFootprints();
}

bool Cclipmap::prepareGl() {
    if (!programTried) {
        programTried = 1;
        std::string why;
        if (available(why)) program = compileVertexProgram();
        const char* names[8] = {"heights", "scale", "coords", "block", "origin", "viewer", "lattice", "blend"};
        for (int i = 0; i < 8 && program; ++i) uniforms[i] = glGetUniformLocation(program, names[i]);
        while (glGetError() != GL_NO_ERROR) {
        }
    }
    if (!program) return false;
    if (!vertexBuffer) {
        GLint arrayBinding = 0, elementBinding = 0;
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBinding);
        glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &elementBinding);
        GLuint names[2] = {0, 0};
        glGenBuffers(2, names);
        vertexBuffer = names[0];
        indexBuffer = names[1];
        glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(localPoints.size() * sizeof(float)),
                     localPoints.data(), GL_STATIC_DRAW);
        // The index buffer holds absolute vertex numbers.
        std::vector<unsigned> absolute(localIndices.size());
        for (const ClipmapFootprint& f : footprintSet)
            for (unsigned i = 0; i < f.indexCount; ++i)
                absolute[f.firstIndex + i] = localIndices[f.firstIndex + i] + f.firstVertex;
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(absolute.size() * sizeof(unsigned)),
                     absolute.data(), GL_STATIC_DRAW);
        glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBinding));
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLuint>(elementBinding));
    }
    return true;
}

void Cclipmap::placeLevels(float viewerX, float viewerZ) {
    const float last = static_cast<float>(heights->size - 1);
    const float vx = std::clamp(viewerX / heights->xScale, 0.0f, last);
    const float vz = std::clamp(viewerZ / heights->zScale, 0.0f, last);
    const int half = (n - 1) / 2, m = (n + 1) / 4;
    for (size_t l = 0; l < levelState.size(); ++l) {
        ClipmapLevel& level = levelState[l];
        const float v[2] = {vx / static_cast<float>(level.spacing), vz / static_cast<float>(level.spacing)};
        for (int axis = 0; axis < 2; ++axis) {
            level.viewer[axis] = v[axis];
            if (l == 0) {
                level.origin[axis] = 2 * static_cast<int>(std::floor((v[axis] - static_cast<float>(half)) * 0.5f + 0.5f));
            } else {
                const int finer = levelState[l - 1].origin[axis] / 2;
                const bool low = positiveModulo(finer - (m - 1), 2) == 0;
                level.origin[axis] = low ? finer - (m - 1) : finer - m;
                // The finer window at m - 1 leaves the trim's cell on the high side.
                level.trimHigh[axis] = low ? 1 : 0;
            }
        }
    }
}

// Height and coarser height of level l's lattice point (gx, gz), written
// into its texel of the mirror.
void Cclipmap::writeTexel(int l, int gx, int gz) {
    ClipmapLevel& level = levelState[static_cast<size_t>(l)];
    const int s = level.spacing, last = heights->size - 1;
    const int cx = std::clamp(gx, 0, level.lastLattice), cz = std::clamp(gz, 0, level.lastLattice);
    auto at = [&](int x, int z) {
        x = std::clamp(x, 0, level.lastLattice);
        z = std::clamp(z, 0, level.lastLattice);
        return static_cast<float>(heights->height(std::min(x * s, last), std::min(z * s, last)));
    };
    const float fine = at(cx, cz);
    float coarse = fine;
    if (static_cast<size_t>(l) + 1 < levelState.size()) {
        const bool oddX = (cx & 1) != 0, oddZ = (cz & 1) != 0;
        if (oddX && oddZ)  // the coarser cell's diagonal, (x, z + 1) - (x + 1, z)
            coarse = (at(cx - 1, cz + 1) + at(cx + 1, cz - 1)) * 0.5f;
        else if (oddX)
            coarse = (at(cx - 1, cz) + at(cx + 1, cz)) * 0.5f;
        else if (oddZ)
            coarse = (at(cx, cz - 1) + at(cx, cz + 1)) * 0.5f;
    }
    const size_t texel = static_cast<size_t>(positiveModulo(gz, n)) * n + positiveModulo(gx, n);
    level.mirror[texel * 2] = fine;
    level.mirror[texel * 2 + 1] = coarse;
    ++lastSamplesWritten;
}

// Uploads texel columns first .. first + count - 1 (mod n), all rows.
void Cclipmap::uploadColumns(int l, int first, int count) {
    const ClipmapLevel& level = levelState[static_cast<size_t>(l)];
    first = positiveModulo(first, n);
    while (count > 0) {
        const int run = std::min(count, n - first);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, first);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        glTexSubImage2D(GL_TEXTURE_2D, 0, first, 0, run, n, GL_LUMINANCE_ALPHA, GL_FLOAT, level.mirror.data());
        count -= run;
        first = 0;
    }
}

// Uploads texel rows first .. first + count - 1 (mod n), all columns.
void Cclipmap::uploadRows(int l, int first, int count) {
    const ClipmapLevel& level = levelState[static_cast<size_t>(l)];
    first = positiveModulo(first, n);
    while (count > 0) {
        const int run = std::min(count, n - first);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, first);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, first, n, run, GL_LUMINANCE_ALPHA, GL_FLOAT, level.mirror.data());
        count -= run;
        first = 0;
    }
}

// Brings level l's texture to its window: the rows and columns that came
// in, or all of it after a jump of n or more lattice points.
void Cclipmap::refreshLevel(int l) {
    ClipmapLevel& level = levelState[static_cast<size_t>(l)];
    const int ox = level.origin[0], oz = level.origin[1];
    const int dx = ox - level.stored[0], dz = oz - level.stored[1];
    if (level.filled && dx == 0 && dz == 0) return;
    const bool whole = !level.filled || std::abs(dx) >= n || std::abs(dz) >= n;
    if (!level.texture) {
        GLuint name = 0;
        glGenTextures(1, &name);
        level.texture = name;
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE_ALPHA32F_ARB, n, n, 0, GL_LUMINANCE_ALPHA, GL_FLOAT, nullptr);
    } else {
        glBindTexture(GL_TEXTURE_2D, level.texture);
    }
    if (whole) {
        for (int gz = oz; gz < oz + n; ++gz)
            for (int gx = ox; gx < ox + n; ++gx) writeTexel(l, gx, gz);
        uploadRows(l, 0, n);
    } else {
        // New columns over the whole new window, then new rows over the
        // columns that were already there.
        const int colFirst = dx > 0 ? level.stored[0] + n : ox;
        const int colCount = std::abs(dx);
        for (int gx = colFirst; gx < colFirst + colCount; ++gx)
            for (int gz = oz; gz < oz + n; ++gz) writeTexel(l, gx, gz);
        const int keptFirst = dx > 0 ? ox : ox + colCount, keptEnd = dx > 0 ? ox + n - colCount : ox + n;
        const int rowFirst = dz > 0 ? level.stored[1] + n : oz;
        const int rowCount = std::abs(dz);
        for (int gz = rowFirst; gz < rowFirst + rowCount; ++gz)
            for (int gx = keptFirst; gx < keptEnd; ++gx) writeTexel(l, gx, gz);
        if (colCount) uploadColumns(l, colFirst, colCount);
        if (rowCount) uploadRows(l, rowFirst, rowCount);
    }
    level.stored[0] = ox;
    level.stored[1] = oz;
    level.filled = true;
}

// Every footprint of level l's ring (level 0: its square), unculled.
void Cclipmap::ringLayout(int l, std::vector<ClipmapItem>& out) const {
    const int m = (n + 1) / 4;
    const int at[4] = {0, m - 1, 2 * m, 3 * m - 1};
    auto add = [&](int f, int x, int z) { out.push_back({f, l, {x, z}}); };
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) {
            const bool middle = (i == 1 || i == 2) && (j == 1 || j == 2);
            if (!middle || l == 0) add(footBlock, at[i], at[j]);
        }
    add(footFixV, 2 * m - 2, 0);
    add(footFixV, 2 * m - 2, 3 * m - 1);
    add(footFixH, 0, 2 * m - 2);
    add(footFixH, 3 * m - 1, 2 * m - 2);
    if (l == 0) {
        add(footFixV, 2 * m - 2, m - 1);
        add(footFixV, 2 * m - 2, 2 * m);
        add(footFixH, m - 1, 2 * m - 2);
        add(footFixH, 2 * m, 2 * m - 2);
        add(footCentre, 2 * m - 2, 2 * m - 2);
    } else {
        const ClipmapLevel& level = levelState[static_cast<size_t>(l)];
        const int tx = level.trimHigh[0] ? 3 * m - 2 : m - 1;
        const int tz = level.trimHigh[1] ? 3 * m - 2 : m - 1;
        add(footTrimV, tx, m - 1);
        add(footTrimH, level.trimHigh[0] ? m - 1 : m, tz);
    }
    if (static_cast<size_t>(l) + 1 < levelState.size()) add(footSeal, 0, 0);
}

void Cclipmap::chooseItems() {
    frameItems.clear();
    std::vector<ClipmapItem> ring;
    const float last = static_cast<float>(heights->size - 1);
    const float centreY = (lowest + highest) * 0.5f, halfY = std::max((highest - lowest) * 0.5f, 0.5f);
    for (int l = 0; l < static_cast<int>(levelState.size()); ++l) {
        const ClipmapLevel& level = levelState[static_cast<size_t>(l)];
        ring.clear();
        ringLayout(l, ring);
        for (const ClipmapItem& item : ring) {
            const ClipmapFootprint& f = footprintSet[static_cast<size_t>(item.footprint)];
            const float s = static_cast<float>(level.spacing);
            // Grid extent of the footprint, cut to the map.
            const float x0 = std::max(static_cast<float>(level.origin[0] + item.local[0]) * s, 0.0f);
            const float z0 = std::max(static_cast<float>(level.origin[1] + item.local[1]) * s, 0.0f);
            const float x1 = std::min(static_cast<float>(level.origin[0] + item.local[0] + f.width - 1) * s, last);
            const float z1 = std::min(static_cast<float>(level.origin[1] + item.local[1] + f.depth - 1) * s, last);
            if (!f.seal && (x1 <= x0 || z1 <= z0)) continue;  // wholly off the map
            const float hx = (x1 - x0) * 0.5f * heights->xScale, hz = (z1 - z0) * 0.5f * heights->zScale;
            if (!f.seal && !boxInFrustum((x0 + x1) * 0.5f * heights->xScale, centreY,
                                         (z0 + z1) * 0.5f * heights->zScale, std::max(hx, 0.5f), halfY,
                                         std::max(hz, 0.5f)))
                continue;
            frameItems.push_back(item);
        }
    }
}

void Cclipmap::update() {
    lastSamplesWritten = 0;
    if (!heights) return;
    const bool fixed = fixedSize >= clipmapSmallestSize && fixedSize <= clipmapLargestSize && ((fixedSize + 1) & fixedSize) == 0;
    const int wanted = fixed ? fixedSize : sizeFor(terrainErrorTolerance, frustumPixelsPerUnit);
    if (wanted != n) build(wanted);
    if (!prepareGl()) return;
    placeLevels(frameCameraX, frameCameraZ);
    GLint active = 0, binding = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glActiveTexture(heightUnit);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &binding);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, n);
    for (int l = 0; l < static_cast<int>(levelState.size()); ++l) refreshLevel(l);
    glPopClientAttrib();
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(binding));
    glActiveTexture(static_cast<GLenum>(active));
    chooseItems();
}

void Cclipmap::vertexPosition(int l, int gx, int gz, float out[3]) const {
    const ClipmapLevel& level = levelState[static_cast<size_t>(l)];
    const float lastLattice = static_cast<float>(level.lastLattice);
    const float g[2] = {std::clamp(static_cast<float>(gx), 0.0f, lastLattice),
                        std::clamp(static_cast<float>(gz), 0.0f, lastLattice)};
    const float spacing = static_cast<float>(level.spacing), lastCell = static_cast<float>(heights->size - 1);
    const float p[2] = {std::min(g[0] * spacing, lastCell), std::min(g[1] * spacing, lastCell)};
    const size_t texel = static_cast<size_t>(positiveModulo(static_cast<int>(g[1]), n)) * n +
                         static_cast<size_t>(positiveModulo(static_cast<int>(g[0]), n));
    const float fine = level.mirror[texel * 2], coarse = level.mirror[texel * 2 + 1];
    const float start = static_cast<float>((n - 1) / 2 - transitionWidth - 1), width = static_cast<float>(transitionWidth);
    float a = 0.0f;
    for (int axis = 0; axis < 2; ++axis)
        a = std::max(a, std::clamp((std::abs(g[axis] - level.viewer[axis]) - start) / width, 0.0f, 1.0f));
    const float local[2] = {g[0] - static_cast<float>(level.origin[0]), g[1] - static_cast<float>(level.origin[1])};
    const float edge = static_cast<float>(n - 1);
    if (local[0] == 0.0f || local[1] == 0.0f || local[0] == edge || local[1] == edge) a = 1.0f;
    if (static_cast<size_t>(l) + 1 >= levelState.size()) a = 0.0f;
    out[0] = p[0] * heights->xScale;
    out[1] = fine * (1.0f - a) + coarse * a;
    out[2] = p[1] * heights->zScale;
}

void Cclipmap::drawItems(bool twoSets, float repeat) {
    if (!program || frameItems.empty()) return;
    GLint previousProgram = 0, active = 0, binding = 0, arrayBinding = 0, elementBinding = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previousProgram);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBinding);
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &elementBinding);
    glActiveTexture(heightUnit);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &binding);

    glUseProgram(program);
    const float last = static_cast<float>(heights->size - 1);
    glUniform1i(uniforms[0], heightUnitIndex);
    glUniform3f(uniforms[1], heights->xScale, heights->zScale, 1.0f / static_cast<float>(heights->size));
    glUniform2f(uniforms[2], repeat, twoSets ? 1.0f : 0.0f);
    const GLint blockAt = uniforms[3], originAt = uniforms[4], viewerAt = uniforms[5];
    const GLint latticeAt = uniforms[6], blendAt = uniforms[7];

    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, nullptr);
    int shownLevel = -1;
    for (const ClipmapItem& item : frameItems) {
        const ClipmapLevel& level = levelState[static_cast<size_t>(item.level)];
        if (item.level != shownLevel) {
            shownLevel = item.level;
            glBindTexture(GL_TEXTURE_2D, level.texture);
            glUniform2f(originAt, static_cast<float>(level.origin[0]), static_cast<float>(level.origin[1]));
            glUniform2f(viewerAt, level.viewer[0], level.viewer[1]);
            glUniform4f(latticeAt, static_cast<float>(level.spacing), static_cast<float>(level.lastLattice), last,
                        static_cast<float>(n));
            const bool coarser = static_cast<size_t>(item.level) + 1 < levelState.size();
            glUniform3f(blendAt, static_cast<float>((n - 1) / 2 - transitionWidth - 1),
                        static_cast<float>(transitionWidth), coarser ? 1.0f : 0.0f);
        }
        const ClipmapFootprint& f = footprintSet[static_cast<size_t>(item.footprint)];
        glUniform2f(blockAt, static_cast<float>(level.origin[0] + item.local[0]),
                    static_cast<float>(level.origin[1] + item.local[1]));
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(f.indexCount), GL_UNSIGNED_INT,
                       reinterpret_cast<const void*>(static_cast<size_t>(f.firstIndex) * sizeof(unsigned)));
        passTriangles += static_cast<int>(f.indexCount / 3);
    }
    glPopClientAttrib();
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBinding));
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLuint>(elementBinding));
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(binding));
    glActiveTexture(static_cast<GLenum>(active));
    glUseProgram(static_cast<GLuint>(previousProgram));
}

void Cclipmap::drawPass(void* context, int multiTex, float repeat) {
    Cclipmap& clipmap = *static_cast<Cclipmap*>(context);
    // As brute force: culling on, lighting off, the terrain colour.
    glEnable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glColor3ub(colourByte(terrainColour[0]), colourByte(terrainColour[1]), colourByte(terrainColour[2]));
    clipmap.passTriangles = 0;
    clipmap.drawItems(multiTex != 0 && glMultiTexCoord2fARB_ != nullptr, repeat);
    clipmap.drawnTriangles += clipmap.passTriangles;
}

void Cclipmap::draw() {
    drawnTriangles = 0;
    passTriangles = 0;
    if (!program || !heights) return;
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT);
    glFrontFace(GL_CCW);
    glEnable(GL_CULL_FACE);
    if (splattingEnabled) {
        drawSplattingPasses(drawPass, this, false);
        if (lightmapEnabled) drawLightmapPass(drawPass, this, 1, true);
    } else {
        drawBaseTexturePass(drawPass, this);
        if (lightmapEnabled) drawLightmapPass(drawPass, this, 0, true);
    }
    glPopAttrib();
    glColor4fv(colour);
}

void Cclipmap::drawMesh() {
    if (!heights || frameItems.empty()) return;
    GLint arrayBinding = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBinding);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT);
    glFrontFace(GL_CCW);
    glEnable(GL_CULL_FACE);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    for (const ClipmapItem& item : frameItems) {
        const ClipmapLevel& level = levelState[static_cast<size_t>(item.level)];
        const ClipmapFootprint& f = footprintSet[static_cast<size_t>(item.footprint)];
        unsigned vertices = 0;
        if (f.seal)
            vertices = static_cast<unsigned>(localPoints.size() / 2) - f.firstVertex;
        else
            vertices = static_cast<unsigned>(f.width * f.depth);
        scratch.resize(static_cast<size_t>(vertices) * 3);
        for (unsigned k = 0; k < vertices; ++k) {
            int x = 0, z = 0;
            footprintPoint(item.footprint, k, x, z);
            vertexPosition(item.level, level.origin[0] + item.local[0] + x, level.origin[1] + item.local[1] + z,
                           &scratch[static_cast<size_t>(k) * 3]);
        }
        glVertexPointer(3, GL_FLOAT, 0, scratch.data());
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(f.indexCount), GL_UNSIGNED_INT,
                       localIndices.data() + f.firstIndex);
    }
    glPopClientAttrib();
    glPopAttrib();
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBinding));
}

void Cclipmap::reportTitle() {
    if (levelState.empty() || !heights) {
        reportTerrainTitle("CLIPMAP");
        return;
    }
    const ClipmapLevel& finest = levelState[0];
    const int half = (n - 1) / 2;
    reportTerrainTitle("CLIPMAP levels %d n %d centre %.0f %.0f", levelCount(), n,
                       static_cast<float>(finest.origin[0] + half) * heights->xScale,
                       static_cast<float>(finest.origin[1] + half) * heights->zScale);
}

std::string checkClipmap(const Cclipmap& c) {
    char text[256];
    const int n = c.n;
    if (!c.heights) return "no grid";
    if (n < clipmapSmallestSize || n > clipmapLargestSize || ((n + 1) & n) != 0) {
        snprintf(text, sizeof text, "n %d is not 2^k - 1 in range", n);
        return text;
    }
    const int size = c.heights->size, m = (n + 1) / 4, half = (n - 1) / 2;
    const int levels = c.levelCount();
    if (levels != clipmapLevelsFor(n, size) || (static_cast<long>(half - 1) << (levels - 1)) < size - 1)
        return "the levels do not cover the map";
    for (int l = 0; l < levels; ++l) {
        const ClipmapLevel& level = c.level(l);
        if (level.spacing != (1 << l)) return "wrong spacing";
        for (int axis = 0; axis < 2; ++axis) {
            if ((level.origin[axis] & 1) != 0) {
                snprintf(text, sizeof text, "level %d origin %d is odd", l, level.origin[axis]);
                return text;
            }
            if (std::abs(static_cast<float>(level.origin[axis] + half) - level.viewer[axis]) > 1.0f) {
                snprintf(text, sizeof text, "level %d centre %d is more than a cell from the viewer %.2f", l,
                         level.origin[axis] + half, level.viewer[axis]);
                return text;
            }
            if (l > 0) {
                const int offset = c.level(l - 1).origin[axis] / 2 - level.origin[axis];
                if (offset != m - 1 && offset != m) {
                    snprintf(text, sizeof text, "level %d sits %d cells into level %d", l - 1, offset, l);
                    return text;
                }
                if ((offset == m - 1) != (level.trimHigh[axis] == 1)) return "the trim is on the wrong side";
            }
        }
        // The mirror against the grid, lattice point by lattice point.
        const int last = size - 1;
        auto at = [&](int x, int z) {
            x = std::clamp(x, 0, level.lastLattice);
            z = std::clamp(z, 0, level.lastLattice);
            return static_cast<float>(c.heights->height(std::min(x * level.spacing, last), std::min(z * level.spacing, last)));
        };
        for (int gz = level.origin[1]; gz < level.origin[1] + n; ++gz)
            for (int gx = level.origin[0]; gx < level.origin[0] + n; ++gx) {
                const int cx = std::clamp(gx, 0, level.lastLattice), cz = std::clamp(gz, 0, level.lastLattice);
                const size_t texel = static_cast<size_t>(positiveModulo(gz, n)) * n + positiveModulo(gx, n);
                float coarse = at(cx, cz);
                if (l + 1 < levels) {
                    if ((cx & 1) && (cz & 1))
                        coarse = (at(cx - 1, cz + 1) + at(cx + 1, cz - 1)) * 0.5f;
                    else if (cx & 1)
                        coarse = (at(cx - 1, cz) + at(cx + 1, cz)) * 0.5f;
                    else if (cz & 1)
                        coarse = (at(cx, cz - 1) + at(cx, cz + 1)) * 0.5f;
                }
                if (level.mirror[texel * 2] != at(cx, cz) || level.mirror[texel * 2 + 1] != coarse) {
                    snprintf(text, sizeof text, "level %d texel of lattice point (%d, %d) is stale", l, gx, gz);
                    return text;
                }
            }
        // Coverage: every cell of the ring exactly once.
        std::vector<ClipmapItem> ring;
        c.ringLayout(l, ring);
        std::vector<int> cover(static_cast<size_t>(n - 1) * (n - 1), 0);
        for (const ClipmapItem& item : ring) {
            const ClipmapFootprint& f = c.footprints()[static_cast<size_t>(item.footprint)];
            if (f.seal) continue;
            for (int z = 0; z + 1 < f.depth; ++z)
                for (int x = 0; x + 1 < f.width; ++x) {
                    const int cx = item.local[0] + x, cz = item.local[1] + z;
                    if (cx < 0 || cz < 0 || cx >= n - 1 || cz >= n - 1) return "a footprint leaves its window";
                    ++cover[static_cast<size_t>(cz) * (n - 1) + cx];
                }
        }
        for (int z = 0; z < n - 1; ++z)
            for (int x = 0; x < n - 1; ++x) {
                bool hole = false;
                if (l > 0) {
                    // The finer window, in this level's cells.
                    const int fx = c.level(l - 1).origin[0] / 2 - level.origin[0];
                    const int fz = c.level(l - 1).origin[1] / 2 - level.origin[1];
                    hole = x >= fx && x < fx + half && z >= fz && z < fz + half;
                }
                const int count = cover[static_cast<size_t>(z) * (n - 1) + x];
                if (count != (hole ? 0 : 1)) {
                    snprintf(text, sizeof text, "level %d cell (%d, %d) is covered %d times", l, x, z, count);
                    return text;
                }
            }
    }
    return "";
}
