#include "tools/assetgen/paint.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace assetgen {

Colour mix(const Colour &a, const Colour &b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}
Colour lighter(const Colour &c, double amount) {
    return mix(c, {1, 1, 1, c.a}, amount);
}
Colour darker(const Colour &c, double amount) {
    return mix(c, {0, 0, 0, c.a}, amount);
}
Colour withAlpha(const Colour &c, double alpha) {
    return {c.r, c.g, c.b, alpha};
}
double luminance(const Colour &c) {
    return 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b;
}

void setColour(cairo_t *cr, const Colour &c) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
}

void roundedRect(cairo_t *cr, double x, double y, double w, double h, double radius) {
    const double r = std::min({radius, w / 2, h / 2});
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void fillVertical(cairo_t *cr, const Colour &top, const Colour &bottom, double y0, double y1) {
    cairo_pattern_t *gradient = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgba(gradient, 0, top.r, top.g, top.b, top.a);
    cairo_pattern_add_color_stop_rgba(gradient, 1, bottom.r, bottom.g, bottom.b, bottom.a);
    cairo_set_source(cr, gradient);
    cairo_fill(cr);
    cairo_pattern_destroy(gradient);
}

void softShadow(cairo_t *cr, double x, double y, double w, double h, double radius, double spread,
                const Colour &colour) {
    const int steps = std::max(1, static_cast<int>(spread));
    for (int i = steps; i >= 1; --i) {
        const double grow = i;
        roundedRect(cr, x - grow, y - grow, w + 2 * grow, h + 2 * grow, radius + grow);
        const double t = 1.0 - static_cast<double>(i) / (steps + 1);
        setColour(cr, withAlpha(colour, colour.a * t * t / steps * 2.2));
        cairo_fill(cr);
    }
}

void innerGlow(cairo_t *cr, double x, double y, double w, double h, double radius, double depth,
               const Colour &colour) {
    const int steps = std::max(1, static_cast<int>(depth));
    cairo_set_line_width(cr, 1.0);
    for (int i = 0; i < steps; ++i) {
        roundedRect(cr, x + i + 0.5, y + i + 0.5, w - 2 * i - 1, h - 2 * i - 1, std::max(1.0, radius - i));
        const double t = 1.0 - static_cast<double>(i) / steps;
        setColour(cr, withAlpha(colour, colour.a * t * t));
        cairo_stroke(cr);
    }
}

void selectFace(cairo_t *cr, Face face, double size) {
    switch (face) {
    case Face::Title:
        cairo_select_font_face(cr, "Lobster Two", CAIRO_FONT_SLANT_ITALIC, CAIRO_FONT_WEIGHT_BOLD);
        break;
    case Face::Label:
        cairo_select_font_face(cr, "Comfortaa", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
        break;
    case Face::Body:
        cairo_select_font_face(cr, "Quicksand", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
        break;
    }
    cairo_set_font_size(cr, size);
}

double textWidth(cairo_t *cr, const std::string &text, const TextStyle &style) {
    selectFace(cr, style.face, style.size);
    cairo_text_extents_t ext;
    cairo_text_extents(cr, text.c_str(), &ext);
    return ext.x_advance;
}

namespace {

std::vector<TextBox> *textBoxLog = nullptr;
int insideTextBox = 0;

// Each picture gets a number the first time text lands on it; a picture freed and another made at the
// same address is a new picture.
int pictureNumber(cairo_t *cr) {
    static const cairo_user_data_key_t key{};
    static int next = 0;
    cairo_surface_t *surface = cairo_get_target(cr);
    if (void *number = cairo_surface_get_user_data(surface, &key))
        return static_cast<int>(reinterpret_cast<intptr_t>(number));
    const int number = ++next;
    cairo_surface_set_user_data(surface, &key, reinterpret_cast<void *>(static_cast<intptr_t>(number)),
                                nullptr);
    return number;
}

// Records a box given in user space as the picture's pixels it covers.
void noteBox(cairo_t *cr, double x, double y, double w, double h, const std::string &text) {
    if (textBoxLog == nullptr || insideTextBox > 0 || text.empty() || w <= 0 || h <= 0)
        return;
    double x1 = INFINITY, y1 = INFINITY, x2 = -INFINITY, y2 = -INFINITY;
    for (const auto &[cx, cy] : {std::pair{x, y}, {x + w, y}, {x, y + h}, {x + w, y + h}}) {
        double dx = cx, dy = cy;
        cairo_user_to_device(cr, &dx, &dy);
        x1 = std::min(x1, dx);
        y1 = std::min(y1, dy);
        x2 = std::max(x2, dx);
        y2 = std::max(y2, dy);
    }
    textBoxLog->push_back({pictureNumber(cr), x1, y1, x2, y2, text});
}

// The ink of the text about to be shown at the current point, widened by a margin.
void noteInk(cairo_t *cr, const std::string &text, double margin) {
    if (textBoxLog == nullptr || !cairo_has_current_point(cr))
        return;
    double x = 0, y = 0;
    cairo_get_current_point(cr, &x, &y);
    cairo_text_extents_t ink;
    cairo_text_extents(cr, text.c_str(), &ink);
    noteBox(cr, x + ink.x_bearing - margin, y + ink.y_bearing - margin, ink.width + 2 * margin,
            ink.height + 2 * margin, text);
}

// Pen position for a line whose capitals are centred on y.
void placePen(cairo_t *cr, const std::string &text, double x, double y, Align align) {
    cairo_text_extents_t ext;
    cairo_text_extents(cr, text.c_str(), &ext);
    cairo_text_extents_t caps;
    cairo_text_extents(cr, "H", &caps);
    double left = x;
    if (align == Align::Centre) {
        left = x - ext.x_advance / 2;
    } else if (align == Align::Right) {
        left = x - ext.x_advance;
    }
    cairo_move_to(cr, std::round(left), std::round(y - caps.y_bearing / 2));
}

} // namespace

void drawText(cairo_t *cr, const std::string &text, double x, double y, Align align, const TextStyle &style,
              const Colour &shadow) {
    selectFace(cr, style.face, style.size);
    if (shadow.a > 0) {
        placePen(cr, text, x + 1, y + 1, align);
        setColour(cr, shadow);
        cairo_show_text(cr, text.c_str());
    }
    placePen(cr, text, x, y, align);
    noteInk(cr, text, 0);
    setColour(cr, style.colour);
    cairo_show_text(cr, text.c_str());
}

void drawFancyText(cairo_t *cr, const std::string &text, double x, double y, Align align, Face face,
                   double size, const Colour &top, const Colour &bottom, const Colour &outline,
                   double outlineWidth) {
    selectFace(cr, face, size);
    cairo_text_extents_t caps;
    cairo_text_extents(cr, "H", &caps);
    // Soft shadow under the title.
    cairo_save(cr);
    for (int i = 3; i >= 1; --i) {
        placePen(cr, text, x + i * 0.8, y + i * 1.2, align);
        cairo_text_path(cr, text.c_str());
        setColour(cr, withAlpha(outline, 0.18));
        cairo_set_line_width(cr, outlineWidth + i * 1.5);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
    placePen(cr, text, x, y, align);
    noteInk(cr, text, outlineWidth);
    cairo_text_path(cr, text.c_str());
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, outlineWidth * 2);
    setColour(cr, outline);
    cairo_stroke_preserve(cr);
    fillVertical(cr, top, bottom, y + caps.y_bearing / 2, y - caps.y_bearing / 2);
}

void setTextBoxLog(std::vector<TextBox> *log) {
    textBoxLog = log;
}

TextBoxScope::TextBoxScope(cairo_t *cr, double x, double y, double w, double h, const std::string &text) {
    noteBox(cr, x, y, w, h, text);
    insideTextBox++;
}

TextBoxScope::~TextBoxScope() {
    insideTextBox--;
}

uint32_t Random::next() {
    // xorshift32: small, fast and the same everywhere.
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
}

double Random::uniform(double lo, double hi) {
    return lo + (hi - lo) * (next() / 4294967296.0);
}

} // namespace assetgen
