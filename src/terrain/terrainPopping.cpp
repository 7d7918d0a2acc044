// terrainPopping.cpp -- the popping measurement; see terrainPopping.h for
// what each number means.
#include "terrain/terrainPopping.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "image/offscreenTarget.h"
#include "image/pictureCompare.h"
#include "scene/sceneConfig.h"
#include "terrain/bruteForce.h"
#include "terrain/heightmap.h"
#include "terrain/sceneGrids.h"
#include "terrain/terrainAlgorithm.h"
#include "util/output.h"

bool poppingMeasureOn = false;

namespace {

// The copies of the last two frames drawn while popping is measured.
std::unique_ptr<TerrainMeshCopy> previousFrameMesh, lastFrameMesh;
int keptAlgorithm = -1;  // the algorithm the copies came from

// World x and z of the grid's far corner.
void gridExtent(const Cheightmap& grid, double& maxX, double& maxZ) {
    maxX = std::max(1, grid.size - 1) * static_cast<double>(grid.xScale);
    maxZ = std::max(1, grid.size - 1) * static_cast<double>(grid.zScale);
}

}  // namespace

// ---------------------------------------------------------------------------
// Copies

TriangleMeshCopy::TriangleMeshCopy(std::vector<float> corners) : corners_(std::move(corners)) {
    const size_t triangles = corners_.size() / 9;
    if (triangles == 0) return;
    double minX = std::numeric_limits<double>::max(), minZ = minX, maxX = -minX, maxZ = -minX;
    for (size_t i = 0; i < triangles * 3; ++i) {
        minX = std::min(minX, static_cast<double>(corners_[3 * i]));
        maxX = std::max(maxX, static_cast<double>(corners_[3 * i]));
        minZ = std::min(minZ, static_cast<double>(corners_[3 * i + 2]));
        maxZ = std::max(maxZ, static_cast<double>(corners_[3 * i + 2]));
    }
    // About two triangles per bucket on average.
    const double area = std::max((maxX - minX) * (maxZ - minZ), 1e-6);
    cell_ = std::max(std::sqrt(2.0 * area / static_cast<double>(triangles)), 1e-3);
    minX_ = minX;
    minZ_ = minZ;
    columns_ = std::max(1, static_cast<int>((maxX - minX) / cell_) + 1);
    rows_ = std::max(1, static_cast<int>((maxZ - minZ) / cell_) + 1);
    const size_t buckets = static_cast<size_t>(columns_) * rows_;
    std::vector<unsigned> counts(buckets + 1, 0);
    auto span = [&](size_t t, int& c0, int& c1, int& r0, int& r1) {
        const float* p = &corners_[t * 9];
        const double lowX = std::min({p[0], p[3], p[6]}), highX = std::max({p[0], p[3], p[6]});
        const double lowZ = std::min({p[2], p[5], p[8]}), highZ = std::max({p[2], p[5], p[8]});
        c0 = std::clamp(static_cast<int>((lowX - minX_) / cell_), 0, columns_ - 1);
        c1 = std::clamp(static_cast<int>((highX - minX_) / cell_), 0, columns_ - 1);
        r0 = std::clamp(static_cast<int>((lowZ - minZ_) / cell_), 0, rows_ - 1);
        r1 = std::clamp(static_cast<int>((highZ - minZ_) / cell_), 0, rows_ - 1);
    };
    for (size_t t = 0; t < triangles; ++t) {
        int c0, c1, r0, r1;
        span(t, c0, c1, r0, r1);
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) ++counts[static_cast<size_t>(r) * columns_ + c + 1];
    }
    for (size_t b = 0; b < buckets; ++b) counts[b + 1] += counts[b];
    bucketStart_ = counts;
    bucketTriangles_.resize(counts[buckets]);
    std::vector<unsigned> fill(counts.begin(), counts.end() - 1);
    for (size_t t = 0; t < triangles; ++t) {
        int c0, c1, r0, r1;
        span(t, c0, c1, r0, r1);
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) bucketTriangles_[fill[static_cast<size_t>(r) * columns_ + c]++] = static_cast<unsigned>(t);
    }
}

void TriangleMeshCopy::draw() const {
    if (corners_.empty()) return;
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, corners_.data());
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(corners_.size() / 3));
    glPopClientAttrib();
}

