// Raw record files: the game's settings and tables are little-endian dumps of in-memory records.
#pragma once

#include <cstddef>

// Reads up to size bytes of a file over the record; a short file replaces only the bytes it holds.
// Returns the number of bytes read, or -1 when the file cannot be opened (the record is untouched).
long readRecordFile(const char *path, void *record, size_t size);

// Writes a record through a temporary file in the same folder that is renamed over the old file, so
// a crash or a full disk never leaves a half-written file. Returns false (and leaves the old file as
// it was) when anything fails.
bool writeRecordFile(const char *path, const void *record, size_t size);
