// terrain.cpp -- the landscape, its erosion, lighting and plant fields
// (see terrain.h).
//
// Layout of the default landscape, in map coordinates u (east, grid x) and
// w (south, grid z): meadows in the south-west, a winding valley across the
// middle from north-west to south-east, ridged hills rising to the north-east,
// and a rim of low hills along the edges. The seed moves and shapes all of it.
#include "terrain.h"

#include "noise.h"

#include <algorithm>

float Field::bilinear(float x, float z) const
{
    float maxCoord = (float)(size - 1);
    x = clampf(x, 0.0f, maxCoord);
    z = clampf(z, 0.0f, maxCoord);
    int x0 = std::min((int)x, size - 2), z0 = std::min((int)z, size - 2);
    float fx = x - x0, fz = z - z0;
    const float* row0 = &v[(size_t)z0 * size + x0];
    const float* row1 = row0 + size;
    float a = row0[0] + (row0[1] - row0[0]) * fx;
    float b = row1[0] + (row1[1] - row1[0]) * fx;
    return a + (b - a) * fz;
}

namespace {

constexpr int masterCells = masterSize - 1;

// Separable box blur of radius r, applied three times (close to a Gaussian).
Field blurred(const Field& in, int r)
{
    int n = in.size;
    Field a = in, b(n);
    for (int pass = 0; pass < 3; pass++) {
        parallelFor(n, [&](int z) {
            float sum = 0.0f;
            for (int k = -r; k <= r; k++)
                sum += a.clamped(k, z);
            for (int x = 0; x < n; x++) {
                b.at(x, z) = sum / (2 * r + 1);
                sum += a.clamped(x + r + 1, z) - a.clamped(x - r, z);
            }
        });
        parallelFor(n, [&](int x) {
            float sum = 0.0f;
            for (int k = -r; k <= r; k++)
                sum += b.clamped(x, k);
            for (int z = 0; z < n; z++) {
                a.at(x, z) = sum / (2 * r + 1);
                sum += b.clamped(x, z + r + 1) - b.clamped(x, z - r);
            }
        });
    }
    return a;
}

struct Seeds {
    uint32_t warpX, warpZ, meander, hills, ridges, mountains, rim, meadows, patches, detail, droplets;
    explicit Seeds(uint32_t seed)
    {
        uint32_t* all[] = {&warpX, &warpZ, &meander, &hills, &ridges, &mountains, &rim, &meadows, &patches, &detail, &droplets};
        for (uint32_t i = 0; i < sizeof(all) / sizeof(all[0]); i++)
            *all[i] = hash3(seed, i, 0x7e11a1u);
    }
};

// Position along the south-west to north-east axis: 0 at the south-west
// corner, 1 at the north-east corner.
inline float axisSwNe(float u, float w) { return (u + (1.0f - w)) * 0.5f; }

// Relief before erosion, roughly 0-1.
float landShape(float u, float w, const Seeds& s, float& meadowWeight)
{
    // Domain warp: bends every later feature so nothing lines up with the axes.
    float wx = fbm(u * 2.2f + 11.3f, w * 2.2f + 4.1f, s.warpX, 5);
    float wz = fbm(u * 2.2f + 3.7f, w * 2.2f + 17.9f, s.warpZ, 5);
    float qu = u + 0.075f * wx, qw = w + 0.075f * wz;

    float a = axisSwNe(qu, qw);
    float along = (qu + qw) * 0.5f; // 0 north-west, 1 south-east
    // The valley winds across the map; its floor is where water gathers.
    float valleyOffset = a - 0.5f - 0.07f * fbm(along * 2.4f + 7.7f, 3.3f, s.meander, 3);
    float valley = std::exp(-(valleyOffset / 0.095f) * (valleyOffset / 0.095f));

    float hills = fbm(qu * 3.0f, qw * 3.0f, s.hills, 6);
    float knolls = fbm(qu * 9.0f + 4.4f, qw * 9.0f + 1.7f, s.hills + 1, 4);
    float ridge = ridged(qu * 3.2f + 5.1f, qw * 3.2f + 2.3f, s.ridges, 6);
    float mountainMask = smoothstep(0.50f, 0.84f, a + 0.12f * fbm(u * 2.0f + 1.1f, w * 2.0f + 9.4f, s.mountains, 3));

    float h = 0.30f + 0.22f * smoothstep(0.15f, 1.0f, a);
    h += (0.15f * hills + 0.05f * knolls) * (0.4f + 0.6f * (1.0f - valley));
    h += mountainMask * (0.50f * ridge - 0.02f);
    h -= 0.20f * valley;

    // Low hills along the map edges, so a walker sees the land close around.
    float edge = std::max(std::fabs(2.0f * u - 1.0f), std::fabs(2.0f * w - 1.0f));
    h += 0.16f * smoothstep(0.74f, 1.0f, edge + 0.06f * fbm(u * 5.0f, w * 5.0f, s.rim, 3));

    // Meadows: the south-west half and the valley floor, in patches, get
    // flattened toward the broad shape of the land after this pass.
    float patchy = smoothstep(-0.15f, 0.35f, fbm(u * 3.0f + 2.2f, w * 3.0f + 8.8f, s.meadows, 3));
    float southWest = smoothstep(0.52f, 0.22f, a);
    meadowWeight = clamp01(std::max(southWest * patchy, 0.8f * valley * (1.0f - mountainMask)));
    return h;
}

// Moves material down slopes steeper than `talus` (height units per cell).
void thermalErosion(Field& h, int passes, float talus, float rate)
{
    int n = h.size;
    Field delta(n);
    static const int dx[4] = {1, -1, 0, 0}, dz[4] = {0, 0, 1, -1};
    for (int pass = 0; pass < passes; pass++) {
        std::fill(delta.v.begin(), delta.v.end(), 0.0f);
        // Each cell computes what it sends and what it receives from its four
        // neighbours from the same snapshot, so rows are independent.
        parallelFor(n, [&](int z) {
            for (int x = 0; x < n; x++) {
                float here = h.at(x, z), change = 0.0f;
                for (int k = 0; k < 4; k++) {
                    int nx = x + dx[k], nz = z + dz[k];
                    if (nx < 0 || nz < 0 || nx >= n || nz >= n)
                        continue;
                    float diff = here - h.at(nx, nz);
                    if (diff > talus)
                        change -= rate * (diff - talus) * 0.25f;
                    else if (-diff > talus)
                        change += rate * (-diff - talus) * 0.25f;
                }
                delta.at(x, z) = change;
            }
        });
        for (size_t i = 0; i < h.v.size(); i++)
            h.v[i] += delta.v[i];
    }
}

// Droplet erosion: each droplet runs downhill, picks up material where it
// speeds up and drops it where it slows, carving gullies and filling hollows.
void hydraulicErosion(Field& h, int droplets, uint32_t seed)
{
    const int n = h.size;
    const float inertia = 0.06f, capacityFactor = 5.0f, minCapacity = 0.01f;
    const float erodeRate = 0.3f, depositRate = 0.25f, evaporation = 0.015f, gravity = 4.0f;
    const int lifetime = 64, radius = 4;

    struct BrushTap {
        int dx, dz;
        float weight;
    };
    std::vector<BrushTap> brush;
    float weightSum = 0.0f;
    for (int dz = -radius; dz <= radius; dz++) {
        for (int dx = -radius; dx <= radius; dx++) {
            float d = std::sqrt((float)(dx * dx + dz * dz));
            if (d < radius) {
                brush.push_back({dx, dz, radius - d});
                weightSum += radius - d;
            }
        }
    }
    for (auto& tap : brush)
        tap.weight /= weightSum;

    auto heightAndGradient = [&](float x, float z, float& gx, float& gz) {
        int cx = (int)x, cz = (int)z;
        float fx = x - cx, fz = z - cz;
        size_t i = (size_t)cz * n + cx;
        float h00 = h.v[i], h10 = h.v[i + 1], h01 = h.v[i + n], h11 = h.v[i + n + 1];
        gx = (h10 - h00) * (1 - fz) + (h11 - h01) * fz;
        gz = (h01 - h00) * (1 - fx) + (h11 - h10) * fx;
        return h00 * (1 - fx) * (1 - fz) + h10 * fx * (1 - fz) + h01 * (1 - fx) * fz + h11 * fx * fz;
    };

    Rng rng(seed);
    for (int d = 0; d < droplets; d++) {
        float x = rng.range(radius, n - 1 - radius), z = rng.range(radius, n - 1 - radius);
        float dirX = 0, dirZ = 0, speed = 1, water = 1, sediment = 0;
        for (int step = 0; step < lifetime; step++) {
            int cx = (int)x, cz = (int)z;
            float fx = x - cx, fz = z - cz;
            float gx, gz;
            float height = heightAndGradient(x, z, gx, gz);
            dirX = dirX * inertia - gx * (1 - inertia);
            dirZ = dirZ * inertia - gz * (1 - inertia);
            float len = std::sqrt(dirX * dirX + dirZ * dirZ);
            if (len < 1e-6f)
                break;
            dirX /= len;
            dirZ /= len;
            x += dirX;
            z += dirZ;
            if (x < radius || z < radius || x >= n - 1 - radius || z >= n - 1 - radius)
                break;
            float ngx, ngz;
            float deltaHeight = heightAndGradient(x, z, ngx, ngz) - height;
            float capacity = std::max(-deltaHeight * speed * water * capacityFactor, minCapacity);
            size_t i = (size_t)cz * n + cx;
            if (sediment > capacity || deltaHeight > 0) {
                float amount = deltaHeight > 0 ? std::min(deltaHeight, sediment) : (sediment - capacity) * depositRate;
                sediment -= amount;
                h.v[i] += amount * (1 - fx) * (1 - fz);
                h.v[i + 1] += amount * fx * (1 - fz);
                h.v[i + n] += amount * (1 - fx) * fz;
                h.v[i + n + 1] += amount * fx * fz;
            } else {
                float amount = std::min((capacity - sediment) * erodeRate, -deltaHeight);
                for (const auto& tap : brush) {
                    float& cell = h.v[(size_t)(cz + tap.dz) * n + (cx + tap.dx)];
                    float take = std::min(cell, amount * tap.weight);
                    cell -= take;
                    sediment += take;
                }
            }
            speed = std::sqrt(std::max(0.0f, speed * speed - deltaHeight * gravity));
            water *= 1 - evaporation;
        }
    }
}

// Maps the heights so that almost all of them fall in [low, high].
void normaliseHeights(Field& h, float low, float high)
{
    std::vector<float> sorted = h.v;
    size_t lowIndex = sorted.size() / 500, highIndex = sorted.size() - 1 - sorted.size() / 5000;
    std::nth_element(sorted.begin(), sorted.begin() + lowIndex, sorted.end());
    float lo = sorted[lowIndex];
    std::nth_element(sorted.begin(), sorted.begin() + highIndex, sorted.end());
    float hi = sorted[highIndex];
    float scale = (high - low) / std::max(hi - lo, 1e-6f);
    for (float& value : h.v)
        value = clampf(low + (value - lo) * scale, 0.0f, 255.0f);
}

float slopeAt(const Field& h, int x, int z)
{
    float gx = (h.clamped(x + 1, z) - h.clamped(x - 1, z)) * 0.5f;
    float gz = (h.clamped(x, z + 1) - h.clamped(x, z - 1)) * 0.5f;
    return std::sqrt(gx * gx + gz * gz);
}

} // namespace

