// preview.cpp -- contact sheet, model drawings and relief (see preview.h).
#include "preview.h"

#include "font.h"
#include "paint.h"

#include <limits>
#include <map>

namespace {

Vec3 checker(int x, int y) { return ((x / 8 + y / 8) & 1) ? rgb(204, 204, 204) : rgb(150, 150, 150); }

// Texture as the viewer holds it after loading (brightened if flagged).
struct LoadedTexture {
    const Image* image = nullptr;
    bool brightened = false;
    Vec3 colour(float u, float v) const
    {
        Vec3 c = sampleRgb(*image, u, v, true);
        if (brightened)
            c = vec3(std::min(1.0f, c.x + 50 / 255.0f), std::min(1.0f, c.y + 50 / 255.0f), std::min(1.0f, c.z + 50 / 255.0f));
        return c;
    }
    float alpha(float u, float v) const { return sampleAlpha(*image, u, v, true); }
};

struct RasterVertex {
    float x, y, depth;
    float u, v;
    Vec3 colour;
};

struct Raster {
    Image& target;
    std::vector<float> depth;
    explicit Raster(Image& image)
        : target(image), depth((size_t)image.width * image.height, -std::numeric_limits<float>::max())
    {
    }

    // Fills a triangle; `texture` may be null for untextured polygons.
    void triangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c, const LoadedTexture* texture,
                  float alphaReference)
    {
        float area = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
        if (std::fabs(area) < 1e-8f)
            return;
        int x0 = std::max(0, (int)std::floor(std::min({a.x, b.x, c.x})));
        int x1 = std::min(target.width - 1, (int)std::ceil(std::max({a.x, b.x, c.x})));
        int y0 = std::max(0, (int)std::floor(std::min({a.y, b.y, c.y})));
        int y1 = std::min(target.height - 1, (int)std::ceil(std::max({a.y, b.y, c.y})));
        for (int y = y0; y <= y1; y++) {
            for (int x = x0; x <= x1; x++) {
                float px = x + 0.5f, py = y + 0.5f;
                float wa = ((b.x - px) * (c.y - py) - (c.x - px) * (b.y - py)) / area;
                float wb = ((c.x - px) * (a.y - py) - (a.x - px) * (c.y - py)) / area;
                float wc = 1.0f - wa - wb;
                if (wa < 0 || wb < 0 || wc < 0)
                    continue;
                float d = a.depth * wa + b.depth * wb + c.depth * wc;
                size_t i = (size_t)y * target.width + x;
                if (d <= depth[i])
                    continue;
                Vec3 colour = a.colour * wa + b.colour * wb + c.colour * wc;
                if (texture) {
                    float u = a.u * wa + b.u * wb + c.u * wc, v = a.v * wa + b.v * wb + c.v * wc;
                    if (texture->alpha(u, v) <= alphaReference)
                        continue;
                    colour = mul(colour, texture->colour(u, v));
                }
                depth[i] = d;
                target.setRgb(x, y, colour);
            }
        }
    }
};

} // namespace

Image thumbnail(const Image& image, int size)
{
    float scale = std::min((float)size / image.width, (float)size / image.height);
    int w = std::max(1, (int)(image.width * scale)), h = std::max(1, (int)(image.height * scale));
    Image out(w, h, 3);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            // Average of the source texels under this pixel.
            int sx0 = (int)(x / scale), sx1 = std::max(sx0 + 1, (int)((x + 1) / scale));
            int sy0 = (int)(y / scale), sy1 = std::max(sy0 + 1, (int)((y + 1) / scale));
            Vec3 sum = {0, 0, 0};
            float alpha = 0.0f;
            int count = 0;
            for (int sy = sy0; sy < std::min(sy1, image.height); sy++) {
                for (int sx = sx0; sx < std::min(sx1, image.width); sx++) {
                    float a = image.alphaAt(sx, sy);
                    sum = sum + image.rgbAt(sx, sy) * a;
                    alpha += a;
                    count++;
                }
            }
            Vec3 colour = alpha > 0 ? sum * (1.0f / alpha) : vec3(0, 0, 0);
            float coverage = count ? alpha / count : 0.0f;
            out.setRgb(x, y, mix(checker(x, y), colour, coverage));
        }
    }
    return out;
}

