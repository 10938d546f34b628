#include "tools/assetgen/pictures.h"

#include <cmath>

#include "game/sheet_layout.h"
#include "tools/assetgen/gems.h"
#include "tools/assetgen/paint.h"
#include "tools/assetgen/skin_style.h"

namespace assetgen {

using namespace layout;

namespace {

// Overlays are drawn at half opacity over any gem: white shapes with a heavy dark outline.
constexpr uint32_t kOverlayInk = 0xffffff;
constexpr uint32_t kOverlayOutline = 0x141020;

// An overlay whose offset is (ox, oy) is centred on the gem when it is 2 * (centre - offset) big.
constexpr int centredWidth(int offsetX) {
    return 2 * (kGemPictureWidth / 2 - offsetX);
}
constexpr int centredHeight(int offsetY) {
    return 2 * (kGemPictureHeight / 2 - offsetY);
}

void strokeAndFill(cairo_t *cr, double outline) {
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, outline * 2);
    setColour(cr, hex(kOverlayOutline));
    cairo_stroke_preserve(cr);
    setColour(cr, hex(kOverlayInk));
    cairo_fill(cr);
}

// A double-headed arrow along the x axis, centred on the origin.
void arrowPath(cairo_t *cr, double length, double shaft, double head) {
    const double half = length / 2;
    cairo_move_to(cr, -half, 0);
    cairo_line_to(cr, -half + head, -head * 0.8);
    cairo_line_to(cr, -half + head, -shaft / 2);
    cairo_line_to(cr, half - head, -shaft / 2);
    cairo_line_to(cr, half - head, -head * 0.8);
    cairo_line_to(cr, half, 0);
    cairo_line_to(cr, half - head, head * 0.8);
    cairo_line_to(cr, half - head, shaft / 2);
    cairo_line_to(cr, -half + head, shaft / 2);
    cairo_line_to(cr, -half + head, head * 0.8);
    cairo_close_path(cr);
}

Canvas drawArrows(int w, int h, bool horizontal, bool vertical) {
    Canvas c(w, h);
    cairo_t *cr = c.cr();
    cairo_translate(cr, w / 2.0, h / 2.0);
    // Both arrows in one path, so the outline of one never crosses the other's body.
    if (horizontal) {
        arrowPath(cr, w - 3, 6, 8);
    }
    if (vertical) {
        cairo_save(cr);
        cairo_rotate(cr, M_PI / 2);
        arrowPath(cr, h - 3, 6, 8);
        cairo_restore(cr);
    }
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    strokeAndFill(cr, 1.5);
    return c;
}

Canvas drawBomb(int w, int h) {
    Canvas c(w, h);
    cairo_t *cr = c.cr();
    const double r = std::min(w, h) * 0.34;
    const double cx = w / 2.0 - 1, cy = h / 2.0 + 2;
    // Fuse and spark.
    cairo_move_to(cr, cx + r * 0.55, cy - r * 0.75);
    cairo_curve_to(cr, cx + r * 0.8, cy - r * 1.3, cx + r * 1.1, cy - r * 1.1, cx + r * 1.2, cy - r * 1.45);
    cairo_set_line_width(cr, 3.2);
    setColour(cr, hex(kOverlayOutline));
    cairo_stroke_preserve(cr);
    cairo_set_line_width(cr, 1.4);
    setColour(cr, hex(0xd9b36c));
    cairo_stroke(cr);
    const double sx = cx + r * 1.2, sy = cy - r * 1.45;
    for (int i = 0; i < 8; ++i) {
        const double a = M_PI * i / 4;
        cairo_move_to(cr, sx, sy);
        cairo_line_to(cr, sx + 3.6 * std::cos(a), sy + 3.6 * std::sin(a));
    }
    cairo_set_line_width(cr, 1.3);
    setColour(cr, hex(0xffe04a));
    cairo_stroke(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
    cairo_set_line_width(cr, 2.4);
    setColour(cr, hex(0xffffff));
    cairo_stroke_preserve(cr);
    cairo_pattern_t *p = cairo_pattern_create_radial(cx - r * 0.4, cy - r * 0.4, 0, cx, cy, r);
    cairo_pattern_add_color_stop_rgb(p, 0, 0.55, 0.55, 0.6);
    cairo_pattern_add_color_stop_rgb(p, 1, 0.05, 0.05, 0.08);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    return c;
}

Canvas drawQuestion(int w, int h) {
    Canvas c(w, h);
    cairo_t *cr = c.cr();
    selectFace(cr, Face::Label, h * 0.95);
    cairo_text_extents_t ext;
    cairo_text_extents(cr, "?", &ext);
    cairo_move_to(cr, (w - ext.width) / 2 - ext.x_bearing, (h - ext.height) / 2 - ext.y_bearing);
    cairo_text_path(cr, "?");
    strokeAndFill(cr, 1.8);
    return c;
}

} // namespace

std::vector<NamedPicture> drawBonusOverlays() {
    std::vector<NamedPicture> overlays;
    overlays.push_back({"bomb.tga", drawBomb(centredWidth(kBombOffset.x), centredHeight(kBombOffset.y))});
    overlays.push_back({"horiz.tga", drawArrows(centredWidth(kHorizontalOffset.x),
                                                centredHeight(kHorizontalOffset.y), true, false)});
    overlays.push_back({"verti.tga", drawArrows(centredWidth(kVerticalOffset.x),
                                                centredHeight(kVerticalOffset.y), false, true)});
    overlays.push_back(
        {"xzap.tga", drawArrows(centredWidth(kCrossOffset.x), centredHeight(kCrossOffset.y), true, true)});
    overlays.push_back(
        {"question.tga", drawQuestion(centredWidth(kRandomOffset.x), centredHeight(kRandomOffset.y))});
    return overlays;
}

Canvas drawMouseCursor() {
    constexpr int kSize = 32;
    Canvas c(kSize, kSize);
    cairo_t *cr = c.cr();
    const double x = kMouseHotSpot.x, y = kMouseHotSpot.y;
    // A classic arrow whose tip is the hot spot.
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x, y + 20);
    cairo_line_to(cr, x + 5, y + 15.5);
    cairo_line_to(cr, x + 9, y + 24);
    cairo_line_to(cr, x + 12.5, y + 22.5);
    cairo_line_to(cr, x + 8.5, y + 14);
    cairo_line_to(cr, x + 14.5, y + 14);
    cairo_close_path(cr);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, 1.5);
    setColour(cr, hex(0x101018));
    cairo_stroke_preserve(cr);
    fillVertical(cr, hex(0xffffff), hex(0xd8dde8), y, y + 24);
    // A tiny gem on the arrow.
    drawGem(cr, 0, 2, x + 8, y + 1, 9);
    return c;
}

