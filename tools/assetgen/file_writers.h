// Writers for the file formats of the data folder. Each creates the folders it needs and writes only
// the one file it is asked for, so files the game keeps beside them (scores, settings) are untouched.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/assetgen/canvas.h"

namespace assetgen {

// Uncompressed 32-bit TGA with alpha, top-left origin.
void writeTga(const std::filesystem::path &path, const Canvas &canvas);
// Uncompressed 24-bit BMP (no alpha); transparent pixels come out black.
void writeBmp(const std::filesystem::path &path, const Canvas &canvas);
// PNG with alpha.
void writePng(const std::filesystem::path &path, const Canvas &canvas);
// 16-bit PCM WAV, mono, from samples in -1..1.
void writeWav(const std::filesystem::path &path, const std::vector<float> &samples, int sampleRate);
void writeText(const std::filesystem::path &path, const std::string &text);
void writeBytes(const std::filesystem::path &path, const std::vector<uint8_t> &bytes);

// Float sample (-1..1) to 16-bit PCM, rounded and clamped.
int16_t toPcm16(float sample);

} // namespace assetgen
