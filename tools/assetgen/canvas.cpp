#include "tools/assetgen/canvas.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace assetgen {

Canvas::Canvas(int width, int height) : width_(width), height_(height) {
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cr_ = cairo_create(surface_);
}

Canvas::Canvas(const Canvas &other) : Canvas(other.width_, other.height_) {
    copyFrom(other, {0, 0, width_, height_}, {0, 0});
}

Canvas &Canvas::operator=(const Canvas &other) {
    if (this != &other) {
        Canvas copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Canvas::Canvas(Canvas &&other) noexcept
    : width_(other.width_), height_(other.height_), surface_(other.surface_), cr_(other.cr_) {
    other.surface_ = nullptr;
    other.cr_ = nullptr;
}

Canvas &Canvas::operator=(Canvas &&other) noexcept {
    if (this != &other) {
        release();
        width_ = other.width_;
        height_ = other.height_;
        surface_ = std::exchange(other.surface_, nullptr);
        cr_ = std::exchange(other.cr_, nullptr);
    }
    return *this;
}

Canvas::~Canvas() {
    release();
}

void Canvas::release() {
    if (cr_ != nullptr) {
        cairo_destroy(cr_);
    }
    if (surface_ != nullptr) {
        cairo_surface_destroy(surface_);
    }
    cr_ = nullptr;
    surface_ = nullptr;
}

namespace {

// Cairo keeps premultiplied colour; undo it with rounding.
Rgba straight(const unsigned char *premultiplied) {
    uint32_t argb;
    std::memcpy(&argb, premultiplied, 4);
    const uint32_t a = argb >> 24;
    if (a == 0) {
        return {0, 0, 0, 0};
    }
    auto unpremultiply = [a](uint32_t c) {
        return static_cast<uint8_t>(std::min(255u, (c * 255 + a / 2) / a));
    };
    return {unpremultiply((argb >> 16) & 0xff), unpremultiply((argb >> 8) & 0xff), unpremultiply(argb & 0xff),
            static_cast<uint8_t>(a)};
}

} // namespace

std::vector<Rgba> Canvas::straightPixels() const {
    cairo_surface_flush(surface_);
    const unsigned char *data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    std::vector<Rgba> pixels;
    pixels.reserve(static_cast<size_t>(width_) * height_);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            pixels.push_back(straight(data + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 4));
        }
    }
    return pixels;
}

void Canvas::copyFrom(const Canvas &source, const layout::Rect &from, layout::Point dest) {
    cairo_surface_flush(source.surface_);
    cairo_surface_flush(surface_);
    const unsigned char *src = cairo_image_surface_get_data(source.surface_);
    unsigned char *dst = cairo_image_surface_get_data(surface_);
    const int srcStride = cairo_image_surface_get_stride(source.surface_);
    const int dstStride = cairo_image_surface_get_stride(surface_);
    for (int row = 0; row < from.height(); ++row) {
        const int sy = from.y1 + row;
        const int dy = dest.y + row;
        if (sy < 0 || sy >= source.height_ || dy < 0 || dy >= height_) {
            continue;
        }
        for (int col = 0; col < from.width(); ++col) {
            const int sx = from.x1 + col;
            const int dx = dest.x + col;
            if (sx < 0 || sx >= source.width_ || dx < 0 || dx >= width_) {
                continue;
            }
            std::memcpy(dst + static_cast<size_t>(dy) * dstStride + static_cast<size_t>(dx) * 4,
                        src + static_cast<size_t>(sy) * srcStride + static_cast<size_t>(sx) * 4, 4);
        }
    }
    cairo_surface_mark_dirty(surface_);
}

void Canvas::clearOutside(const layout::Rect &keep) {
    cairo_surface_flush(surface_);
    unsigned char *data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            if (x < keep.x1 || x >= keep.x2 || y < keep.y1 || y >= keep.y2) {
                std::memset(data + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 4, 0, 4);
            }
        }
    }
    cairo_surface_mark_dirty(surface_);
}

} // namespace assetgen
