// TgaTest.cpp -- TGA files into textures: result codes, texels uploaded,
// filters, and files written by ImageMagick.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "image/tga.h"
#include "imageTestFiles.h"
#include "support/glTestContext.h"

using namespace imagetest;

namespace {

class TgaTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!makeTestGlContext(64, 64)) GTEST_SKIP() << "no offscreen OpenGL context";
        textureBrighten = 0;
        trilinearFiltering = 0;
    }
    void TearDown() override {
        textureBrighten = 0;
        trilinearFiltering = 0;
    }
    ScratchFolder folder;
};

struct LoadCase {
    const char* name;
    std::vector<uint8_t> file;
    int brighten;
    int expectedCode;
    std::vector<uint8_t> expectedTexels;  // RGBA, bottom row first; only for code 1
};

std::vector<uint8_t> repeated(std::vector<uint8_t> pattern, size_t times) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < times; ++i) out.insert(out.end(), pattern.begin(), pattern.end());
    return out;
}

TEST_F(TgaTest, EachFileGivesItsCodeAndGoodOnesUploadTheirTexels) {
    // 2 x 2 images; texels bottom row first (t 0), which is file order for
    // the usual bottom-left origin.
    const std::vector<uint8_t> bgra = {10, 20, 250, 7, 1, 2, 3, 4, 100, 110, 120, 130, 255, 0, 128, 255};
    const std::vector<uint8_t> bgr = {10, 20, 250, 1, 2, 3, 100, 110, 120, 255, 0, 128};
    const std::vector<uint8_t> grey = {0, 90, 180, 255};
    const std::vector<LoadCase> cases = {
        {"32 bits BGRA becomes RGBA", tgaBytes(2, 2, 2, 32, bgra), 0, TGA_OK,
         {250, 20, 10, 7, 3, 2, 1, 4, 120, 110, 100, 130, 128, 0, 255, 255}},
        {"32 bits brightened by 50, clamped, alpha kept", tgaBytes(2, 2, 2, 32, bgra), 1, TGA_OK,
         {255, 70, 60, 7, 53, 52, 51, 4, 170, 160, 150, 130, 178, 50, 255, 255}},
        {"24 bits never brightened", tgaBytes(2, 2, 2, 24, bgr), 1, TGA_OK,
         {250, 20, 10, 255, 3, 2, 1, 255, 120, 110, 100, 255, 128, 0, 255, 255}},
        {"8 bits grey type becomes alpha", tgaBytes(3, 2, 2, 8, grey), 0, TGA_OK,
         {0, 0, 0, 0, 0, 0, 0, 90, 0, 0, 0, 180, 0, 0, 0, 255}},
        {"8 bits under true-colour type still alpha", tgaBytes(2, 2, 2, 8, grey), 0, TGA_OK,
         {0, 0, 0, 0, 0, 0, 0, 90, 0, 0, 0, 180, 0, 0, 0, 255}},
        {"depth decides layout even for grey type", tgaBytes(3, 2, 2, 32, bgra), 0, TGA_OK,
         {250, 20, 10, 7, 3, 2, 1, 4, 120, 110, 100, 130, 128, 0, 255, 255}},
        {"image ID field skipped", tgaBytes(3, 2, 2, 8, {77, 66, 55, 0, 90, 180, 255}, /*idLength=*/3), 0, TGA_OK,
         {0, 0, 0, 0, 0, 0, 0, 90, 0, 0, 0, 180, 0, 0, 0, 255}},
        {"top-left origin: rows turned bottom first", tgaBytes(3, 2, 2, 8, grey, 0, 0, 0x20), 0, TGA_OK,
         {0, 0, 0, 180, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 90}},
        {"right-to-left origin: columns turned left first", tgaBytes(2, 2, 2, 24, bgr, 0, 0, 0x10), 0, TGA_OK,
         {3, 2, 1, 255, 250, 20, 10, 255, 128, 0, 255, 255, 120, 110, 100, 255}},
        {"top-right origin with an ID field", tgaBytes(3, 2, 2, 8, {9, 0, 90, 180, 255}, 1, 0, 0x30), 0, TGA_OK,
         {0, 0, 0, 255, 0, 0, 0, 180, 0, 0, 0, 90, 0, 0, 0, 0}},
        {"ID field counts toward the length", tgaBytes(3, 2, 2, 8, {9, 9, 0, 90, 180}, 2), 0, TGA_READ_FAILED, {}},
        {"colour-mapped", tgaBytes(1, 2, 2, 8, repeated({0}, 4 + 768), 0, 1), 0, TGA_BAD_TYPE, {}},
        {"colour map with true-colour type", tgaBytes(2, 2, 2, 24, bgr, 0, 1), 0, TGA_BAD_TYPE, {}},
        {"run-length encoded (type 10)", tgaBytes(10, 2, 2, 24, bgr), 0, TGA_BAD_TYPE, {}},
        {"100 x 64 not a power of two", tgaBytes(2, 100, 64, 24, repeated({1}, 100 * 64 * 3)), 0,
         TGA_NOT_POWER_OF_TWO, {}},
        {"64 x 100 not a power of two", tgaBytes(2, 64, 100, 24, repeated({1}, 100 * 64 * 3)), 0,
         TGA_NOT_POWER_OF_TWO, {}},
        {"width 0", tgaBytes(2, 0, 2, 24, {}), 0, TGA_NOT_POWER_OF_TWO, {}},
        {"height 0", tgaBytes(2, 2, 0, 24, {}), 0, TGA_NOT_POWER_OF_TWO, {}},
        {"16 bits", tgaBytes(2, 2, 2, 16, repeated({1}, 8)), 0, TGA_BAD_DEPTH, {}},
        {"pixel block cut short by one byte", tgaBytes(2, 2, 2, 24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}), 0,
         TGA_READ_FAILED, {}},
        {"no pixels at all", tgaBytes(2, 2, 2, 32, {}), 0, TGA_READ_FAILED, {}},
        {"header cut short", {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0}, 0, TGA_READ_FAILED, {}},
        {"empty file", {}, 0, TGA_READ_FAILED, {}},
        {"16384 x 16384 claimed, 12 bytes held", tgaBytes(2, 16384, 16384, 32, repeated({1}, 12)), 0,
         TGA_READ_FAILED, {}},
        {"32768 wide beyond the side limit", tgaBytes(2, 32768, 1, 8, repeated({1}, 32768)), 0, TGA_READ_FAILED,
         {}},
        {"65535 x 65535 fields", tgaBytes(2, 65535, 65535, 32, repeated({1}, 16)), 0, TGA_NOT_POWER_OF_TWO, {}},
    };

    unsigned textureName = 100;
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile("case.tga", c.file);
        textureBrighten = c.brighten;
        for (int clamped = 0; clamped < 2; ++clamped) {
            SCOPED_TRACE(clamped ? "clamped loader" : "mipmapped loader");
            ++textureName;
            int code = clamped ? loadTGATextureClamped("case.tga", textureName)
                               : loadTGATexture("case.tga", textureName);
            EXPECT_EQ(code, c.expectedCode);
            if (code != TGA_OK) continue;
            GLint bound = -1;
            glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
            EXPECT_EQ(bound, 0) << "loader leaves texture 0 bound";
            EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
            EXPECT_EQ(textureTexels(textureName), c.expectedTexels);
        }
    }
}

