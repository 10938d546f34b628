// The single pictures of the data folder: bonus overlays, cursor, loading and online pictures, the
// program's icon and the launcher's skin previews.
#pragma once

#include <string>
#include <vector>

#include "tools/assetgen/canvas.h"

namespace assetgen {

struct NamedPicture {
    std::string fileName; // inside the data folder
    Canvas picture;
};

// bomb, horiz, verti, xzap, question: sized so that their offsets centre them on a gem.
std::vector<NamedPicture> drawBonusOverlays();
Canvas drawMouseCursor();
Canvas drawLoadingPicture();
Canvas drawOnlinePicture();
inline constexpr int kIconSizes[] = {32, 64, 128, 256};
Canvas drawIcon(int size);
// A 160 x 120 preview of a skin's menu: its background with the set-up page shown.
Canvas drawLauncherPreview(const Canvas &menuSheet);

} // namespace assetgen