bool TriangleMeshCopy::heightAt(double x, double z, double nearY, double& y) const {
    if (bucketStart_.empty()) return false;
    const int c = static_cast<int>(std::floor((x - minX_) / cell_));
    const int r = static_cast<int>(std::floor((z - minZ_) / cell_));
    if (c < 0 || r < 0 || c >= columns_ || r >= rows_) return false;
    const size_t bucket = static_cast<size_t>(r) * columns_ + c;
    bool found = false;
    double best = std::numeric_limits<double>::max();
    for (unsigned k = bucketStart_[bucket]; k < bucketStart_[bucket + 1]; ++k) {
        const float* p = &corners_[static_cast<size_t>(bucketTriangles_[k]) * 9];
        // Barycentric coordinates over x and z.
        const double ax = p[0], az = p[2], bx = p[3], bz = p[5], cx = p[6], cz = p[8];
        const double det = (bz - cz) * (ax - cx) + (cx - bx) * (az - cz);
        if (std::abs(det) < 1e-12) continue;  // seen edge-on from above: no surface
        const double u = ((bz - cz) * (x - cx) + (cx - bx) * (z - cz)) / det;
        const double v = ((cz - az) * (x - cx) + (ax - cx) * (z - cz)) / det;
        const double w = 1.0 - u - v;
        const double slack = -1e-6;  // points on a shared edge belong to both triangles
        if (u < slack || v < slack || w < slack) continue;
        const double h = u * p[1] + v * p[4] + w * p[7];
        if (std::abs(h - nearY) < best) {
            best = std::abs(h - nearY);
            y = h;
            found = true;
        }
    }
    return found;
}

std::unique_ptr<TriangleMeshCopy> copyMeshByFeedback(const Cheightmap& grid, TerrainMeshDraw draw, void* context) {
    double maxX, maxZ;
    gridExtent(grid, maxX, maxZ);
    const double heightSpan = 256.0 * grid.heightScale;
    // Margins as wide as the grid: a mesh may morph or skirt past its edges.
    const double marginX = maxX + 1.0, marginZ = maxZ + 1.0, marginY = 4.0 * heightSpan + 1.0;

    GLint mode = GL_RENDER;
    glGetIntegerv(GL_RENDER_MODE, &mode);
    if (mode != GL_RENDER) return nullptr;
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    GLint active = GL_TEXTURE0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    GLint units = 1;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);

    // Feedback buffers grow until the mesh fits: each triangle is a token, a
    // count and three vertices of x y z, colour (4), texture (4).
    // A complete 1 x 1 texture on unit 0: an incomplete one turns the unit,
    // and with it the generated coordinates, off.
    GLuint texture = 0;
    glGenTextures(1, &texture);
    std::vector<GLfloat> buffer(static_cast<size_t>(1) << 20);
    GLint values = -1;
    for (int attempt = 0; attempt < 12 && values < 0; ++attempt) {
        if (attempt > 0) buffer.resize(buffer.size() * 2);
        glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_POLYGON_BIT | GL_TRANSFORM_BIT | GL_VIEWPORT_BIT);
        glUseProgram(0);
        for (int unit = units - 1; unit >= 0; --unit) {
            glActiveTexture(GL_TEXTURE0 + unit);
            glDisable(GL_TEXTURE_2D);
            glDisable(GL_TEXTURE_1D);
            glMatrixMode(GL_TEXTURE);
            glPushMatrix();
            glLoadIdentity();
        }
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        // Top-down: (x, y, z) -> eye (x, -z, y), so front faces seen from above stay front faces.
        glOrtho(-marginX, maxX + marginX, -(maxZ + marginZ), marginZ, -(heightSpan + marginY), marginY);
        glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        const GLfloat planes[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
        const GLenum coords[4] = {GL_S, GL_T, GL_R, GL_Q};
        const GLenum gens[4] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q};
        for (int i = 0; i < 4; ++i) {
            glTexGeni(coords[i], GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
            glTexGenfv(coords[i], GL_EYE_PLANE, planes[i]);
            glEnable(gens[i]);
        }
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
        if (attempt == 0) {
            const GLubyte white[4] = {255, 255, 255, 255};
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
        }
        glDisable(GL_CULL_FACE);
        glDisable(GL_LIGHTING);
        glDisable(GL_CLIP_PLANE0);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glViewport(0, 0, 1024, 1024);

        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
        glRenderMode(GL_FEEDBACK);
        draw(context);
        values = glRenderMode(GL_RENDER);

        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        for (int unit = units - 1; unit >= 0; --unit) {
            glActiveTexture(GL_TEXTURE0 + unit);
            glMatrixMode(GL_TEXTURE);
            glPopMatrix();
        }
        glMatrixMode(GL_MODELVIEW);
        glPopAttrib();
    }
    glDeleteTextures(1, &texture);
    glActiveTexture(static_cast<GLenum>(active));
    glUseProgram(static_cast<GLuint>(program));
    glColor4fv(colour);
    while (glGetError() != GL_NO_ERROR) {
    }
    if (values < 0) return nullptr;

    // The orthographic view undone from the window coordinates: good to
    // about 1e-4 of the view's width; used only when a draw turned unit 0's
    // texturing (and so the generated coordinates) off.
    const double left = -marginX, right = maxX + marginX, bottom = -(maxZ + marginZ), top = marginZ;
    const double nearPlane = -(heightSpan + marginY), farPlane = marginY;
    auto fromWindow = [&](const GLfloat* v, float out[3]) {
        out[0] = static_cast<float>(left + v[0] / 1024.0 * (right - left));
        out[2] = static_cast<float>(-(bottom + v[1] / 1024.0 * (top - bottom)));
        const double ndcZ = 2.0 * v[2] - 1.0;
        out[1] = static_cast<float>(-(ndcZ * (farPlane - nearPlane) + (farPlane + nearPlane)) / 2.0);
    };
    const double tolerance = 1e-3 * (right - left) + 0.05 * (farPlane - nearPlane) / 1024.0;
    bool generated = true;
    std::vector<float> corners, rebuilt;
    corners.reserve(static_cast<size_t>(values) / 35 * 9 + 9);
    constexpr int stride = 11;  // x y z, r g b a, s t r q
    auto addCorner = [&](const GLfloat* v) {
        float world[3];
        fromWindow(v, world);
        for (int k = 0; k < 3; ++k) {
            if (std::abs(world[k] - v[7 + k]) > tolerance) generated = false;
            corners.push_back(v[7 + k]);
            rebuilt.push_back(world[k]);
        }
    };
    for (GLint i = 0; i < values;) {
        const GLfloat token = buffer[i++];
        if (token == GL_POLYGON_TOKEN) {
            const int count = static_cast<int>(buffer[i++]);
            // A clipped polygon comes back with more corners: a fan.
            for (int k = 1; k + 1 < count; ++k) {
                addCorner(&buffer[i]);
                addCorner(&buffer[i + k * stride]);
                addCorner(&buffer[i + (k + 1) * stride]);
            }
            i += count * stride;
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            ++i;
        } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
                   token == GL_COPY_PIXEL_TOKEN) {
            i += stride;
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            i += 2 * stride;
        } else {
            break;
        }
    }
    if (!generated) corners.swap(rebuilt);
    return std::make_unique<TriangleMeshCopy>(std::move(corners));
}

