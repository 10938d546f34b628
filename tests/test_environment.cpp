// Linked into every test program: the tests run headless, and sanitized runs let absurd allocations
// (from fuzzed headers) fail instead of aborting.
#include <cstdlib>

extern "C" const char *__asan_default_options() { return "allocator_may_return_null=1"; }

namespace {
struct HeadlessDrivers {
    HeadlessDrivers() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
    }
} headlessDrivers;
} // namespace
