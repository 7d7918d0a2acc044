// textures.cpp -- terrain textures and the loading picture (see textures.h).
#include "textures.h"

#include "font.h"
#include "noise.h"
#include "paint.h"

namespace {

constexpr int detailSize = 1024;
constexpr int terrainTextureSize = 1024;

// Grid coordinate of the centre of texel i of a terrain-wide picture.
inline float texelToGrid(int i) { return (i + 0.5f) * (float)masterSize / terrainTextureSize; }

// Soft dark copy of a leaf painted first, so leaves lie on the ground.
void leafShadow(Canvas& c, float bx, float by, float tx, float ty, float halfWidth, float fullness, float bend)
{
    fillLeaf(c, bx + 1.5f, by - 1.5f, tx + 1.5f, ty - 1.5f, halfWidth + 0.8f, fullness, bend, 0.35f,
             [](float, float) { return vec3(0.05f, 0.04f, 0.02f); });
}

} // namespace

Image makeForestFloor(uint32_t seed)
{
    const int n = detailSize;
    Canvas c(n, n, true, vec3(0, 0, 0), 1.0f);
    // Ground: dark soil and moss in broad tiling patches.
    uint32_t groundSeed = hash3(seed, 1, 11), mossSeed = hash3(seed, 2, 11), grainSeed = hash3(seed, 3, 11);
    parallelFor(n, [&](int y) {
        for (int x = 0; x < n; x++) {
            float u = (float)x / n, v = (float)y / n;
            float broad = fbmTiled(u * 6, v * 6, mossSeed, 6, 5);
            float ground = fbmTiled(u * 16, v * 16, groundSeed, 16, 4);
            float grain = fbmTiled(u * 128, v * 128, grainSeed, 128, 2);
            Vec3 soil = mix(rgb(68, 54, 36), rgb(104, 84, 56), smoothstep(-0.6f, 0.6f, ground));
            Vec3 moss = mix(rgb(80, 104, 38), rgb(116, 138, 52), smoothstep(-0.5f, 0.5f, grain + 0.5f * ground));
            Vec3 colour = mix(soil, moss, smoothstep(-0.45f, 0.25f, broad));
            c.colour[c.index(x, y)] = colour * (0.88f + 0.12f * grain);
        }
    });

    Rng rng(hash3(seed, 4, 11));
    // Fine grass and moss blades in the mossy patches.
    for (int i = 0; i < 16000; i++) {
        float x = rng.range(0, n), y = rng.range(0, n);
        float broad = fbmTiled(x / n * 6, y / n * 6, mossSeed, 6, 5);
        if (rng.unit() > smoothstep(-0.5f, 0.2f, broad) * 0.8f + 0.2f)
            continue;
        float angle = rng.range(0, 6.2831853f), len = rng.range(6, 16);
        Vec3 green = mix(rgb(84, 116, 38), rgb(146, 162, 64), rng.unit());
        fillLeaf(c, x, y, x + std::cos(angle) * len, y + std::sin(angle) * len, rng.range(0.7f, 1.3f), 0.6f,
                 rng.range(-2, 2), 0.85f, [=](float along, float) { return green * (0.75f + 0.35f * along); });
    }
    // Twigs: dark bark strokes with a light top edge and a side branch.
    for (int i = 0; i < 260; i++) {
        float x = rng.range(0, n), y = rng.range(0, n), angle = rng.range(0, 6.2831853f);
        float len = rng.range(24, 100), width = rng.range(1.0f, 2.6f);
        Vec3 bark = mix(rgb(58, 44, 32), rgb(120, 104, 82), rng.unit());
        float ex = x + std::cos(angle) * len, ey = y + std::sin(angle) * len;
        fillStroke(c, x + 1.5f, y - 1.5f, ex + 1.5f, ey - 1.5f, width + 0.8f, width * 0.6f + 0.8f, 0.35f,
                   [](float, float) { return vec3(0.03f, 0.02f, 0.01f); });
        fillStroke(c, x, y, ex, ey, width, width * 0.6f, 1.0f,
                   [=](float, float r) { return bark * (1.15f - 0.45f * r * r); });
        if (rng.unit() < 0.6f) {
            float t = rng.range(0.3f, 0.7f), side = rng.unit() < 0.5f ? -0.7f : 0.7f;
            float sx = x + (ex - x) * t, sy = y + (ey - y) * t;
            float branchLen = len * rng.range(0.2f, 0.4f);
            fillStroke(c, sx, sy, sx + std::cos(angle + side) * branchLen, sy + std::sin(angle + side) * branchLen,
                       width * 0.6f, width * 0.35f, 1.0f, [=](float, float r) { return bark * (1.1f - 0.4f * r * r); });
        }
    }
    // Fallen leaves in autumn colours, each with a midrib and a lit side.
    static const Vec3 palette[] = {rgb(122, 84, 42), rgb(150, 108, 50), rgb(98, 68, 38),  rgb(128, 118, 56),
                                   rgb(86, 106, 42), rgb(148, 88, 38),  rgb(104, 120, 50), rgb(164, 128, 62)};
    for (int i = 0; i < 4200; i++) {
        float x = rng.range(0, n), y = rng.range(0, n), angle = rng.range(0, 6.2831853f);
        float len = rng.range(8, 20), halfWidth = len * rng.range(0.18f, 0.3f), bend = rng.range(-2, 2);
        float tx = x + std::cos(angle) * len, ty = y + std::sin(angle) * len;
        Vec3 colour = palette[rng.below(8)] * rng.range(0.8f, 1.1f);
        float light = rng.range(-0.12f, 0.12f);
        leafShadow(c, x, y, tx, ty, halfWidth, 0.8f, bend);
        fillLeaf(c, x, y, tx, ty, halfWidth, 0.8f, bend, 1.0f, [=](float along, float across) {
            float rib = std::exp(-across * across * 60.0f);
            return colour * (1.0f + light * across - 0.25f * rib) * (0.9f + 0.15f * along);
        });
    }
    return canvasToImage(c, 3);
}

