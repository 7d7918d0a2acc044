// view.cpp -- software drawing of the scene from a walker's eye (see view.h).
#include "view.h"

#include "sky.h"

#include <limits>
#include <map>

namespace {

constexpr float degrees = 3.14159265f / 180.0f;

// The viewer's shared generator: state * 214013 + 2531011, 15-bit draws.
struct PlacementRandom {
    uint32_t state = 0;
    int draw()
    {
        state = state * 214013u + 2531011u;
        return (int)((state >> 16) & 0x7FFF);
    }
    int integer(int lo, int hi) { return draw() % (hi - lo + 1) + lo; }
    float real(float lo, float hi) { return draw() / 32767.0f * (hi - lo) + lo; }
    float unit() { return draw() / 32768.0f; }
};

struct PlantSetSpec {
    const char* full;
    const char* billboard;
    float spacing, baseScale, jitterMin, jitterMax, scaleMin, scaleMax;
    float keep; // below 0: no keep probability
};
// The scene's plant sets: fern, bboy, spear, broad16, broad01, flower8,
// flower6, grass (every set seeded with 0).
const PlantSetSpec plantSets[] = {
    {"fern.xml", nullptr, 10, 1, -5, 5, -0.5f, 0.5f, -1},
    {"bboy.xml", nullptr, 15, 1, -10, 10, 1.0f, 4.0f, -1},
    {nullptr, "spear.xml", 15, 1, -10, 10, 1.0f, 4.0f, 0.25f},
    {"broad16.xml", nullptr, 20, 1, -5, 5, -0.5f, 1.0f, -1},
    {"broad01.xml", nullptr, 35, 1, -8, 8, 0.0f, 1.5f, -1},
    {"flower8.xml", nullptr, 20, 3, -8, 8, 0.0f, 1.5f, -1},
    {"flower6.xml", nullptr, 30, 3, -5, 5, 0.0f, 1.5f, -1},
    {"towergrass.xml", "grassbill.xml", 6, 1, 0, 0, -0.5f, 2.0f, -1},
};

struct MipChain {
    std::vector<Image> levels;
    explicit MipChain(const Image& image)
    {
        levels.push_back(image);
        while (levels.back().width > 1 && levels.back().height > 1) {
            const Image& a = levels.back();
            Image b(a.width / 2, a.height / 2, 3);
            for (int y = 0; y < b.height; y++)
                for (int x = 0; x < b.width; x++)
                    b.setRgb(x, y, (a.rgbAt(2 * x, 2 * y) + a.rgbAt(2 * x + 1, 2 * y) + a.rgbAt(2 * x, 2 * y + 1) +
                                    a.rgbAt(2 * x + 1, 2 * y + 1)) * 0.25f);
            levels.push_back(std::move(b));
        }
    }
    Vec3 sample(float s, float t, float texelsPerPixel) const
    {
        int level = texelsPerPixel <= 1.0f ? 0 : (int)std::lround(std::log2(texelsPerPixel));
        level = std::min(level, (int)levels.size() - 1);
        return sampleRgb(levels[level], s, t, true);
    }
};

struct Camera {
    Vec3 eye, right, up, back;
    float focal;
    int width, height;
    Vec3 toView(Vec3 p) const
    {
        Vec3 d = p - eye;
        return vec3(dot(d, right), dot(d, up), -dot(d, back));
    }
};

struct Attributes {
    Vec3 world;
    float u = 0, v = 0;
    Vec3 colour = {1, 1, 1};
};
struct ClipVertex {
    Vec3 view; // x right, y up, z distance ahead
    Attributes a;
};

ClipVertex lerpVertex(const ClipVertex& p, const ClipVertex& q, float t)
{
    ClipVertex r;
    r.view = mix(p.view, q.view, t);
    r.a.world = mix(p.a.world, q.a.world, t);
    r.a.u = lerp(p.a.u, q.a.u, t);
    r.a.v = lerp(p.a.v, q.a.v, t);
    r.a.colour = mix(p.a.colour, q.a.colour, t);
    return r;
}

struct Frame {
    Image& image;
    std::vector<float> depth;
    const Camera& camera;
    Frame(Image& target, const Camera& cam)
        : image(target), depth((size_t)target.width * target.height, std::numeric_limits<float>::max()), camera(cam)
    {
    }

