#include "game/replay_file.h"
#include "game/replay_playback.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// A game's worth of input as a player makes it: the pointer wanders and rests, the button goes down
// and up, now and then a key.
replay::Replay randomReplay(std::mt19937 &random, uint32_t frames) {
    replay::Replay game;
    game.header.gameMode = static_cast<uint8_t>(random() % 4);
    game.header.difficulty = static_cast<uint8_t>(random() % 4);
    game.header.unitScore = game.header.gameMode == 2 ? 100 : 1;
    game.header.randomSeed = static_cast<uint32_t>(random());
    game.header.finalScore = static_cast<uint32_t>(random());
    game.header.result = static_cast<int32_t>(random());
    replay::FrameRecord input;
    while (game.frames.size() < frames) {
        const uint32_t change = random() % 6;
        if (change == 0) {
            input.mouseX = static_cast<int16_t>(random() % replay::kPictureWidth);
            input.mouseY = static_cast<int16_t>(random() % replay::kPictureHeight);
        }
        input.leftButton ^= change == 1; // pressed or let go
        if (change == 2) {
            input.keyP = random() % 8 == 0;
            input.keyF1 = random() % 8 == 0;
            input.keyEscape = random() % 8 == 0;
            input.worthAPlace = input.keyEscape && random() % 2 == 0;
        }
        const size_t run = 1 + random() % (random() % 4 == 0 ? 400 : 5);
        game.frames.insert(game.frames.end(), std::min<size_t>(run, frames - game.frames.size()), input);
    }
    return game;
}

void put32(std::vector<uint8_t> &bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Every game comes back as it was; every cut of its file, the file with a byte more, and the file with
// random bytes in its runs are refused or decode to a replay that encodes to itself, never read past
// the end; and the verifier answers any input (clicks, pauses, F1, Escape) in every mode.
TEST(ReplayFile, EveryGameComesBackAndEveryDamagedFileIsRefusedOrHoldsTogether) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 60; ++round) {
        replay::Replay game = randomReplay(random, 1 + random() % (round < 24 ? 3000 : 30000));
        std::vector<uint8_t> bytes = replay::encode(game);
        replay::Replay back, again;
        std::string why;
        ASSERT_TRUE(replay::decode(bytes, back, why)) << why;
        EXPECT_EQ(back, game);
        for (size_t cut = 0; cut < bytes.size(); cut += 1 + cut / 8)
            EXPECT_FALSE(replay::decode(std::span(bytes).first(cut), back, why)) << cut;
        bytes.push_back(0);
        EXPECT_TRUE(!replay::decode(bytes, back, why) &&
                    why.find("after the last frame") != std::string::npos)
            << why;
        for (int scramble = 0; scramble < 50; ++scramble) {
            bytes.resize(32 + random() % 200);
            put32(bytes, 16, 500);
            put32(bytes, 28, 1 + random() % 50);
            for (size_t i = 32; i < bytes.size(); ++i)
                bytes[i] = static_cast<uint8_t>(random() % (i % 3 == 0 ? 0x20 : 0x100));
            if (replay::decode(bytes, back, why)) {
                ASSERT_TRUE(replay::decode(replay::encode(back), again, why)) << why;
                EXPECT_EQ(again, back);
            }
        }
        if (round < 24) {
            game.header.finalScore = 0;
            game.header.result = 0;
            std::string answer;
            verifyReplay(replay::encode(game), answer);
            EXPECT_TRUE(answer.rfind("mode=", 0) == 0 || answer.rfind("frame ", 0) == 0) << answer;
        }
    }
}

TEST(ReplayFile, DamagedHeadersAndRunsAreRefusedWithTheirReason) {
    replay::Replay game;
    game.header.gameMode = 1;
    game.frames.assign(100, replay::FrameRecord{});
    game.frames[50] = {320, 240, true, false, false, false};
    const std::vector<uint8_t> good = replay::encode(game);
    // Offsets in the file: mark 0, format 4, rules 6, mode 8, difficulty 9, unit 10, seed 12, frames 16,
    // score 20, result 24, runs 28, then the first run's byte at 32.
    struct Case {
        const char *name;
        void (*damage)(std::vector<uint8_t> &);
        const char *reason;
    };
    const Case cases[] = {
        {"mark", [](std::vector<uint8_t> &b) { b[0] = 'X'; }, "not a Quorix replay"},
        {"format", [](std::vector<uint8_t> &b) { b[4] = 2; }, "replay format 2"},
        {"rules", [](std::vector<uint8_t> &b) { b[6] = 0; }, "played by rules 0"},
        {"mode", [](std::vector<uint8_t> &b) { b[8] = 4; }, "no such mode"},
        {"unit score", [](std::vector<uint8_t> &b) { b[10] = 100; }, "unit score"},
        {"no frames", [](std::vector<uint8_t> &b) { put32(b, 16, 0); }, "0 frames"},
        {"a billion frames", [](std::vector<uint8_t> &b) { put32(b, 16, 1000000000); }, "1000000000 frames"},
        {"more frames than runs hold", [](std::vector<uint8_t> &b) { put32(b, 16, 101); }, "100 of 101"},
        {"more runs than bytes", [](std::vector<uint8_t> &b) { put32(b, 28, 90); }, "count of runs"},
        {"unknown input", [](std::vector<uint8_t> &b) { b[32] |= 0x80; }, "unknown input"},
        {"a run past the end", [](std::vector<uint8_t> &b) { b[33] = 120; }, "past the last frame"},
        {"pointer off the picture",
         [](std::vector<uint8_t> &b) {
             b[34] = 0x10;                                 // the second run moves the pointer ...
             b.insert(b.begin() + 35, {0x80, 0x0a, 0x00}); // ... 640 to the right
         },
         "leaves the picture"},
        {"too large", [](std::vector<uint8_t> &b) { b.resize(replay::kMaxFileBytes + 1); }, "larger than"},
    };
    for (const Case &test : cases) {
        std::vector<uint8_t> bytes = good;
        test.damage(bytes);
        replay::Replay back;
        std::string why;
        EXPECT_TRUE(!replay::decode(bytes, back, why) && why.find(test.reason) != std::string::npos)
            << test.name << ": " << why;
    }
}

} // namespace
