// TextureRegistryTest.cpp -- texture names by file name, reloading, the
// texture list and the registry's bounds.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/textureRegistry.h"
#include "image/tga.h"
#include "imageTestFiles.h"
#include "support/glTestContext.h"

using namespace imagetest;

namespace {

class TextureRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!makeTestGlContext(64, 64)) GTEST_SKIP() << "no offscreen OpenGL context";
        textureBrighten = 0;
        trilinearFiltering = 0;
        resetTextureRegistry();
        // Names start at 51 again: drop the images earlier tests left there.
        std::vector<GLuint> names(TEXTURE_REGISTRY_CAPACITY + 1);
        for (size_t i = 0; i < names.size(); ++i) names[i] = static_cast<GLuint>(51 + i);
        glDeleteTextures(static_cast<GLsizei>(names.size()), names.data());
    }
    void TearDown() override {
        textureBrighten = 0;
        trilinearFiltering = 0;
    }
    // A 1 x 1 32-bit file of one colour.
    static void writePixel(const char* name, uint8_t red, uint8_t green, uint8_t blue) {
        writeFile(name, tgaBytes(2, 1, 1, 32, {blue, green, red, 255}));
    }
    static GLint minFilter(unsigned name) {
        GLint value = 0;
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
        glBindTexture(GL_TEXTURE_2D, 0);
        return value;
    }
    ScratchFolder folder;
    ConsoleCapture console;
};

TEST_F(TextureRegistryTest, OneNamePerFileFromFiftyOneAndEachFileLoadedOnce) {
    writePixel("a.tga", 200, 0, 0);
    writePixel("b.tga", 0, 200, 0);
    EXPECT_EQ(getTexture("a.tga"), 51u);
    EXPECT_EQ(getClampedTexture("b.tga"), 52u);

    // The file changes on disk: a repeated request neither reloads it nor
    // issues a new name, whichever loader is asked for.
    writePixel("a.tga", 0, 0, 200);
    EXPECT_EQ(getTexture("a.tga"), 51u);
    EXPECT_EQ(getClampedTexture("a.tga"), 51u);
    EXPECT_EQ(textureTexels(51), (std::vector<uint8_t>{200, 0, 0, 255}));
    EXPECT_EQ(minFilter(51), GL_LINEAR_MIPMAP_NEAREST) << "keeps the mode of its first request";

    EXPECT_EQ(getTexture("A.tga"), 53u) << "names are case-sensitive";
    EXPECT_EQ(textureRegistryCount(), 3);

    createTextureRegistry();  // a second creation keeps the entries
    EXPECT_EQ(getTexture("a.tga"), 51u);
}

TEST_F(TextureRegistryTest, MissingFileGetsANameWithNoImage) {
    EXPECT_EQ(getTexture("missing.tga"), 51u);
    EXPECT_EQ(getClampedTexture("missing-clamped.tga"), 52u);
    EXPECT_EQ(console.text(),
              "file missing.tga not found\n"
              "Cannot load texture file missing-clamped.tga: No such file or directory\n")
        << "each missing file is reported once, at its first request";
    const std::string before = console.text();
    getClampedTexture("missing-clamped.tga");
    EXPECT_EQ(console.text(), before) << "a later request of the same file says nothing";
    EXPECT_TRUE(textureTexels(51).empty());
}

TEST_F(TextureRegistryTest, ReloadRebuildsEveryEntryWithItsOwnBrightenFlag) {
    writePixel("bright.tga", 100, 100, 100);
    writePixel("plain.tga", 100, 100, 100);
    writePixel("edge.tga", 10, 10, 10);
    textureBrighten = 1;
    unsigned bright = getTexture("bright.tga");
    textureBrighten = 0;
    unsigned plain = getTexture("plain.tga");
    textureBrighten = 1;
    unsigned edge = getClampedTexture("edge.tga");
    textureBrighten = 0;
    EXPECT_EQ(textureTexels(bright), (std::vector<uint8_t>{150, 150, 150, 255}));

    // The T key: new filter, then every texture reloaded from its file.
    writePixel("plain.tga", 30, 40, 50);
    trilinearFiltering = 1;
    reloadAllTextures();
    EXPECT_EQ(minFilter(bright), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(minFilter(plain), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(minFilter(edge), GL_LINEAR) << "clamped entries stay single-level";
    EXPECT_EQ(textureTexels(bright), (std::vector<uint8_t>{150, 150, 150, 255}));
    EXPECT_EQ(textureTexels(plain), (std::vector<uint8_t>{30, 40, 50, 255}));
    EXPECT_EQ(textureTexels(edge), (std::vector<uint8_t>{60, 60, 60, 255}));
    EXPECT_EQ(textureBrighten, 1) << "keeps the last entry's flag";
}

TEST_F(TextureRegistryTest, ListNamesEveryEntryBetweenUnderscores) {
    getClampedTexture("sand.tga");
    getClampedTexture("models\\leaf.tga");
    char text[10000];
    formatTextureList(text, sizeof text);
    EXPECT_STREQ(text, "texnum 2\ntexlist 51 _sand.tga_\ntexlist 52 _models\\leaf.tga_\n");
}

TEST_F(TextureRegistryTest, BoundsOnEntriesNamesAndListLength) {
    // A 999-character name is accepted, one more is refused with name 0.
    const std::string longest(TEXTURE_FILE_NAME_MAX, 'n');
    EXPECT_EQ(getClampedTexture(longest.c_str()), 51u);
    EXPECT_EQ(getClampedTexture((longest + "n").c_str()), 0u);
    EXPECT_NE(console.text().find("too long"), std::string::npos);

    for (int i = 1; i < TEXTURE_REGISTRY_CAPACITY; ++i)
        getClampedTexture(("t" + std::to_string(i) + ".tga").c_str());
    ASSERT_EQ(textureRegistryCount(), TEXTURE_REGISTRY_CAPACITY);
    console.text().clear();
    EXPECT_EQ(getClampedTexture("one-too-many.tga"), 0u);
    EXPECT_EQ(getTexture("one-too-many.tga"), 0u);
    EXPECT_NE(console.text().find("texture registry full"), std::string::npos);
    EXPECT_NE(console.text().find("one-too-many.tga"), std::string::npos);
    EXPECT_EQ(getClampedTexture("t999.tga"), 1050u) << "known files still answer";

    // The list: each line cut to 99 characters, the whole to 9999, whole lines.
    static char text[20000];
    size_t length = formatTextureList(text, sizeof text);
    EXPECT_EQ(length, strlen(text));
    EXPECT_LE(length, 9999u);
    EXPECT_EQ(text[length - 1], '\n');
    const char* secondLine = strchr(text, '\n') + 1;
    const char* secondEnd = strchr(secondLine, '\n');
    EXPECT_EQ(secondEnd - secondLine + 1, 99) << "the 999-character name's line is cut";
    EXPECT_EQ(strncmp(secondLine, "texlist 51 _nnn", 15), 0);
}

}  // namespace
