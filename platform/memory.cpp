#include "platform/memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <malloc.h>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace platform {

void returnLargeBlocksToSystem() {
#ifdef __GLIBC__
    // A fixed threshold (glibc's own starting value) also stops the heap's top from being kept back.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}

namespace {

struct Mapping {
    uintptr_t start = 0, end = 0;
    bool compilerCode = false;
    long residentKb = 0, anonymousKb = -1;
};

// The code of LLVM's shared library: executable, private, read from the file.
bool isCompilerCode(const char *perms, const char *path) {
    const char *name = std::strrchr(path, '/');
    return std::strcmp(perms, "r-xp") == 0 && name != nullptr && std::strncmp(name + 1, "libLLVM", 7) == 0;
}

} // namespace

size_t releaseIdleDriverCode() {
    FILE *smaps = std::fopen("/proc/self/smaps", "r");
    if (smaps == nullptr)
        return 0;
    std::vector<Mapping> mappings;
    char line[1024];
    while (std::fgets(line, sizeof(line), smaps) != nullptr) {
        unsigned long start = 0, end = 0;
        char perms[8] = {};
        int pathAt = 0;
        if (std::sscanf(line, "%lx-%lx %7s %*s %*s %*s %n", &start, &end, perms, &pathAt) == 3 &&
            pathAt > 0) {
            char *path = line + pathAt;
            path[std::strcspn(path, "\n")] = '\0';
            mappings.push_back({start, end, isCompilerCode(perms, path), 0, -1});
            continue;
        }
        long kb = 0;
        if (!mappings.empty() && std::sscanf(line, "Rss: %ld kB", &kb) == 1)
            mappings.back().residentKb = kb;
        else if (!mappings.empty() && std::sscanf(line, "Anonymous: %ld kB", &kb) == 1)
            mappings.back().anonymousKb = kb;
    }
    std::fclose(smaps);

    size_t released = 0;
    for (const Mapping &mapping : mappings) {
        // Only code exactly as the file holds it: dropped, it reads back the same.
        if (!mapping.compilerCode || mapping.anonymousKb != 0 || mapping.residentKb == 0)
            continue;
        if (madvise(reinterpret_cast<void *>(mapping.start), mapping.end - mapping.start, MADV_DONTNEED) == 0)
            released += static_cast<size_t>(mapping.residentKb) * 1024;
    }
    return released;
}

namespace {

// Resident size in bytes, from /proc/self/statm; 0 when unknown.
size_t residentBytes() {
    FILE *statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr)
        return 0;
    unsigned long size = 0, resident = 0;
    const bool read = std::fscanf(statm, "%lu %lu", &size, &resident) == 2;
    std::fclose(statm);
    return read ? static_cast<size_t>(resident) * static_cast<size_t>(sysconf(_SC_PAGESIZE)) : 0;
}

// Releases the driver's idle code when the resident size has grown by a few megabytes since it was
// last done (or never was): the driver has compiled something. Only the watching thread asks.
void releaseIdleDriverCodeOnceGrown() {
    constexpr size_t kGrowth = 4u << 20;
    static size_t residentAfterRelease = 0;
    const size_t resident = residentBytes();
    if (resident != 0 && resident < residentAfterRelease + kGrowth)
        return;
    releaseIdleDriverCode();
    residentAfterRelease = residentBytes();
}

struct DriverCodeWatch {
    std::mutex lock;
    std::condition_variable wake;
    bool stopping = false;
    std::thread thread;

    // A display still open when the program ends: the thread ends with it.
    ~DriverCodeWatch() { stopWatchingDriverCode(); }
};

DriverCodeWatch watch;

} // namespace

void startWatchingDriverCode() {
    std::lock_guard<std::mutex> hold(watch.lock);
    if (watch.thread.joinable())
        return;
    watch.stopping = false;
    try {
        watch.thread = std::thread([] {
            std::unique_lock<std::mutex> wait(watch.lock);
            while (!watch.wake.wait_for(wait, std::chrono::seconds(1), [] { return watch.stopping; })) {
                wait.unlock();
                releaseIdleDriverCodeOnceGrown();
                wait.lock();
            }
        });
    } catch (const std::system_error &) {
        // No thread: the memory stays as it is, which costs nothing but memory.
    }
}

void stopWatchingDriverCode() {
    {
        std::lock_guard<std::mutex> hold(watch.lock);
        if (!watch.thread.joinable())
            return;
        watch.stopping = true;
    }
    watch.wake.notify_all();
    watch.thread.join();
    watch.thread = std::thread();
}

} // namespace platform