Canvas drawLoadingPicture() {
    const SkinStyle &s = skinStyle(0);
    Canvas c(kScreenWidth, kScreenHeight);
    cairo_t *cr = c.cr();
    drawBackdrop(cr, s, kScreenWidth, kScreenHeight, 7);
    drawLogo(cr, s, kScreenWidth / 2.0, 200, 96);
    for (int i = 0; i < kGemColours; ++i) {
        drawGem(cr, 0, i, kScreenWidth / 2.0 - 3.5 * 34 + i * 34 + 2, 280, 30);
    }
    drawText(cr, "Loading...", kScreenWidth / 2.0, 350, Align::Centre, {Face::Label, 18, s.text},
             hex(0x000000, 0.5));
    return c;
}

Canvas drawOnlinePicture() {
    // The game also draws the part inside a 4-pixel margin (8 at the bottom): keep it whole there too.
    constexpr int kW = 120, kH = 44;
    const SkinStyle &s = skinStyle(0);
    Canvas c(kW, kH);
    cairo_t *cr = c.cr();
    drawPanel(cr, s, 4, 4, kW - 8, kH - 12, 10);
    // A globe.
    const double gx = 22, gy = 20, r = 10;
    cairo_arc(cr, gx, gy, r, 0, 2 * M_PI);
    fillVertical(cr, hex(0x7fd1ff), hex(0x1f6fc0), gy - r, gy + r);
    cairo_set_line_width(cr, 1);
    setColour(cr, hex(0xffffff, 0.8));
    cairo_arc(cr, gx, gy, r, 0, 2 * M_PI);
    cairo_stroke(cr);
    cairo_save(cr);
    cairo_translate(cr, gx, gy);
    cairo_scale(cr, 0.45, 1);
    cairo_arc(cr, 0, 0, r, 0, 2 * M_PI);
    cairo_restore(cr);
    cairo_move_to(cr, gx - r, gy);
    cairo_line_to(cr, gx + r, gy);
    cairo_stroke(cr);
    drawText(cr, "Online...", 38, 20, Align::Left, {Face::Label, 12, s.text});
    return c;
}

Canvas drawIcon(int size) {
    Canvas c(size, size);
    cairo_t *cr = c.cr();
    const double pad = size * 0.06;
    const SkinStyle &s = skinStyle(0);
    roundedRect(cr, pad, pad, size - 2 * pad, size - 2 * pad, size * 0.2);
    fillVertical(cr, s.backgroundBottom, s.backgroundTop, pad, size - pad);
    roundedRect(cr, pad + 0.5, pad + 0.5, size - 2 * pad - 1, size - 2 * pad - 1, size * 0.2);
    cairo_set_line_width(cr, std::max(1.0, size / 40.0));
    setColour(cr, s.rim);
    cairo_stroke(cr);
    // Three gems of different shapes: the game in one glance.
    const double g = size * 0.42;
    drawGem(cr, 0, 2, size * 0.5 - g / 2, size * 0.1, g);
    drawGem(cr, 0, 0, size * 0.12, size * 0.46, g);
    drawGem(cr, 0, 1, size * 0.88 - g, size * 0.46, g);
    return c;
}

Canvas drawLauncherPreview(const Canvas &menuSheet) {
    Canvas screen(kScreenWidth, kScreenHeight);
    screen.copyFrom(menuSheet, {0, 0, kScreenWidth, kScreenHeight}, {0, 0});
    const Piece pieces[] = {kSetupPanel, kModeMarkers[0], kDifficultyMarkers[1], litPageButton(0)};
    for (const Piece &p : pieces) {
        screen.copyFrom(menuSheet, p.source, p.dest);
    }
    Canvas preview(kLauncherPreviewWidth, kLauncherPreviewHeight);
    cairo_t *cr = preview.cr();
    cairo_scale(cr, static_cast<double>(kLauncherPreviewWidth) / kScreenWidth,
                static_cast<double>(kLauncherPreviewHeight) / kScreenHeight);
    cairo_set_source_surface(cr, screen.surface(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BEST);
    cairo_paint(cr);
    return preview;
}

} // namespace assetgen
