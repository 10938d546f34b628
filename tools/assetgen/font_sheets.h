// The three bitmap-font sheets, each glyph drawn inside its rectangle of the game's glyph tables.
#pragma once

#include "framework/KFont.h"
#include "tools/assetgen/canvas.h"

namespace assetgen {

struct FontSheet {
    const char *fileName; // inside the data folder
    const KFont *table;
    int width, height;
};

// timenmb.tga (clock), numbers.tga (score), highscalp.tga (names and the options page).
const FontSheet *fontSheets(int &count);
Canvas drawFontSheet(const FontSheet &sheet);

} // namespace assetgen