Image renderModel(const Model& model, const std::vector<PlantTexture>& textures, int size)
{
    std::map<std::string, LoadedTexture> loaded;
    for (const PlantTexture& t : textures)
        loaded[t.file] = LoadedTexture{&t.image, t.brightened};

    // View from 20 degrees above, turned 35 degrees about the vertical.
    const float az = 35.0f * 3.14159265f / 180.0f, el = 20.0f * 3.14159265f / 180.0f;
    auto project = [&](Vec3 p) {
        p = mul(p, model.scale);
        float x = p.x * std::cos(az) - p.z * std::sin(az), z = p.x * std::sin(az) + p.z * std::cos(az);
        float y = p.y * std::cos(el) - z * std::sin(el), depth = p.y * std::sin(el) + z * std::cos(el);
        return vec3(x, y, depth);
    };
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
    for (const auto& object : model.objects) {
        for (const auto& polygon : object.polygons) {
            for (const auto& v : polygon.vertices) {
                Vec3 p = project(v.point);
                minX = std::min(minX, p.x);
                maxX = std::max(maxX, p.x);
                minY = std::min(minY, p.y);
                maxY = std::max(maxY, p.y);
            }
        }
    }
    float scale = 0.88f * size / std::max(maxX - minX, maxY - minY);
    float offsetX = size * 0.5f - (minX + maxX) * 0.5f * scale, offsetY = size * 0.06f - minY * scale;

    Image image(size, size, 3);
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++)
            image.setRgb(x, y, mix(rgb(214, 206, 180), rgb(196, 216, 236), (float)y / size));
    Raster raster(image);
    const Vec3 plantColour = vec3(0.85f, 0.85f, 0.85f); // a typical lightmap value
    for (const auto& object : model.objects) {
        bool sameTexture = true;
        for (const auto& polygon : object.polygons)
            if (polygon.texture != object.polygons[0].texture)
                sameTexture = false;
        for (const auto& polygon : object.polygons) {
            auto vertex = [&](int k) {
                const ModelVertex& v = polygon.vertices[k];
                Vec3 p = project(v.point);
                RasterVertex r{p.x * scale + offsetX, p.y * scale + offsetY, p.z, v.u, v.v, vec3(1, 1, 1)};
                if (sameTexture)
                    r.colour = plantColour;
                else if (!polygon.textured && polygon.red == -1)
                    r.colour = rgb(v.red & 255, v.green & 255, v.blue & 255);
                else
                    r.colour = rgb(polygon.red & 255, polygon.green & 255, polygon.blue & 255);
                return r;
            };
            const LoadedTexture* texture = nullptr;
            if (polygon.textured || sameTexture) {
                auto found = loaded.find(polygon.texture);
                if (found != loaded.end())
                    texture = &found->second;
            }
            size_t count = polygon.vertices.size();
            if (sameTexture && count >= 3) {
                raster.triangle(vertex(0), vertex(1), vertex(2), texture, model.alpha);
            } else if (count == 3 || count == 4) {
                raster.triangle(vertex(0), vertex(1), vertex(2), texture, model.alpha);
                if (count == 4)
                    raster.triangle(vertex(0), vertex(2), vertex(3), texture, model.alpha);
            }
        }
    }
    return image;
}

Image makeContactSheet(const std::vector<PreviewTile>& tiles, int tileSize, int columns)
{
    const int labelHeight = 22, gap = 10;
    int rows = ((int)tiles.size() + columns - 1) / columns;
    int width = columns * (tileSize + gap) + gap, height = rows * (tileSize + labelHeight + gap) + gap;
    Canvas canvas(width, height, false, rgb(40, 42, 46), 1.0f);
    for (size_t k = 0; k < tiles.size(); k++) {
        int column = (int)k % columns, row = (int)k / columns;
        int left = gap + column * (tileSize + gap);
        int top = height - gap - row * (tileSize + labelHeight + gap); // canvas y grows upward
        Image small = thumbnail(tiles[k].picture, tileSize);
        int ox = left + (tileSize - small.width) / 2, oy = top - tileSize + (tileSize - small.height) / 2;
        for (int y = 0; y < small.height; y++)
            for (int x = 0; x < small.width; x++)
                canvas.colour[canvas.index(ox + x, oy + y)] = small.rgbAt(x, y);
        drawText(canvas, tiles[k].label, (float)left, (float)(top - tileSize - 5), 1.6f, 1.6f, rgb(235, 235, 230));
    }
    return canvasToImage(canvas, 3);
}

Image makeRelief(const std::vector<uint8_t>& heights, int size, const Image& base, const Image& lightmap)
{
    int n = size - 1;
    Image image(n, n, 3);
    auto h = [&](int x, int z) { return heights[(size_t)z * size + x]; };
    for (int z = 0; z < n; z++) {
        for (int x = 0; x < n; x++) {
            float s = (x + 0.5f) / n, t = (z + 0.5f) / n;
            Vec3 colour = mul(sampleRgb(base, s, t, false), sampleRgb(lightmap, s, t, false)) * 1.3f;
            // Contour lines from the grid's own samples: every 16 steps, and
            // stronger every 64.
            int band = h(x, z) / 16, bandRight = h(x + 1, z) / 16, bandUp = h(x, z + 1) / 16;
            if (band != bandRight || band != bandUp) {
                int top = std::max({band, bandRight, bandUp});
                colour = colour * ((top % 4 == 0) ? 0.55f : 0.8f);
            }
            image.setRgb(x, z, colour);
        }
    }
    return image;
}
