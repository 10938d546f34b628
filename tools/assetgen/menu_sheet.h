// The menu sheet of a skin (background, lit buttons, markers, page panels, tabs, knob) and its
// credits picture.
#pragma once

#include "tools/assetgen/canvas.h"

namespace assetgen {

struct MenuArt {
    Canvas sheet{layout::kMenuSheetWidth, layout::kMenuSheetHeight};
    Canvas credits{1, 1};
};

// The credits picture: drawn by the game from its column kCreditsSourceX at kCreditsDest.
inline constexpr int kCreditsWidth = 342;
inline constexpr int kCreditsHeight = 300;

MenuArt drawMenuArt(int skin);

} // namespace assetgen
