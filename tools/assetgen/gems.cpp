#include "tools/assetgen/gems.h"

#include <array>
#include <cmath>
#include <vector>

#include "tools/assetgen/paint.h"

namespace assetgen {

namespace {

enum class Finish { Faceted, Candy, Crystal, Jelly };

struct GemSet {
    const char *name;
    Finish finish;
};

const std::array<GemSet, 4> kSets = {{
    {"classic gems", Finish::Faceted},
    {"candy", Finish::Candy},
    {"crystals", Finish::Crystal},
    {"jelly", Finish::Jelly},
}};

// Red circle, green square, blue rhombus, yellow triangle, purple hexagon, orange star, white heart.
const std::array<Colour, kGemColours> kGemColourTable = {
    hex(0xe8283a), hex(0x2ec74a), hex(0x2f7cf6), hex(0xffd21f), hex(0xa64ff0), hex(0xff8a1c), hex(0xdfe6ee)};

struct Vec {
    double x, y;
};
using Polygon = std::vector<Vec>;

Polygon regular(int sides, double radius, double turn) {
    Polygon p;
    for (int i = 0; i < sides; ++i) {
        const double a = turn + 2 * M_PI * i / sides;
        p.push_back({radius * std::cos(a), radius * std::sin(a)});
    }
    return p;
}

Polygon heart() {
    // Sample the two cubic lobes of a heart.
    auto cubic = [](Vec a, Vec b, Vec c, Vec d, double t) {
        const double u = 1 - t;
        return Vec{u * u * u * a.x + 3 * u * u * t * b.x + 3 * u * t * t * c.x + t * t * t * d.x,
                   u * u * u * a.y + 3 * u * u * t * b.y + 3 * u * t * t * c.y + t * t * t * d.y};
    };
    Polygon p;
    const Vec bottom = {0, 0.95}, top = {0, -0.45};
    for (int i = 0; i < 16; ++i) {
        p.push_back(cubic(bottom, {-1.25, 0.05}, {-0.95, -1.2}, top, i / 16.0));
    }
    for (int i = 0; i < 16; ++i) {
        p.push_back(cubic(top, {0.95, -1.2}, {1.25, 0.05}, bottom, i / 16.0));
    }
    return p;
}

// Each colour's silhouette in a unit square centred on the origin (radius about 1).
Polygon silhouette(int colour) {
    switch (colour) {
    case 0:
        return regular(28, 0.97, 0);
    case 1: {
        const double h = 0.86, c = 0.2;
        return {{-h + c, -h}, {h - c, -h}, {h, -h + c}, {h, h - c},
                {h - c, h},   {-h + c, h}, {-h, h - c}, {-h, -h + c}};
    }
    case 2:
        return {{0, -1.0}, {0.82, 0}, {0, 1.0}, {-0.82, 0}};
    case 3:
        return {{0, -0.92}, {1.0, 0.8}, {-1.0, 0.8}};
    case 4:
        return regular(6, 0.98, -M_PI / 2);
    case 5: {
        Polygon star;
        for (int i = 0; i < 10; ++i) {
            const double r = (i % 2 == 0) ? 1.02 : 0.47;
            const double a = -M_PI / 2 + M_PI * i / 5;
            star.push_back({r * std::cos(a), r * std::sin(a) + 0.06});
        }
        return star;
    }
    default:
        return heart();
    }
}

struct Frame {
    double cx, cy, sx, sy; // centre and scale of the unit square
    Vec at(const Vec &v) const { return {cx + v.x * sx, cy + v.y * sy}; }
};

void tracePolygon(cairo_t *cr, const Polygon &poly, const Frame &f, double scale = 1.0) {
    cairo_new_path(cr);
    for (size_t i = 0; i < poly.size(); ++i) {
        const Vec p = f.at({poly[i].x * scale, poly[i].y * scale});
        if (i == 0) {
            cairo_move_to(cr, p.x, p.y);
        } else {
            cairo_line_to(cr, p.x, p.y);
        }
    }
    cairo_close_path(cr);
}

void sparkle(cairo_t *cr, double x, double y, double r) {
    cairo_save(cr);
    cairo_move_to(cr, x, y - r);
    cairo_curve_to(cr, x, y, x, y, x + r, y);
    cairo_curve_to(cr, x, y, x, y, x, y + r);
    cairo_curve_to(cr, x, y, x, y, x - r, y);
    cairo_curve_to(cr, x, y, x, y, x, y - r);
    setColour(cr, hex(0xffffff, 0.95));
    cairo_fill(cr);
    cairo_restore(cr);
}

void radialFill(cairo_t *cr, const Frame &f, const Colour &inner, const Colour &outer) {
    cairo_pattern_t *p =
        cairo_pattern_create_radial(f.cx - f.sx * 0.35, f.cy - f.sy * 0.4, 0, f.cx, f.cy, f.sx * 1.3);
    cairo_pattern_add_color_stop_rgba(p, 0, inner.r, inner.g, inner.b, inner.a);
    cairo_pattern_add_color_stop_rgba(p, 1, outer.r, outer.g, outer.b, outer.a);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
}

void drawFaceted(cairo_t *cr, const Polygon &poly, const Frame &f, const Colour &c) {
    tracePolygon(cr, poly, f);
    radialFill(cr, f, lighter(c, 0.35), darker(c, 0.35));
    cairo_new_path(cr);
    // Facets between the girdle and the table, lit from the upper left.
    const double tableScale = 0.52;
    for (size_t i = 0; i < poly.size(); ++i) {
        const Vec a = poly[i], b = poly[(i + 1) % poly.size()];
        const Vec pa = f.at(a), pb = f.at(b);
        const Vec ta = f.at({a.x * tableScale, a.y * tableScale}),
                  tb = f.at({b.x * tableScale, b.y * tableScale});
        const double nx = (a.x + b.x) / 2, ny = (a.y + b.y) / 2;
        const double len = std::max(1e-6, std::hypot(nx, ny));
        const double light = (-nx * 0.6 - ny * 0.8) / len; // -1..1
        cairo_move_to(cr, pa.x, pa.y);
        cairo_line_to(cr, pb.x, pb.y);
        cairo_line_to(cr, tb.x, tb.y);
        cairo_line_to(cr, ta.x, ta.y);
        cairo_close_path(cr);
        setColour(cr, light > 0 ? withAlpha(hex(0xffffff), 0.35 * light)
                                : withAlpha(hex(0x000000), -0.3 * light));
        cairo_fill(cr);
    }
    tracePolygon(cr, poly, f, tableScale);
    cairo_pattern_t *table = cairo_pattern_create_linear(f.cx - f.sx * 0.5, f.cy - f.sy * 0.5,
                                                         f.cx + f.sx * 0.5, f.cy + f.sy * 0.5);
    const Colour hi = lighter(c, 0.55), lo = c;
    cairo_pattern_add_color_stop_rgba(table, 0, hi.r, hi.g, hi.b, 1);
    cairo_pattern_add_color_stop_rgba(table, 1, lo.r, lo.g, lo.b, 1);
    cairo_set_source(cr, table);
    cairo_fill(cr);
    cairo_pattern_destroy(table);
    tracePolygon(cr, poly, f);
    cairo_set_line_width(cr, 1.3);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    setColour(cr, darker(c, 0.6));
    cairo_stroke(cr);
    sparkle(cr, f.cx - f.sx * 0.3, f.cy - f.sy * 0.35, f.sx * 0.32);
}

void roundedFill(cairo_t *cr, const Polygon &poly, const Frame &f, double rounding, const Colour &inner,
                 const Colour &outer) {
    // Shrink, then stroke with round joins: corners come out soft while the size stays the same.
    tracePolygon(cr, poly, f, 1.0 - rounding / f.sx);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, rounding * 2);
    cairo_pattern_t *p =
        cairo_pattern_create_radial(f.cx - f.sx * 0.35, f.cy - f.sy * 0.4, 0, f.cx, f.cy, f.sx * 1.3);
    cairo_pattern_add_color_stop_rgba(p, 0, inner.r, inner.g, inner.b, inner.a);
    cairo_pattern_add_color_stop_rgba(p, 1, outer.r, outer.g, outer.b, outer.a);
    cairo_set_source(cr, p);
    cairo_stroke_preserve(cr);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

void drawCandy(cairo_t *cr, const Polygon &poly, const Frame &f, const Colour &c) {
    const double rounding = f.sx * 0.16;
    // The dark outline first: the body covers all of it but the outermost pixel.
    tracePolygon(cr, poly, f, 1.0 - rounding / f.sx);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, rounding * 2 + 1.2);
    setColour(cr, withAlpha(darker(c, 0.55), 0.9));
    cairo_stroke(cr);
    roundedFill(cr, poly, f, rounding, lighter(c, 0.4), darker(c, 0.2));
    // Swirled stripes inside the sweet.
    cairo_save(cr);
    tracePolygon(cr, poly, f, 0.8);
    cairo_clip(cr);
    cairo_set_line_width(cr, f.sx * 0.16);
    setColour(cr, hex(0xffffff, 0.45));
    for (int i = -4; i <= 4; ++i) {
        cairo_move_to(cr, f.cx + i * f.sx * 0.45 - f.sx, f.cy + f.sy);
        cairo_curve_to(cr, f.cx + i * f.sx * 0.45 - f.sx * 0.3, f.cy, f.cx + i * f.sx * 0.45, f.cy,
                       f.cx + i * f.sx * 0.45 + f.sx, f.cy - f.sy);
    }
    cairo_stroke(cr);
    cairo_restore(cr);
    cairo_save(cr);
    cairo_translate(cr, f.cx - f.sx * 0.15, f.cy - f.sy * 0.45);
    cairo_scale(cr, f.sx * 0.45, f.sy * 0.18);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
    setColour(cr, hex(0xffffff, 0.6));
    cairo_fill(cr);
}

void drawCrystal(cairo_t *cr, const Polygon &poly, const Frame &f, const Colour &c) {
    tracePolygon(cr, poly, f);
    cairo_pattern_t *body = cairo_pattern_create_linear(f.cx - f.sx, 0, f.cx + f.sx, 0);
    const Colour a = lighter(c, 0.55), b = c, d = darker(c, 0.45);
    cairo_pattern_add_color_stop_rgba(body, 0, a.r, a.g, a.b, 0.95);
    cairo_pattern_add_color_stop_rgba(body, 0.45, b.r, b.g, b.b, 0.95);
    cairo_pattern_add_color_stop_rgba(body, 1, d.r, d.g, d.b, 0.95);
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    // Prism edges: from each corner to the spine.
    cairo_save(cr);
    tracePolygon(cr, poly, f);
    cairo_clip(cr);
    cairo_set_line_width(cr, 0.9);
    for (size_t i = 0; i < poly.size(); ++i) {
        const Vec p = f.at(poly[i]);
        const Vec top = f.at({0, -0.35}), bottom = f.at({0, 0.35});
        cairo_move_to(cr, p.x, p.y);
        cairo_line_to(cr, poly[i].y < 0 ? top.x : bottom.x, poly[i].y < 0 ? top.y : bottom.y);
    }
    const Vec top = f.at({0, -0.35}), bottom = f.at({0, 0.35});
    cairo_move_to(cr, top.x, top.y);
    cairo_line_to(cr, bottom.x, bottom.y);
    setColour(cr, hex(0xffffff, 0.55));
    cairo_stroke(cr);
    cairo_restore(cr);
    tracePolygon(cr, poly, f);
    cairo_set_line_width(cr, 1.2);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    setColour(cr, darker(c, 0.55));
    cairo_stroke(cr);
    sparkle(cr, f.cx - f.sx * 0.25, f.cy - f.sy * 0.5, f.sx * 0.4);
}

void drawJelly(cairo_t *cr, const Polygon &poly, const Frame &f, const Colour &c) {
    const double rounding = f.sx * 0.18;
    tracePolygon(cr, poly, f, 1.0 - rounding / f.sx);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, rounding * 2 + 1.0);
    setColour(cr, withAlpha(darker(c, 0.6), 0.85));
    cairo_stroke(cr);
    roundedFill(cr, poly, f, rounding, lighter(c, 0.15), darker(c, 0.3));
    // A glowing core.
    cairo_pattern_t *core =
        cairo_pattern_create_radial(f.cx, f.cy + f.sy * 0.25, 0, f.cx, f.cy + f.sy * 0.25, f.sx * 0.8);
    const Colour glow = lighter(c, 0.5);
    cairo_pattern_add_color_stop_rgba(core, 0, glow.r, glow.g, glow.b, 0.75);
    cairo_pattern_add_color_stop_rgba(core, 1, glow.r, glow.g, glow.b, 0);
    tracePolygon(cr, poly, f, 0.85);
    cairo_set_source(cr, core);
    cairo_fill(cr);
    cairo_pattern_destroy(core);
    // Wet gloss over the top.
    cairo_save(cr);
    tracePolygon(cr, poly, f, 0.78);
    cairo_clip(cr);
    cairo_rectangle(cr, f.cx - f.sx, f.cy - f.sy, f.sx * 2, f.sy * 0.85);
    cairo_pattern_t *gloss = cairo_pattern_create_linear(0, f.cy - f.sy, 0, f.cy - f.sy * 0.1);
    cairo_pattern_add_color_stop_rgba(gloss, 0, 1, 1, 1, 0.75);
    cairo_pattern_add_color_stop_rgba(gloss, 1, 1, 1, 1, 0.05);
    cairo_set_source(cr, gloss);
    cairo_fill(cr);
    cairo_pattern_destroy(gloss);
    cairo_restore(cr);
    sparkle(cr, f.cx + f.sx * 0.35, f.cy + f.sy * 0.35, f.sx * 0.18);
}

} // namespace

