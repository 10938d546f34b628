#include "tools/assetgen/skin_style.h"

#include <array>
#include <cmath>

namespace assetgen {

namespace {

const std::array<SkinStyle, 7> kSkins = {{
    {"Classic", hex(0x0b1230), hex(0x1d2b64), hex(0x1a1f3a), hex(0xc9a44c), hex(0xf2c14e), hex(0xf5ecd7),
     Motif::Stars, hex(0xfff4d0)},
    {"For Her", hex(0x3a1f4d), hex(0x8e5aa8), hex(0xf3e6f7), hex(0xc58fd3), hex(0xff7eb6), hex(0x4a2450),
     Motif::Hearts, hex(0xffb3da)},
    {"For Him", hex(0x15181c), hex(0x3a4048), hex(0x2b3036), hex(0x8a949e), hex(0xff9f1c), hex(0xe8edf2),
     Motif::Rivets, hex(0x9aa4ae)},
    {"Simply Pink", hex(0xff5fa2), hex(0xffb3d1), hex(0xfff0f6), hex(0xff4f98), hex(0xe0006f), hex(0x5a1035),
     Motif::Bubbles, hex(0xffffff)},
    {"Cool Blue", hex(0x04395e), hex(0x4fb3e0), hex(0xe6f6ff), hex(0x7fd1ff), hex(0x00d4ff), hex(0x0b3550),
     Motif::Snowflakes, hex(0xe8f8ff)},
    {"Fresh Green", hex(0x0f3d1f), hex(0x5fb34a), hex(0xf1fbe8), hex(0x8fd16a), hex(0xc6f432), hex(0x1c4016),
     Motif::Leaves, hex(0xa8e07a)},
    {"Flower Power", hex(0xff8c1a), hex(0xffd23f), hex(0xfff7e0), hex(0x8e44ad), hex(0xe84393), hex(0x4a2a00),
     Motif::Daisies, hex(0x8e44ad)},
}};

void starPath(cairo_t *cr, double cx, double cy, double outer, double inner, int points, double turn) {
    for (int i = 0; i < points * 2; ++i) {
        const double r = (i % 2 == 0) ? outer : inner;
        const double a = turn + M_PI * i / points - M_PI / 2;
        if (i == 0) {
            cairo_move_to(cr, cx + r * std::cos(a), cy + r * std::sin(a));
        } else {
            cairo_line_to(cr, cx + r * std::cos(a), cy + r * std::sin(a));
        }
    }
    cairo_close_path(cr);
}

void heartPath(cairo_t *cr, double cx, double cy, double s) {
    cairo_move_to(cr, cx, cy + s * 0.45);
    cairo_curve_to(cr, cx - s * 0.9, cy - s * 0.1, cx - s * 0.45, cy - s * 0.8, cx, cy - s * 0.3);
    cairo_curve_to(cr, cx + s * 0.45, cy - s * 0.8, cx + s * 0.9, cy - s * 0.1, cx, cy + s * 0.45);
    cairo_close_path(cr);
}

} // namespace

const SkinStyle &skinStyle(int skin) {
    return kSkins.at(static_cast<size_t>(skin));
}

Colour textOnAccent(const SkinStyle &style) {
    return luminance(style.accent) > 0.55 ? darker(style.accent, 0.8) : hex(0xffffff);
}

Colour buttonInk(const SkinStyle &style, bool lit) {
    if (lit) {
        return textOnAccent(style);
    }
    return luminance(mix(style.panel, style.rim, 0.45)) > 0.55 ? darker(style.text, 0.1) : hex(0xffffff);
}

Colour titleOutline(const SkinStyle &style) {
    return luminance(style.panel) > 0.5 ? darker(style.accent, 0.65) : darker(style.panel, 0.6);
}

Colour textOnBackdrop(const SkinStyle &style) {
    const Colour mid = mix(style.backgroundTop, style.backgroundBottom, 0.5);
    return luminance(mid) > 0.55 ? darker(style.backgroundTop, 0.7) : hex(0xffffff);
}

void drawMotif(cairo_t *cr, Motif motif, double cx, double cy, double size, const Colour &colour) {
    cairo_save(cr);
    setColour(cr, colour);
    switch (motif) {
    case Motif::Stars:
        starPath(cr, cx, cy, size, size * 0.22, 4, 0);
        cairo_fill(cr);
        break;
    case Motif::Hearts:
        heartPath(cr, cx, cy, size);
        cairo_fill(cr);
        break;
    case Motif::Rivets: {
        cairo_arc(cr, cx, cy, size * 0.5, 0, 2 * M_PI);
        cairo_pattern_t *p =
            cairo_pattern_create_radial(cx - size * 0.2, cy - size * 0.2, 0, cx, cy, size * 0.5);
        cairo_pattern_add_color_stop_rgba(p, 0, 1, 1, 1, colour.a);
        cairo_pattern_add_color_stop_rgba(p, 1, colour.r * 0.5, colour.g * 0.5, colour.b * 0.5, colour.a);
        cairo_set_source(cr, p);
        cairo_fill(cr);
        cairo_pattern_destroy(p);
        break;
    }
    case Motif::Bubbles:
        cairo_set_line_width(cr, std::max(1.0, size * 0.12));
        cairo_arc(cr, cx, cy, size * 0.6, 0, 2 * M_PI);
        cairo_stroke(cr);
        cairo_arc(cr, cx - size * 0.25, cy - size * 0.25, size * 0.14, 0, 2 * M_PI);
        cairo_fill(cr);
        break;
    case Motif::Snowflakes:
        cairo_set_line_width(cr, std::max(1.0, size * 0.1));
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        for (int i = 0; i < 6; ++i) {
            const double a = M_PI * i / 3;
            const double ex = cx + size * std::cos(a), ey = cy + size * std::sin(a);
            cairo_move_to(cr, cx, cy);
            cairo_line_to(cr, ex, ey);
            const double mx = cx + size * 0.6 * std::cos(a), my = cy + size * 0.6 * std::sin(a);
            for (double side : {-1.0, 1.0}) {
                cairo_move_to(cr, mx, my);
                cairo_line_to(cr, mx + size * 0.3 * std::cos(a + side * 0.8),
                              my + size * 0.3 * std::sin(a + side * 0.8));
            }
        }
        cairo_stroke(cr);
        break;
    case Motif::Leaves:
        cairo_translate(cr, cx, cy);
        cairo_rotate(cr, 0.6 + size * 0.37);
        cairo_move_to(cr, -size, 0);
        cairo_curve_to(cr, -size * 0.3, -size * 0.7, size * 0.5, -size * 0.5, size, 0);
        cairo_curve_to(cr, size * 0.5, size * 0.5, -size * 0.3, size * 0.7, -size, 0);
        cairo_fill(cr);
        setColour(cr, withAlpha(darker(colour, 0.4), colour.a));
        cairo_set_line_width(cr, std::max(0.8, size * 0.08));
        cairo_move_to(cr, -size, 0);
        cairo_line_to(cr, size * 0.8, 0);
        cairo_stroke(cr);
        break;
    case Motif::Daisies:
        for (int i = 0; i < 8; ++i) {
            const double a = M_PI * i / 4;
            cairo_save(cr);
            cairo_translate(cr, cx + size * 0.55 * std::cos(a), cy + size * 0.55 * std::sin(a));
            cairo_rotate(cr, a);
            cairo_scale(cr, size * 0.45, size * 0.22);
            cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
            cairo_restore(cr);
            cairo_fill(cr);
        }
        setColour(cr, hex(0xffe14d, colour.a));
        cairo_arc(cr, cx, cy, size * 0.3, 0, 2 * M_PI);
        cairo_fill(cr);
        break;
    }
    cairo_restore(cr);
}

void drawBackdrop(cairo_t *cr, const SkinStyle &style, int width, int height, unsigned seed) {
    cairo_save(cr);
    cairo_rectangle(cr, 0, 0, width, height);
    fillVertical(cr, style.backgroundTop, style.backgroundBottom, 0, height);
    // A soft light from the upper middle.
    cairo_pattern_t *light =
        cairo_pattern_create_radial(width * 0.45, height * 0.25, 0, width * 0.45, height * 0.25, width * 0.7);
    cairo_pattern_add_color_stop_rgba(light, 0, 1, 1, 1, 0.12);
    cairo_pattern_add_color_stop_rgba(light, 1, 1, 1, 1, 0);
    cairo_set_source(cr, light);
    cairo_paint(cr);
    cairo_pattern_destroy(light);

    Random random(seed);
    const int count = style.motif == Motif::Rivets ? 0 : 46;
    for (int i = 0; i < count; ++i) {
        const double x = random.uniform(0, width);
        const double y = random.uniform(0, height);
        // Flowers want to be seen; stars and bubbles stay small.
        const double size = random.uniform(4, 13) * (style.motif == Motif::Daisies ? 1.8 : 1.0);
        const double alpha = random.uniform(0.10, 0.35);
        drawMotif(cr, style.motif, x, y, size, withAlpha(style.motifColour, alpha));
    }
    if (style.motif == Motif::Rivets) {
        // Brushed-steel streaks and a rivet at every plate corner.
        for (int y = 0; y < height; y += 2) {
            setColour(cr, hex(0xffffff, random.uniform(0.0, 0.05)));
            cairo_rectangle(cr, 0, y, width, 1);
            cairo_fill(cr);
        }
        for (int y = 12; y < height; y += 120) {
            for (int x = 12; x < width; x += 160) {
                drawMotif(cr, Motif::Rivets, x, y, 8, withAlpha(style.motifColour, 0.9));
            }
        }
    }
    // Vignette.
    cairo_pattern_t *vignette = cairo_pattern_create_radial(width / 2.0, height / 2.0, height * 0.45,
                                                            width / 2.0, height / 2.0, width * 0.75);
    cairo_pattern_add_color_stop_rgba(vignette, 0, 0, 0, 0, 0);
    cairo_pattern_add_color_stop_rgba(vignette, 1, 0, 0, 0, 0.35);
    cairo_set_source(cr, vignette);
    cairo_paint(cr);
    cairo_pattern_destroy(vignette);
    cairo_restore(cr);
}

void drawPanel(cairo_t *cr, const SkinStyle &style, double x, double y, double w, double h, double radius) {
    cairo_save(cr);
    softShadow(cr, x + 2, y + 4, w, h, radius, 7, hex(0x000000, 0.55));
    roundedRect(cr, x, y, w, h, radius);
    fillVertical(cr, lighter(style.panel, 0.06), darker(style.panel, 0.06), y, y + h);
    // Rim: a thin bright line with a darker line inside it.
    cairo_set_line_width(cr, 2.0);
    roundedRect(cr, x + 1, y + 1, w - 2, h - 2, radius - 1);
    setColour(cr, style.rim);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 1.0);
    roundedRect(cr, x + 2.5, y + 2.5, w - 5, h - 5, radius - 2.5);
    setColour(cr, withAlpha(lighter(style.rim, 0.5), 0.5));
    cairo_stroke(cr);
    cairo_restore(cr);
}

