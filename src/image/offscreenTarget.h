// offscreenTarget.h -- drawing into a framebuffer object instead of the
// window, with every piece of GL state put back afterwards.
//
// Provides: OffscreenPicture, OffscreenTarget (begin, clear, read, end).
// The picture measurements (terrain error, plant error) draw their views
// here so that the window's picture, the frame in progress and the next
// frame are left exactly as they were: begin() saves the attribute and
// client attribute stacks, the three matrices, the current colour, the
// active texture units and the framebuffer bindings; end() restores them
// and deletes the framebuffer.
// Main thread, with the rendering context current; outside the frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One drawn view read back: rows bottom-up, RGBA bytes and window depths
// (0 near .. 1 far; 1 where nothing was drawn).
struct OffscreenPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
    std::vector<float> depth;
};

class OffscreenTarget {
public:
    OffscreenTarget() = default;
    ~OffscreenTarget();
    OffscreenTarget(const OffscreenTarget&) = delete;
    OffscreenTarget& operator=(const OffscreenTarget&) = delete;

    // Saves the GL state, makes a width x height RGBA8 (or, with
    // floatColour, 32-bit float RGBA) + 24-bit depth framebuffer and
    // directs drawing into it with the viewport covering it. False (state
    // untouched, reason in why) when the OpenGL in use has no framebuffer
    // objects or the framebuffer cannot be made.
    bool begin(int width, int height, std::string& why, bool floatColour = false);
    // Clears colour to black and depth to 1.
    void clear();
    // Reads the colour (and the depth when withDepth) of what was drawn.
    void read(OffscreenPicture& picture, bool withDepth);
    // Reads the colour as floats, four per pixel, rows bottom-up.
    void readFloats(std::vector<float>& rgba);
    // Restores everything begin() saved; done by the destructor too.
    void end();

    bool active() const { return framebuffer_ != 0; }

private:
    void release();
    unsigned framebuffer_ = 0;
    unsigned colour_ = 0;
    unsigned depth_ = 0;
    int width_ = 0;
    int height_ = 0;
    int drawBinding_ = 0;
    int readBinding_ = 0;
    int activeTexture_ = 0;
    int clientActiveTexture_ = 0;
    int matrixMode_ = 0;
    float colourSaved_[4] = {};
};
