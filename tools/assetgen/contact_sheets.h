// Review pictures for people: every sheet with its fixed rectangles outlined, every gem set and the
// font sheets with their glyph boxes, written as PNG by `assetgen --preview DIR`.
#pragma once

#include <filesystem>

namespace assetgen {

void writeContactSheets(const std::filesystem::path &folder);

} // namespace assetgen