TEST_F(TgaTest, MissingFileIs13AndAFailedLoadKeepsTheOldImage) {
    EXPECT_EQ(loadTGATexture("no-such-file.tga", 60), TGA_OPEN_FAILED);
    EXPECT_EQ(loadTGATextureClamped("no-such-file.tga", 60), TGA_OPEN_FAILED);

    writeFile("good.tga", tgaBytes(2, 1, 1, 24, {1, 2, 3}));
    writeFile("bad.tga", tgaBytes(2, 1, 1, 24, {1, 2}));
    ASSERT_EQ(loadTGATextureClamped("good.tga", 61), TGA_OK);
    EXPECT_EQ(loadTGATextureClamped("bad.tga", 61), TGA_READ_FAILED);
    EXPECT_EQ(textureTexels(61), (std::vector<uint8_t>{3, 2, 1, 255}));
}

TEST_F(TgaTest, FormatsFiltersAndWrapModes) {
    writeFile("alpha.tga", tgaBytes(3, 4, 4, 8, repeated({200}, 16)));
    auto parameter = [](unsigned name, GLenum which) {
        GLint value = 0;
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexParameteriv(GL_TEXTURE_2D, which, &value);
        glBindTexture(GL_TEXTURE_2D, 0);
        return value;
    };
    auto level = [](unsigned name, int lod, GLenum which) {
        GLint value = 0;
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, lod, which, &value);
        glBindTexture(GL_TEXTURE_2D, 0);
        return value;
    };
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    const bool anisotropic = extensions && strstr(extensions, "GL_EXT_texture_filter_anisotropic");
    auto anisotropy = [](unsigned name) {
        GLfloat value = 0.0f;
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &value);
        glBindTexture(GL_TEXTURE_2D, 0);
        return value;
    };

    // Clamped: one level, the file's own format, linear, clamped to the edge.
    ASSERT_EQ(loadTGATextureClamped("alpha.tga", 70), TGA_OK);
    EXPECT_EQ(level(70, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_ALPHA);
    EXPECT_EQ(level(70, 1, GL_TEXTURE_WIDTH), 0) << "no mipmaps";
    EXPECT_EQ(parameter(70, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(parameter(70, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(parameter(70, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(70, GL_TEXTURE_MAG_FILTER), GL_LINEAR);

    // Mipmapped bilinear: always RGBA inside, mip levels built, repeating.
    ASSERT_EQ(loadTGATexture("alpha.tga", 71), TGA_OK);
    EXPECT_EQ(level(71, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA);
    EXPECT_EQ(level(71, 2, GL_TEXTURE_WIDTH), 1) << "mip levels down to 1 x 1";
    EXPECT_EQ(parameter(71, GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(parameter(71, GL_TEXTURE_WRAP_T), GL_REPEAT);
    EXPECT_EQ(parameter(71, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
    EXPECT_EQ(parameter(71, GL_TEXTURE_MAG_FILTER), GL_LINEAR);

    // Trilinear, reloaded under the same name; anisotropy 2 where offered.
    trilinearFiltering = 1;
    ASSERT_EQ(loadTGATexture("alpha.tga", 71), TGA_OK);
    EXPECT_EQ(parameter(71, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    if (anisotropic) {
        EXPECT_FLOAT_EQ(anisotropy(71), 2.0f);
    }

    // Back to bilinear: the anisotropy goes back to 1 as well.
    trilinearFiltering = 0;
    ASSERT_EQ(loadTGATexture("alpha.tga", 71), TGA_OK);
    EXPECT_EQ(parameter(71, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
    if (anisotropic) {
        EXPECT_FLOAT_EQ(anisotropy(71), 1.0f);
    }
    while (glGetError() != GL_NO_ERROR) ADD_FAILURE() << "OpenGL error during loads";
}

TEST(TgaPowerOfTwo, RoundingRule) {
    for (int n : {1, 2, 4, 64, 1024, 16384, 32768, 1 << 30}) EXPECT_TRUE(isPowerOfTwo(n)) << n;
    for (int n : {0, -1, -4, 3, 6, 100, 1023, 1025, 65535, INT_MAX, INT_MIN}) EXPECT_FALSE(isPowerOfTwo(n)) << n;
}

TEST_F(TgaTest, MultitextureEntryPointsResolve) {
    EXPECT_TRUE(initMultitexture());
    EXPECT_NE(glActiveTextureARB_, nullptr);
    EXPECT_NE(glMultiTexCoord2fARB_, nullptr);
    EXPECT_NE(glClientActiveTextureARB_, nullptr);
}

// ImageMagick's own reading of a file, turned to the picture's orientation
// and then bottom row first as textures hold it, is the oracle.
TEST_F(TgaTest, LoadsFilesWrittenByImageMagick) {
    if (!imageMagickAvailable()) GTEST_SKIP() << "ImageMagick (convert, identify) not installed";
    // 4 x 2 picture with distinct rows, colours and alphas.
    const std::vector<uint8_t> rgba = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 64, 10, 20, 30, 0,
                                       200, 100, 50, 255, 1, 2, 3, 4, 90, 80, 70, 60, 255, 255, 255, 255};
    std::vector<uint8_t> rgb, grey;
    for (size_t i = 0; i < rgba.size(); i += 4) {
        rgb.insert(rgb.end(), {rgba[i], rgba[i + 1], rgba[i + 2]});
        grey.push_back(static_cast<uint8_t>(i * 8));
    }
    writeFile("in.rgba", rgba);
    writeFile("in.rgb", rgb);
    writeFile("in.gray", grey);

    struct Source {
        int bits;
        const char* input;
        const char* rawOut;
    };
    const Source sources[] = {{32, "rgba:in.rgba", "rgba"}, {24, "rgb:in.rgb", "rgb"}, {8, "gray:in.gray", "gray"}};
    unsigned textureName = 200;
    for (const Source& source : sources) {
        for (const char* orient : {"TopLeft", "BottomLeft"}) {
            for (const char* compress : {"None", "RLE"}) {
                std::string file = std::to_string(source.bits) + orient + compress + ".tga";
                SCOPED_TRACE(file);
                runCommand(std::string("convert -size 4x2 -depth 8 ") + source.input + " -orient " + orient +
                           " -compress " + compress + " " + file);
                std::vector<uint8_t> written = readFile(file);
                ASSERT_GE(written.size(), 18u) << "convert wrote no file";
                ASSERT_EQ(written[16], source.bits) << "convert chose another depth";

                ++textureName;
                int code = loadTGATextureClamped(file.c_str(), textureName);
                if (std::string(compress) == "RLE") {
                    EXPECT_EQ(code, TGA_BAD_TYPE);
                    continue;
                }
                ASSERT_EQ(code, TGA_OK);
                std::string oracle =
                    runCommand("convert " + file + " -auto-orient -flip -depth 8 " + source.rawOut + ":-");
                std::vector<uint8_t> texels = textureTexels(textureName);
                ASSERT_EQ(texels.size(), 32u);
                const size_t channels = source.bits / 8;
                ASSERT_EQ(oracle.size(), 8 * channels);
                for (size_t p = 0; p < 8; ++p) {
                    for (size_t c = 0; c < channels; ++c) {
                        // An 8-bit file is an alpha texture: its byte is texel alpha.
                        size_t texelChannel = channels == 1 ? 3 : c;
                        EXPECT_EQ(texels[p * 4 + texelChannel], static_cast<uint8_t>(oracle[p * channels + c]))
                            << "pixel " << p << " channel " << c;
                    }
                }
            }
        }
    }
}

}  // namespace
