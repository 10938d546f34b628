// Linked into every test program: the tests run headless, never touch the player's own folders, and
// sanitized runs let absurd allocations (from fuzzed headers) fail instead of aborting.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

extern "C" const char *__asan_default_options() {
    return "allocator_may_return_null=1";
}

namespace {
struct TestEnvironment {
    std::string folder;
    pid_t owner = getpid();

    TestEnvironment() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        // An installed-layout run keeps the player's files in the XDG folders: here, a folder of the
        // test program's own, removed when it ends (tests that look at these folders set their own).
        char pattern[] = "/tmp/quorix-xdg-XXXXXX";
        if (mkdtemp(pattern)) {
            folder = pattern;
            setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
            setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
        }
    }
    ~TestEnvironment() {
        if (!folder.empty() && getpid() == owner) {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
    }
} testEnvironment;
} // namespace
