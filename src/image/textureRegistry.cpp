// textureRegistry.cpp -- texture names by file name; see textureRegistry.h.
// The registry and its entries are written on the main thread only.
#include "image/textureRegistry.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "image/tga.h"
#include "platform/platform.h"
#include "scene/sceneConfig.h"
#include "util/output.h"

struct TextureEntry {
    std::string fileName;  // exactly as requested
    unsigned textureName = 0;
    int clamped = 0;   // 1: loadTGATextureClamped, 0: loadTGATexture
    int brighten = 0;  // textureBrighten at the first request
};

struct TextureRegistry {
    std::vector<TextureEntry> entries;
    unsigned lastName = 50;  // the first texture is 51
};

static TextureRegistry* textureRegistry = nullptr;  // lives until the process ends

void createTextureRegistry() {
    if (textureRegistry) return;
    textureRegistry = new TextureRegistry;
    textureRegistry->entries.reserve(TEXTURE_REGISTRY_CAPACITY);
}

bool textureRegistryExists() { return textureRegistry != nullptr; }

int textureRegistryCount() { return textureRegistry ? static_cast<int>(textureRegistry->entries.size()) : 0; }

void resetTextureRegistry() {
    delete textureRegistry;
    textureRegistry = nullptr;
    createTextureRegistry();
}

static unsigned requestTexture(const char* fileName, int clamped) {
    createTextureRegistry();
    if (!fileName) return 0;
    for (const TextureEntry& entry : textureRegistry->entries) {
        if (entry.fileName == fileName) return entry.textureName;
    }

    size_t length = strlen(fileName);
    if (length > TEXTURE_FILE_NAME_MAX) {
        outputPrintf("texture file name of %zu characters is too long (at most %d): %.60s... not loaded\n", length,
                     TEXTURE_FILE_NAME_MAX, fileName);
        return 0;
    }
    if (textureRegistry->entries.size() >= TEXTURE_REGISTRY_CAPACITY) {
        outputPrintf("texture registry full (%d files): %s not loaded\n", TEXTURE_REGISTRY_CAPACITY, fileName);
        return 0;
    }

    TextureEntry entry;
    entry.fileName = fileName;
    entry.textureName = ++textureRegistry->lastName;
    entry.clamped = clamped;
    entry.brighten = textureBrighten;
    textureRegistry->entries.push_back(entry);

    // Every file that gives no image is told once, at its first request.
    std::string path = scenePath(fileName);
    std::string reason;
    int result = clamped ? loadTGATextureClamped(path.c_str(), entry.textureName, &reason)
                         : loadTGATexture(path.c_str(), entry.textureName, &reason);
    if (result == TGA_OPEN_FAILED && !clamped) outputPrintf("file %s not found\n", path.c_str());
    else if (result != TGA_OK) outputPrintf("Cannot load texture file %s: %s\n", path.c_str(), reason.c_str());
    return entry.textureName;
}

unsigned getTexture(const char* fileName) { return requestTexture(fileName, 0); }

unsigned getClampedTexture(const char* fileName) { return requestTexture(fileName, 1); }

void reloadAllTextures() {
    if (!textureRegistry) return;
    for (const TextureEntry& entry : textureRegistry->entries) {
        textureBrighten = entry.brighten;
        std::string path = scenePath(entry.fileName.c_str());
        if (entry.clamped) loadTGATextureClamped(path.c_str(), entry.textureName);
        else loadTGATexture(path.c_str(), entry.textureName);
    }
}

void loadTexturesIntoNewContext() {
    int brighten = textureBrighten;
    reloadAllTextures();
    textureBrighten = brighten;
}

// Appends line to text when the whole line fits; false when it does not.
static bool appendLine(char* text, size_t size, size_t& used, const char* line) {
    size_t length = strlen(line);
    if (used + length + 1 > size) return false;
    memcpy(text + used, line, length + 1);
    used += length;
    return true;
}

// A line formatted into the 100-character line buffer and cut short still
// ends with a line break.
static void endCutLine(char (&line)[100], int needed) {
    if (needed >= static_cast<int>(sizeof line)) line[sizeof line - 2] = '\n';
}

size_t formatTextureList(char* text, size_t size) {
    if (!text || size == 0) return 0;
    const size_t limit = size < 10000 ? size : 10000;
    size_t used = 0;
    text[0] = '\0';
    char line[100];
    endCutLine(line, snprintf(line, sizeof line, "texnum %d\n", textureRegistryCount()));
    if (!appendLine(text, limit, used, line)) return used;
    if (!textureRegistry) return used;
    for (const TextureEntry& entry : textureRegistry->entries) {
        endCutLine(line, snprintf(line, sizeof line, "texlist %d _%s_\n", static_cast<int>(entry.textureName),
                                  entry.fileName.c_str()));
        if (!appendLine(text, limit, used, line)) break;
    }
    return used;
}

void showTextureList() {
    static char text[10000];
    formatTextureList(text, sizeof text);
    platformMessageBox(text, "list", platformOk, true);
}
