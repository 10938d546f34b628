// A game played by a bot through the play screen's per-frame step and recorded as the play screen
// records it, with the state of every frame, for tests of replays and of verified scores.
#pragma once

#include "game/board.h"
#include "game/engine.h"
#include "game/replay_playback.h"
#include "game/rules.h"
#include "game/sheet_layout.h"
#include "legal_moves.h"

#include <algorithm>
#include <random>
#include <vector>

// Everything the rules carry from one frame to the next, folded into one number.
inline uint64_t frameState() {
    uint64_t hash = 1469598103934665603ull;
    auto mix = [&](const void *data, size_t size) {
        const auto *bytes = static_cast<const uint8_t *>(data);
        for (size_t i = 0; i < size; ++i)
            hash = (hash ^ bytes[i]) * 1099511628211ull;
    };
    for (const sToken &cell : tokenTable) {
        for (const float value :
             {cell.dx, cell.dy, cell.fally, cell.fade, cell.fadeSpeed, cell.sinus, cell.sinusSpeed})
            mix(&value, sizeof(value));
        for (const long value :
             {long{cell.color}, long{cell.bonus}, long{cell.speedX}, long{cell.speedY}, long{cell.alive},
              long{cell.selected}, long{cell.beingSwapped}, long{cell.bonusType}})
            mix(&value, sizeof(value));
    }
    for (const long value : {long{score}, _realScore, gameTimer, subTimer, long{gameOver}})
        mix(&value, sizeof(value));
    mix(&gameOverFade, sizeof(gameOverFade));
    return hash;
}

// A player who moves the pointer about, plays a legal move whenever the board is still, asks for a
// hint now and then, pauses once, and in relax mode ends the game with Escape. Between two clicks it
// waits fewer than maxWaitFrames frames: 12 is far faster than any person, 90 a quick player's pace.
class BotPlayer {
public:
    explicit BotPlayer(unsigned seed, unsigned maxWaitFrames = 12) : random_(seed), maxWait_(maxWaitFrames) {}

    FrameInput next(long frame, long lastFrame) {
        FrameInput input;
        input.mouseX = static_cast<int16_t>(x_);
        input.mouseY = static_cast<int16_t>(y_);
        if (frame == 300 || frame == 301)
            input.keyP = true; // a pause of a few frames
        if (frame >= 303 && frame <= 304)
            input.keyP = true;
        if (frame >= lastFrame - 4 && frame < lastFrame - 2)
            input.keyEscape = true; // down and up again: a relax game ends

        if (pressFrames_ > 0) {
            input.leftButton = true;
            --pressFrames_;
            return input;
        }
        if (waitFrames_ > 0) {
            --waitFrames_;
            // Wander off the picture and back while waiting: the edge stands for outside.
            x_ += static_cast<long>(random_() % 41) - 20;
            y_ += static_cast<long>(random_() % 41) - 20;
            input.mouseX = static_cast<int16_t>(x_ = std::clamp<long>(x_, -30, 670));
            input.mouseY = static_cast<int16_t>(y_ = std::clamp<long>(y_, -30, 510));
            return input;
        }
        waitFrames_ = random_() % maxWait_;
        pressFrames_ = 1 + random_() % 3;
        const std::vector<LegalMove> moves = legalMoves();
        if (random_() % 40 == 0 || moves.empty()) {
            x_ = layout::kPlayButtons[1].area.x1 + 5; // the hint button
            y_ = layout::kPlayButtons[1].area.y1 + 5;
        } else {
            const LegalMove &move = moves[random_() % moves.size()];
            const bool second = clicks_++ % 2 == 1;
            x_ = layout::kBoardOrigin.x + (second ? move.x2 : move.x1) * layout::kCellSize + 21;
            y_ = layout::kBoardOrigin.y + (second ? move.y2 : move.y1) * layout::kCellSize + 21;
        }
        input.mouseX = static_cast<int16_t>(x_);
        input.mouseY = static_cast<int16_t>(y_);
        input.leftButton = true;
        return input;
    }

private:
    std::mt19937 random_;
    unsigned maxWait_;
    long x_ = 320, y_ = 240;
    unsigned waitFrames_ = 0, pressFrames_ = 0, clicks_ = 0;
};

struct Recorded {
    replay::Replay game;
    std::vector<uint64_t> states;
};

// Plays a game as the play screen does, recording it; in relax mode the judge says yes.
inline Recorded playAndRecord(long mode, long difficulty, unsigned seed, long frames,
                              unsigned maxWaitFrames = 12) {
    bool judged = false;
    GameEngine engine([&] { return judged = true; });
    ReplayRecorder recorder;
    const GameSetup setup{mode, difficulty, unitScoreForMode(mode), seed};
    engine.begin(setup);
    recorder.begin(setup);
    BotPlayer bot(seed, maxWaitFrames);
    Recorded recorded;
    for (long frame = 0; frame < frames && engine.phase() != ePlayPhase::left; ++frame) {
        // What the play screen does with the input: the recording's own, pointer held to the picture.
        const FrameInput input = inputOf(recordOf(bot.next(frame, frames), false));
        judged = false;
        engine.step(input);
        recorder.add(input, judged);
        recorded.states.push_back(frameState());
        if (gameOver && mode != kModeRelax && frame > 0 && recorded.states.size() > 60 &&
            gameOverFade >= 1.0f)
            break; // the result is taken once the panel has grown
    }
    recorded.game = recorder.finish();
    return recorded;
}

// The same input but for the first click, which the player never made.
inline void leaveOutFirstClick(replay::Replay &game) {
    auto press =
        std::find_if(game.frames.begin(), game.frames.end(), [](const auto &f) { return f.leftButton; });
    for (; press != game.frames.end() && press->leftButton; ++press)
        press->leftButton = false;
}
