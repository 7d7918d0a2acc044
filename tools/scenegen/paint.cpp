// paint.cpp -- canvas conversion (see paint.h).
#include "paint.h"

Image canvasToImage(const Canvas& c, int channels)
{
    Image image(c.width, c.height, channels);
    for (int y = 0; y < c.height; y++) {
        for (int x = 0; x < c.width; x++) {
            size_t i = c.index(x, y);
            if (channels == 4)
                image.setRgba(x, y, c.colour[i], c.alpha[i]);
            else
                image.setRgb(x, y, c.colour[i]);
        }
    }
    return image;
}