Landscape buildLandscape(uint32_t seed)
{
    Seeds s(seed);
    const int n = masterSize;

    Field h(n), meadow(n);
    parallelFor(n, [&](int z) {
        for (int x = 0; x < n; x++) {
            float u = (float)x / masterCells, w = (float)z / masterCells;
            h.at(x, z) = landShape(u, w, s, meadow.at(x, z));
        }
    });

    // Flatten the meadows toward the broad lie of the land, keeping a little
    // of the small-scale roll so they are not dead flat.
    Field broad = blurred(h, 14);
    for (size_t i = 0; i < h.v.size(); i++)
        h.v[i] = lerp(h.v[i], broad.v[i], 0.88f * meadow.v[i]);

    // Thermal erosion works on heights of about 0-255 (its talus is in height
    // steps per cell). The droplet rates are tuned for slopes of about one
    // hundredth per cell, so the droplets see the relief scaled to 0-4.
    for (float& value : h.v)
        value *= 255.0f;
    thermalErosion(h, 3, 3.0f, 0.5f);
    const float dropletScale = 4.0f / 255.0f;
    for (float& value : h.v)
        value *= dropletScale;
    hydraulicErosion(h, 120000, s.droplets);
    for (float& value : h.v)
        value /= dropletScale;
    thermalErosion(h, 2, 2.5f, 0.5f);
    // Soften the droplet tracks on gentle ground, where they would read as
    // combed fur; steep slopes keep their gullies.
    Field smoothed = blurred(h, 2);
    parallelFor(n, [&](int z) {
        for (int x = 0; x < n; x++)
            smoothed.at(x, z) = lerp(h.at(x, z), smoothed.at(x, z), 0.75f - 0.45f * smoothstep(1.0f, 2.5f, slopeAt(h, x, z)));
    });
    h = smoothed;
    normaliseHeights(h, 3.0f, 251.0f);
    return describeLandscape(h, seed);
}