void FullGridCopy::draw() const { drawFullGridMesh(&grid_); }

bool FullGridCopy::heightAt(double x, double z, double, double& y) const {
    double maxX, maxZ;
    gridExtent(grid_, maxX, maxZ);
    if (!grid_.data || x < 0.0 || z < 0.0 || x > maxX || z > maxZ) return false;
    y = fullGridSpan(grid_, x, z).strips;
    return true;
}

size_t FullGridCopy::triangleCount() const {
    return grid_.size > 1 ? static_cast<size_t>(grid_.size - 1) * (grid_.size - 1) * 2 : 0;
}

// ---------------------------------------------------------------------------
// Measuring

namespace {

void drawCopy(void* context) { static_cast<const TerrainMeshCopy*>(context)->draw(); }

}  // namespace

bool measureMeshPopping(const Cheightmap& grid, const TerrainMeshCopy& previous, const TerrainMeshCopy& current,
                        const TerrainView& view, TerrainPoppingResult& result, std::string& why) {
    result = TerrainPoppingResult{};
    void* meshes[2] = {const_cast<TerrainMeshCopy*>(&previous), const_cast<TerrainMeshCopy*>(&current)};
    OffscreenPicture pictures[2];
    {
        OffscreenTarget target;
        if (!target.begin(view.width, view.height, why)) return false;
        for (int m = 0; m < 2; ++m) {
            target.clear();
            drawTerrainSinglePass(grid, view, drawCopy, meshes[m]);
            target.read(pictures[m], true);
        }
    }
    std::vector<float> positions[2];
    for (int m = 0; m < 2; ++m) {
        if (!drawTerrainWorldPositions(grid, view, drawCopy, meshes[m], positions[m])) {
            why = "needs GLSL 1.20 shaders and float colour buffers for the surface positions";
            return false;
        }
    }
    const TerrainMeshCopy* copies[2] = {&previous, &current};
    const size_t pixels = static_cast<size_t>(view.width) * static_cast<size_t>(view.height);
    const double pixelsAtUnitDepth = view.projection[5] * 0.5 * view.height;
    const float* mv = view.modelview;
    std::vector<double> distances;
    std::vector<uint8_t> mask(pixels, 0);
    for (size_t p = 0; p < pixels; ++p) {
        bool covered = false, measured = false;
        double worst = 0.0;
        const float* a = &positions[0][p * 4];
        const float* b = &positions[1][p * 4];
        if (a[3] >= 0.5f && b[3] >= 0.5f && a[0] == b[0] && a[1] == b[1] && a[2] == b[2]) {
            // Both meshes show the very same point: nothing moved here.
            mask[p] = 1;
            distances.push_back(0.0);
            continue;
        }
        for (int m = 0; m < 2; ++m) {
            const float* w = &positions[m][p * 4];
            if (w[3] < 0.5f) continue;  // this mesh shows nothing here
            covered = true;
            const double x = w[0], y = w[1], z = w[2];
            double other = 0.0;
            if (!copies[1 - m]->heightAt(x, z, y, other)) continue;
            const double eyeDepth = -(mv[2] * x + mv[6] * y + mv[10] * z + mv[14]);
            if (eyeDepth <= 0.0) continue;
            measured = true;
            worst = std::max(worst, std::abs(other - y) * pixelsAtUnitDepth / eyeDepth);
        }
        if (!covered) continue;
        if (!measured) {
            ++result.skippedPixels;
            continue;
        }
        mask[p] = 1;
        distances.push_back(worst);
    }
    result.measuredPixels = distances.size();
    if (!distances.empty()) {
        const size_t rank = static_cast<size_t>(std::ceil(0.95 * static_cast<double>(distances.size()))) - 1;
        std::nth_element(distances.begin(), distances.begin() + static_cast<long>(rank), distances.end());
        result.p95 = distances[rank];
        result.max = *std::max_element(distances.begin() + static_cast<long>(rank), distances.end());
    }
    result.share = comparePictures(pictures[0].rgba.data(), pictures[1].rgba.data(), pixels, mask.data()).share;
    return true;
}

