// Small drawing vocabulary on top of cairo shared by every family of pictures: colours, rounded
// shapes, gradients, soft shadows and glows, text in the game's fonts.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct Colour {
    double r = 0, g = 0, b = 0, a = 1;
};

// 0xRRGGBB.
constexpr Colour hex(uint32_t rgb, double alpha = 1.0) {
    return {((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0, (rgb & 0xff) / 255.0, alpha};
}
Colour mix(const Colour &a, const Colour &b, double t);
Colour lighter(const Colour &c, double amount); // towards white
Colour darker(const Colour &c, double amount);  // towards black
Colour withAlpha(const Colour &c, double alpha);
// Relative luminance 0..1, used to pick contrasting text.
double luminance(const Colour &c);

void setColour(cairo_t *cr, const Colour &c);
void roundedRect(cairo_t *cr, double x, double y, double w, double h, double radius);
// Fills the current path with a vertical gradient from `top` (at y0) to `bottom` (at y1).
void fillVertical(cairo_t *cr, const Colour &top, const Colour &bottom, double y0, double y1);
// A blurred shadow of a rounded rectangle, built from stacked translucent outlines.
void softShadow(cairo_t *cr, double x, double y, double w, double h, double radius, double spread,
                const Colour &colour);
// A glow around a rounded rectangle, inside the given bounds (for pieces that are cut as rectangles).
void innerGlow(cairo_t *cr, double x, double y, double w, double h, double radius, double depth,
               const Colour &colour);

enum class Face { Title, Label, Body };
struct TextStyle {
    Face face = Face::Label;
    double size = 14;
    Colour colour;
};
enum class Align { Left, Centre, Right };

void selectFace(cairo_t *cr, Face face, double size);
double textWidth(cairo_t *cr, const std::string &text, const TextStyle &style);
// Draws one line; y is the vertical centre of the capital letters. Adds a 1-pixel drop shadow when
// `shadow` has any opacity.
void drawText(cairo_t *cr, const std::string &text, double x, double y, Align align, const TextStyle &style,
              const Colour &shadow = {0, 0, 0, 0});
// Text filled with a vertical gradient and outlined, for titles.
void drawFancyText(cairo_t *cr, const std::string &text, double x, double y, Align align, Face face,
                   double size, const Colour &top, const Colour &bottom, const Colour &outline,
                   double outlineWidth);

// The boxes that text takes up, for the art tests: while a log is set, every line drawn by drawText or
// drawFancyText and every captioned control noted with noteTextBox is recorded in the picture's own
// pixels, with the number of the picture it was drawn on. No two boxes of one picture may overlap.
struct TextBox {
    int picture;
    double x1, y1, x2, y2;
    std::string text;
};
void setTextBoxLog(std::vector<TextBox> *log);
// Notes a box given in the current user space (a button's whole face, caption and all). While the
// returned guard lives, text drawn inside it is part of that box and is not noted again.
class TextBoxScope {
public:
    TextBoxScope(cairo_t *cr, double x, double y, double w, double h, const std::string &text);
    ~TextBoxScope();
    TextBoxScope(const TextBoxScope &) = delete;
    TextBoxScope &operator=(const TextBoxScope &) = delete;
};

// A deterministic pseudo-random sequence (the art must be identical on every build).
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed * 2654435761u + 1) {}
    uint32_t next();
    double uniform(double lo, double hi); // lo <= x < hi

private:
    uint32_t state_;
};

} // namespace assetgen