Image makeSandDetail(uint32_t seed)
{
    const int n = detailSize;
    Canvas c(n, n, true, vec3(0, 0, 0), 1.0f);
    uint32_t broadSeed = hash3(seed, 1, 12), grainSeed = hash3(seed, 2, 12), ripple = hash3(seed, 3, 12);
    parallelFor(n, [&](int y) {
        for (int x = 0; x < n; x++) {
            float u = (float)x / n, v = (float)y / n;
            float broad = fbmTiled(u * 4, v * 4, broadSeed, 4, 5);
            float mid = fbmTiled(u * 24, v * 24, ripple, 24, 3);
            float grain = gradientNoiseTiled(u * 512, v * 512, grainSeed, 512) * 0.6f +
                          gradientNoiseTiled(u * 256, v * 256, grainSeed + 1, 256) * 0.4f;
            Vec3 light = rgb(176, 156, 118), dark = rgb(128, 108, 80), grey = rgb(140, 134, 124);
            Vec3 colour = mix(dark, light, smoothstep(-0.7f, 0.7f, broad + 0.35f * mid));
            colour = mix(colour, grey, 0.35f * smoothstep(0.2f, 0.8f, -broad));
            c.colour[c.index(x, y)] = colour * (0.9f + 0.14f * grain);
        }
    });
    Rng rng(hash3(seed, 4, 12));
    // Pebbles: lit from above, each with a small shadow.
    for (int i = 0; i < 2600; i++) {
        float x = rng.range(0, n), y = rng.range(0, n);
        float r = rng.unit() < 0.85f ? rng.range(1.5f, 4.0f) : rng.range(4.0f, 9.0f);
        float ry = r * rng.range(0.6f, 1.0f), angle = rng.range(0, 3.14159f);
        Vec3 stone = mix(rgb(112, 104, 96), rgb(190, 176, 150), rng.unit()) * rng.range(0.85f, 1.05f);
        fillEllipse(c, x - r * 0.2f, y - r * 0.4f, r * 1.05f, ry * 1.05f, angle, 0.35f,
                    [](float, float) { return vec3(0.1f, 0.08f, 0.05f); });
        float ca = std::cos(angle), sa = std::sin(angle);
        fillEllipse(c, x, y, r, ry, angle, 1.0f, [=](float u, float v) {
            float up = u * sa + v * ca; // toward +y on the picture, where the sun is
            return stone * (0.92f + 0.22f * up - 0.12f * (u * u + v * v));
        });
    }
    // A few dry grass stalks.
    for (int i = 0; i < 500; i++) {
        float x = rng.range(0, n), y = rng.range(0, n), angle = rng.range(0, 6.2831853f), len = rng.range(8, 22);
        Vec3 straw = mix(rgb(150, 130, 80), rgb(190, 170, 110), rng.unit());
        fillLeaf(c, x, y, x + std::cos(angle) * len, y + std::sin(angle) * len, 0.8f, 0.5f, rng.range(-2, 2), 0.9f,
                 [=](float, float) { return straw; });
    }
    return canvasToImage(c, 3);
}

