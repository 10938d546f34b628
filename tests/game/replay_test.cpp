// Recording a game and playing it back: every frame comes back bit for bit, in every mode and
// difficulty, through the file's bytes; and a replay that does not hold together is refused.
#include "recorded_game.h"

#include <gtest/gtest.h>

namespace {

TEST(Replay, EveryFrameOfARecordedGameComesBackInEveryModeAndDifficulty) {
    for (long mode = 0; mode < 4; ++mode) {
        for (long difficulty = 0; difficulty < 4; ++difficulty) {
            SCOPED_TRACE("mode " + std::to_string(mode) + " difficulty " + std::to_string(difficulty));
            const unsigned seed = static_cast<unsigned>(1000 + mode * 10 + difficulty);
            // The 60-second game runs to its end; the others long enough for cascades, bonuses and zaps.
            const Recorded recorded = playAndRecord(mode, difficulty, seed, mode == 0 ? 6000 : 3000);
            const std::vector<uint8_t> bytes = replay::encode(recorded.game);
            replay::Replay read;
            std::string why;
            ASSERT_TRUE(replay::decode(bytes, read, why)) << why;
            ReplayPlayer player(read);
            size_t frame = 0;
            while (player.step()) {
                ASSERT_LT(frame, recorded.states.size());
                ASSERT_EQ(frameState(), recorded.states[frame]) << "frame " << frame;
                ++frame;
            }
            EXPECT_EQ(frame, recorded.states.size());
            std::string answer;
            EXPECT_TRUE(verifyReplay(bytes, answer)) << answer;
            // The 60-second game runs to its end, and Escape ends a relax game.
            if (mode == kModeSixtySeconds || mode == kModeRelax) {
                EXPECT_NE(answer.find("over=yes"), std::string::npos) << answer;
            }
        }
    }
}

TEST(Replay, AReplayThatDoesNotHoldTogetherIsRefusedAtItsFrame) {
    const Recorded recorded = playAndRecord(0, 1, 77, 6000);
    ASSERT_GT(recorded.game.header.finalScore, 0u);
    struct Case {
        const char *name;
        void (*change)(replay::Replay &);
        const char *answer;
    };
    const Case cases[] = {
        {"another score claimed", [](replay::Replay &r) { r.header.result += 10; }, "the replay says"},
        {"another seed", [](replay::Replay &r) { r.header.randomSeed ^= 1; }, "the replay says"},
        {"the first click left out", [](replay::Replay &r) { leaveOutFirstClick(r); }, "the replay says"},
        {"frames after leaving",
         [](replay::Replay &r) {
             replay::FrameRecord escape;
             escape.keyEscape = true;
             r.frames.insert(r.frames.end(), 3, escape);
             r.frames.insert(r.frames.end(), 5, replay::FrameRecord{});
         },
         "was left in the frame before"},
    };
    for (const Case &test : cases) {
        replay::Replay changed = recorded.game;
        test.change(changed);
        std::string answer;
        EXPECT_FALSE(verifyReplay(replay::encode(changed), answer)) << test.name;
        EXPECT_EQ(answer.rfind("frame ", 0), 0u) << test.name << ": " << answer;
        EXPECT_NE(answer.find(test.answer), std::string::npos) << test.name << ": " << answer;
    }
    std::string answer;
    const std::vector<uint8_t> bytes = replay::encode(recorded.game);
    EXPECT_FALSE(verifyReplay(std::span(bytes).first(bytes.size() - 1), answer));
    EXPECT_EQ(answer.rfind("frame ", 0), 0u) << answer;
}

} // namespace
