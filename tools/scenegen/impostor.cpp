// impostor.cpp -- billboard textures rendered from a plant model (see
// impostor.h).
#include "impostor.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int samplesPerSide = 4;  // samples per texel along each axis

// Across-card coordinate, height and nearness of a model point.
struct CardPoint {
    float across, up, near;
};

CardPoint toCard(Vec3 p, ImpostorAxis axis)
{
    if (axis == ImpostorAxis::acrossZ)
        return {p.x, p.y, p.z};
    return {-p.z, p.y, p.x};
}

const PlantTexture* findTexture(const std::vector<PlantTexture>& textures, const std::string& file)
{
    for (const PlantTexture& t : textures)
        if (t.file == file)
            return &t;
    return nullptr;
}

// Colour of a texel as the viewer has it after loading.
Vec3 loadedColour(const PlantTexture& texture, float s, float t)
{
    Vec3 c = sampleRgb(texture.image, s, t, false);
    if (texture.brightened)
        c = vec3(clamp01(c.x + 50 / 255.0f), clamp01(c.y + 50 / 255.0f), clamp01(c.z + 50 / 255.0f));
    return c;
}

} // namespace

float impostorHalfWidth(const Model& model)
{
    float reach = 0.0f;
    for (const ModelObject& object : model.objects)
        for (const ModelPolygon& polygon : object.polygons)
            for (const ModelVertex& v : polygon.vertices)
                reach = std::max(reach, std::max(std::fabs(v.point.x), std::fabs(v.point.z)));
    return reach;
}

float impostorHeight(const Model& model)
{
    float top = 0.0f;
    for (const ModelObject& object : model.objects)
        for (const ModelPolygon& polygon : object.polygons)
            for (const ModelVertex& v : polygon.vertices)
                top = std::max(top, v.point.y);
    return top;
}

Canvas renderImpostor(const Model& model, const std::vector<PlantTexture>& textures, ImpostorAxis axis,
                      float halfWidth, float cardHeight, int width, int height)
{
    const int sw = width * samplesPerSide, sh = height * samplesPerSide;
    std::vector<float> nearest((size_t)sw * sh, -1e30f);
    std::vector<Vec3> colour((size_t)sw * sh, vec3(0, 0, 0));
    std::vector<uint8_t> covered((size_t)sw * sh, 0);
    // Sample column i sits at across = -halfWidth + (i + 0.5) / sw * 2 halfWidth.
    auto toSampleX = [&](float across) { return (across + halfWidth) / (2 * halfWidth) * sw - 0.5f; };
    auto toSampleY = [&](float up) { return up / cardHeight * sh - 0.5f; };

    for (const ModelObject& object : model.objects) {
        for (const ModelPolygon& polygon : object.polygons) {
            if (!polygon.textured || polygon.vertices.size() < 3)
                continue;
            const PlantTexture* texture = findTexture(textures, polygon.texture);
            if (!texture)
                continue;
            // Triangles and quads as fans from the first vertex.
            for (size_t k = 1; k + 1 < polygon.vertices.size(); k++) {
                const ModelVertex* v[3] = {&polygon.vertices[0], &polygon.vertices[k], &polygon.vertices[k + 1]};
                CardPoint p[3];
                float sx[3], sy[3];
                for (int j = 0; j < 3; j++) {
                    p[j] = toCard(v[j]->point, axis);
                    sx[j] = toSampleX(p[j].across);
                    sy[j] = toSampleY(p[j].up);
                }
                float area = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (sy[1] - sy[0]);
                if (std::fabs(area) < 1e-9f)
                    continue; // seen edge-on
                int x0 = std::max(0, (int)std::floor(std::min({sx[0], sx[1], sx[2]})));
                int x1 = std::min(sw - 1, (int)std::ceil(std::max({sx[0], sx[1], sx[2]})));
                int y0 = std::max(0, (int)std::floor(std::min({sy[0], sy[1], sy[2]})));
                int y1 = std::min(sh - 1, (int)std::ceil(std::max({sy[0], sy[1], sy[2]})));
                for (int y = y0; y <= y1; y++) {
                    for (int x = x0; x <= x1; x++) {
                        // Barycentric weights of the sample point.
                        float w1 = ((x - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (y - sy[0])) / area;
                        float w2 = ((sx[1] - sx[0]) * (y - sy[0]) - (x - sx[0]) * (sy[1] - sy[0])) / area;
                        float w0 = 1 - w1 - w2;
                        if (w0 < 0 || w1 < 0 || w2 < 0)
                            continue;
                        float depth = w0 * p[0].near + w1 * p[1].near + w2 * p[2].near;
                        size_t i = (size_t)y * sw + x;
                        if (depth <= nearest[i])
                            continue;
                        float s = w0 * v[0]->u + w1 * v[1]->u + w2 * v[2]->u;
                        float t = w0 * v[0]->v + w1 * v[1]->v + w2 * v[2]->v;
                        if (!(sampleAlpha(texture->image, s, t, false) > model.alpha))
                            continue; // cut out by the alpha test
                        nearest[i] = depth;
                        colour[i] = loadedColour(*texture, s, t);
                        covered[i] = 1;
                    }
                }
            }
        }
    }

    Canvas canvas(width, height, false, vec3(0, 0, 0), 0.0f);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            Vec3 sum = vec3(0, 0, 0);
            int count = 0;
            for (int j = 0; j < samplesPerSide; j++) {
                for (int k = 0; k < samplesPerSide; k++) {
                    size_t i = (size_t)(y * samplesPerSide + j) * sw + (x * samplesPerSide + k);
                    if (!covered[i])
                        continue;
                    sum = sum + colour[i];
                    count++;
                }
            }
            size_t i = canvas.index(x, y);
            canvas.alpha[i] = (float)count / (samplesPerSide * samplesPerSide);
            if (count > 0)
                canvas.colour[i] = sum * (1.0f / count);
        }
    }
    return canvas;
}