Vec3 averageColour(const Image& image)
{
    double sum[3] = {0, 0, 0};
    for (int y = 0; y < image.height; y++) {
        for (int x = 0; x < image.width; x++) {
            Vec3 colour = image.rgbAt(x, y);
            sum[0] += colour.x;
            sum[1] += colour.y;
            sum[2] += colour.z;
        }
    }
    double count = (double)image.width * image.height;
    return vec3((float)(sum[0] / count), (float)(sum[1] / count), (float)(sum[2] / count));
}

TerrainMaps makeTerrainMaps(const Landscape& land, Vec3 layer1Average, Vec3 layer2Average, uint32_t seed)
{
    const int n = terrainTextureSize;
    TerrainMaps maps{Image(n, n, 3), Image(n, n, 3), Image(n, n, 3)};
    uint32_t edgeSeed = hash3(seed, 1, 13);
    parallelFor(n, [&](int j) {
        for (int i = 0; i < n; i++) {
            float x = texelToGrid(i), z = texelToGrid(j);
            float u = x / (masterSize - 1), w = z / (masterSize - 1);
            float vegetation = land.vegetation.bilinear(x, z);
            float rockAmount = land.rock.bilinear(x, z), snowAmount = land.snow.bilinear(x, z);

            // Layer 1 (forest floor) where plants grow, with a ragged edge.
            // Both layers show almost everywhere, in changing shares, so the
            // ground never looks like one repeated picture.
            float edge = 0.16f * fbm(u * 40.0f, w * 40.0f, edgeSeed, 4);
            float share = 0.12f + 0.80f * smoothstep(0.05f, 0.5f, vegetation + edge);
            share *= 0.8f + 0.2f * smoothstep(-0.5f, 0.5f, fbm(u * 110.0f, w * 110.0f, edgeSeed + 1, 3));
            float cover = share * (1.0f - 0.9f * rockAmount) * (1.0f - snowAmount);
            uint8_t leaves = toByte(cover);
            uint8_t* p = maps.leaves.at(i, j);
            p[0] = p[1] = p[2] = leaves;
            p = maps.sand.at(i, j);
            p[0] = p[1] = p[2] = (uint8_t)(255 - leaves);

            // Base colour: what the two splatting passes give here seen from
            // afar, where the detail pictures are filtered down to their mean
            // colours: each layer's mean times its coverage. Nothing else
            // goes in (no lighting: the lightmap pass adds it; no rock or
            // snow the near ground does not show), so the base texture in
            // place of the splatting passes keeps the ground's colour.
            float coverage = leaves / 255.0f;
            maps.base.setRgb(i, j, layer1Average * coverage + layer2Average * (1.0f - coverage));
        }
    });
    return maps;
}

Image makeLightmapTexture(const Field& light)
{
    const int n = terrainTextureSize;
    Image image(n, n, 3);
    const Vec3 shade = vec3(0.90f, 0.95f, 1.06f), sun = vec3(1.04f, 1.0f, 0.93f);
    parallelFor(n, [&](int j) {
        for (int i = 0; i < n; i++) {
            float value = light.bilinear(texelToGrid(i), texelToGrid(j));
            Vec3 tint = mix(shade, sun, smoothstep(0.45f, 0.85f, value));
            image.setRgb(i, j, tint * value);
        }
    });
    return image;
}

