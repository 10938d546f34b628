// Opening the game's data files safely: a FIFO, a device or a folder in a file's place must neither
// block the game nor feed it without end, so only regular files of a size that fits their kind open.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace platform {

// Largest files of each kind. A picture holds at most a 4096 x 4096 picture in 32 bits (sixteen times
// the largest sheet) and its headers; a sound holds several minutes of music.
constexpr uint64_t kMaxPictureFileBytes = 4096ull * 4096 * 4 + (1u << 20);
constexpr uint64_t kMaxSoundFileBytes = 64ull << 20;

// Opens a regular file for reading without ever waiting (the open does not block on a FIFO). Returns
// the descriptor, or -1 when the file is missing, is not a regular file or is larger than maxBytes;
// size receives its size.
int openRegularFile(const char *path, uint64_t maxBytes, uint64_t *size = nullptr);
// The same as a stdio stream (null on failure).
FILE *openRegularFileStream(const char *path, uint64_t maxBytes);
// Reads the whole of such a file, never more than maxBytes whatever the file does while it is read.
bool readRegularFile(const char *path, uint64_t maxBytes, std::vector<uint8_t> &bytes);

// The last component of a path: the file's own name, without the folders that lead to it.
std::string_view fileNameOf(std::string_view path);

} // namespace platform
