// Ogg Vorbis encoding of generated sounds through libvorbisenc.
#pragma once

#include <filesystem>

#include "tools/assetgen/synth.h"

namespace assetgen {

// Writes mono (channels 1) or interleaved stereo (channels 2) float samples as Ogg Vorbis. The
// stream serial number is fixed so the bytes are the same on every build.
void writeOgg(const std::filesystem::path &path, const Samples &interleaved, int channels, float quality);

} // namespace assetgen
