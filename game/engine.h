// One game, one frame at a time: the frame's input goes to the three buttons, F1 and the pause, then
// to the board's rules, the clock and the game-over decision, in the play screen's order. The step
// needs no window, sound device or file: the play screen reads the input, plays the sounds the step
// reports (game/game_sounds.h) and draws the state it leaves. Tests and the benchmark drive the same
// step.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

class KGraphicD3D;

// What the play screen reads in one frame, and nothing else: the pointer in picture pixels, the left
// button and the three keys it acts on.
struct FrameInput {
    int16_t mouseX = 0;
    int16_t mouseY = 0;
    bool leftButton = false;
    bool keyP = false;
    bool keyF1 = false;
    bool keyEscape = false;
};

// A button under the board: its rectangle (bounds included), its action and the picture holding its
// highlight, which sits 480 pixels lower.
struct sHotSpot {
    long x1, y1, x2, y2;
    long id; // eHotSpotAction
    KGraphicD3D *surface;
    long dx, dy;
};
enum eHotSpotAction : long { kActionNewGame = 0, kActionHint = 1, kActionExit = 2 };
extern sHotSpot hotspots[3];

// How a game begins: its mode and difficulty, the points per unit and the seed given to srand.
struct GameSetup {
    long gameMode = 0;
    long difficulty = 1;
    long unitScore = 1;
    unsigned int randomSeed = 0;
};

// Where the step stands between two frames. When the step must wait for a key or the button to come up,
// it stops where it is; the steps that still see it down do nothing, and the one that sees it up carries
// on from there. The play screen runs those steps without showing a frame (as a held P, Escape or
// New-game button has always stopped the game); a player without a window feeds them like any other.
enum class ePlayPhase : uint8_t {
    playing,
    pausing,     // P is down: the pause begins once it is up
    paused,      // the board hides and stands, the clock too; the buttons stay live
    resuming,    // P is down again: play resumes once it is up
    newGameHeld, // the New-game button dealt a new game; the rest of the frame runs once it is up
    escapeHeld,  // Escape is down: leaving (or, in relax mode, ending the game) is decided once it is up
    left,        // the player left the game: the play screen returns to the menu
};

class GameEngine {
public:
    // Whether the result _realScore earns a place in the high-score tables: an answer from outside the
    // rules (the tables, the score server) that the play screen supplies. The step asks it only when a
    // relax game is ended with Escape; without a judge no result earns a place.
    using HighScoreJudge = std::function<bool()>;

    explicit GameEngine(HighScoreJudge judge = {}) : judge_(std::move(judge)) {}

    // Starts a game: the game's state (prepareGame), a fresh board and the clock.
    void begin(const GameSetup &setup);
    // Runs one frame on one frame's input. Never blocks.
    void step(const FrameInput &input);

    ePlayPhase phase() const { return phase_; }
    // The frame ran the rules and the clock to their end: the game-over panel moves on with it.
    bool advancedThisFrame() const { return advanced_; }
    // The frame shows the pause panel over the board.
    bool showsPause() const;

    // The board's input step: a press on a still board of a game that is not over selects or swaps;
    // an exhausted board is replaced (outside relax mode) before input is read. Always false.
    bool doInput(const FrameInput &input);
    // The three buttons under the board: New game, Hint and Exit, one action per press.
    void handleInterface(const FrameInput &input);

private:
    void playFrame(const FrameInput &input);
    void playFrameFromRules(const FrameInput &input);
    void finishPlayFrame(const FrameInput &input);
    void pauseFrame(const FrameInput &input);
    void decideEscape();

    HighScoreJudge judge_;
    ePlayPhase phase_ = ePlayPhase::playing;
    // Where a New-game press held in the pause returns to.
    ePlayPhase afterNewGame_ = ePlayPhase::playing;
    bool advanced_ = false;
    bool oldButton = false; // the left button in the last frame, for the board
    bool oldbt = false;     // the same, for the buttons
};
