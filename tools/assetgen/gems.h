// The gem sets: seven token pictures per set, each colour with its own silhouette so that no two
// are told apart by colour alone, in several finishes.
#pragma once

#include <string>

#include "tools/assetgen/canvas.h"

namespace assetgen {

inline constexpr int kGemColours = 7;
// The board draws a gem at its cell's corner and the options page lines seven of them up in its
// panel: 38 pixels is the widest picture whose row still ends inside that panel. The picture is as
// tall as a cell, so gems sit centred vertically; the gem itself is a 38-pixel square in it.
inline constexpr int kGemPictureWidth = 38;
inline constexpr int kGemPictureHeight = 42;
inline constexpr int kGemSize = 38;

int gemSetCount();
// The name shown by the options page (lower-case letters and spaces only: all the font has).
std::string gemSetName(int set);
// Draws gem `colour` of `set` filling the square (x, y, size).
void drawGem(cairo_t *cr, int set, int colour, double x, double y, double size);
Canvas gemPicture(int set, int colour);

} // namespace assetgen
