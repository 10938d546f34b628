// Recording a game as it is played, and playing a recording back through the same per-frame step,
// without a window, sound or files: the game uses it to show a game again and quorix-verify to prove a
// result.
#pragma once

#include "game/engine.h"
#include "game/replay_file.h"

#include <cstdint>
#include <span>
#include <string>

// The play screen's input as the replay keeps it. The pointer is held to the picture: off it, nothing
// in the play screen answers to it, so the edge stands for anywhere outside.
replay::FrameRecord recordOf(const FrameInput &input, bool worthAPlace);
FrameInput inputOf(const replay::FrameRecord &record);

// Keeps a game's input while it is played; the play screen feeds it the input each step reads.
//
// Between presses the step answers to the pointer only through which of the three buttons it is over
// (the board is read at a press alone), so while the button stays up the pointer is kept only when it
// moves onto another button or off one: a still pointer and one that wanders give the same game, and a
// replay of a 5-minute game takes a few kilobytes instead of a run for every frame the mouse moved.
class ReplayRecorder {
public:
    void begin(const GameSetup &setup);
    // The input of one step, and (for a relax game ended with Escape in it) the judge's answer.
    void add(const FrameInput &input, bool worthAPlace);
    // The replay so far, with the result the game has now.
    replay::Replay finish() const;
    bool recording() const { return recording_; }
    void stop() { recording_ = false; }

private:
    replay::Replay replay_;
    bool recording_ = false;
    bool buttonWasDown_ = false;
};

// Steps a recorded game, one frame per call: the engine then holds the state of that frame.
class ReplayPlayer {
public:
    explicit ReplayPlayer(const replay::Replay &replay);
    ReplayPlayer(const ReplayPlayer &) = delete;
    ReplayPlayer &operator=(const ReplayPlayer &) = delete;
    GameEngine &engine() { return engine_; }
    // Plays the next frame; false when none is left or the game was left before the last one.
    bool step();
    uint32_t framesPlayed() const { return played_; }
    const replay::Replay &replay() const { return replay_; }

private:
    const replay::Replay &replay_;
    GameEngine engine_;
    uint32_t played_ = 0;
};

// What playing a whole replay back gave.
struct PlaybackOutcome {
    bool sound = false; // false: the replay stops making sense at `frame`, for `reason`
    uint32_t frame = 0;
    std::string reason;
    uint32_t frames = 0;
    uint32_t score = 0;
    long result = 0; // the score, or the time in the race to a million
    bool gameOver = false;
};

// Plays a replay to its end. It makes sense when the game is not left before its last frame and ends
// with the score and result the file says it ends with.
PlaybackOutcome playBack(const replay::Replay &replay);

// The verifier's answer line: "mode=… difficulty=… seed=… frames=… score=… result=… over=yes|no".
std::string describeOutcome(const replay::Replay &replay, const PlaybackOutcome &outcome);

// Reads a replay file's bytes and plays it back. Returns true with the answer line, or false with
// "frame N: reason" (frame 0 for a file that is not a whole replay of this format).
bool verifyReplay(std::span<const uint8_t> bytes, std::string &answer);