Landscape describeLandscape(const Field& heights, uint32_t seed)
{
    Seeds s(seed);
    const Field& h = heights;
    const int n = h.size;
    const int cells = n - 1;
    Landscape land;
    land.height = h;

    // Wetness: the floors of hollows and gullies (ground well below the land
    // around it) where the ground is gentle enough for water to stand.
    Field around = blurred(h, 18);
    Field wet(n);
    parallelFor(n, [&](int z) {
        for (int x = 0; x < n; x++) {
            float floor = smoothstep(2.0f, 7.0f, around.at(x, z) - h.at(x, z));
            wet.at(x, z) = floor * (1.0f - smoothstep(0.6f, 1.6f, slopeAt(h, x, z)));
        }
    });
    wet = blurred(wet, 2);
    land.wetness = wet;

    land.vegetation = Field(n);
    land.density = Field(n);
    land.rock = Field(n);
    land.snow = Field(n);
    parallelFor(n, [&](int z) {
        for (int x = 0; x < n; x++) {
            float u = (float)x / cells, w = (float)z / cells;
            float slope = slopeAt(h, x, z);
            float height = h.at(x, z) / 255.0f;
            float gentle = 1.0f - smoothstep(0.45f, 1.5f, slope);
            // Thinner on the lowest ground, gone toward the peaks.
            float midHeight = (0.6f + 0.4f * smoothstep(0.02f, 0.14f, height)) * (1.0f - smoothstep(0.64f, 0.82f, height));
            float dry = 1.0f - 0.85f * wet.at(x, z);
            float vegetation = gentle * midHeight * dry;
            land.vegetation.at(x, z) = vegetation;

            float patches = smoothstep(-0.30f, 0.30f, fbm(u * 14.0f, w * 14.0f, s.patches, 5));
            float fine = 0.65f + 0.35f * smoothstep(-0.5f, 0.5f, fbm(u * 70.0f, w * 70.0f, s.detail, 3));
            land.density.at(x, z) = vegetation * patches * fine;

            land.rock.at(x, z) = smoothstep(1.1f, 2.3f, slope) * (0.6f + 0.4f * smoothstep(0.3f, 0.7f, height));
            land.snow.at(x, z) = smoothstep(0.83f, 0.93f, height) * (1.0f - smoothstep(1.4f, 2.8f, slope));
        }
    });
    return land;
}

