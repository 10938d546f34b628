// Waiting on state that another thread changes: the condition is checked every few milliseconds, for
// as long as a very busy machine could need, and the answer says whether it came true.
#pragma once

#include <chrono>
#include <thread>

namespace support {

template <typename Condition>
bool waitUntil(Condition done, std::chrono::seconds limit = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace support
