// offscreenTarget.cpp -- framebuffer-object drawing with the GL state saved
// and restored; see offscreenTarget.h.
#include "image/offscreenTarget.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdlib>
#include <cstring>

namespace {

// Framebuffer objects are core from OpenGL 3.0 and an extension before.
bool haveFramebufferObjects() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (!version) return false;
    if (std::atoi(version) >= 3) return true;
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return extensions && std::strstr(extensions, "GL_ARB_framebuffer_object") != nullptr;
}

}  // namespace

OffscreenTarget::~OffscreenTarget() { end(); }

// Binds the framebuffers that were current before begin() again and
// deletes this target's own.
void OffscreenTarget::release() {
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(drawBinding_));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readBinding_));
    GLuint buffers[2] = {colour_, depth_};
    glDeleteRenderbuffers(2, buffers);
    GLuint framebuffer = framebuffer_;
    glDeleteFramebuffers(1, &framebuffer);
    framebuffer_ = colour_ = depth_ = 0;
}

bool OffscreenTarget::begin(int width, int height, std::string& why, bool floatColour) {
    end();
    if (width < 1 || height < 1) {
        why = "the view has no pixels";
        return false;
    }
    if (!glGetString(GL_VERSION)) {
        why = "there is no OpenGL context yet (no window)";
        return false;
    }
    if (!haveFramebufferObjects()) {
        why = "this OpenGL has no framebuffer objects (OpenGL 3.0 or GL_ARB_framebuffer_object)";
        return false;
    }
    while (glGetError() != GL_NO_ERROR) {
    }
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawBinding_);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readBinding_);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture_);
    glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE, &clientActiveTexture_);
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode_);
    // The colour is saved by hand: Mesa does not reliably restore it from
    // the attribute stack when other groups are pushed and popped in between.
    glGetFloatv(GL_CURRENT_COLOR, colourSaved_);

    GLuint names[1] = {0};
    glGenFramebuffers(1, names);
    framebuffer_ = names[0];
    glGenRenderbuffers(1, names);
    colour_ = names[0];
    glGenRenderbuffers(1, names);
    depth_ = names[0];
    glBindRenderbuffer(GL_RENDERBUFFER, colour_);
    glRenderbufferStorage(GL_RENDERBUFFER, floatColour ? GL_RGBA32F : GL_RGBA8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, depth_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE || glGetError() != GL_NO_ERROR) {
        why = "the offscreen framebuffer cannot be made";
        release();
        return false;
    }
    width_ = width;
    height_ = height;

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glViewport(0, 0, width, height);
    glDisable(GL_SCISSOR_TEST);
    return true;
}

void OffscreenTarget::clear() {
    if (!active()) return;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPopAttrib();
}

void OffscreenTarget::read(OffscreenPicture& picture, bool withDepth) {
    picture.width = width_;
    picture.height = height_;
    const size_t pixels = static_cast<size_t>(width_) * static_cast<size_t>(height_);
    picture.rgba.assign(pixels * 4, 0);
    picture.depth.clear();
    if (!active()) return;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, picture.rgba.data());
    if (withDepth) {
        picture.depth.assign(pixels, 1.0f);
        glReadPixels(0, 0, width_, height_, GL_DEPTH_COMPONENT, GL_FLOAT, picture.depth.data());
    }
}

void OffscreenTarget::readFloats(std::vector<float>& rgba) {
    rgba.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4, 0.0f);
    if (!active()) return;
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_FLOAT, rgba.data());
}

void OffscreenTarget::end() {
    if (!active()) return;
    // Nothing drawn here may leak into the time of the next frame.
    glFinish();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
    glMatrixMode(static_cast<GLenum>(matrixMode_));
    glActiveTexture(static_cast<GLenum>(activeTexture_));
    glClientActiveTexture(static_cast<GLenum>(clientActiveTexture_));
    glColor4fv(colourSaved_);

    release();
    width_ = height_ = 0;
}
