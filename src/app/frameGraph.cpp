// frameGraph.cpp -- the frame-time graph drawn over the view; see frameGraph.h.
#include "app/frameGraph.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/overlay.h"
#include "app/window.h"
#include "image/bitmapFont.h"

int frameGraphEnabled = 0;

namespace {

// Ring of the last frame times.
float ring[FRAME_GRAPH_FRAMES];
int ringNext = 0;   // slot of the next frame
int ringCount = 0;  // frames recorded, at most FRAME_GRAPH_FRAMES
FrameGraphParts partsRing[FRAME_GRAPH_FRAMES];  // beside ring, slot for slot

const float sixtyHertzMs = 1000.0f / 60.0f;
const float thirtyHertzMs = 1000.0f / 30.0f;

}  // namespace

void recordFrameTime(double milliseconds) {
    ring[ringNext] = static_cast<float>(milliseconds);
    partsRing[ringNext] = FrameGraphParts{};
    ringNext = (ringNext + 1) % FRAME_GRAPH_FRAMES;
    ringCount = std::min(ringCount + 1, static_cast<int>(FRAME_GRAPH_FRAMES));
}

void recordFrameParts(double lodMs, double plantMs) {
    if (ringCount == 0) return;
    FrameGraphParts& parts = partsRing[(ringNext - 1 + FRAME_GRAPH_FRAMES) % FRAME_GRAPH_FRAMES];
    parts.lodMs = static_cast<float>(lodMs);
    parts.plantMs = static_cast<float>(plantMs);
}

void recordFrameGraphics(int framesBack, double milliseconds) {
    if (framesBack < 0 || framesBack >= ringCount) return;
    partsRing[(ringNext - 1 - framesBack + FRAME_GRAPH_FRAMES) % FRAME_GRAPH_FRAMES].graphicsMs =
        static_cast<float>(milliseconds);
}

std::vector<FrameGraphParts> frameGraphPartsHistory() {
    std::vector<FrameGraphParts> history;
    history.reserve(ringCount);
    int first = (ringNext - ringCount + FRAME_GRAPH_FRAMES) % FRAME_GRAPH_FRAMES;
    for (int i = 0; i < ringCount; ++i) history.push_back(partsRing[(first + i) % FRAME_GRAPH_FRAMES]);
    return history;
}

std::vector<float> frameGraphHistory() {
    std::vector<float> history;
    history.reserve(ringCount);
    int first = (ringNext - ringCount + FRAME_GRAPH_FRAMES) % FRAME_GRAPH_FRAMES;
    for (int i = 0; i < ringCount; ++i) history.push_back(ring[(first + i) % FRAME_GRAPH_FRAMES]);
    return history;
}

float frameGraphMedian() {
    std::vector<float> values = frameGraphHistory();
    if (values.empty()) return 0.0f;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5f * (values[n / 2 - 1] + values[n / 2]);
}

void frameGraphRect(int viewWidth, int viewHeight, int& x, int& y, int& width, int& height) {
    // Two pixels a frame where the view is wide enough, 10 pixels from the
    // corner; never more than the view minus its margins.
    x = 10;
    y = 10;
    width = std::max(0, std::min(2 * FRAME_GRAPH_FRAMES, viewWidth - 20));
    height = std::max(0, std::min(120, viewHeight / 3));
}

