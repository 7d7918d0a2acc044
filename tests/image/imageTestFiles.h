// imageTestFiles.h -- small helpers shared by the image tests: TGA files
// built byte by byte, a scratch folder the test works in, texel read-back,
// console capture and running ImageMagick.
#pragma once

#include <GL/gl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "util/output.h"

namespace imagetest {

// An 18-byte TGA header followed by `body` (ID field, pixels, or anything).
inline std::vector<uint8_t> tgaBytes(int imageType, int width, int height, int bits,
                                     const std::vector<uint8_t>& body, int idLength = 0, int colourMapType = 0,
                                     int descriptor = 0) {
    std::vector<uint8_t> bytes(18 + body.size(), 0);
    bytes[0] = static_cast<uint8_t>(idLength);
    bytes[1] = static_cast<uint8_t>(colourMapType);
    bytes[2] = static_cast<uint8_t>(imageType);
    bytes[12] = static_cast<uint8_t>(width & 0xFF);
    bytes[13] = static_cast<uint8_t>((width >> 8) & 0xFF);
    bytes[14] = static_cast<uint8_t>(height & 0xFF);
    bytes[15] = static_cast<uint8_t>((height >> 8) & 0xFF);
    bytes[16] = static_cast<uint8_t>(bits);
    bytes[17] = static_cast<uint8_t>(descriptor);
    std::copy(body.begin(), body.end(), bytes.begin() + 18);
    return bytes;
}

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A fresh folder that becomes the working directory until destroyed.
class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/morvista-image-XXXXXX";
        const char* made = mkdtemp(pattern);
        path_ = made ? made : "/tmp";
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
    ~ScratchFolder() {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }

    // Names of the plain files in the folder, sorted.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string path_;
    std::filesystem::path previous_;
};

// Level 0 of a texture as RGBA bytes.
inline std::vector<uint8_t> textureTexels(unsigned textureName) {
    glBindTexture(GL_TEXTURE_2D, textureName);
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    std::vector<uint8_t> texels(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (!texels.empty()) glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return texels;
}

// Collects everything the program prints while it lives.
class ConsoleCapture {
public:
    ConsoleCapture() {
        text().clear();
        setOutputHook(&ConsoleCapture::hook);
    }
    ~ConsoleCapture() { setOutputHook(nullptr); }
    static std::string& text() {
        static std::string captured;
        return captured;
    }

private:
    static void hook(const char* text, size_t length) { ConsoleCapture::text().append(text, length); }
};

inline bool imageMagickAvailable() { return system("command -v convert >/dev/null 2>&1 && command -v identify >/dev/null 2>&1") == 0; }

// Runs a shell command and returns its standard output.
inline std::string runCommand(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return output;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    pclose(pipe);
    return output;
}

}  // namespace imagetest
