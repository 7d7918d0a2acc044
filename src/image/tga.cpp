// tga.cpp -- TGA files into textures, and the multitexture entry points.
// The byte-level work is in tgaDecode.cpp; this file reads the file and
// talks to OpenGL. The file is opened, checked and read completely before
// any OpenGL call, so a refused file changes no texture.
#include "image/tga.h"

#include <GL/glext.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "util/fileOpen.h"
#include "util/output.h"

int textureBrighten = 0;
int trilinearFiltering = 0;
ActiveTextureProc glActiveTextureARB_ = nullptr;
MultiTexCoord2fProc glMultiTexCoord2fARB_ = nullptr;
ActiveTextureProc glClientActiveTextureARB_ = nullptr;

static bool extensionOffered(const char* name) {
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return extensions && strstr(extensions, name);
}

bool initMultitexture() {
    if (!extensionOffered("GL_ARB_multitexture")) {
        outputText("GL_ARB_multitexture NOT found.\n");
        return false;
    }
    glActiveTextureARB_ = reinterpret_cast<ActiveTextureProc>(platformGetProcAddress("glActiveTextureARB"));
    glMultiTexCoord2fARB_ = reinterpret_cast<MultiTexCoord2fProc>(platformGetProcAddress("glMultiTexCoord2fARB"));
    glClientActiveTextureARB_ =
        reinterpret_cast<ActiveTextureProc>(platformGetProcAddress("glClientActiveTextureARB"));
    return glActiveTextureARB_ && glMultiTexCoord2fARB_ && glClientActiveTextureARB_;
}

int readTGAFile(const char* fileName, int brighten, TgaImage& image, std::string* reason) {
    image = TgaImage{};
    if (reason) reason->clear();
    if (!fileName) return TGA_OPEN_FAILED;
    std::string openProblem;
    long long fileSize = 0;
    FILE* file = openRegularFile(fileName, "rb", openProblem, &fileSize);
    if (!file) {
        if (reason) *reason = openProblem;
        // A pipe or a directory is there, but is no image file.
        bool there = openProblem == "is a directory" || openProblem == "not a regular file";
        return there ? TGA_READ_FAILED : TGA_OPEN_FAILED;
    }

    unsigned char headerBytes[TGA_HEADER_SIZE];
    size_t headerLength = fread(headerBytes, 1, sizeof headerBytes, file);
    TgaHeader header;
    int result = readTGAHeader(headerBytes, headerLength, header, reason);
    if (result != TGA_OK) {
        fclose(file);
        return result;
    }

    // Compare what the header promises with what the file holds before
    // allocating anything, so a lying header cannot ask for a gigabyte.
    size_t needed = tgaFileBytes(header);
    if (fileSize < 0 || static_cast<unsigned long long>(fileSize) < needed) {
        fclose(file);
        if (reason) *reason = tgaTruncatedReason(header, static_cast<size_t>(fileSize < 0 ? 0 : fileSize));
        return TGA_READ_FAILED;
    }
    std::vector<unsigned char> bytes(needed);
    memcpy(bytes.data(), headerBytes, TGA_HEADER_SIZE);
    size_t rest = needed - TGA_HEADER_SIZE;
    size_t got = rest ? fread(bytes.data() + TGA_HEADER_SIZE, 1, rest, file) : 0;
    fclose(file);
    return decodeTGA(bytes.data(), TGA_HEADER_SIZE + got, brighten, image, reason);
}

static GLenum pixelFormatFor(int bits) {
    if (bits == 32) return GL_RGBA;
    if (bits == 24) return GL_RGB;
    return GL_ALPHA;
}

int loadTGATexture(const char* fileName, unsigned textureName, std::string* reason) {
    TgaImage image;
    int result = readTGAFile(fileName, textureBrighten, image, reason);
    if (result != TGA_OK) return result;
    GLenum format = pixelFormatFor(image.bits);

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureName);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    // Anisotropy only where the implementation offers it. Bilinear sets it
    // back to 1 so that a reload after the T key really drops it again.
    bool anisotropic = extensionOffered("GL_EXT_texture_filter_anisotropic");
    if (trilinearFiltering) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        if (anisotropic) glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 2.0f);
    } else {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        if (anisotropic) glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1.0f);
    }
    GLint built = gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, image.width, image.height, format, GL_UNSIGNED_BYTE,
                                    image.pixels);
    freeTGAImage(image);
    glBindTexture(GL_TEXTURE_2D, 0);
    // GLU fails here only when it cannot allocate its scaled copies.
    if (built != 0 && reason) *reason = "out of memory for its mipmaps";
    return built == 0 ? TGA_OK : TGA_READ_FAILED;
}

int loadTGATextureClamped(const char* fileName, unsigned textureName, std::string* reason) {
    TgaImage image;
    int result = readTGAFile(fileName, textureBrighten, image, reason);
    if (result != TGA_OK) return result;
    GLenum format = pixelFormatFor(image.bits);

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureName);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), image.width, image.height, 0, format,
                 GL_UNSIGNED_BYTE, image.pixels);
    freeTGAImage(image);
    glBindTexture(GL_TEXTURE_2D, 0);
    return TGA_OK;
}
