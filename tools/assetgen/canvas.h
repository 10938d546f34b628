// A picture being drawn: a cairo ARGB32 surface with its context, plus raw pixel access for
// cutting pieces out of one picture into another.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <vector>

#include "game/sheet_layout.h"

namespace assetgen {

// One straight (not premultiplied) RGBA pixel.
struct Rgba {
    uint8_t r, g, b, a;
};

class Canvas {
public:
    Canvas(int width, int height); // fully transparent
    Canvas(const Canvas &other);   // deep copy of the pixels
    Canvas &operator=(const Canvas &other);
    Canvas(Canvas &&other) noexcept;
    Canvas &operator=(Canvas &&other) noexcept;
    ~Canvas();

    int width() const { return width_; }
    int height() const { return height_; }
    cairo_t *cr() const { return cr_; }
    cairo_surface_t *surface() const { return surface_; }

    // Every pixel, straight alpha, row by row from the top: for the file writers.
    std::vector<Rgba> straightPixels() const;
    // Copies the pixels of `from` (in `source`) unchanged to this canvas at `dest`, as a plain blit.
    void copyFrom(const Canvas &source, const layout::Rect &from, layout::Point dest);
    // Clears every pixel outside the rectangle to transparent.
    void clearOutside(const layout::Rect &keep);

private:
    void release();
    int width_ = 0;
    int height_ = 0;
    cairo_surface_t *surface_ = nullptr;
    cairo_t *cr_ = nullptr;
};

} // namespace assetgen
