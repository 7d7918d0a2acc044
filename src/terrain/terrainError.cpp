// terrainError.cpp -- the terrain error measurement; see terrainError.h for
// what each number means.
#include "terrain/terrainError.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "camera/camera.h"
#include "image/offscreenTarget.h"
#include "image/pictureCompare.h"
#include "scene/sceneConfig.h"
#include "terrain/bruteForce.h"
#include "terrain/sceneGrids.h"
#include "terrain/splatting.h"
#include "terrain/terrainAlgorithm.h"
#include "util/output.h"

bool terrainErrorDepthOnly = false;

namespace {

// Inverse of a column-major 4 x 4 matrix (cofactors); false when singular.
bool invert(const double m[16], double out[16]) {
    double inv[16];
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] +
             m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] -
             m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] +
             m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] -
              m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] -
             m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] +
             m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] -
             m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] +
              m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
             m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] -
             m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] +
              m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] -
              m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] -
             m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
             m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
              m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] +
              m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
    double det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    if (det == 0.0) return false;
    for (int i = 0; i < 16; ++i) out[i] = inv[i] / det;
    return true;
}

void multiply(const double a[16], const double b[16], double out[16]) {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += a[4 * k + r] * b[4 * c + k];
            out[4 * c + r] = sum;
        }
}

// The geometric error of every pixel the mesh covers, in pixels.
std::vector<double> pixelErrors(const Cheightmap& grid, const TerrainView& view, const OffscreenPicture& mesh) {
    std::vector<double> errors;
    double projection[16], modelview[16], clip[16], unclip[16];
    for (int i = 0; i < 16; ++i) {
        projection[i] = view.projection[i];
        modelview[i] = view.modelview[i];
    }
    multiply(projection, modelview, clip);
    if (!invert(clip, unclip)) return errors;
    // Pixels per world unit at eye depth 1: half the viewport height times
    // cot(fov / 2), which is the projection's [1][1] element.
    const double pixelsAtUnitDepth = projection[5] * 0.5 * view.height;
    errors.reserve(mesh.depth.size() / 2);
    for (int y = 0; y < mesh.height; ++y) {
        for (int x = 0; x < mesh.width; ++x) {
            const double depth = mesh.depth[static_cast<size_t>(y) * mesh.width + x];
            if (depth >= 1.0) continue;  // nothing drawn here
            // Pixel centre in normalised device coordinates, back to world.
            const double ndc[4] = {2.0 * (x + 0.5) / mesh.width - 1.0, 2.0 * (y + 0.5) / mesh.height - 1.0,
                                   2.0 * depth - 1.0, 1.0};
            double world[4];
            for (int r = 0; r < 4; ++r) {
                world[r] = 0.0;
                for (int k = 0; k < 4; ++k) world[r] += unclip[4 * k + r] * ndc[k];
            }
            if (world[3] == 0.0) continue;
            for (int r = 0; r < 3; ++r) world[r] /= world[3];
            const double eyeDepth = -(modelview[2] * world[0] + modelview[6] * world[1] + modelview[10] * world[2] +
                                      modelview[14]);
            if (eyeDepth <= 0.0) continue;
            const double vertical = fullGridSpan(grid, world[0], world[2]).outside(world[1]);
            errors.push_back(vertical * pixelsAtUnitDepth / eyeDepth);
        }
    }
    return errors;
}

// World positions drawn by a small shader program: each fragment writes its
// interpolated world position into a float colour buffer, exact to float
// precision (positions rebuilt from a 24-bit depth buffer are off by up to
// half a pixel of error far away). The vertex stage keeps the fixed
// function's transform (ftransform), so the same pixels are covered.
const char* const positionVertexShader =
    "#version 120\n"
    "uniform mat4 eyeToWorld;\n"
    "varying vec3 world;\n"
    "void main() {\n"
    "    world = (eyeToWorld * (gl_ModelViewMatrix * gl_Vertex)).xyz;\n"
    "    gl_Position = ftransform();\n"
    "}\n";
const char* const positionFragmentShader =
    "#version 120\n"
    "varying vec3 world;\n"
    "void main() { gl_FragColor = vec4(world, 1.0); }\n";