void drawFrameGraph() {
    int x, y, width, height;
    frameGraphRect(viewportWidth, viewportHeight, x, y, width, height);
    if (width <= 0 || height <= 0) return;
    std::vector<float> history = frameGraphHistory();
    float median = frameGraphMedian();
    // The scale shows at least two 60 Hz frames; slower frames widen it in
    // steps of 16.7 ms so the lines do not jump every frame.
    float highest = 2.0f * sixtyHertzMs;
    for (float ms : history) highest = std::max(highest, ms);
    float top = std::ceil(highest / sixtyHertzMs) * sixtyHertzMs;

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, viewportWidth, 0.0, viewportHeight, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_FOG);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    const float left = static_cast<float>(x), bottom = static_cast<float>(y);
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    auto level = [&](float ms) { return bottom + h * std::min(ms / top, 1.0f); };

    glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
    glBegin(GL_QUADS);
    glVertex2f(left, bottom);
    glVertex2f(left + w, bottom);
    glVertex2f(left + w, bottom + h);
    glVertex2f(left, bottom + h);
    glEnd();

    // Each frame's parts, stacked from the bottom in a column of its own.
    std::vector<FrameGraphParts> parts = frameGraphPartsHistory();
    if (!parts.empty()) {
        const float step = w / static_cast<float>(FRAME_GRAPH_FRAMES);
        const float start = left + w - step * static_cast<float>(parts.size());
        const float colours[3][4] = {{0.3f, 0.5f, 1.0f, 0.85f}, {0.2f, 0.9f, 0.9f, 0.85f}, {0.9f, 0.3f, 0.9f, 0.85f}};
        glBegin(GL_QUADS);
        for (size_t i = 0; i < parts.size(); ++i) {
            const float values[3] = {parts[i].lodMs, parts[i].plantMs, parts[i].graphicsMs};
            const float x0 = start + step * static_cast<float>(i), x1 = x0 + step;
            float below = 0.0f;
            for (int k = 0; k < 3; ++k) {
                if (!(values[k] > 0.0f)) continue;  // unknown graphics time, or nothing
                const float above = below + values[k];
                glColor4fv(colours[k]);
                glVertex2f(x0, level(below));
                glVertex2f(x1, level(below));
                glVertex2f(x1, level(above));
                glVertex2f(x0, level(above));
                below = above;
            }
        }
        glEnd();
    }

    glLineWidth(1.0f);
    glBegin(GL_LINES);
    glColor4f(0.2f, 1.0f, 0.2f, 1.0f);  // 60 frames a second
    glVertex2f(left, level(sixtyHertzMs));
    glVertex2f(left + w, level(sixtyHertzMs));
    glColor4f(1.0f, 0.5f, 0.2f, 1.0f);  // 30 frames a second
    glVertex2f(left, level(thirtyHertzMs));
    glVertex2f(left + w, level(thirtyHertzMs));
    if (median > 0.0f) {
        glColor4f(1.0f, 0.9f, 0.1f, 1.0f);
        glVertex2f(left, level(median));
        glVertex2f(left + w, level(median));
    }
    glEnd();

    // Newest frame at the right edge.
    if (!history.empty()) {
        float step = w / static_cast<float>(FRAME_GRAPH_FRAMES);
        float start = left + w - step * static_cast<float>(history.size());
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        glBegin(GL_LINE_STRIP);
        for (size_t i = 0; i < history.size(); ++i) {
            glVertex2f(start + step * (static_cast<float>(i) + 0.5f), level(history[i]));
        }
        glEnd();
    }

    // Labels just above their lines (below a line too near the top): the
    // two rates at the left, the median at the right.
    if (loadBitmapFont(fontPaths())) {
        const int scale = 1;
        const float above = 2.0f + glyphInkHeight * scale;
        // Whole pixels, so the glyphs stay sharp.
        auto labelTop = [&](float lineY) {
            return std::floor(lineY + above <= bottom + h ? lineY + above : lineY - 2.0f);
        };
        char text[32];
        // On a tall scale the two lines lie closer than a line of text: both
        // labels then go side by side over the upper line.
        const bool close = level(thirtyHertzMs) - level(sixtyHertzMs) < above;
        float sixtyTop = labelTop(level(close ? thirtyHertzMs : sixtyHertzMs));
        snprintf(text, sizeof text, "%s ms", frameGraphLabel(sixtyHertzMs).c_str());
        drawTextLine(text, left + 4.0f, sixtyTop, scale, 0.2f, 1.0f, 0.2f);
        float thirtyLeft = left + 4.0f;
        if (close) thirtyLeft += static_cast<float>(textWidthPixels(text, scale) + 8 * scale);
        snprintf(text, sizeof text, "%s ms", frameGraphLabel(thirtyHertzMs).c_str());
        drawTextLine(text, thirtyLeft, labelTop(level(thirtyHertzMs)), scale, 1.0f, 0.5f, 0.2f);
        if (median > 0.0f) {
            snprintf(text, sizeof text, "median %s ms", frameGraphLabel(median).c_str());
            float labelLeft = left + w - 4.0f - static_cast<float>(textWidthPixels(text, scale));
            drawTextLine(text, labelLeft, labelTop(level(median)), scale, 1.0f, 0.9f, 0.1f);
        }
    }

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

std::string frameGraphLabel(float milliseconds) {
    char text[32];
    snprintf(text, sizeof text, "%.1f", milliseconds);
    return text;
}
