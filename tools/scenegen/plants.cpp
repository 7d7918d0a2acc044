// plants.cpp -- plant models and leaf textures (see plants.h).
#include "plants.h"

#include "impostor.h"
#include "paint.h"

#include <cstdio>

namespace {

constexpr float pi = 3.14159265f;

// ---------------------------------------------------------------- textures

// Turns a painted canvas into the texture file's picture: transparent texels
// take the colour of the nearest leaf (no dark fringes when filtered), and
// textures that the scene brightens on load are written 50 darker.
PlantTexture finishTexture(const std::string& file, const Canvas& canvas, bool brightened)
{
    Image image = canvasToImage(canvas, 4);
    bleedTransparentColour(image);
    if (brightened) {
        for (size_t i = 0; i < image.pixels.size(); i += 4)
            for (int c = 0; c < 3; c++)
                image.pixels[i + c] = (uint8_t)std::max(0, image.pixels[i + c] - 50);
    }
    return PlantTexture{file, std::move(image), brightened};
}

// One fern frond standing up the picture: a stem with paired leaflets that
// shrink toward the tip.
Canvas paintFernFrond(uint32_t seed)
{
    const int w = 128, h = 256;
    Canvas c(w, h, false, rgb(90, 140, 60), 0.0f);
    Rng rng(seed);
    const float cx = w * 0.5f;
    for (int i = 0; i < 22; i++) {
        float y = 14.0f + i * 10.6f;
        float t = y / h;
        float reach = 58.0f * std::pow(std::sin(pi * (0.10f + 0.88f * t)), 0.7f) * (1.0f - 0.15f * t);
        for (int side = -1; side <= 1; side += 2) {
            float tipX = cx + side * reach, tipY = y + reach * 0.45f + rng.range(-2, 2);
            Vec3 base = mix(rgb(58, 104, 38), rgb(96, 150, 52), t);
            Vec3 tip = mix(rgb(104, 160, 58), rgb(150, 190, 80), t);
            float halfWidth = std::max(2.5f, reach * 0.17f);
            fillLeaf(c, cx, y, tipX, tipY, halfWidth, 0.55f, side * 3.0f, 1.0f, [=](float along, float across) {
                float rib = std::exp(-across * across * 40.0f);
                // Small lobes along each leaflet read as the fern's fine cut.
                float lobe = 0.92f + 0.08f * std::cos(along * 40.0f);
                return mix(base, tip, along) * lobe * (1.0f - 0.18f * rib);
            });
        }
    }
    fillStroke(c, cx, 0, cx, h - 4.0f, 2.6f, 0.8f, 1.0f,
               [](float t, float) { return mix(rgb(76, 90, 40), rgb(110, 150, 60), t); });
    return c;
}

// One broad leaf on a short stalk, with a midrib and side veins.
Canvas paintBroadLeaf(uint32_t seed, Vec3 dark, Vec3 light, Vec3 vein, float roundness, float widthScale)
{
    const int w = 128, h = 256;
    Canvas c(w, h, false, dark, 0.0f);
    Rng rng(seed);
    const float cx = w * 0.5f;
    fillStroke(c, cx, 0, cx, 60, 4.0f, 3.0f, 1.0f, [=](float, float) { return vein * 0.8f; });
    fillLeaf(c, cx, 36, cx, h - 4.0f, 58.0f * widthScale, roundness, 0.0f, 1.0f, [=](float along, float across) {
        float edge = smoothstep(0.6f, 1.0f, std::fabs(across));
        return mix(dark, light, 0.35f + 0.5f * along * (1.0f - along) * 2.0f) * (1.0f - 0.12f * edge);
    });
    // Veins: the midrib and curved side veins reaching toward the edge.
    fillStroke(c, cx, 36, cx, h - 16.0f, 2.2f, 0.6f, 0.9f, [=](float, float) { return vein; });
    for (int k = 0; k < 7; k++) {
        float y = 60.0f + k * 24.0f;
        float t = (y - 36.0f) / (h - 40.0f);
        float reach = 50.0f * widthScale * std::pow(std::sin(pi * t), roundness) * 0.85f;
        for (int side = -1; side <= 1; side += 2)
            fillStroke(c, cx, y, cx + side * reach, y + reach * 0.55f + rng.range(-3, 3), 1.2f, 0.4f, 0.7f,
                       [=](float, float) { return vein; });
    }
    return c;
}

// A dense cluster of small leaves, round overall, for the bush cards.
Canvas paintLeafCluster(uint32_t seed)
{
    const int n = 256;
    Canvas c(n, n, false, rgb(60, 90, 40), 0.0f);
    Rng rng(seed);
    for (int i = 0; i < 12; i++) {
        float a = rng.range(0, 2 * pi), r = rng.range(20, 100);
        fillStroke(c, n * 0.5f, n * 0.5f, n * 0.5f + std::cos(a) * r, n * 0.5f + std::sin(a) * r, 2.5f, 1.0f, 1.0f,
                   [](float, float) { return rgb(84, 70, 50); });
    }
    for (int i = 0; i < 330; i++) {
        // Denser toward the middle; leaves painted later are lighter, as the
        // outer leaves catch more light.
        float a = rng.range(0, 2 * pi), r = 112.0f * std::sqrt(rng.unit()) * rng.range(0.75f, 1.0f);
        float x = n * 0.5f + std::cos(a) * r, y = n * 0.5f + std::sin(a) * r;
        float angle = rng.range(0, 2 * pi), len = rng.range(16, 30);
        float order = (float)i / 330.0f;
        Vec3 colour = mix(rgb(40, 74, 30), rgb(96, 140, 52), clamp01(order * 0.8f + rng.range(-0.2f, 0.3f)));
        float tx = x + std::cos(angle) * len, ty = y + std::sin(angle) * len;
        fillLeaf(c, x, y, tx, ty, len * 0.28f, 0.75f, rng.range(-2, 2), 1.0f, [=](float along, float across) {
            float rib = std::exp(-across * across * 50.0f);
            return colour * (0.9f + 0.2f * across + 0.1f * along) * (1.0f - 0.15f * rib);
        });
    }
    return c;
}

// Spear-shaped leaves rising from one base.
Canvas paintSpearClump(uint32_t seed)
{
    const int w = 128, h = 256;
    Canvas c(w, h, false, rgb(70, 110, 60), 0.0f);
    Rng rng(seed);
    for (int i = 0; i < 11; i++) {
        float spread = (i / 10.0f) * 2.0f - 1.0f + rng.range(-0.08f, 0.08f);
        float bx = w * 0.5f + spread * 8.0f;
        float tx = w * 0.5f + spread * 52.0f;
        float ty = h * (0.98f - 0.3f * spread * spread) * rng.range(0.85f, 1.0f);
        Vec3 dark = mix(rgb(52, 92, 56), rgb(70, 110, 58), rng.unit());
        Vec3 light = mix(rgb(110, 150, 70), rgb(140, 170, 84), rng.unit());
        fillLeaf(c, bx, -6.0f, tx, ty, rng.range(7.0f, 10.0f), 1.2f, spread * 10.0f, 1.0f,
                 [=](float along, float across) {
                     float rib = std::exp(-across * across * 30.0f);
                     return mix(dark, light, along) * (0.92f + 0.12f * across) * (1.0f - 0.2f * rib);
                 });
    }
    return c;
}

// Palm frond: a stem with long narrow leaflets hanging to both sides.
Canvas paintPalmFrond(uint32_t seed)
{
    const int w = 128, h = 256;
    Canvas c(w, h, false, rgb(80, 120, 50), 0.0f);
    Rng rng(seed);
    const float cx = w * 0.5f;
    for (int i = 0; i < 30; i++) {
        float y = 20.0f + i * 7.6f, t = y / h;
        float reach = 60.0f * std::sin(pi * (0.15f + 0.8f * t));
        for (int side = -1; side <= 1; side += 2) {
            Vec3 colour = mix(rgb(60, 104, 42), rgb(110, 150, 60), rng.unit());
            fillLeaf(c, cx, y, cx + side * reach, y - reach * 0.25f, 3.5f, 1.0f, -side * 4.0f, 1.0f,
                     [=](float along, float) { return colour * (0.85f + 0.25f * along); });
        }
    }
    fillStroke(c, cx, 0, cx, h - 6.0f, 3.0f, 1.0f, 1.0f, [](float, float) { return rgb(112, 120, 62); });
    return c;
}

// Flower atlas: the head seen from above on the left half, a leaf on the right.
Canvas paintFlowerAtlas(uint32_t seed, int petals, float petalWidth, Vec3 petalBase, Vec3 petalTip, Vec3 centre)
{
    const int w = 256, h = 128;
    Canvas c(w, h, false, petalTip, 0.0f);
    Rng rng(seed);
    const float cx = 64, cy = 64;
    for (int layer = 0; layer < 2; layer++) {
        for (int k = 0; k < petals; k++) {
            float a = (k + 0.5f * layer) * 2 * pi / petals + rng.range(-0.08f, 0.08f);
            float len = (layer == 0 ? 60.0f : 50.0f) * rng.range(0.92f, 1.0f);
            Vec3 base = petalBase * (layer == 0 ? 0.85f : 1.0f), tip = petalTip * (layer == 0 ? 0.9f : 1.0f);
            fillLeaf(c, cx, cy, cx + std::cos(a) * len, cy + std::sin(a) * len, petalWidth, 0.55f, 0.0f, 1.0f,
                     [=](float along, float across) {
                         float stripe = std::exp(-across * across * 20.0f) * 0.1f;
                         return mix(base, tip, smoothstep(0.0f, 0.7f, along)) * (1.0f - stripe);
                     });
        }
    }
    fillEllipse(c, cx, cy, 13, 13, 0, 1.0f, [=](float u, float v) {
        float dots = 0.9f + 0.1f * std::cos(u * 18.0f) * std::cos(v * 18.0f);
        return centre * dots * (1.05f - 0.2f * (u * u + v * v));
    });
    fillLeaf(c, 192, 2, 192, 124, 24, 0.8f, 6.0f, 1.0f, [](float along, float across) {
        float rib = std::exp(-across * across * 40.0f);
        return mix(rgb(56, 98, 42), rgb(94, 140, 58), along) * (1.0f + 0.15f * rib);
    });
    return c;
}

// ---------------------------------------------------------------- geometry

Vec3 faceNormal(Vec3 a, Vec3 b, Vec3 c) { return normalize(cross(b - a, c - a)); }

ModelVertex vertexAt(Vec3 p, Vec3 n, float u, float v)
{
    ModelVertex vertex;
    vertex.point = p;
    vertex.normal = n;
    vertex.u = u;
    vertex.v = v;
    return vertex;
}

void addTriangle(ModelObject& object, const std::string& texture, Vec3 a, Vec3 b, Vec3 c, float ua, float va,
                 float ub, float vb, float uc, float vc)
{
    Vec3 n = faceNormal(a, b, c);
    ModelPolygon polygon;
    polygon.textured = true;
    polygon.texture = texture;
    polygon.vertices = {vertexAt(a, n, ua, va), vertexAt(b, n, ub, vb), vertexAt(c, n, uc, vc)};
    object.polygons.push_back(polygon);
}

// A textured rectangle p0 p1 p2 p3 (texture corners (0,0) (1,0) (1,1) (0,1)
// mapped to the given sub-rectangle) as two triangles, for fast-path objects.
void addCardTriangles(ModelObject& object, const std::string& texture, Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3,
                      float u0 = 0, float v0 = 0, float u1 = 1, float v1 = 1)
{
    addTriangle(object, texture, p0, p1, p2, u0, v0, u1, v0, u1, v1);
    addTriangle(object, texture, p0, p2, p3, u0, v0, u1, v1, u0, v1);
}

// A textured quad, for objects that mix textures.
void addTexturedQuad(ModelObject& object, const std::string& texture, Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, float u0,
                     float v0, float u1, float v1, int grey)
{
    Vec3 n = faceNormal(p0, p1, p2);
    ModelPolygon polygon;
    polygon.textured = true;
    polygon.texture = texture;
    polygon.red = polygon.green = polygon.blue = grey;
    polygon.vertices = {vertexAt(p0, n, u0, v0), vertexAt(p1, n, u1, v0), vertexAt(p2, n, u1, v1),
                        vertexAt(p3, n, u0, v1)};
    object.polygons.push_back(polygon);
}

// An untextured quad with one colour per corner.
void addColouredQuad(ModelObject& object, Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, Vec3 c0, Vec3 c1, Vec3 c2, Vec3 c3)
{
    Vec3 n = faceNormal(p0, p1, p2);
    ModelPolygon polygon;
    polygon.textured = false;
    polygon.red = -1;
    polygon.green = polygon.blue = 0;
    Vec3 points[4] = {p0, p1, p2, p3}, colours[4] = {c0, c1, c2, c3};
    for (int k = 0; k < 4; k++) {
        ModelVertex vertex = vertexAt(points[k], n, 0, 0);
        vertex.red = toByte(colours[k].x);
        vertex.green = toByte(colours[k].y);
        vertex.blue = toByte(colours[k].z);
        polygon.vertices.push_back(vertex);
    }
    object.polygons.push_back(polygon);
}

// A strip through `stations` with half-width vectors `sides`; texture u runs
// across (0 to 1), v along from 0 at the first station to 1 at the last.
void addStrip(ModelObject& object, const std::string& texture, const std::vector<Vec3>& stations,
              const std::vector<Vec3>& sides)
{
    size_t count = stations.size();
    for (size_t k = 0; k + 1 < count; k++) {
        float v0 = (float)k / (count - 1), v1 = (float)(k + 1) / (count - 1);
        Vec3 a = stations[k] - sides[k], b = stations[k] + sides[k];
        Vec3 c = stations[k + 1] + sides[k + 1], d = stations[k + 1] - sides[k + 1];
        addTriangle(object, texture, a, b, c, 0, v0, 1, v0, 1, v1);
        addTriangle(object, texture, a, c, d, 0, v0, 1, v1, 0, v1);
    }
}

// Two crossed vertical quads of stem from y0 to y1, tapering.
void addStem(ModelObject& object, Vec3 base, Vec3 top, float r0, float r1, Vec3 bottomColour, Vec3 topColour)
{
    for (int k = 0; k < 2; k++) {
        Vec3 side = k == 0 ? vec3(1, 0, 0) : vec3(0, 0, 1);
        addColouredQuad(object, base - side * r0, base + side * r0, top + side * r1, top - side * r1, bottomColour,
                        bottomColour * 0.85f, topColour * 0.85f, topColour);
    }
}

Model fern(uint32_t seed)
{
    Model model;
    model.file = "fern.xml";
    model.brightened = true;
    ModelObject object;
    Rng rng(seed);
    const int fronds = 9;
    for (int f = 0; f < fronds; f++) {
        float angle = f * 2 * pi / fronds + rng.range(-0.25f, 0.25f);
        Vec3 out = vec3(std::cos(angle), 0, std::sin(angle)), side = vec3(-std::sin(angle), 0, std::cos(angle));
        float length = rng.range(2.8f, 3.6f), rise = rng.range(1.4f, 2.2f), roll = rng.range(-0.25f, 0.25f);
        std::vector<Vec3> stations, sides;
        for (int k = 0; k <= 4; k++) {
            float s = k / 4.0f;
            float radius = length * 0.82f * s;
            float height = 0.05f + length * (rise * s - rise * 0.72f * s * s);
            stations.push_back(out * radius + vec3(0, height, 0));
            float halfWidth = 0.5f * (0.55f + 0.45f * std::sin(pi * std::min(1.0f, s + 0.1f)));
            sides.push_back((side * std::cos(roll) + vec3(0, std::sin(roll), 0)) * halfWidth);
        }
        addStrip(object, "fern.tga", stations, sides);
    }
    model.objects.push_back(object);
    return model;
}

Model towerGrass(uint32_t seed)
{
    Model model;
    model.file = "towergrass.xml";
    model.brightened = true;
    ModelObject object;
    Rng rng(seed);
    const int blades = 14;
    for (int b = 0; b < blades; b++) {
        float angle = b * 2.399963f + rng.range(-0.3f, 0.3f); // golden angle: even spread
        Vec3 out = vec3(std::cos(angle), 0, std::sin(angle)), side = vec3(-std::sin(angle), 0, std::cos(angle));
        float height = rng.range(0.9f, 1.45f), lean = rng.range(0.15f, 0.55f), offset = rng.range(0.0f, 0.12f);
        std::vector<Vec3> stations, sides;
        for (int k = 0; k <= 2; k++) {
            float s = k / 2.0f;
            stations.push_back(out * (offset + lean * s * s) + vec3(0, height * s * (1.0f - 0.12f * s * s), 0));
            sides.push_back(side * 0.055f);
        }
        addStrip(object, "towergrass.tga", stations, sides);
    }
    model.objects.push_back(object);
    return model;
}

// Grass billboards cover the full clump: half-width hw (the clump's reach
// from its axis) and height h (its tallest blade).
Model grassCross(float hw, float h)
{
    Model model;
    model.file = "grasscross.xml";
    model.brightened = true;
    ModelObject object;
    // Left half of the texture on the x-y rectangle, right half on the z-y one.
    addCardTriangles(object, "grasscross.tga", vec3(-hw, 0, 0), vec3(hw, 0, 0), vec3(hw, h, 0), vec3(-hw, h, 0), 0.0f,
                     0.0f, 0.5f, 1.0f);
    addCardTriangles(object, "grasscross.tga", vec3(0, 0, hw), vec3(0, 0, -hw), vec3(0, h, -hw), vec3(0, h, hw), 0.5f,
                     0.0f, 1.0f, 1.0f);
    model.objects.push_back(object);
    return model;
}

Model grassBillboard(float hw, float h)
{
    Model model;
    model.file = "grassbill.xml";
    model.brightened = true;
    ModelObject object;
    addCardTriangles(object, "grassbill.tga", vec3(-hw, 0, 0), vec3(hw, 0, 0), vec3(hw, h, 0), vec3(-hw, h, 0));
    model.objects.push_back(object);
    return model;
}

Model spear()
{
    Model model;
    model.file = "spear.xml";
    model.brightened = true;
    ModelObject object;
    float hw = 0.55f, h = 1.5f;
    addCardTriangles(object, "spear.tga", vec3(-hw, 0, 0), vec3(hw, 0, 0), vec3(hw, h, 0), vec3(-hw, h, 0));
    model.objects.push_back(object);
    return model;
}

// A rosette of broad leaves, each a bent strip rising out of the middle.
Model broad01(uint32_t seed)
{
    Model model;
    model.file = "broad01.xml";
    model.hasRotation = true;
    model.rotation[0] = 20.0f;
    ModelObject object;
    Rng rng(seed);
    const int leaves = 9;
    for (int l = 0; l < leaves; l++) {
        float angle = l * 2.399963f + rng.range(-0.2f, 0.2f);
        Vec3 out = vec3(std::cos(angle), 0, std::sin(angle)), side = vec3(-std::sin(angle), 0, std::cos(angle));
        float length = rng.range(0.9f, 1.25f), lift = rng.range(0.5f, 0.9f);
        std::vector<Vec3> stations, sides;
        for (int k = 0; k <= 3; k++) {
            float s = k / 3.0f;
            stations.push_back(out * (length * s) + vec3(0, 0.04f + length * (lift * s - 0.55f * lift * s * s), 0));
            sides.push_back(side * 0.30f + vec3(0, 0.03f, 0));
        }
        addStrip(object, "broad01.tga", stations, sides);
    }
    model.objects.push_back(object);
    return model;
}

// An upright plant: a stem with leaves in a spiral, leaves as textured quads
// and the stem as coloured quads in one object.
Model broad16(uint32_t seed)
{
    Model model;
    model.file = "broad16.xml";
    model.alpha = 0.3f; // the scene sets this reference for broad16 in any case
    ModelObject object;
    Rng rng(seed);
    const float height = 1.9f;
    const int leaves = 10;
    for (int l = 0; l < leaves; l++) {
        float t = 0.18f + 0.78f * l / (leaves - 1);
        float angle = l * 2.399963f;
        Vec3 out = vec3(std::cos(angle), 0, std::sin(angle)), side = vec3(-std::sin(angle), 0, std::cos(angle));
        float length = 0.85f * (1.1f - 0.5f * t) * rng.range(0.9f, 1.1f), halfWidth = length * 0.3f;
        float droop = rng.range(0.05f, 0.3f);
        Vec3 base = vec3(0, height * t, 0);
        Vec3 tip = base + out * length + vec3(0, length * (0.35f - droop), 0);
        addTexturedQuad(object, "broad16.tga", base - side * halfWidth, base + side * halfWidth,
                        tip + side * halfWidth, tip - side * halfWidth, 0, 0, 1, 1, 210);
    }
    addStem(object, vec3(0, 0, 0), vec3(0, height, 0), 0.045f, 0.015f, rgb(86, 80, 50), rgb(90, 136, 56));
    model.objects.push_back(object);
    return model;
}

// A small palm: a curved trunk of coloured quads and drooping fronds.
Model palm01(uint32_t seed)
{
    Model model;
    model.file = "palm01.xml";
    model.hasScale = true;
    model.scale = vec3(1.2f, 1.2f, 1.2f);
    ModelObject object;
    Rng rng(seed);
    const float trunkHeight = 3.0f;
    auto trunkAt = [&](float t) { return vec3(0.25f * t * t, trunkHeight * t, 0.1f * t * t); };
    Vec3 crown = trunkAt(1.0f);
    const int fronds = 8;
    for (int f = 0; f < fronds; f++) {
        float angle = f * 2 * pi / fronds + rng.range(-0.2f, 0.2f);
        Vec3 out = vec3(std::cos(angle), 0, std::sin(angle)), side = vec3(-std::sin(angle), 0, std::cos(angle));
        float length = rng.range(1.7f, 2.2f);
        Vec3 mid = crown + out * (length * 0.5f) + vec3(0, 0.35f, 0);
        Vec3 tip = crown + out * length + vec3(0, -0.35f, 0);
        Vec3 w = side * 0.42f;
        addTexturedQuad(object, "palm01.tga", crown - w * 0.6f, crown + w * 0.6f, mid + w, mid - w, 0, 0, 1, 0.5f, 220);
        addTexturedQuad(object, "palm01.tga", mid - w, mid + w, tip + w * 0.5f, tip - w * 0.5f, 0, 0.5f, 1, 1, 220);
    }
    const int rings = 6;
    for (int r = 0; r < rings; r++) {
        float t0 = (float)r / rings, t1 = (float)(r + 1) / rings;
        float r0 = 0.16f - 0.06f * t0, r1 = 0.16f - 0.06f * t1;
        Vec3 dark = rgb(92, 74, 52), light = rgb(142, 118, 84);
        for (int k = 0; k < 2; k++) {
            Vec3 side = k == 0 ? vec3(1, 0, 0) : vec3(0, 0, 1);
            Vec3 a = trunkAt(t0), b = trunkAt(t1);
            addColouredQuad(object, a - side * r0, a + side * r0, b + side * r1, b - side * r1, dark, dark, light,
                            light);
        }
    }
    model.objects.push_back(object);
    return model;
}

// A bush: leaf-cluster cards over a dome, each turned outward. The cards
// low on the dome and a few inside it form a second object with a shaded
// copy of the leaves, so the bush looks round; both objects stay on the
// single-texture path and take the lightmap tint.
Model bush(uint32_t seed)
{
    Model model;
    model.file = "bboy.xml";
    ModelObject outer, inner;
    Rng rng(seed);
    const int cards = 28;
    for (int k = 0; k < 6; k++) {
        float angle = k * 2.399963f, r = rng.range(0.2f, 0.5f);
        Vec3 centre = vec3(std::cos(angle) * r, rng.range(0.5f, 1.1f), std::sin(angle) * r);
        Vec3 right = vec3(std::cos(angle + 1.3f), 0, std::sin(angle + 1.3f)) * 0.7f, up = vec3(0, 0.7f, 0);
        addCardTriangles(inner, "bboyshade.tga", centre - right - up, centre + right - up, centre + right + up,
                         centre - right + up);
    }
    for (int k = 0; k < cards; k++) {
        // Even spread over the upper part of a sphere (Fibonacci lattice).
        float y = 1.0f - 1.3f * (k + 0.5f) / cards;
        float ring = std::sqrt(std::max(0.0f, 1.0f - y * y));
        float angle = k * 2.399963f;
        Vec3 dir = vec3(ring * std::cos(angle), y, ring * std::sin(angle));
        Vec3 centre = vec3(dir.x * 1.0f, 0.95f + dir.y * 0.75f, dir.z * 1.0f) * rng.range(0.85f, 1.0f);
        Vec3 normal = normalize(dir + vec3(rng.range(-0.4f, 0.4f), rng.range(-0.2f, 0.4f), rng.range(-0.4f, 0.4f)));
        Vec3 helper = std::fabs(normal.y) > 0.9f ? vec3(1, 0, 0) : vec3(0, 1, 0);
        Vec3 right = normalize(cross(helper, normal)), up = cross(normal, right);
        float half = rng.range(0.55f, 0.75f);
        Vec3 r = right * half, u = up * half;
        if (y < -0.05f)
            addCardTriangles(inner, "bboyshade.tga", centre - r - u, centre + r - u, centre + r + u, centre - r + u);
        else
            addCardTriangles(outer, "bboy.tga", centre - r - u, centre + r - u, centre + r + u, centre - r + u);
    }
    model.objects.push_back(inner);
    model.objects.push_back(outer);
    return model;
}

// Flowers: a few stems with a head each and two leaves, heads and leaves
// from the atlas (head on the left half, leaf on the right half).
Model flowers(const std::string& file, const std::string& texture, int stems, uint32_t seed, bool brightened)
{
    Model model;
    model.file = file;
    model.brightened = brightened;
    ModelObject object;
    Rng rng(seed);
    struct Stem {
        Vec3 base, top;
    };
    std::vector<Stem> stemList;
    for (int s = 0; s < stems; s++) {
        float angle = s * 2.399963f + rng.range(-0.3f, 0.3f), r = s == 0 ? 0.0f : rng.range(0.08f, 0.18f);
        Vec3 base = vec3(std::cos(angle) * r, 0, std::sin(angle) * r);
        Vec3 top = base * 1.6f + vec3(rng.range(-0.04f, 0.04f), rng.range(0.38f, 0.62f), rng.range(-0.04f, 0.04f));
        stemList.push_back({base, top});
        // Head: a tilted square facing mostly up.
        float tilt = rng.range(0.25f, 0.55f), turn = rng.range(0, 2 * pi), half = rng.range(0.10f, 0.13f);
        Vec3 normal = normalize(vec3(std::cos(turn) * std::sin(tilt), std::cos(tilt), std::sin(turn) * std::sin(tilt)));
        Vec3 right = normalize(cross(vec3(0, 0, 1), normal)), up = cross(normal, right);
        Vec3 c = top + vec3(0, 0.01f, 0);
        addTexturedQuad(object, texture, c - right * half - up * half, c + right * half - up * half,
                        c + right * half + up * half, c - right * half + up * half, 0, 0, 0.5f, 1, 225);
        // Two leaves low on the stem, pointing out and up.
        for (int l = 0; l < 2; l++) {
            float a = angle + (l == 0 ? 0.9f : -2.2f) + rng.range(-0.3f, 0.3f);
            Vec3 out = vec3(std::cos(a), 0, std::sin(a)), side = vec3(-std::sin(a), 0, std::cos(a));
            Vec3 leafBase = base + (top - base) * rng.range(0.05f, 0.25f);
            Vec3 leafTip = leafBase + out * 0.18f + vec3(0, 0.16f, 0);
            Vec3 w = side * 0.045f;
            addTexturedQuad(object, texture, leafBase - w, leafBase + w, leafTip + w, leafTip - w, 0.5f, 0, 1, 1, 215);
        }
    }
    for (const Stem& stem : stemList)
        addStem(object, stem.base, stem.top, 0.012f, 0.008f, rgb(70, 104, 44), rgb(96, 140, 58));
    model.objects.push_back(object);
    return model;
}

void appendFloat(std::string& out, float value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.4f", value == 0.0f ? 0.0f : value); // no "-0.0000"
    out += buffer;
}

void appendVec(std::string& out, Vec3 v)
{
    appendFloat(out, v.x);
    out += ' ';
    appendFloat(out, v.y);
    out += ' ';
    appendFloat(out, v.z);
}

} // namespace