// ---------------------------------------------------------------------------
// Keeping the frames' meshes

std::unique_ptr<TerrainMeshCopy> TerrainAlgorithm::copyMesh(Cheightmap& grid) {
    return copyMeshByFeedback(grid, [](void* self) { static_cast<TerrainAlgorithm*>(self)->drawMesh(); }, this);
}

void turnPoppingMeasureOn() {
    if (poppingMeasureOn) return;
    poppingMeasureOn = true;
    previousFrameMesh.reset();
    lastFrameMesh.reset();
    keptAlgorithm = -1;
}

void turnPoppingMeasureOff() {
    poppingMeasureOn = false;
    previousFrameMesh.reset();
    lastFrameMesh.reset();
    keptAlgorithm = -1;
}

void keepTerrainFrameMesh() {
    if (!poppingMeasureOn) return;
    TerrainAlgorithm* algorithm = selectedTerrainAlgorithm();
    if (!showTerrain || !algorithm || !algorithm->drawsTerrain() || !bruteTerrain.data) {
        // Nothing drawn this frame: the next frame starts a new pair.
        previousFrameMesh.reset();
        lastFrameMesh.reset();
        keptAlgorithm = -1;
        return;
    }
    if (keptAlgorithm != algorithm->id()) lastFrameMesh.reset();  // a switch is no popping
    previousFrameMesh = std::move(lastFrameMesh);
    lastFrameMesh = algorithm->copyMesh(bruteTerrain);
    keptAlgorithm = algorithm->id();
}

TerrainPoppingStatus measureTerrainPopping(const TerrainView& view, TerrainPoppingResult& result, std::string& why) {
    result = TerrainPoppingResult{};
    if (!poppingMeasureOn) {
        why = "not being measured; turnPoppingMeasureOn() keeps the frames' meshes";
        return TerrainPoppingStatus::off;
    }
    TerrainAlgorithm* algorithm = selectedTerrainAlgorithm();
    if (!showTerrain || !algorithm || !algorithm->drawsTerrain()) {
        why = "no terrain is drawn; nothing to measure";
        return TerrainPoppingStatus::nothingDrawn;
    }
    if (!previousFrameMesh || !lastFrameMesh) {
        why = "two frames must be drawn after turning it on";
        return TerrainPoppingStatus::noFrames;
    }
    if (!measureMeshPopping(bruteTerrain, *previousFrameMesh, *lastFrameMesh, view, result, why))
        return TerrainPoppingStatus::noOffscreen;
    return TerrainPoppingStatus::measured;
}

std::string terrainPoppingLine(const TerrainPoppingResult& result) {
    char line[160];
    snprintf(line, sizeof line, "Terrain popping: 95th percentile %.2f px, maximum %.2f px, differing pixels %.4f",
             result.p95, result.max, result.share);
    return line;
}

TerrainPoppingStatus measureAndReportTerrainPopping(TerrainPoppingResult& result) {
    std::string why;
    TerrainPoppingStatus status = measureTerrainPopping(currentTerrainView(), result, why);
    if (status == TerrainPoppingStatus::measured)
        outputPrintf("%s\n", terrainPoppingLine(result).c_str());
    else
        outputPrintf("Terrain popping: %s\n", why.c_str());
    return status;
}
