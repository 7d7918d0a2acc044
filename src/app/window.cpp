// window.cpp -- placeholder window settings.
#include "app/window.h"

#include <GL/gl.h>
#include <GL/glu.h>

int screenWidth = 800;
int screenHeight = 600;
bool fullScreen = true;
float nearClip = 1.0f;
float farClip = 10000.0f;
int viewportWidth = 800;
int viewportHeight = 600;
int backgroundColour[3] = {0, 0, 0};

void resizeView(int width, int height) {
    if (height == 0) height = 1;
    viewportWidth = width;
    viewportHeight = height;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / height, nearClip, farClip);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void setBackgroundColour(int red, int green, int blue) {
    backgroundColour[0] = red;
    backgroundColour[1] = green;
    backgroundColour[2] = blue;
    glClearColor(red / 255.0f, green / 255.0f, blue / 255.0f, 1.0f);
}