Plants makePlants(uint32_t seed)
{
    Plants plants;
    auto sub = [&](uint32_t k) { return hash3(seed, k, 31); };

    // The grass billboards are pictures of the full clump, so the clump and
    // its blade texture come first.
    Model grass = towerGrass(sub(2));
    float grassHalfWidth = impostorHalfWidth(grass), grassHeight = impostorHeight(grass);
    plants.models.push_back(fern(sub(1)));
    plants.models.push_back(grass);
    plants.models.push_back(grassCross(grassHalfWidth, grassHeight));
    plants.models.push_back(grassBillboard(grassHalfWidth, grassHeight));
    plants.models.push_back(broad01(sub(3)));
    plants.models.push_back(broad16(sub(4)));
    plants.models.push_back(palm01(sub(5)));
    plants.models.push_back(bush(sub(6)));
    plants.models.push_back(spear());
    plants.models.push_back(flowers("flower8.xml", "flower8.tga", 3, sub(7), false));
    plants.models.push_back(flowers("flower6.xml", "flower6.tga", 4, sub(8), true));

    // Textures: brightened exactly when their model is loaded with the flag.
    plants.textures.push_back(finishTexture("fern.tga", paintFernFrond(sub(11)), true));
    {
        Canvas blade(32, 256, false, rgb(90, 130, 50), 0.0f);
        fillStroke(blade, 16, 0, 16, 250, 13.0f, 1.5f, 1.0f, [](float t, float r) {
            Vec3 base = rgb(70, 102, 40), tip = rgb(168, 182, 84);
            float vein = std::exp(-r * r * 12.0f) * 0.12f;
            return mix(base, tip, std::pow(t, 0.8f)) * (0.95f + vein - 0.1f * r * r);
        });
        plants.textures.push_back(finishTexture("towergrass.tga", blade, true));
    }
    // The grass cards show the clump seen across each card: the billboard and
    // the crossed billboard's first rectangle across z, the second across x.
    // The crossed billboard's texture holds both views side by side.
    {
        const int side = 256;
        Canvas acrossZ =
            renderImpostor(grass, plants.textures, ImpostorAxis::acrossZ, grassHalfWidth, grassHeight, side, side);
        plants.textures.push_back(finishTexture("grassbill.tga", acrossZ, true));
        Canvas acrossX =
            renderImpostor(grass, plants.textures, ImpostorAxis::acrossX, grassHalfWidth, grassHeight, side, side);
        Canvas both(2 * side, side, false, vec3(0, 0, 0), 0.0f);
        for (int y = 0; y < side; y++) {
            for (int x = 0; x < side; x++) {
                both.colour[both.index(x, y)] = acrossZ.colour[acrossZ.index(x, y)];
                both.alpha[both.index(x, y)] = acrossZ.alpha[acrossZ.index(x, y)];
                both.colour[both.index(side + x, y)] = acrossX.colour[acrossX.index(x, y)];
                both.alpha[both.index(side + x, y)] = acrossX.alpha[acrossX.index(x, y)];
            }
        }
        plants.textures.push_back(finishTexture("grasscross.tga", both, true));
    }
    plants.textures.push_back(finishTexture(
        "broad01.tga", paintBroadLeaf(sub(13), rgb(46, 92, 36), rgb(88, 138, 54), rgb(126, 166, 84), 0.6f, 1.0f),
        false));
    plants.textures.push_back(finishTexture(
        "broad16.tga", paintBroadLeaf(sub(14), rgb(54, 96, 58), rgb(92, 136, 76), rgb(132, 168, 104), 0.9f, 0.8f),
        false));
    plants.textures.push_back(finishTexture("palm01.tga", paintPalmFrond(sub(15)), false));
    {
        Canvas leaves = paintLeafCluster(sub(16));
        plants.textures.push_back(finishTexture("bboy.tga", leaves, false));
        for (Vec3& colour : leaves.colour)
            colour = mul(colour, vec3(0.62f, 0.68f, 0.72f));
        plants.textures.push_back(finishTexture("bboyshade.tga", leaves, false));
    }
    plants.textures.push_back(finishTexture("spear.tga", paintSpearClump(sub(17)), true));
    plants.textures.push_back(finishTexture(
        "flower8.tga", paintFlowerAtlas(sub(18), 8, 13.0f, rgb(120, 70, 170), rgb(196, 150, 230), rgb(240, 200, 70)),
        false));
    plants.textures.push_back(finishTexture(
        "flower6.tga", paintFlowerAtlas(sub(19), 6, 19.0f, rgb(230, 170, 50), rgb(252, 226, 96), rgb(190, 110, 56)),
        true));
    return plants;
}