Image makeLoadPicture(uint32_t seed)
{
    // The picture fills the window (800 x 600 or 1024 x 768, both 4:3), so a
    // square texel is drawn 4/3 as wide as tall: shapes meant to look round
    // are drawn 4/3 as tall as wide here.
    const int n = 1024;
    const float aspect = 4.0f / 3.0f;
    Canvas c(n, n, false, vec3(0, 0, 0), 1.0f);
    uint32_t hillSeed = hash3(seed, 1, 14), cloudSeed = hash3(seed, 2, 14);
    const Vec3 zenith = rgb(58, 104, 168), horizon = rgb(232, 206, 164), sunColour = rgb(255, 244, 214);
    const float sunX = 0.80f * n, sunY = 0.44f * n;
    parallelFor(n, [&](int y) {
        for (int x = 0; x < n; x++) {
            float v = (float)y / n;
            Vec3 sky = mix(horizon, zenith, std::pow(smoothstep(0.30f, 1.0f, v), 0.7f));
            float dx = (x - sunX) / n, dy = (y - sunY) / (n * aspect);
            float d = std::sqrt(dx * dx + dy * dy);
            sky = sky + sunColour * (0.45f * std::exp(-d * 14.0f) + 0.8f * smoothstep(0.032f, 0.026f, d));
            float cloud = smoothstep(0.15f, 0.65f, fbm((float)x / n * 5.0f, v * 5.0f * 3.0f, cloudSeed, 5));
            cloud *= smoothstep(0.45f, 0.62f, v);
            sky = mix(sky, vec3(1.0f, 0.98f, 0.95f), 0.55f * cloud);
            c.colour[c.index(x, y)] = sky;
        }
    });
    // Three ranges of hills, paler with distance.
    struct Range {
        float base, amplitude, frequency;
        Vec3 colour;
    };
    const Range ranges[] = {{0.40f, 0.10f, 3.0f, rgb(120, 140, 150)},
                            {0.33f, 0.08f, 5.0f, rgb(78, 104, 86)},
                            {0.22f, 0.07f, 7.0f, rgb(46, 72, 40)}};
    for (int r = 0; r < 3; r++) {
        const Range& range = ranges[r];
        for (int x = 0; x < n; x++) {
            float u = (float)x / n;
            float top = (range.base + range.amplitude * (0.5f + 0.5f * fbm(u * range.frequency, 0.5f + r, hillSeed + r, 5))) * n;
            for (int y = 0; y < n && y < top + 1; y++) {
                float k = clamp01(top - y + 0.5f);
                float shade = 0.85f + 0.15f * (float)y / std::max(top, 1.0f);
                blendOver(c, x, y, range.colour * shade, k);
            }
        }
    }
    // Grass in the foreground.
    Rng rng(hash3(seed, 3, 14));
    for (int i = 0; i < 1400; i++) {
        float x = rng.range(-20, n + 20), base = rng.range(-10, 0.16f * n);
        float len = rng.range(40, 150) * (1.0f - base / (0.2f * n)), lean = rng.range(-0.35f, 0.35f);
        Vec3 green = mix(rgb(36, 62, 24), rgb(96, 128, 44), rng.unit());
        fillLeaf(c, x, base, x + lean * len, base + len * aspect * 0.6f, rng.range(2.0f, 4.0f), 0.5f, rng.range(-6, 6),
                 1.0f, [=](float along, float) { return green * (0.7f + 0.5f * along); });
    }

    // The program's name, with a soft shadow, and what it is.
    const std::string title = "Morvista";
    float cell = 17.0f;
    float width = textWidth(title, cell);
    float left = (n - width) * 0.5f, top = 0.78f * n;
    for (int k = 0; k < 6; k++)
        drawText(c, title, left + 3.0f + k, top - 3.0f - k, cell, cell * aspect, vec3(0.05f, 0.08f, 0.12f), 0.10f);
    drawText(c, title, left, top, cell, cell * aspect, vec3(1.0f, 0.99f, 0.96f));
    const std::string subtitle = "terrain and vegetation level of detail";
    float small = 3.6f;
    for (int k = 1; k <= 3; k++)
        drawText(c, subtitle, (n - textWidth(subtitle, small)) * 0.5f + k, top - 11.0f * cell * aspect - k, small,
                 small * aspect, vec3(0.05f, 0.08f, 0.12f), 0.35f);
    drawText(c, subtitle, (n - textWidth(subtitle, small)) * 0.5f, top - 11.0f * cell * aspect, small, small * aspect,
             vec3(1.0f, 1.0f, 1.0f));
    const std::string loading = "loading the scene ...";
    float tiny = 3.0f;
    drawText(c, loading, (n - textWidth(loading, tiny)) * 0.5f, 0.07f * n, tiny, tiny * aspect, vec3(0.92f, 0.95f, 0.85f));
    return canvasToImage(c, 3);
}
