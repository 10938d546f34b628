#include "platform/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace platform {

int openRegularFile(const char *path, uint64_t maxBytes, uint64_t *size) {
    if (path == nullptr)
        return -1;
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<uint64_t>(info.st_size) > maxBytes) {
        close(fd);
        return -1;
    }
    // Reads of a regular file never wait anyway; blocking mode is what stdio and the decoders expect.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (size)
        *size = static_cast<uint64_t>(info.st_size);
    return fd;
}

FILE *openRegularFileStream(const char *path, uint64_t maxBytes) {
    const int fd = openRegularFile(path, maxBytes);
    if (fd < 0)
        return nullptr;
    FILE *stream = fdopen(fd, "rb");
    if (stream == nullptr)
        close(fd);
    return stream;
}

bool readRegularFile(const char *path, uint64_t maxBytes, std::vector<uint8_t> &bytes) {
    bytes.clear();
    uint64_t size = 0;
    const int fd = openRegularFile(path, maxBytes, &size);
    if (fd < 0)
        return false;
    // Read until the end of the file, which may have grown since it was measured: never past one byte
    // more than the limit, which tells a file grown too long.
    constexpr uint64_t kStep = 65536;
    bytes.resize(static_cast<size_t>(size));
    size_t done = 0;
    bool ok = true;
    for (;;) {
        // Once the file is read to where it was measured, one byte read aside tells whether it goes on,
        // where growing the buffer first would copy the whole file (4 MB for a picture sheet).
        const bool probing = done == bytes.size();
        if (probing && bytes.size() > maxBytes)
            break;
        uint8_t probe = 0;
        const ssize_t got =
            probing ? read(fd, &probe, 1) : read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            ok = false;
        if (got <= 0)
            break;
        if (probing) {
            bytes.push_back(probe);
            bytes.resize(static_cast<size_t>(std::min<uint64_t>(bytes.size() + kStep, maxBytes + 1)));
        }
        done += static_cast<size_t>(got);
    }
    close(fd);
    bytes.resize(done);
    if (!ok || done > maxBytes) {
        bytes.clear();
        return false;
    }
    return true;
}

std::string_view fileNameOf(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace platform
