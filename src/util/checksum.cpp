// checksum.cpp -- CRC-32 of bytes and files; see checksum.h.
#include "util/checksum.h"

#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <vector>

uint32_t crc32Of(const void* bytes, size_t count, uint32_t previous) {
    // Built once, on first use, by whichever thread gets here first.
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t crc = previous ^ 0xFFFFFFFFu;
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < count; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

bool fileCrc32(const std::string& path, uint32_t& crc) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return false;
    std::vector<unsigned char> buffer(1 << 16);
    uint32_t value = 0;
    size_t got = 0;
    while ((got = fread(buffer.data(), 1, buffer.size(), file)) > 0) value = crc32Of(buffer.data(), got, value);
    bool ok = !ferror(file);
    fclose(file);
    if (ok) crc = value;
    return ok;
}

std::string crc32Text(uint32_t crc) {
    char text[9];
    snprintf(text, sizeof text, "%08x", crc);
    return text;
}
