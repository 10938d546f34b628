#include "shell/files.h"

#include "platform/file_reader.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

// May the player write this file? The superuser may write anything, so for it the mode bits that
// apply decide: a file made read-only stays read-only whoever runs the game.
bool playerMayWrite(const char *path, const struct stat &info) {
    if (access(path, W_OK) != 0)
        return false;
    if (geteuid() != 0)
        return true;
    const mode_t bit = info.st_uid == geteuid() ? S_IWUSR : info.st_gid == getegid() ? S_IWGRP : S_IWOTH;
    return (info.st_mode & bit) != 0;
}

bool writeAll(int fd, const void *record, size_t size) {
    const auto *bytes = static_cast<const unsigned char *>(record);
    size_t done = 0;
    while (done < size) {
        const ssize_t put = write(fd, bytes + done, size - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

// The folder is closed to the player but the file is not: the file's own bytes are replaced.
bool writeInPlace(const char *path, const void *record, size_t size) {
    const int fd = open(path, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool written = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && writeAll(fd, record, size) &&
                   ftruncate(fd, static_cast<off_t>(size)) == 0 && fsync(fd) == 0;
    if (close(fd) != 0)
        written = false;
    return written;
}

// Does the file hold exactly these bytes already? Then writing it again would only cost a flush to
// the disk (the launcher's three settings, each time Play is pressed).
bool holdsAlready(const char *path, const struct stat &info, const void *record, size_t size) {
    if (static_cast<uint64_t>(info.st_size) != size)
        return false;
    std::vector<uint8_t> bytes;
    return platform::readRegularFile(path, size, bytes) && bytes.size() == size &&
           (size == 0 || std::memcmp(bytes.data(), record, size) == 0);
}

} // namespace

long readRecordFile(const char *path, void *record, size_t size) {
    if (path == nullptr || path[0] == '\0')
        return kRecordMissing; // no folder is known for the file
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? kRecordMissing : kRecordUnreadable;
    // A folder, a FIFO or a device opens for reading but is no record file.
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return kRecordUnreadable;
    }
    size_t done = 0;
    bool failed = false;
    auto *bytes = static_cast<unsigned char *>(record);
    while (done < size) {
        const ssize_t got = read(fd, bytes + done, size - done);
        if (got < 0 && errno == EINTR)
            continue;
        failed = got < 0;
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    close(fd);
    return failed ? kRecordUnreadable : static_cast<long>(done);
}

bool writeRecordFile(const char *path, const void *record, size_t size) {
    if (path == nullptr || path[0] == '\0')
        return false; // no folder is known for the file
    struct stat info {};
    const bool exists = stat(path, &info) == 0;
    if (exists && (!S_ISREG(info.st_mode) || !playerMayWrite(path, info)))
        return false;
    if (exists && holdsAlready(path, info, record, size))
        return true;

    static std::atomic<unsigned> counter{0};
    const std::string target(path);
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; attempt++) {
        temporary = target + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) {
            const bool folderClosed = errno == EACCES || errno == EPERM || errno == EROFS;
            return folderClosed && exists && writeInPlace(path, record, size);
        }
    }
    if (fd < 0)
        return false;

    bool written = writeAll(fd, record, size) && fsync(fd) == 0;
    if (close(fd) != 0)
        written = false;
    if (!written || rename(temporary.c_str(), path) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

void reportUnreadableFile(const char *path) {
    static std::mutex lock;
    static std::set<std::string> reported;
    std::lock_guard<std::mutex> hold(lock);
    if (!reported.insert(path).second)
        return;
    std::fprintf(stderr, "Quorix: %s exists but cannot be read; it is left as it is.\n", path);
}

FolderLock::FolderLock(const char *filePath) {
    std::string folder(filePath ? filePath : "");
    const size_t slash = folder.find_last_of('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    fd_ = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0)
        return;
    while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
}

FolderLock::~FolderLock() {
    if (fd_ >= 0)
        close(fd_); // closing the descriptor releases the lock
}
