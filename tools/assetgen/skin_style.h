// The seven skins: one palette and one motif each, and the pieces every skin draws the same way
// (backdrop, panels, buttons). The menu and play sheets are built from these.
#pragma once

#include <string>

#include "tools/assetgen/paint.h"

namespace assetgen {

enum class Motif { Stars, Hearts, Rivets, Bubbles, Snowflakes, Leaves, Daisies };

struct SkinStyle {
    std::string name;
    Colour backgroundTop;
    Colour backgroundBottom;
    Colour panel;
    Colour rim;
    Colour accent;
    Colour text; // text on panels
    Motif motif;
    Colour motifColour;
};

const SkinStyle &skinStyle(int skin);

// Text that reads on the accent colour.
Colour textOnAccent(const SkinStyle &style);
// The label colour of a button, lit or not.
Colour buttonInk(const SkinStyle &style, bool lit);
// The label colour of a button, lit or not.
Colour buttonInk(const SkinStyle &style, bool lit);
// The outline of titles written on panels.
Colour titleOutline(const SkinStyle &style);
// Text that reads on the skin's backdrop.
Colour textOnBackdrop(const SkinStyle &style);

// Gradient, scattered motif and vignette over the whole w x h area.
void drawBackdrop(cairo_t *cr, const SkinStyle &style, int width, int height, unsigned seed);
void drawMotif(cairo_t *cr, Motif motif, double cx, double cy, double size, const Colour &colour);
// A rounded panel with soft shadow, gentle gradient and a thin bright rim.
void drawPanel(cairo_t *cr, const SkinStyle &style, double x, double y, double w, double h, double radius);
// A recessed area inside a panel (fields, wells, list bands).
void drawInset(cairo_t *cr, const SkinStyle &style, double x, double y, double w, double h, double radius,
               double depth = 0.18);
// A pill button filling the rectangle; the lit one is brighter with a glow in the accent colour.
void drawButton(cairo_t *cr, const SkinStyle &style, double x, double y, double w, double h,
                const std::string &label, double textSize, bool lit);
// The title "Quorix" centred at (cx, cy).
void drawLogo(cairo_t *cr, const SkinStyle &style, double cx, double cy, double size);

} // namespace assetgen
