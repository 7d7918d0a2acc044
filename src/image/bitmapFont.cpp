// bitmapFont.cpp -- text over the view with the generated glyph sheet; see
// bitmapFont.h.
#include "image/bitmapFont.h"

#include <GL/gl.h>

#include <algorithm>

#include "image/tga.h"
#include "util/output.h"

namespace {

GLuint fontTexture = 0;
bool failureReported = false;
// The paths of the last load that failed: asked again for the same ones
// (every frame that draws text), the files are not read again.
std::vector<std::string> failedPaths;

}  // namespace

int textScaleForView(int viewHeight) { return viewHeight >= 600 ? 2 : 1; }

int textWidthPixels(const std::string& text, int scale) {
    return text.empty() ? 0 : (static_cast<int>(text.size()) * glyphAdvance - 1) * scale;
}

bool bitmapFontReady() { return fontTexture != 0 && glIsTexture(fontTexture); }

bool loadBitmapFont(const std::vector<std::string>& paths) {
    if (bitmapFontReady()) return true;
    if (!failedPaths.empty() && paths == failedPaths) return false;
    fontTexture = 0;  // a name from a context that is gone
    std::string reason = "no file named";
    std::string tried = "font.tga";
    for (const std::string& path : paths) {
        TgaImage image;
        tried = path;
        if (readTGAFile(path.c_str(), 0, image, &reason) != TGA_OK) continue;
        bool usable = image.width == glyphSheetSide && image.height == glyphSheetSide && image.bits == 8;
        if (usable) {
            glPushAttrib(GL_TEXTURE_BIT);
            glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
            glGenTextures(1, &fontTexture);
            glBindTexture(GL_TEXTURE_2D, fontTexture);
            glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
            glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, image.width, image.height, 0, GL_ALPHA, GL_UNSIGNED_BYTE,
                         image.pixels);
            glPopClientAttrib();
            glPopAttrib();
        } else {
            reason = "not a 128 x 128 picture of 8 bits";
        }
        freeTGAImage(image);
        if (usable) return true;
    }
    failedPaths = paths;
    if (!failureReported) {
        failureReported = true;
        outputPrintf("Cannot load font file %s: %s (no text over the view)\n", tried.c_str(), reason.c_str());
    }
    return false;
}

OverlayPass::OverlayPass(int width, int height) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_FOG);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

OverlayPass::~OverlayPass() {
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

void drawTextLine(const std::string& text, float left, float top, int scale, float r, float g, float b, float a) {
    if (text.empty() || !bitmapFontReady()) return;
    const float s = static_cast<float>(scale);
    const float texel = 1.0f / glyphSheetSide;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, fontTexture);
    glColor4f(r, g, b, a);
    glBegin(GL_QUADS);
    for (size_t i = 0; i < text.size(); ++i) {
        int code = static_cast<unsigned char>(text[i]);
        if (code <= 32 || code > 126) continue;
        // Ink rectangle of the glyph in the sheet (t = 1 at the sheet's top).
        float u0 = ((code % 16) * glyphCellWidth + glyphInkLeft) * texel;
        float u1 = u0 + glyphInkWidth * texel;
        float v1 = 1.0f - ((code / 16) * glyphCellHeight + glyphInkTop) * texel;
        float v0 = v1 - glyphInkHeight * texel;
        float x0 = left + static_cast<float>(i) * glyphAdvance * s;
        float x1 = x0 + glyphInkWidth * s;
        float y1 = top, y0 = top - glyphInkHeight * s;
        glTexCoord2f(u0, v0);
        glVertex2f(x0, y0);
        glTexCoord2f(u1, v0);
        glVertex2f(x1, y0);
        glTexCoord2f(u1, v1);
        glVertex2f(x1, y1);
        glTexCoord2f(u0, v1);
        glVertex2f(x0, y1);
    }
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

void panelSize(const std::vector<std::string>& lines, int scale, int& width, int& height) {
    int widest = 0;
    for (const std::string& line : lines) widest = std::max(widest, textWidthPixels(line, scale));
    int margin = 4 * scale;
    width = widest + 2 * margin;
    height = static_cast<int>(lines.size()) * textLineHeight * scale + 2 * margin - 2 * scale;
}

void drawPanel(const std::vector<std::string>& lines, float left, float top, int scale, int& width, int& height) {
    panelSize(lines, scale, width, height);
    if (lines.empty()) return;
    glColor4f(0.0f, 0.0f, 0.0f, 0.65f);
    glBegin(GL_QUADS);
    glVertex2f(left, top - height);
    glVertex2f(left + width, top - height);
    glVertex2f(left + width, top);
    glVertex2f(left, top);
    glEnd();
    float margin = 4.0f * scale;
    float y = top - margin;
    for (const std::string& line : lines) {
        drawTextLine(line, left + margin, y, scale, 1.0f, 1.0f, 1.0f);
        y -= textLineHeight * scale;
    }
}
