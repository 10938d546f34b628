#include "tools/assetgen/font_sheets.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

#include "game/glyph_tables.h"
#include "tools/assetgen/paint.h"

namespace assetgen {

namespace {

const FontSheet kSheets[] = {
    {"timenmb.tga", tableNumbers, 128, 64},
    {"numbers.tga", scoretableNumbers, 256, 32},
    {"highscalp.tga", theFont, 128, 128},
};

bool insideBox(const KFont &g, int x, int y) {
    return x >= g._x1 && x <= g._x2 && y >= g._y1 && y <= g._y2;
}

// A pixel belongs to a glyph alone when no other drawn glyph's rectangle covers it too: the game
// cuts every rectangle whole, so a shared pixel would show up beside two characters.
bool ownedBy(const KFont *table, int index, int x, int y) {
    if (!insideBox(table[index], x, y)) {
        return false;
    }
    for (int i = 0; table[i]._c != 0; ++i) {
        if (i != index && table[i]._c != ' ' && insideBox(table[i], x, y)) {
            return false;
        }
    }
    return true;
}

// The area a glyph is drawn into: its advance minus one column of spacing, its height.
struct GlyphArea {
    double x, y, w, h;
};

GlyphArea areaOf(const KFont &g) {
    const int boxW = g._x2 - g._x1 + 1;
    const int boxH = g._y2 - g._y1 + 1;
    const int w = std::min<int>(g._w, boxW) - 1;
    const int h = std::min<int>(g._h, boxH);
    return {static_cast<double>(g._x1), static_cast<double>(g._y1), static_cast<double>(std::max(1, w)),
            static_cast<double>(std::max(1, h))};
}

void glyphPath(cairo_t *cr, char c, const GlyphArea &a, double inset) {
    if (c == ':') {
        const double r = std::max(1.2, std::min(a.w, a.h) * 0.16);
        cairo_new_sub_path(cr);
        cairo_arc(cr, a.x + a.w / 2, a.y + a.h * 0.38, r, 0, 2 * M_PI);
        cairo_new_sub_path(cr);
        cairo_arc(cr, a.x + a.w / 2, a.y + a.h * 0.8, r, 0, 2 * M_PI);
        return;
    }
    // Letters are drawn as small capitals: every glyph of a row then shares one height, which reads
    // far better at ten pixels than lower case squeezed into the same boxes.
    const char text[2] = {static_cast<char>(std::toupper(static_cast<unsigned char>(c))), 0};
    cairo_save(cr);
    selectFace(cr, Face::Label, 40);
    cairo_new_path(cr);
    cairo_move_to(cr, 0, 0);
    cairo_text_path(cr, text);
    double x1, y1, x2, y2;
    cairo_fill_extents(cr, &x1, &y1, &x2, &y2);
    cairo_path_t *path = cairo_copy_path(cr);
    cairo_new_path(cr);
    cairo_restore(cr);
    cairo_save(cr);
    cairo_translate(cr, a.x + inset, a.y + inset);
    cairo_scale(cr, (a.w - 2 * inset) / std::max(1e-6, x2 - x1), (a.h - 2 * inset) / std::max(1e-6, y2 - y1));
    cairo_translate(cr, -x1, -y1);
    cairo_append_path(cr, path);
    cairo_restore(cr);
    cairo_path_destroy(path);
}

} // namespace

const FontSheet *fontSheets(int &count) {
    count = static_cast<int>(std::size(kSheets));
    return kSheets;
}

Canvas drawFontSheet(const FontSheet &sheet) {
    Canvas result(sheet.width, sheet.height);
    const bool small = sheet.table == theFont;
    for (int i = 0; sheet.table[i]._c != 0; ++i) {
        const KFont &g = sheet.table[i];
        if (g._c == ' ') {
            continue; // a space is an empty box
        }
        Canvas glyph(sheet.width, sheet.height);
        cairo_t *cr = glyph.cr();
        const GlyphArea a = areaOf(g);
        const double outline = small ? 0.9 : 1.2;
        glyphPath(cr, g._c, a, outline);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_set_line_width(cr, outline * 2);
        setColour(cr, hex(0x1b1230));
        cairo_stroke_preserve(cr);
        fillVertical(cr, hex(0xffffff), small ? hex(0xfff1c4) : hex(0xffd35a), a.y, a.y + a.h);
        for (int y = g._y1; y <= g._y2; ++y) {
            for (int x = g._x1; x <= g._x2; ++x) {
                if (ownedBy(sheet.table, i, x, y)) {
                    result.copyFrom(glyph, {x, y, x + 1, y + 1}, {x, y});
                }
            }
        }
    }
    return result;
}

} // namespace assetgen
