// sky.cpp -- the sky box pictures (see sky.h).
#include "sky.h"

#include "noise.h"
#include "terrain.h"

const char* const skyFaceFiles[6] = {"SKY 20 3.tga", "SKY 20 1.tga", "black.tga",
                                     "SKY 20 5.tga", "SKY 20 2.tga", "SKY 20 4.tga"};

namespace {

// Box extents around the camera: 4000 to each side, from 1200 below to
// 2800 above (a 4000 high box centred 800 above the eye).
constexpr float boxX0 = -4000.0f, boxX1 = 4000.0f;
constexpr float boxY0 = -1200.0f, boxY1 = 2800.0f;
constexpr float boxZ0 = -4000.0f, boxZ1 = 4000.0f;

// The viewer's corner table: per face, four corners with their texture
// coordinates (s, t) and which end of each axis they sit at (0 low, 1 high).
struct Corner {
    float s, t;
    int x, y, z;
};
const Corner faceCorners[6][4] = {
    {{1, 0, 1, 0, 0}, {1, 1, 1, 1, 0}, {0, 1, 0, 1, 0}, {0, 0, 0, 0, 0}},
    {{1, 0, 0, 0, 1}, {1, 1, 0, 1, 1}, {0, 1, 1, 1, 1}, {0, 0, 1, 0, 1}},
    {{1, 0, 0, 0, 0}, {1, 1, 0, 0, 1}, {0, 1, 1, 0, 1}, {0, 0, 1, 0, 0}},
    {{0, 1, 1, 1, 0}, {0, 0, 1, 1, 1}, {1, 0, 0, 1, 1}, {1, 1, 0, 1, 0}},
    {{1, 1, 0, 1, 0}, {0, 1, 0, 1, 1}, {0, 0, 0, 0, 1}, {1, 0, 0, 0, 0}},
    {{0, 0, 1, 0, 0}, {1, 0, 1, 0, 1}, {1, 1, 1, 1, 1}, {0, 1, 1, 1, 0}},
};

Vec3 cornerPoint(const Corner& c)
{
    return vec3(c.x ? boxX1 : boxX0, c.y ? boxY1 : boxY0, c.z ? boxZ1 : boxZ0);
}

Vec3 cornerAt(int face, float s, float t)
{
    for (const Corner& c : faceCorners[face])
        if (c.s == s && c.t == t)
            return cornerPoint(c);
    return vec3(0, 0, 0);
}

struct SkyPalette {
    Vec3 zenith = rgb(38, 92, 176);
    Vec3 upper = rgb(86, 142, 208);
    Vec3 horizon = rgb(206, 218, 228);
    Vec3 sunGlow = rgb(255, 236, 200);
    Vec3 cloudLit = rgb(255, 253, 248);
    Vec3 cloudShade = rgb(164, 176, 196);
    Vec3 distantLand = rgb(92, 110, 104);
};

float cloudDensity(float cu, float cv, uint32_t seed)
{
    float base = fbm(cu, cv, seed, 6, 0.52f);
    float billow = 1.0f - std::fabs(fbm(cu * 2.1f + 3.3f, cv * 2.1f + 1.7f, seed + 7, 4));
    return base + 0.35f * (billow - 0.6f);
}

Vec3 skyColour(Vec3 point, uint32_t seed, const SkyPalette& pal, Vec3 sun)
{
    Vec3 dir = normalize(point);
    float up = dir.y;
    float sunCos = dot(dir, sun);
    if (up < 0.0f) {
        // Below the horizon only distant land shows, hazy at first, darkening
        // toward the black bottom face so the lower edges meet it.
        Vec3 colour = mix(pal.horizon, pal.distantLand, smoothstep(0.0f, 0.10f, -up));
        colour = colour + pal.sunGlow * (0.12f * std::pow(std::max(0.0f, sunCos), 6.0f));
        float fade = smoothstep(boxY0, boxY0 * 0.55f, point.y);
        return colour * fade;
    }
    Vec3 colour = mix(pal.upper, pal.zenith, smoothstep(0.25f, 1.0f, up));
    colour = mix(colour, pal.horizon, std::exp(-up * 6.5f));
    // Sun: a wide warm glow, a tighter halo and the disc itself.
    float s = std::max(0.0f, sunCos);
    colour = colour + pal.sunGlow * (0.22f * std::pow(s, 6.0f) + 0.35f * std::pow(s, 90.0f));
    colour = mix(colour, vec3(1.0f, 0.99f, 0.95f), smoothstep(0.99935f, 0.99965f, sunCos));

    // Clouds on a layer high above: project the direction onto it, so they
    // shrink and thin out toward the horizon.
    float layer = 1.0f / (up + 0.12f);
    float cu = dir.x * layer * 0.9f + 5.0f, cv = dir.z * layer * 0.9f + 11.0f;
    float density = cloudDensity(cu, cv, seed);
    float cover = smoothstep(0.08f, 0.62f, density) * smoothstep(0.0f, 0.22f, up);
    if (cover > 0.0f) {
        // Darker where more cloud lies between this point and the sun.
        float toward = cloudDensity(cu + sun.x * 0.08f, cv + sun.z * 0.08f, seed);
        float shade = clamp01(0.62f + 2.2f * (density - toward) - 0.25f * smoothstep(0.3f, 1.0f, density));
        Vec3 cloud = mix(pal.cloudShade, pal.cloudLit, shade);
        cloud = cloud + pal.sunGlow * (0.25f * std::pow(s, 12.0f) * (1.0f - cover));
        colour = mix(colour, cloud, cover * 0.92f);
    }
    // Haze again over everything near the horizon.
    return mix(colour, pal.horizon, 0.6f * std::exp(-up * 14.0f));
}

} // namespace

Vec3 skyFacePoint(int face, float s, float t)
{
    Vec3 origin = cornerAt(face, 0, 0);
    Vec3 alongS = cornerAt(face, 1, 0) - origin;
    Vec3 alongT = cornerAt(face, 0, 1) - origin;
    return origin + alongS * s + alongT * t;
}

std::vector<Image> makeSkyBox(uint32_t seed, int size)
{
    SkyPalette palette;
    Vec3 sun = sunDirection();
    uint32_t cloudSeed = hash3(seed, 1, 21);
    std::vector<Image> faces;
    for (int face = 0; face < 6; face++) {
        if (face == 2) {
            // The bottom is never seen from above the ground; plain black.
            faces.emplace_back(16, 16, 3);
            continue;
        }
        Image image(size, size, 3);
        parallelFor(size, [&](int j) {
            for (int i = 0; i < size; i++) {
                Vec3 point = skyFacePoint(face, (i + 0.5f) / size, (j + 0.5f) / size);
                image.setRgb(i, j, skyColour(point, cloudSeed, palette, sun));
            }
        });
        faces.push_back(std::move(image));
    }
    return faces;
}
