// End-to-end runs of the whole program: a private copy of the data folder, the program run in a child
// process under a script of inputs, and a director that plays the script frame by frame.
#pragma once

#include <SDL.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "game/sheet_layout.h"
#include "platform/frame_observer.h"

namespace e2e {

// A program folder of its own: data/ holds links to the generated pictures, sounds and music, and
// the files the game writes (prefs.raw, data/s60, ...) land in it for real.
class ProgramFolder {
public:
    ProgramFolder();
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder &) = delete;
    ProgramFolder &operator=(const ProgramFolder &) = delete;

    const std::string &root() const { return root_; }
    std::string path(const std::string &name) const { return root_ + "/" + name; }
    bool exists(const std::string &name) const;
    std::vector<unsigned char> read(const std::string &name) const;
    void write(const std::string &name, const std::vector<unsigned char> &bytes) const;
    // Replaces a linked folder of the data with a real, empty one (to damage or change what it holds).
    void unlinkData(const std::string &folder) const;

private:
    std::string root_;
};

// Runs the body in a child process (the game is global state) and returns once it ends. The child's
// test failures are reported here; a child that runs longer than the limit is killed and fails.
void runInChild(const std::function<void()> &body, int timeLimitSeconds = 240);

// Plays a script against the running program, one step after the other, from the frame observer.
class Director {
public:
    using Condition = std::function<bool()>;
    using Action = std::function<void(const platform::Frame &)>;

    // Does nothing for a number of frames.
    Director &wait(int frames);
    // Waits until the condition holds; fails the run (and closes the window) after maxFrames.
    Director &waitUntil(const std::string &what, Condition condition, int maxFrames = 2000);
    // Moves the pointer there and presses the left (or right) button. The press is held for two
    // frames, or, for controls that wait for the release without presenting a frame, lasts the given
    // number of polls of the button.
    Director &click(int x, int y, int polls = -1, bool rightButton = false);
    // Moves the pointer there and keeps it there.
    Director &point(int x, int y);
    // A key press held for every read of the next frame, let go once that frame is out or as soon as
    // the game waits for its release; or one that lasts the given number of polls.
    Director &key(SDL_Keycode key, int polls = platform::Input::kOneFrame);
    // Types lower-case letters and spaces, one key per frame.
    Director &type(const std::string &text);
    // Anything else, once.
    Director &act(Action action);
    // Plays legal moves by clicking cells until the condition holds.
    Director &playUntil(const std::string &what, Condition condition, int maxFrames);
    // Asks the window to close, as its close button does.
    Director &closeWindow();
    // Runs at every frame, before the script's step.
    void watch(Action watcher) { watcher_ = std::move(watcher); }
    // The random seed of the run's first game; the games after it take the next numbers.
    Director &seed(unsigned int firstSeed) {
        firstSeed_ = firstSeed;
        return *this;
    }

    // Runs the program from the launcher to its end under this script.
    void run(int maxFrames = 200000);
    // Frames seen, and the failures met (empty when all went as planned).
    uint64_t frames() const { return frames_; }
    // The longest wall-clock time between two frames of the run, in seconds: how long the game stood.
    double longestFrameGap() const { return longestGap_; }
    const std::vector<std::string> &failures() const { return failures_; }

private:
    struct Step {
        std::string what;
        // Called once per frame until it answers true.
        std::function<bool(const platform::Frame &, int framesInStep)> run;
    };
    void onFrame(const platform::Frame &frame);
    void fail(const std::string &message);

    std::vector<Step> steps_;
    Action watcher_;
    unsigned int firstSeed_ = 1;
    size_t current_ = 0;
    int framesInStep_ = 0;
    uint64_t frames_ = 0;
    int maxFrames_ = 0;
    std::chrono::steady_clock::time_point lastFrame_{};
    double longestGap_ = 0;
    std::vector<std::string> failures_;
};

// The middle of a mouse area.
int centreX(const layout::Box &box);
int centreY(const layout::Box &box);
// Where the program is: the menu on screen, a game under way, a board at rest (nothing moving,
// fading or about to vanish).
bool menuShown();
// The menu on screen and done spinning in: it takes input.
bool menuReady();
// The game under way shows the pause panel.
bool gamePaused();
// The name entry has taken the name and closed.
bool nameEntryClosed();
bool gameRunning();
bool boardStill();

// Screen positions of the board's cells.
int cellX(long x);
int cellY(long y);

// Captured frames: an ARGB picture of 640x480 and the tests on it.
using Picture = std::vector<uint32_t>;
inline uint32_t rgbAt(const Picture &picture, int x, int y) {
    return picture[size_t(y) * 640 + x] & 0xFFFFFF;
}
// How many pixels differ between two pictures inside a rectangle (x2, y2 excluded).
long differingPixels(const Picture &a, const Picture &b, int x1, int y1, int x2, int y2);

} // namespace e2e