std::string modelText(const Model& model)
{
    std::string out = "<ObjectList numObject=\"" + std::to_string(model.objects.size()) + "\" alpha=\"";
    appendFloat(out, model.alpha);
    out += "\"";
    if (model.hasScale) {
        out += " scale=\"";
        appendVec(out, model.scale);
        out += "\"";
    }
    if (model.hasRotation) {
        out += " rotation=\"";
        appendFloat(out, model.rotation[0]);
        out += ' ';
        appendVec(out, vec3(model.rotation[1], model.rotation[2], model.rotation[3]));
        out += "\"";
    }
    out += ">\n";
    for (const ModelObject& object : model.objects) {
        out += "  <Object numPolygon=\"" + std::to_string(object.polygons.size()) + "\">\n";
        for (const ModelPolygon& polygon : object.polygons) {
            out += "    <Polygon numVertex=\"" + std::to_string(polygon.vertices.size()) + "\" isTextured=\"" +
                   (polygon.textured ? "1" : "0") + "\"";
            if (polygon.textured)
                out += " texture=\"" + polygon.texture + "\"";
            out += " colour=\"" + std::to_string(polygon.red) + " " + std::to_string(polygon.green) + " " +
                   std::to_string(polygon.blue) + "\">\n";
            for (const ModelVertex& v : polygon.vertices) {
                out += "      <Vertex point=\"";
                appendVec(out, v.point);
                out += "\" normal=\"";
                appendVec(out, v.normal);
                out += "\" colour=\"" + std::to_string(v.red) + " " + std::to_string(v.green) + " " +
                       std::to_string(v.blue) + "\" uv=\"";
                appendFloat(out, v.u);
                out += ' ';
                appendFloat(out, v.v);
                out += "\"/>\n";
            }
            out += "    </Polygon>\n";
        }
        out += "  </Object>\n";
    }
    out += "</ObjectList>\n";
    return out;
}
