// The game's help page, data/help/index.html: one self-contained HTML file.
#pragma once

#include <string>

namespace assetgen {

std::string helpPage();

} // namespace assetgen
