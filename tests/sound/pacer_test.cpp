// The pacing of output devices that never block, on a simulated clock.
#include "platform/audio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

namespace {

using Clock = audio::RealTimePacer::Clock;
using namespace std::chrono;

constexpr int kFrames = 1024;
const auto kPiece = microseconds(kFrames * 1'000'000LL / 44100); // about 23.2 ms of sound
const Clock::duration kSpin = microseconds(50);
constexpr int kRequests = 2000;

struct Playback {
    bool pacing = false;
    Clock::duration elapsed{}, longestWait{}; // from the first request to the last one's end
};

// Plays kRequests requests; the device takes `gap(i)` between the end of one request and the next.
Playback simulate(const std::function<Clock::duration(int)> &gap) {
    audio::RealTimePacer pacer(44100);
    Playback run;
    for (int i = 0; i < kRequests; ++i) {
        const Clock::duration wait = pacer.beforeRequest(Clock::time_point{hours(1) + run.elapsed}, kFrames);
        EXPECT_GE(wait, Clock::duration::zero());
        run.longestWait = std::max(run.longestWait, wait);
        run.elapsed += wait + gap(i);
    }
    run.pacing = pacer.pacing();
    return run;
}

TEST(RealTimePacer, LeavesTimedDevicesAloneAndHoldsOthersToRealTime) {
    // A sound card asks again once the last piece has played (after a start-up burst of three), or on a
    // busy machine late and then in short bursts: its own time either way.
    const Playback card = simulate([](int i) { return i < 3 ? Clock::duration(microseconds(10)) : kPiece; });
    EXPECT_TRUE(!card.pacing && card.longestWait == Clock::duration::zero());
    EXPECT_FALSE(
        simulate([](int i) { return i % 10 < 9 ? kPiece + milliseconds(2) : microseconds(20); }).pacing);

    // A device that never blocks is held to the time its sound lasts, never faster, never much later.
    const Playback null = simulate([](int) { return kSpin; });
    EXPECT_TRUE(null.pacing && null.elapsed >= kPiece * (kRequests - 17) &&
                null.elapsed <= kPiece * kRequests + milliseconds(200) && null.longestWait <= kPiece)
        << duration_cast<milliseconds>(null.elapsed).count() << " ms";

    // A stall of the whole machine is not made up for with a burst of requests, nor with a long wait.
    const Playback stalled = simulate([](int i) { return i == 500 ? Clock::duration(seconds(5)) : kSpin; });
    EXPECT_TRUE(stalled.pacing && stalled.elapsed >= kPiece * (kRequests - 18) + seconds(5) &&
                stalled.longestWait <= kPiece)
        << duration_cast<milliseconds>(stalled.elapsed).count() << " ms";
}

} // namespace
