#include "support/picture.h"

#include <cstdlib>

#include "platform/display.h"

namespace support {

Picture backBuffer() {
    Picture picture{platform::Display::width(), platform::Display::height(), {}};
    platform::Display::readBackBuffer(picture.argb);
    return picture;
}

int differingPixels(const Picture &a, const Picture &b, Area area, int tolerance) {
    return differingPixels(a, b, area, area.x1, area.y1, tolerance);
}

int differingPixels(const Picture &a, const Picture &b, Area area, int bx, int by, int tolerance,
                    bool withAlpha) {
    int count = 0;
    for (int y = area.y1; y < area.y2; y++)
        for (int x = area.x1; x < area.x2; x++) {
            const uint32_t p = a.at(x, y), q = b.at(bx + x - area.x1, by + y - area.y1);
            for (int shift : {0, 8, 16, 24})
                if ((shift < 24 || withAlpha) &&
                    std::abs(channel(p, shift) - channel(q, shift)) > tolerance) {
                    count++;
                    break;
                }
        }
    return count;
}

int litPixels(const Picture &picture, Area area) {
    int count = 0;
    for (int y = area.y1; y < area.y2; y++)
        for (int x = area.x1; x < area.x2; x++)
            count += picture.rgb(x, y) != 0;
    return count;
}

} // namespace support
