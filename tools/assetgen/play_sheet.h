// The play screen's sheet of a skin and the smaller pictures of a game: the game-over and name-entry
// panels and the selection mark.
#pragma once

#include "tools/assetgen/canvas.h"

namespace assetgen {

struct PlayArt {
    Canvas sheet{layout::kPlaySheetWidth, layout::kPlaySheetHeight};
    Canvas gameOver{1, 1};
    Canvas nameEntry{1, 1};      // with alpha (TGA)
    Canvas nameEntryRelax{1, 1}; // opaque (BMP)
    Canvas selectMark{1, 1};
};

inline constexpr int kGameOverWidth = 300;
inline constexpr int kGameOverHeight = 140;
inline constexpr int kNameEntryWidth = 340;
inline constexpr int kNameEntryHeight = 230;
// The mark is drawn one pixel up-left of the cell: 42 x 44 rings the (38-pixel wide) gem evenly.
inline constexpr int kSelectMarkWidth = layout::kCellSize;
inline constexpr int kSelectMarkHeight = layout::kCellSize + 2;
// The name field: room for 18 characters of the high-score font after the text position.
inline constexpr int kNameFieldWidth = 200;

PlayArt drawPlayArt(int skin);

} // namespace assetgen