    // Draws a triangle clipped to the near plane; shade(attributes, depth,
    // colour&) returns false to drop the fragment (alpha test).
    template <class Shade>
    void triangle(ClipVertex a, ClipVertex b, ClipVertex c, Shade shade)
    {
        const float nearPlane = 0.3f;
        ClipVertex in[3] = {a, b, c}, out[4];
        int count = 0;
        for (int k = 0; k < 3; k++) {
            const ClipVertex& p = in[k];
            const ClipVertex& q = in[(k + 1) % 3];
            bool pIn = p.view.z >= nearPlane, qIn = q.view.z >= nearPlane;
            if (pIn)
                out[count++] = p;
            if (pIn != qIn)
                out[count++] = lerpVertex(p, q, (nearPlane - p.view.z) / (q.view.z - p.view.z));
        }
        for (int k = 1; k + 1 < count; k++)
            raster(out[0], out[k], out[k + 1], shade);
    }

    template <class Shade>
    void raster(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c, Shade shade)
    {
        const ClipVertex* v[3] = {&a, &b, &c};
        float sx[3], sy[3], iz[3];
        for (int k = 0; k < 3; k++) {
            iz[k] = 1.0f / v[k]->view.z;
            sx[k] = camera.width * 0.5f + camera.focal * v[k]->view.x * iz[k];
            sy[k] = camera.height * 0.5f + camera.focal * v[k]->view.y * iz[k];
        }
        float area = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (sy[1] - sy[0]);
        if (std::fabs(area) < 1e-9f)
            return;
        int x0 = std::max(0, (int)std::floor(std::min({sx[0], sx[1], sx[2]})));
        int x1 = std::min(image.width - 1, (int)std::ceil(std::max({sx[0], sx[1], sx[2]})));
        int y0 = std::max(0, (int)std::floor(std::min({sy[0], sy[1], sy[2]})));
        int y1 = std::min(image.height - 1, (int)std::ceil(std::max({sy[0], sy[1], sy[2]})));
        for (int y = y0; y <= y1; y++) {
            for (int x = x0; x <= x1; x++) {
                float px = x + 0.5f, py = y + 0.5f;
                float w0 = ((sx[1] - px) * (sy[2] - py) - (sx[2] - px) * (sy[1] - py)) / area;
                float w1 = ((sx[2] - px) * (sy[0] - py) - (sx[0] - px) * (sy[2] - py)) / area;
                float w2 = 1.0f - w0 - w1;
                if (w0 < 0 || w1 < 0 || w2 < 0)
                    continue;
                // Perspective-correct weights.
                float p0 = w0 * iz[0], p1 = w1 * iz[1], p2 = w2 * iz[2];
                float sum = p0 + p1 + p2;
                float z = 1.0f / sum;
                size_t i = (size_t)y * image.width + x;
                if (z >= depth[i])
                    continue;
                p0 /= sum;
                p1 /= sum;
                p2 /= sum;
                Attributes at;
                at.world = a.a.world * p0 + b.a.world * p1 + c.a.world * p2;
                at.u = a.a.u * p0 + b.a.u * p1 + c.a.u * p2;
                at.v = a.a.v * p0 + b.a.v * p1 + c.a.v * p2;
                at.colour = a.a.colour * p0 + b.a.colour * p1 + c.a.colour * p2;
                Vec3 colour;
                if (!shade(at, z, colour))
                    continue;
                depth[i] = z;
                image.setRgb(x, y, colour);
            }
        }
    }
};

// glRotatef(angle, 0, 1, 0) applied to a point.
Vec3 rotateY(Vec3 p, float angleDegrees)
{
    float c = std::cos(angleDegrees * degrees), s = std::sin(angleDegrees * degrees);
    return vec3(p.x * c + p.z * s, p.y, -p.x * s + p.z * c);
}

// glRotatef(angle, axis) applied to a point (Rodrigues' formula).
Vec3 rotateAxis(Vec3 p, float angleDegrees, Vec3 axis)
{
    axis = normalize(axis);
    float c = std::cos(angleDegrees * degrees), s = std::sin(angleDegrees * degrees);
    return p * c + cross(axis, p) * s + axis * (dot(axis, p) * (1 - c));
}

} // namespace

