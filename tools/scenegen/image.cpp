// image.cpp -- picture sampling and file writers (see image.h).
#include "image.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

inline int wrapOrClamp(int i, int n, bool wrap)
{
    if (wrap) {
        i %= n;
        return i < 0 ? i + n : i;
    }
    return i < 0 ? 0 : (i >= n ? n - 1 : i);
}

struct BilinearTaps {
    int x0, x1, y0, y1;
    float fx, fy;
};

BilinearTaps taps(const Image& image, float s, float t, bool wrap)
{
    float x = s * image.width - 0.5f, y = t * image.height - 0.5f;
    float fx = std::floor(x), fy = std::floor(y);
    BilinearTaps r;
    r.x0 = wrapOrClamp((int)fx, image.width, wrap);
    r.x1 = wrapOrClamp((int)fx + 1, image.width, wrap);
    r.y0 = wrapOrClamp((int)fy, image.height, wrap);
    r.y1 = wrapOrClamp((int)fy + 1, image.height, wrap);
    r.fx = x - fx;
    r.fy = y - fy;
    return r;
}

struct CrcTable {
    uint32_t entries[256];
    CrcTable()
    {
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t c = i;
            for (int k = 0; k < 8; k++)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entries[i] = c;
        }
    }
};

uint32_t crc32(const uint8_t* data, size_t n, uint32_t crc = 0)
{
    static const CrcTable table;
    const uint32_t* crcTable = table.entries;
    crc = ~crc;
    for (size_t i = 0; i < n; i++)
        crc = crcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void putBigEndian32(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back((uint8_t)(v >> 24));
    out.push_back((uint8_t)(v >> 16));
    out.push_back((uint8_t)(v >> 8));
    out.push_back((uint8_t)v);
}

void putChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    putBigEndian32(out, (uint32_t)data.size());
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBigEndian32(out, crc32(&out[start], out.size() - start));
}

} // namespace

Vec3 sampleRgb(const Image& image, float s, float t, bool wrap)
{
    BilinearTaps k = taps(image, s, t, wrap);
    Vec3 a = mix(image.rgbAt(k.x0, k.y0), image.rgbAt(k.x1, k.y0), k.fx);
    Vec3 b = mix(image.rgbAt(k.x0, k.y1), image.rgbAt(k.x1, k.y1), k.fx);
    return mix(a, b, k.fy);
}

float sampleAlpha(const Image& image, float s, float t, bool wrap)
{
    BilinearTaps k = taps(image, s, t, wrap);
    float a = lerp(image.alphaAt(k.x0, k.y0), image.alphaAt(k.x1, k.y0), k.fx);
    float b = lerp(image.alphaAt(k.x0, k.y1), image.alphaAt(k.x1, k.y1), k.fx);
    return lerp(a, b, k.fy);
}

bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "scenegen: cannot create %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), file);
    bool ok = written == bytes.size();
    if (std::fclose(file) != 0)
        ok = false;
    if (!ok)
        std::fprintf(stderr, "scenegen: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    return ok;
}

bool writeRaw(const std::string& path, const std::vector<uint8_t>& bytes) { return writeFileBytes(path, bytes); }

bool writeTga(const std::string& path, const Image& image)
{
    std::vector<uint8_t> out(18, 0);
    out[2] = image.channels == 1 ? 3 : 2;
    out[12] = (uint8_t)(image.width & 0xFF);
    out[13] = (uint8_t)(image.width >> 8);
    out[14] = (uint8_t)(image.height & 0xFF);
    out[15] = (uint8_t)(image.height >> 8);
    out[16] = (uint8_t)(image.channels * 8);
    out[17] = image.channels == 4 ? 8 : 0; // alpha bits; origin bottom-left
    out.reserve(18 + image.pixels.size());
    // TGA stores blue, green, red (and alpha) in that order.
    for (size_t i = 0; i < image.pixels.size(); i += image.channels) {
        if (image.channels == 1) {
            out.push_back(image.pixels[i]);
            continue;
        }
        out.push_back(image.pixels[i + 2]);
        out.push_back(image.pixels[i + 1]);
        out.push_back(image.pixels[i]);
        if (image.channels == 4)
            out.push_back(image.pixels[i + 3]);
    }
    return writeFileBytes(path, out);
}

bool writePng(const std::string& path, const Image& image)
{
    // Raw scanlines, top row first, each preceded by filter type 0.
    size_t rowBytes = (size_t)image.width * image.channels;
    std::vector<uint8_t> raw;
    raw.reserve((rowBytes + 1) * image.height);
    for (int y = image.height - 1; y >= 0; y--) {
        raw.push_back(0);
        const uint8_t* row = image.at(0, y);
        raw.insert(raw.end(), row, row + rowBytes);
    }
    // zlib stream of stored blocks (at most 65535 bytes each) and Adler-32.
    std::vector<uint8_t> z = {0x78, 0x01};
    size_t pos = 0;
    do {
        size_t n = std::min<size_t>(65535, raw.size() - pos);
        bool last = pos + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back((uint8_t)(n & 0xFF));
        z.push_back((uint8_t)(n >> 8));
        z.push_back((uint8_t)(~n & 0xFF));
        z.push_back((uint8_t)((~n >> 8) & 0xFF));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    putBigEndian32(z, (b << 16) | a);

    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> header;
    putBigEndian32(header, (uint32_t)image.width);
    putBigEndian32(header, (uint32_t)image.height);
    header.push_back(8);
    header.push_back(image.channels == 1 ? 0 : (image.channels == 3 ? 2 : 6));
    header.push_back(0);
    header.push_back(0);
    header.push_back(0);
    putChunk(out, "IHDR", header);
    putChunk(out, "IDAT", z);
    putChunk(out, "IEND", {});
    return writeFileBytes(path, out);
}

void bleedTransparentColour(Image& image)
{
    if (image.channels != 4)
        return;
    int w = image.width, h = image.height;
    std::vector<uint8_t> known((size_t)w * h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            known[(size_t)y * w + x] = image.at(x, y)[3] > 0;
    // Grow the known region one ring per pass, averaging known neighbours.
    for (int pass = 0; pass < 64; pass++) {
        std::vector<uint8_t> next = known;
        bool changed = false;
        for (int y = 0; y < h; y++) {
            for (int x = 0; x < w; x++) {
                if (known[(size_t)y * w + x])
                    continue;
                int sum[3] = {0, 0, 0}, count = 0;
                for (int dy = -1; dy <= 1; dy++) {
                    for (int dx = -1; dx <= 1; dx++) {
                        int nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= w || ny >= h || !known[(size_t)ny * w + nx])
                            continue;
                        const uint8_t* p = image.at(nx, ny);
                        sum[0] += p[0];
                        sum[1] += p[1];
                        sum[2] += p[2];
                        count++;
                    }
                }
                if (count == 0)
                    continue;
                uint8_t* p = image.at(x, y);
                for (int c = 0; c < 3; c++)
                    p[c] = (uint8_t)(sum[c] / count);
                next[(size_t)y * w + x] = 1;
                changed = true;
            }
        }
        known.swap(next);
        if (!changed)
            break;
    }
}