GLuint compileShader(GLenum type, const char* source) {
    GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint done = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &done);
    if (done == GL_TRUE) return shader;
    glDeleteShader(shader);
    return 0;
}

GLuint positionProgram() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION));
    if (!version || std::atof(version) < 1.2) return 0;
    GLuint vertex = compileShader(GL_VERTEX_SHADER, positionVertexShader);
    GLuint fragment = compileShader(GL_FRAGMENT_SHADER, positionFragmentShader);
    GLuint program = 0;
    if (vertex && fragment) {
        program = glCreateProgram();
        glAttachShader(program, vertex);
        glAttachShader(program, fragment);
        glLinkProgram(program);
        GLint linked = GL_FALSE;
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        if (linked != GL_TRUE) {
            glDeleteProgram(program);
            program = 0;
        }
    }
    if (vertex) glDeleteShader(vertex);
    if (fragment) glDeleteShader(fragment);
    while (glGetError() != GL_NO_ERROR) {
    }
    return program;
}

// The geometric error of every pixel with a world position, in pixels.
std::vector<double> positionErrors(const Cheightmap& grid, const TerrainView& view, const std::vector<float>& positions) {
    std::vector<double> errors;
    const double pixelsAtUnitDepth = view.projection[5] * 0.5 * view.height;
    const float* m = view.modelview;
    for (size_t i = 0; i + 3 < positions.size(); i += 4) {
        if (positions[i + 3] < 0.5f) continue;  // nothing drawn here
        const double x = positions[i], y = positions[i + 1], z = positions[i + 2];
        const double eyeDepth = -(m[2] * x + m[6] * y + m[10] * z + m[14]);
        if (eyeDepth <= 0.0) continue;
        errors.push_back(fullGridSpan(grid, x, z).outside(y) * pixelsAtUnitDepth / eyeDepth);
    }
    return errors;
}

// Keeps the counts a frame reported while a picture is drawn.
struct SavedCounts {
    Cheightmap& grid;
    int vertices, triangles;
    explicit SavedCounts(Cheightmap& g) : grid(g), vertices(g.vertexCount), triangles(g.triangleCount) {}
    ~SavedCounts() {
        grid.vertexCount = vertices;
        grid.triangleCount = triangles;
    }
};

// The selected algorithm's exact frame mesh.
void drawAlgorithmMesh(void* context) { static_cast<TerrainAlgorithm*>(context)->drawMesh(); }

void texturePlane(const Cheightmap& grid) {
    const double size = grid.size > 0 ? grid.size : 1;
    const GLfloat sPlane[4] = {static_cast<GLfloat>(1.0 / (grid.xScale * size)), 0.0f, 0.0f, 0.0f};
    const GLfloat tPlane[4] = {0.0f, 0.0f, static_cast<GLfloat>(1.0 / (grid.zScale * size)), 0.0f};
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    // Eye planes given while the modelview is the view: coordinates follow
    // world x and z, whatever scaling a renderer applies to its vertices.
    glTexGenfv(GL_S, GL_EYE_PLANE, sPlane);
    glTexGenfv(GL_T, GL_EYE_PLANE, tPlane);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glDisable(GL_TEXTURE_GEN_Q);
}

}  // namespace

// The world position of every pixel the mesh covers (x, y, z, 1; 0 where
// nothing is drawn). False when the OpenGL in use has no shaders or float
// colour buffers; the caller then rebuilds positions from depth.
bool drawTerrainWorldPositions(const Cheightmap& grid, const TerrainView& view, TerrainMeshDraw draw, void* context,
                        std::vector<float>& positions) {
    OffscreenTarget target;
    std::string why;
    if (!target.begin(view.width, view.height, why, true)) return false;
    GLuint program = positionProgram();
    if (!program) return false;
    double modelview[16], eyeToWorld[16];
    for (int i = 0; i < 16; ++i) modelview[i] = view.modelview[i];
    if (!invert(modelview, eyeToWorld)) {
        glDeleteProgram(program);
        return false;
    }
    GLfloat matrix[16];
    for (int i = 0; i < 16; ++i) matrix[i] = static_cast<GLfloat>(eyeToWorld[i]);
    GLint previous = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
    target.clear();
    glUseProgram(program);
    glUniformMatrix4fv(glGetUniformLocation(program, "eyeToWorld"), 1, GL_FALSE, matrix);
    drawTerrainSinglePass(grid, view, draw, context);
    glUseProgram(static_cast<GLuint>(previous));
    glDeleteProgram(program);
    target.readFloats(positions);
    return glGetError() == GL_NO_ERROR;
}

