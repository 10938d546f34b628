#include "shell/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

long readRecordFile(const char *path, void *record, size_t size) {
    if (path == nullptr || path[0] == '\0')
        return -1; // no folder is known for the file
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    // A folder or a device opens for reading but is no record file.
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return -1;
    }
    size_t done = 0;
    auto *bytes = static_cast<unsigned char *>(record);
    while (done < size) {
        const ssize_t got = read(fd, bytes + done, size - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    close(fd);
    return static_cast<long>(done);
}

bool writeRecordFile(const char *path, const void *record, size_t size) {
    if (path == nullptr || path[0] == '\0')
        return false; // no folder is known for the file
    static std::atomic<unsigned> counter{0};
    const std::string target(path);
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; attempt++) {
        temporary = target + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;

    bool written = true;
    const auto *bytes = static_cast<const unsigned char *>(record);
    size_t done = 0;
    while (done < size) {
        const ssize_t put = write(fd, bytes + done, size - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            written = false;
            break;
        }
        done += static_cast<size_t>(put);
    }
    if (written && fsync(fd) != 0)
        written = false;
    if (close(fd) != 0)
        written = false;
    if (!written || rename(temporary.c_str(), path) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}