Field resampleField(const Field& master, int size)
{
    int step = (master.size - 1) / (size - 1);
    if (step <= 1)
        return master;
    Field out(size);
    parallelFor(size, [&](int j) {
        for (int i = 0; i < size; i++) {
            float sum = 0.0f, weights = 0.0f;
            for (int dz = -step + 1; dz < step; dz++) {
                for (int dx = -step + 1; dx < step; dx++) {
                    float weight = (float)(step - std::abs(dx)) * (float)(step - std::abs(dz));
                    sum += weight * master.clamped(i * step + dx, j * step + dz);
                    weights += weight;
                }
            }
            out.at(i, j) = sum / weights;
        }
    });
    return out;
}

Vec3 sunDirection()
{
    // From the south-south-east, 32 degrees above the horizon: behind and to
    // the right of a walker looking north-east over the valley.
    float elevation = 32.0f * 3.14159265f / 180.0f;
    Vec3 horizontal = normalize(vec3(0.45f, 0.0f, 0.89f));
    return normalize(vec3(horizontal.x * std::cos(elevation), std::sin(elevation), horizontal.z * std::cos(elevation)));
}

Field computeLighting(const Field& heights, float reliefScale)
{
    int n = heights.size;
    Field world(n);
    for (size_t i = 0; i < world.v.size(); i++)
        world.v[i] = heights.v[i] * worldHeightScale * reliefScale;
    float top = *std::max_element(world.v.begin(), world.v.end());
    Field broad = blurred(world, 6 * (int)reliefScale);

    Vec3 sun = sunDirection();
    float horizontalLength = std::sqrt(sun.x * sun.x + sun.z * sun.z);
    float stepX = sun.x / horizontalLength, stepZ = sun.z / horizontalLength;
    float rise = sun.y / horizontalLength;

    Field light(n);
    parallelFor(n, [&](int z) {
        for (int x = 0; x < n; x++) {
            float here = world.at(x, z);
            Vec3 normal = normalize(vec3(-(world.clamped(x + 1, z) - world.clamped(x - 1, z)) * 0.5f, 1.0f,
                                         -(world.clamped(x, z + 1) - world.clamped(x, z - 1)) * 0.5f));
            float diffuse = std::max(0.0f, dot(normal, sun));

            // Soft shadow: how closely the ray toward the sun passes over the
            // terrain, relative to the distance travelled.
            float visibility = 1.0f;
            if (diffuse > 0.0f) {
                float t = 0.75f;
                while (visibility > 0.0f) {
                    float px = x + stepX * t, pz = z + stepZ * t;
                    if (px < 0 || pz < 0 || px > n - 1 || pz > n - 1)
                        break;
                    float ray = here + 0.15f + rise * t;
                    if (ray > top)
                        break;
                    float clearance = ray - world.bilinear(px, pz);
                    visibility = std::min(visibility, 6.0f * clearance / t);
                    t += 0.5f + t * 0.02f;
                }
            }
            float shadow = smoothstep(0.0f, 1.0f, clamp01(visibility));

            // Open-sky light: less in hollows and on faces turned away from the sky.
            float hollow = clampf((broad.at(x, z) - here) * 0.12f / reliefScale, -0.15f, 0.35f);
            float sky = (0.80f + 0.20f * normal.y) * (1.0f - hollow);
            light.at(x, z) = 0.40f * sky + 0.78f * diffuse * shadow;
        }
    });
    return light;
}

std::vector<uint8_t> fieldToBytes(const Field& field, bool unit)
{
    std::vector<uint8_t> bytes(field.v.size());
    for (size_t i = 0; i < bytes.size(); i++) {
        float value = unit ? field.v[i] * 255.0f : field.v[i];
        bytes[i] = (uint8_t)(int)(clampf(value, 0.0f, 255.0f) + 0.5f);
    }
    return bytes;
}