int gemSetCount() {
    return static_cast<int>(kSets.size());
}

std::string gemSetName(int set) {
    return kSets.at(static_cast<size_t>(set)).name;
}

void drawGem(cairo_t *cr, int set, int colour, double x, double y, double size) {
    const GemSet &gemSet = kSets.at(static_cast<size_t>(set));
    const Colour c = kGemColourTable.at(static_cast<size_t>(colour));
    const Polygon poly = silhouette(colour);
    const double half = size / 2.0 - 1.0;
    Frame f{x + size / 2.0, y + size / 2.0, half, half};
    if (gemSet.finish == Finish::Crystal) {
        f.sx = half * 0.8; // tall prisms
    }
    cairo_save(cr);
    // A soft contact shadow so gems stand on any background.
    cairo_save(cr);
    tracePolygon(cr, poly, {f.cx + 0.8, f.cy + 1.4, f.sx, f.sy});
    setColour(cr, hex(0x000000, 0.28));
    cairo_fill(cr);
    cairo_restore(cr);
    switch (gemSet.finish) {
    case Finish::Faceted:
        drawFaceted(cr, poly, f, c);
        break;
    case Finish::Candy:
        drawCandy(cr, poly, f, c);
        break;
    case Finish::Crystal:
        drawCrystal(cr, poly, f, c);
        break;
    case Finish::Jelly:
        drawJelly(cr, poly, f, c);
        break;
    }
    cairo_restore(cr);
}

Canvas gemPicture(int set, int colour) {
    Canvas picture(kGemPictureWidth, kGemPictureHeight);
    drawGem(picture.cr(), set, colour, 0, (kGemPictureHeight - kGemSize) / 2.0, kGemSize);
    return picture;
}

} // namespace assetgen