void drawFullGridMesh(void* context) {
    Cheightmap& grid = *static_cast<Cheightmap*>(context);
    float extent[3] = {bruteExtent[0], bruteExtent[1], bruteExtent[2]};
    SavedCounts counts(grid);
    glFrontFace(GL_CCW);
    drawBruteForce(grid, 0, 1.0f);
    for (int i = 0; i < 3; ++i) bruteExtent[i] = extent[i];
}

TerrainView currentTerrainView() {
    TerrainView view;
    Ccamera* c = getCamera();
    buildViewMatrix(c->verticalAngle.load(), c->horizontalAngle.load());
    Cmatrix4 rotation = getViewMatrix();
    float x, y, z;
    getCameraPositionXYZ(x, y, z);
    for (int i = 0; i < 16; ++i) view.modelview[i] = rotation.m[i];
    // The rotation times a translation by the negated eye.
    for (int r = 0; r < 3; ++r)
        view.modelview[12 + r] = -(rotation.m[r] * x + rotation.m[4 + r] * y + rotation.m[8 + r] * z);
    glGetFloatv(GL_PROJECTION_MATRIX, view.projection);
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    view.width = viewport[2];
    view.height = viewport[3];
    return view;
}

void loadTerrainView(const TerrainView& view) {
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(view.projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(view.modelview);
}

GridSpan fullGridSpan(const Cheightmap& grid, double x, double z) {
    if (!grid.data || grid.size < 2) return {};
    const double last = grid.size - 1;
    const double gx = std::clamp(x / grid.xScale, 0.0, last);
    const double gz = std::clamp(z / grid.zScale, 0.0, last);
    const int ix = std::min(static_cast<int>(gx), grid.size - 2);
    const int iz = std::min(static_cast<int>(gz), grid.size - 2);
    const double u = gx - ix, v = gz - iz;
    const double h00 = grid.height(ix, iz), h10 = grid.height(ix + 1, iz);
    const double h01 = grid.height(ix, iz + 1), h11 = grid.height(ix + 1, iz + 1);
    // Split along the diagonal from (x, z + 1) to (x + 1, z), as brute force's strips do...
    const double strips = u + v <= 1.0 ? h00 + u * (h10 - h00) + v * (h01 - h00)
                                       : h11 + (1.0 - u) * (h01 - h11) + (1.0 - v) * (h10 - h11);
    // ...and along the other one, from (x, z) to (x + 1, z + 1).
    const double other = u >= v ? h00 + u * (h10 - h00) + v * (h11 - h10) : h00 + v * (h01 - h00) + u * (h11 - h01);
    return {std::min(strips, other), std::max(strips, other), strips};
}

double GridSpan::outside(double y) const {
    if (y < low) return low - y;
    if (y > high) return y - high;
    return 0.0;
}

void drawTerrainSinglePass(const Cheightmap& grid, const TerrainView& view, TerrainMeshDraw draw, void* context) {
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_POLYGON_BIT |
                 GL_LIGHTING_BIT | GL_FOG_BIT);
    loadTerrainView(view);
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_STENCIL_TEST);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    const bool twoUnits = multitextureReady();
    if (twoUnits) {
        // Unit 1 multiplies by the lightmap.
        glActiveTexture(GL_TEXTURE1);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, lightmapTexture);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        texturePlane(grid);
        glActiveTexture(GL_TEXTURE0);
    }
    // Unit 0: the base texture replaces whatever vertex colour a renderer sets.
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, baseTexture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    texturePlane(grid);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    draw(context);
    glPopAttrib();
    if (twoUnits) glActiveTexture(GL_TEXTURE0);
    glColor4fv(colour);
}

