// A recorded game: how it began and the input of each of its frames, in a small file. The game plays
// it back to show it again, and the score server plays it back to check a result before ranking it.
// The rules are exact to the frame and take their randomness from one seed, so this is the whole game.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace replay {

// The layout of the file itself; a file of another layout is refused.
inline constexpr uint16_t kFormatVersion = 1;
// Which rules the game was played by. Raise it with every change that could make a recorded game take
// another course (the deal, a score, a timing); a game only replays on the rules it was played with.
inline constexpr uint16_t kRulesVersion = 1;
// The longest game a replay may hold: an hour of frames at 75 a second. A race to a million takes
// minutes; a pause longer than the rest of the game is not worth keeping.
inline constexpr uint32_t kMaxFrames = 75u * 60u * 60u;
// No file of that many frames comes near this; a larger one is refused unread.
inline constexpr size_t kMaxFileBytes = 256 * 1024;
// The picture the pointer moves on.
inline constexpr int kPictureWidth = 640;
inline constexpr int kPictureHeight = 480;

// One frame's input, as the play screen read it: the pointer in picture pixels, the left button and
// the three keys the play screen acts on; and the one answer the rules take from outside, whether a
// relax game ended with Escape in this frame has a result worth a place in the tables.
struct FrameRecord {
    int16_t mouseX = 0;
    int16_t mouseY = 0;
    bool leftButton = false;
    bool keyP = false;
    bool keyF1 = false;
    bool keyEscape = false;
    bool worthAPlace = false;
    bool operator==(const FrameRecord &) const = default;
};

// How the game began, and the result it reached when the recording ended.
struct Header {
    uint16_t rulesVersion = kRulesVersion;
    uint8_t gameMode = 0;   // 0 60 seconds, 1 5 minutes, 2 race to a million, 3 relax
    uint8_t difficulty = 0; // 0..3
    uint16_t unitScore = 1; // points per unit: 100 in the race to a million, 1 elsewhere
    uint32_t randomSeed = 0;
    uint32_t finalScore = 0; // the score in the last frame
    int32_t result = 0;      // the result the game recorded: the score, or the time in the race
    bool operator==(const Header &) const = default;
};

struct Replay {
    Header header;
    std::vector<FrameRecord> frames;
    bool operator==(const Replay &) const = default;
};

// The file's bytes: the header, then the frames as runs of equal input, the pointer as steps from
// its place in the run before.
std::vector<uint8_t> encode(const Replay &replay);

// Reads a file's bytes. Anything but a whole, well-formed replay of this format is refused with a
// one-line reason: a wrong mark or version, values out of range, a frame count that does not match
// the runs, a pointer off the picture, a short file or bytes left over after the last run.
bool decode(std::span<const uint8_t> bytes, Replay &replay, std::string &why);

} // namespace replay
