// paint.h -- a float canvas and the anti-aliased shapes the textures are
// painted with.
//
// Provides: Canvas (colour and alpha in floats, row 0 at the bottom),
// blendOver, fillLeaf (pointed leaf or blade between a base and a tip),
// fillStroke (tapered round-ended line), fillEllipse, canvasToImage.
// Shapes on a wrapping canvas are painted across its edges so that tiling
// textures repeat without seams. Coordinates are in pixels, with pixel
// (i, j) covering [i, i + 1) x [j, j + 1).
#pragma once

#include "common.h"
#include "image.h"

#include <vector>

struct Canvas {
    int width = 0, height = 0;
    bool wrap = false;
    std::vector<Vec3> colour;
    std::vector<float> alpha;

    Canvas(int w, int h, bool wrapping, Vec3 fill, float fillAlpha)
        : width(w), height(h), wrap(wrapping), colour((size_t)w * h, fill), alpha((size_t)w * h, fillAlpha)
    {
    }
    size_t index(int x, int y) const { return (size_t)y * width + x; }
};

// Paints `colour` over pixel (x, y) with weight k (0-1): straight-alpha
// "over", so painting on a transparent canvas leaves no dark fringe.
inline void blendOver(Canvas& c, int x, int y, Vec3 colour, float k)
{
    if (k <= 0.0f)
        return;
    if (c.wrap) {
        x %= c.width;
        y %= c.height;
        if (x < 0)
            x += c.width;
        if (y < 0)
            y += c.height;
    } else if (x < 0 || y < 0 || x >= c.width || y >= c.height) {
        return;
    }
    size_t i = c.index(x, y);
    float a = c.alpha[i];
    float outAlpha = a + (1.0f - a) * k;
    if (outAlpha <= 0.0f)
        return;
    c.colour[i] = (c.colour[i] * (a * (1.0f - k)) + colour * k) * (1.0f / outAlpha);
    c.alpha[i] = outAlpha;
}

// Calls paint(px, py) -> coverage for every pixel centre in the box and
// blends colourAt(px, py) with that coverage times opacity.
template <class Coverage, class ColourAt>
void paintRegion(Canvas& c, float minX, float minY, float maxX, float maxY, float opacity, Coverage coverage,
                 ColourAt colourAt)
{
    int x0 = (int)std::floor(minX) - 1, x1 = (int)std::ceil(maxX) + 1;
    int y0 = (int)std::floor(minY) - 1, y1 = (int)std::ceil(maxY) + 1;
    if (!c.wrap) {
        x0 = std::max(x0, 0);
        y0 = std::max(y0, 0);
        x1 = std::min(x1, c.width - 1);
        y1 = std::min(y1, c.height - 1);
    }
    for (int y = y0; y <= y1; y++) {
        for (int x = x0; x <= x1; x++) {
            float px = x + 0.5f, py = y + 0.5f;
            float k = coverage(px, py);
            if (k > 0.0f)
                blendOver(c, x, y, colourAt(px, py), clamp01(k) * opacity);
        }
    }
}

// A leaf or blade from base (bx, by) to tip (tx, ty): width 0 at both ends,
// halfWidth at its widest; `fullness` below 1 makes it rounder, above 1
// slimmer. `bend` curves the midrib sideways by that many pixels at the
// middle. colourAt(along 0-1, across -1..1) gives the colour.
template <class ColourAt>
void fillLeaf(Canvas& c, float bx, float by, float tx, float ty, float halfWidth, float fullness, float bend,
              float opacity, ColourAt colourAt)
{
    float ax = tx - bx, ay = ty - by;
    float len = std::sqrt(ax * ax + ay * ay);
    if (len < 0.5f)
        return;
    ax /= len;
    ay /= len;
    float nx = -ay, ny = ax;
    float reach = halfWidth + std::fabs(bend) + 2.0f;
    float minX = std::min(bx, tx) - reach, maxX = std::max(bx, tx) + reach;
    float minY = std::min(by, ty) - reach, maxY = std::max(by, ty) + reach;
    auto local = [=](float px, float py, float& s, float& o, float& w) {
        float dx = px - bx, dy = py - by;
        s = (dx * ax + dy * ay) / len;
        float sc = clamp01(s);
        o = dx * nx + dy * ny - bend * 4.0f * sc * (1.0f - sc);
        w = halfWidth * std::pow(std::max(0.0f, std::sin(3.14159265f * sc)), fullness);
    };
    paintRegion(
        c, minX, minY, maxX, maxY, opacity,
        [=](float px, float py) {
            float s, o, w;
            local(px, py, s, o, w);
            if (s < -0.02f || s > 1.02f)
                return 0.0f;
            return clamp01(w - std::fabs(o) + 0.5f);
        },
        [=](float px, float py) {
            float s, o, w;
            local(px, py, s, o, w);
            return colourAt(clamp01(s), w > 1e-4f ? clampf(o / w, -1.0f, 1.0f) : 0.0f);
        });
}

// A round-ended line from (ax, ay) radius ra to (bx, by) radius rb.
template <class ColourAt>
void fillStroke(Canvas& c, float ax, float ay, float bx, float by, float ra, float rb, float opacity,
                ColourAt colourAt)
{
    float dx = bx - ax, dy = by - ay;
    float len2 = std::max(dx * dx + dy * dy, 1e-6f);
    float reach = std::max(ra, rb) + 2.0f;
    auto param = [=](float px, float py, float& t, float& d) {
        t = clamp01(((px - ax) * dx + (py - ay) * dy) / len2);
        float cx = ax + dx * t - px, cy = ay + dy * t - py;
        d = std::sqrt(cx * cx + cy * cy);
    };
    paintRegion(
        c, std::min(ax, bx) - reach, std::min(ay, by) - reach, std::max(ax, bx) + reach, std::max(ay, by) + reach,
        opacity,
        [=](float px, float py) {
            float t, d;
            param(px, py, t, d);
            return clamp01(lerp(ra, rb, t) - d + 0.5f);
        },
        [=](float px, float py) {
            float t, d;
            param(px, py, t, d);
            float r = std::max(lerp(ra, rb, t), 1e-3f);
            return colourAt(t, clampf(d / r, 0.0f, 1.0f));
        });
}

// An ellipse with radii rx, ry turned by `angle` radians.
template <class ColourAt>
void fillEllipse(Canvas& c, float cx, float cy, float rx, float ry, float angle, float opacity, ColourAt colourAt)
{
    float ca = std::cos(angle), sa = std::sin(angle);
    float reach = std::max(rx, ry) + 2.0f;
    auto local = [=](float px, float py, float& u, float& v) {
        float dx = px - cx, dy = py - cy;
        u = (dx * ca + dy * sa) / rx;
        v = (-dx * sa + dy * ca) / ry;
    };
    paintRegion(
        c, cx - reach, cy - reach, cx + reach, cy + reach, opacity,
        [=](float px, float py) {
            float u, v;
            local(px, py, u, v);
            float r = std::sqrt(u * u + v * v);
            return clamp01((1.0f - r) * std::min(rx, ry) + 0.5f);
        },
        [=](float px, float py) {
            float u, v;
            local(px, py, u, v);
            return colourAt(u, v);
        });
}

// Converts to an 8-bit picture with `channels` 3 or 4.
Image canvasToImage(const Canvas& c, int channels);