void drawFullGridSinglePass(Cheightmap& grid, const TerrainView& view) {
    drawTerrainSinglePass(grid, view, drawFullGridMesh, &grid);
}

bool measureMeshError(Cheightmap& grid, TerrainMeshDraw drawMesh, void* context, const TerrainView& view,
                      TerrainErrorResult& result, std::string& why) {
    result = TerrainErrorResult{};
    OffscreenTarget target;
    if (!target.begin(view.width, view.height, why)) return false;

    OffscreenPicture mesh, full;
    target.clear();
    drawTerrainSinglePass(grid, view, drawMesh, context);
    target.read(mesh, true);
    target.clear();
    drawFullGridSinglePass(grid, view);
    target.read(full, true);
    target.end();
    std::vector<float> positions;
    std::vector<double> errors = !terrainErrorDepthOnly && drawTerrainWorldPositions(grid, view, drawMesh, context, positions)
                                     ? positionErrors(grid, view, positions)
                                     : pixelErrors(grid, view, mesh);
    result.meshPixels = errors.size();
    if (!errors.empty()) {
        const size_t rank = static_cast<size_t>(std::ceil(0.95 * static_cast<double>(errors.size()))) - 1;
        std::nth_element(errors.begin(), errors.begin() + static_cast<long>(rank), errors.end());
        result.geometricP95 = errors[rank];
        result.geometricMax = *std::max_element(errors.begin() + static_cast<long>(rank), errors.end());
    }

    // Compared: every pixel where either picture shows terrain.
    const size_t pixels = static_cast<size_t>(view.width) * static_cast<size_t>(view.height);
    std::vector<uint8_t> mask(pixels, 0);
    for (size_t i = 0; i < pixels; ++i) mask[i] = (mesh.depth[i] < 1.0f || full.depth[i] < 1.0f) ? 1 : 0;
    PictureDifference difference = comparePictures(mesh.rgba.data(), full.rgba.data(), pixels, mask.data());
    result.imageShare = difference.share;
    result.psnr = difference.psnr;
    result.comparedPixels = difference.compared;
    return true;
}

TerrainErrorStatus measureTerrainError(const TerrainView& view, TerrainErrorResult& result, std::string& why) {
    result = TerrainErrorResult{};
    if (!showTerrain) {
        why = "the terrain is switched off; nothing to measure";
        return TerrainErrorStatus::terrainOff;
    }
    TerrainAlgorithm* algorithm = selectedTerrainAlgorithm();
    if (!algorithm || !algorithm->drawsTerrain()) {
        why = algorithm && algorithm->id() != terrainQuadTree
                  ? std::string(algorithm->name()) + " draws no terrain; nothing to measure"
                  : "the quad-tree draws no terrain; nothing to measure";
        return TerrainErrorStatus::quadTree;
    }
    if (!bruteTerrain.data || bruteTerrain.size < 2) {
        why = "no terrain is loaded; nothing to measure";
        return TerrainErrorStatus::noTerrain;
    }
    if (!measureMeshError(bruteTerrain, drawAlgorithmMesh, algorithm, view, result, why)) return TerrainErrorStatus::noOffscreen;
    return TerrainErrorStatus::measured;
}

std::string terrainErrorLine(const TerrainErrorResult& result) {
    char psnr[32];
    if (std::isinf(result.psnr))
        snprintf(psnr, sizeof psnr, "inf");
    else
        snprintf(psnr, sizeof psnr, "%.2f dB", result.psnr);
    char line[200];
    snprintf(line, sizeof line,
             "Terrain error: 95th percentile %.2f px, maximum %.2f px, differing pixels %.4f, PSNR %s",
             result.geometricP95, result.geometricMax, result.imageShare, psnr);
    return line;
}

TerrainErrorStatus measureAndReportTerrainError(TerrainErrorResult& result) {
    std::string why;
    TerrainErrorStatus status = measureTerrainError(currentTerrainView(), result, why);
    if (status == TerrainErrorStatus::measured)
        outputPrintf("%s\n", terrainErrorLine(result).c_str());
    else
        outputPrintf("Terrain error: %s\n", why.c_str());
    return status;
}
