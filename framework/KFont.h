// KFont: one glyph of a font sheet. A table of these ends with a record whose _c is 0.
#pragma once

#include <cstdint>

struct KFont {
    char _c;      // the character; 0 ends the table
    int16_t _x1;  // left column in the sheet, inclusive
    int16_t _y1;  // top row, inclusive
    int16_t _x2;  // right column, inclusive
    int16_t _y2;  // bottom row, inclusive
    int16_t _w;   // advance width in pixels
    int16_t _h;   // glyph height; carried, never read by KText
};
