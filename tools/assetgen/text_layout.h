// Wrapped paragraphs for the panels that explain the game.
#pragma once

#include <string>

#include "tools/assetgen/paint.h"

namespace assetgen {

// Draws `text` wrapped to `width` from (x, top); returns the y just below the last line.
double drawParagraph(cairo_t *cr, const std::string &text, double x, double top, double width,
                     const TextStyle &style, double lineHeight);

} // namespace assetgen