void drawInset(cairo_t *cr, const SkinStyle &style, double x, double y, double w, double h, double radius,
               double depth) {
    cairo_save(cr);
    roundedRect(cr, x, y, w, h, radius);
    const bool darkPanel = luminance(style.panel) < 0.5;
    const Colour base = darkPanel ? darker(style.panel, 0.35) : darker(style.panel, depth * 0.6);
    fillVertical(cr, darker(base, depth), base, y, y + h);
    roundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, radius);
    cairo_set_line_width(cr, 1.0);
    setColour(cr, withAlpha(style.rim, 0.6));
    cairo_stroke(cr);
    cairo_restore(cr);
}

void drawButton(cairo_t *cr, const SkinStyle &style, double x, double y, double w, double h,
                const std::string &label, double textSize, bool lit) {
    // The whole face is the caption's box: nothing else may be written over any of it.
    const TextBoxScope box(cr, x, y, w, h, label);
    cairo_save(cr);
    const double radius = h / 2;
    const Colour base = lit ? style.accent : mix(style.panel, style.rim, 0.45);
    roundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, radius);
    fillVertical(cr, lighter(base, lit ? 0.45 : 0.25), darker(base, lit ? 0.05 : 0.2), y, y + h);
    if (lit) {
        innerGlow(cr, x + 1, y + 1, w - 2, h - 2, radius, 4, hex(0xffffff, 0.55));
    }
    // Gloss across the upper half.
    roundedRect(cr, x + 3, y + 2, w - 6, h * 0.45, radius * 0.8);
    setColour(cr, hex(0xffffff, lit ? 0.35 : 0.18));
    cairo_fill(cr);
    roundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, radius);
    cairo_set_line_width(cr, 1.0);
    setColour(cr, lit ? lighter(style.accent, 0.6) : darker(style.rim, 0.25));
    cairo_stroke(cr);
    const Colour ink = buttonInk(style, lit);
    const Colour shade = luminance(ink) > 0.5 ? hex(0x000000, 0.45) : hex(0xffffff, 0.35);
    drawText(cr, label, x + w / 2, y + h / 2, Align::Centre, {Face::Label, textSize, ink}, shade);
    cairo_restore(cr);
}

void drawLogo(cairo_t *cr, const SkinStyle &style, double cx, double cy, double size) {
    drawFancyText(cr, "Quorix", cx, cy, Align::Centre, Face::Title, size, lighter(style.accent, 0.55),
                  darker(style.accent, 0.15), darker(style.backgroundTop, 0.5), 2.0);
}

} // namespace assetgen
