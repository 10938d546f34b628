// Raw record files: the game's settings and tables are little-endian dumps of in-memory records.
#pragma once

#include <cstddef>

// What readRecordFile answers besides a byte count.
constexpr long kRecordMissing = -1;    // no such file
constexpr long kRecordUnreadable = -2; // something is there that cannot be read as a record file

// Reads up to size bytes of a file over the record; a short file replaces only the bytes it holds.
// Returns the number of bytes read, kRecordMissing when there is no file, or kRecordUnreadable when
// the file exists but cannot be read (no permission, a folder, a FIFO or a device in its place, a
// read error); the record is then untouched. The open never waits, even on a FIFO.
long readRecordFile(const char *path, void *record, size_t size);

// Writes a record so that a crash or a full disk never leaves a half-written file: through a
// temporary file in the same folder that is renamed over the old one. A file the player may not
// write (made read-only), or that is no regular file, is never replaced and keeps its contents; when
// only the folder is closed to the player, the file is written in place. Returns false (and leaves
// the old file as it was) when nothing was written.
bool writeRecordFile(const char *path, const void *record, size_t size);

// Says once on stderr that a file which exists but cannot be read is left as it is.
void reportUnreadableFile(const char *path);

// Holds an exclusive lock on the folder of a file for as long as it lives, so that two copies of the
// game never read, merge and write the same files at once. Locking that fails (a folder that cannot
// be opened) is not an error: the work then goes on unlocked.
class FolderLock {
public:
    explicit FolderLock(const char *filePath);
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

private:
    int fd_ = -1;
};