Image renderView(const ViewScene& scene, const ViewCamera& view, int width, int height)
{
    const int n = scene.size;
    auto sample = [&](const std::vector<uint8_t>& grid, int x, int z) {
        x = std::clamp(x, 0, n - 1);
        z = std::clamp(z, 0, n - 1);
        return grid[(size_t)z * n + x];
    };
    auto groundHeight = [&](int x, int z) { return sample(*scene.heights, x, z) * 0.25f; };

    Camera camera;
    camera.eye = vec3(view.x, groundHeight((int)view.x, (int)view.z) + 8.0f, view.z);
    float a = view.vertical * degrees, b = view.horizontal * degrees;
    camera.right = vec3(std::cos(b), 0, std::sin(b));
    camera.up = vec3(std::sin(a) * std::sin(b), std::cos(a), -std::cos(b) * std::sin(a));
    camera.back = vec3(-std::cos(a) * std::sin(b), std::sin(a), std::cos(a) * std::cos(b));
    camera.focal = height * 0.5f / std::tan(22.5f * degrees); // 45 degree vertical field of view
    camera.width = width;
    camera.height = height;

    Image image(width, height, 3);
    // Sky: each pixel looks up the box face its ray meets.
    const std::vector<Image>& sky = *scene.sky;
    parallelFor(height, [&](int y) {
        for (int x = 0; x < width; x++) {
            float xn = (x + 0.5f - width * 0.5f) / camera.focal, yn = (y + 0.5f - height * 0.5f) / camera.focal;
            Vec3 dir = normalize(camera.right * xn + camera.up * yn - camera.back);
            float tx = (dir.x > 0 ? 4000.0f : -4000.0f) / (std::fabs(dir.x) > 1e-6f ? dir.x : 1e-6f);
            float ty = (dir.y > 0 ? 2800.0f : -1200.0f) / (std::fabs(dir.y) > 1e-6f ? dir.y : 1e-6f);
            float tz = (dir.z > 0 ? 4000.0f : -4000.0f) / (std::fabs(dir.z) > 1e-6f ? dir.z : 1e-6f);
            int face;
            float t;
            if (tx <= ty && tx <= tz) {
                face = dir.x > 0 ? 5 : 4;
                t = tx;
            } else if (ty <= tz) {
                face = dir.y > 0 ? 3 : 2;
                t = ty;
            } else {
                face = dir.z > 0 ? 1 : 0;
                t = tz;
            }
            Vec3 point = dir * t;
            Vec3 origin = skyFacePoint(face, 0, 0);
            Vec3 alongS = skyFacePoint(face, 1, 0) - origin, alongT = skyFacePoint(face, 0, 1) - origin;
            float s = dot(point - origin, alongS) / dot(alongS, alongS);
            float tt = dot(point - origin, alongT) / dot(alongT, alongT);
            image.setRgb(x, y, sampleRgb(sky[face], s, tt, false));
        }
    });

    Frame frame(image, camera);
    // Terrain: the brute-force grid, splatted and lit.
    MipChain layer1(*scene.layer1), layer2(*scene.layer2);
    const float texelsPerUnit = scene.layer1->width * 10.0f / n;
    auto shadeTerrain = [&](const Attributes& at, float z, Vec3& colour) {
        float s = at.world.x / n, t = at.world.z / n;
        float footprint = z / camera.focal * texelsPerUnit * 1.5f;
        Vec3 one = mul(layer1.sample(s * 10, t * 10, footprint), sampleRgb(*scene.layer1Cover, s, t, false));
        Vec3 two = mul(layer2.sample(s * 10, t * 10, footprint), sampleRgb(*scene.layer2Cover, s, t, false));
        colour = mul(one + two, sampleRgb(*scene.lightmap, s, t, false));
        colour = vec3(std::min(colour.x, 1.0f), std::min(colour.y, 1.0f), std::min(colour.z, 1.0f));
        return true;
    };
    auto terrainVertex = [&](int x, int z) {
        ClipVertex v;
        v.a.world = vec3((float)x, groundHeight(x, z), (float)z);
        v.view = camera.toView(v.a.world);
        return v;
    };
    for (int z = 0; z + 1 < n; z++) {
        for (int x = 0; x + 1 < n; x++) {
            ClipVertex p00 = terrainVertex(x, z), p10 = terrainVertex(x + 1, z);
            ClipVertex p01 = terrainVertex(x, z + 1), p11 = terrainVertex(x + 1, z + 1);
            if (p00.view.z < 0.3f && p10.view.z < 0.3f && p01.view.z < 0.3f && p11.view.z < 0.3f)
                continue;
            frame.triangle(p00, p10, p11, shadeTerrain);
            frame.triangle(p00, p11, p01, shadeTerrain);
        }
    }

    // Plants, placed as the viewer places them.
    std::map<std::string, const Model*> models;
    for (const Model& model : scene.plants->models)
        models[model.file] = &model;
    struct Loaded {
        const Image* image;
        bool brightened;
    };
    std::map<std::string, Loaded> textures;
    for (const PlantTexture& texture : scene.plants->textures)
        textures[texture.file] = {&texture.image, texture.brightened};
    auto texel = [&](const std::string& file, float u, float v, Vec3& colour, float& alpha) {
        auto found = textures.find(file);
        if (found == textures.end()) {
            colour = vec3(1, 1, 1);
            alpha = 1;
            return;
        }
        colour = sampleRgb(*found->second.image, u, v, true);
        alpha = sampleAlpha(*found->second.image, u, v, true);
        if (found->second.brightened)
            colour = vec3(std::min(1.0f, colour.x + 50 / 255.0f), std::min(1.0f, colour.y + 50 / 255.0f),
                          std::min(1.0f, colour.z + 50 / 255.0f));
    };

    auto drawModel = [&](const Model& model, Vec3 position, float scale, float turn, float grey) {
        for (const ModelObject& object : model.objects) {
            bool sameTexture = true;
            for (const ModelPolygon& polygon : object.polygons)
                sameTexture = sameTexture && polygon.texture == object.polygons[0].texture;
            for (const ModelPolygon& polygon : object.polygons) {
                size_t count = polygon.vertices.size();
                if (count < 3 || (!sameTexture && count > 4))
                    continue;
                ClipVertex v[4];
                for (size_t k = 0; k < std::min<size_t>(count, 4); k++) {
                    const ModelVertex& mv = polygon.vertices[k];
                    Vec3 p = mv.point;
                    if (model.hasRotation)
                        p = rotateAxis(p, model.rotation[0], vec3(model.rotation[1], model.rotation[2], model.rotation[3]));
                    if (model.hasScale)
                        p = mul(p, model.scale);
                    if (turn > 0.001f || turn < -0.001f)
                        p = rotateY(p, turn);
                    p = position + p * scale;
                    v[k].a.world = p;
                    v[k].view = camera.toView(p);
                    v[k].a.u = mv.u;
                    v[k].a.v = mv.v;
                    if (sameTexture)
                        v[k].a.colour = vec3(grey, grey, grey);
                    else if (!polygon.textured && polygon.red == -1)
                        v[k].a.colour = rgb(mv.red & 255, mv.green & 255, mv.blue & 255);
                    else
                        v[k].a.colour = rgb(polygon.red & 255, polygon.green & 255, polygon.blue & 255);
                }
                bool textured = sameTexture || polygon.textured;
                auto shade = [&](const Attributes& at, float, Vec3& colour) {
                    if (!textured) {
                        colour = at.colour;
                        return true;
                    }
                    Vec3 tex;
                    float alpha;
                    texel(polygon.texture, at.u, at.v, tex, alpha);
                    if (alpha <= model.alpha)
                        return false;
                    colour = mul(tex, at.colour);
                    return true;
                };
                frame.triangle(v[0], v[1], v[2], shade);
                if (!sameTexture && count == 4)
                    frame.triangle(v[0], v[2], v[3], shade);
            }
        }
    };

    const float mapExtent = (float)(n - 1);
    for (const PlantSetSpec& set : plantSets) {
        const Model* full = set.full ? models[set.full] : nullptr;
        const Model* billboard = set.billboard ? models[set.billboard] : nullptr;
        PlacementRandom random;
        int step = (int)set.spacing;
        for (int gx = 0; gx < n; gx += step) {
            for (int gz = 0; gz < n; gz += step) {
                float x = (float)(gx + random.integer((int)set.jitterMin, (int)set.jitterMax));
                float z = (float)(gz + random.integer((int)set.jitterMin, (int)set.jitterMax));
                if (x < 0)
                    x = 1.0f;
                if (x > mapExtent)
                    x = mapExtent;
                if (z < 0)
                    z = 1.0f;
                if (z > mapExtent)
                    z = mapExtent;
                int density = sample(*scene.distribution, (int)x, (int)z);
                if (random.integer(0, 254) >= density)
                    continue;
                float grey = sample(*scene.lightGrid, (int)x, (int)z) / 255.0f;
                float keepDraw = random.unit();
                bool kept = set.keep < 0 || keepDraw < set.keep;
                float scale = set.baseScale + random.real(set.scaleMin, set.scaleMax);
                float rotation = random.real(0.0f, 360.0f);
                if (!kept)
                    continue;
                Vec3 position = vec3(x, groundHeight((int)x, (int)z), z);
                Vec3 toPlant = camera.toView(position);
                if (toPlant.z < -5.0f)
                    continue;
                if (full) {
                    drawModel(*full, position, scale, rotation, grey);
                } else if (billboard) {
                    // Turned to face the camera about the vertical.
                    Vec3 d = vec3(camera.eye.x - x, 0, camera.eye.z - z);
                    float angle = std::acos(clampf(d.x / std::max(length(d), 1e-6f), -1.0f, 1.0f)) / degrees;
                    if (z < camera.eye.z)
                        angle = -angle;
                    drawModel(*billboard, position, scale, angle + 90.0f, grey);
                }
            }
        }
    }
    return image;
}
