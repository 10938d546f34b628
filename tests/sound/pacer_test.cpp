// The pacing of output devices that never block, on a simulated clock.
#include "platform/audio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

namespace {

using Clock = audio::RealTimePacer::Clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;

constexpr int kFrames = 1024;
constexpr int kRate = 44100;
const auto kPiece = microseconds(kFrames * 1'000'000LL / kRate); // about 23.2 ms of sound

struct Playback {
    bool pacing = false;
    Clock::duration elapsed{}; // simulated time from the first request to the last one's end
    Clock::duration waited{};  // of which the pacer asked to wait
    Clock::duration longestWait{};
};

// Plays `requests` requests; the device takes `gap(i)` between the end of one request and the next.
Playback simulate(int requests, const std::function<Clock::duration(int)> &gap) {
    audio::RealTimePacer pacer(kRate);
    Clock::time_point now{std::chrono::hours(1)};
    const Clock::time_point start = now;
    Playback run;
    for (int i = 0; i < requests; ++i) {
        const Clock::duration wait = pacer.beforeRequest(now, kFrames);
        EXPECT_GE(wait, Clock::duration::zero());
        run.waited += wait;
        run.longestWait = std::max(run.longestWait, wait);
        now += wait + gap(i);
    }
    run.pacing = pacer.pacing();
    run.elapsed = now - start;
    return run;
}

TEST(RealTimePacer, LeavesTimedDevicesAloneAndHoldsOthersToRealTime) {
    const auto spinning = [](int) { return Clock::duration(microseconds(50)); };

    // A sound card asks again once the last piece has played (after a start-up burst of three).
    const Playback card =
        simulate(2000, [](int i) { return i < 3 ? Clock::duration(microseconds(10)) : kPiece; });
    EXPECT_FALSE(card.pacing);
    EXPECT_EQ(card.waited, Clock::duration::zero());

    // A card on a busy machine answers late and then in short bursts: still its own time.
    const Playback busy = simulate(2000, [](int i) {
        return i % 10 < 9 ? Clock::duration(kPiece + milliseconds(2)) : Clock::duration(microseconds(20));
    });
    EXPECT_FALSE(busy.pacing);

    // A device that never blocks is held to the time its sound lasts, never faster, never much later.
    const int requests = 2000;
    const Playback null = simulate(requests, spinning);
    EXPECT_TRUE(null.pacing);
    const auto sound = kPiece * requests;
    EXPECT_GE(null.elapsed, sound - kPiece * 17);
    EXPECT_LE(null.elapsed, sound + milliseconds(200));
    EXPECT_LE(null.longestWait, kPiece);

    // A stall of the whole machine is not made up for with a burst of requests, nor with a long wait.
    const Playback stalled = simulate(
        requests, [&](int i) { return i == 500 ? Clock::duration(std::chrono::seconds(5)) : spinning(i); });
    EXPECT_TRUE(stalled.pacing);
    EXPECT_GE(stalled.elapsed, sound + std::chrono::seconds(5) - kPiece * 18);
    EXPECT_LE(stalled.longestWait, kPiece);
}

} // namespace
