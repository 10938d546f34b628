// Keyboard and mouse state as the game polls it. Normally the real state from SDL; a test script
// (the frame observer) can take over, and then the scripted state is all the game sees, including
// inside loops that wait for a release without presenting a frame.
#pragma once

#include <SDL.h>

#include <map>

namespace platform {

enum class MouseButton { Left, Right };

class Input {
public:
    // Brings the window system's pending events into SDL's queue and state, at most once a millisecond.
    static void pump();

    // Is the key with this SDL keycode held down? Left and right shift (and control) answer for
    // either key. Each question counts as one poll for a scripted press with a poll limit.
    static bool isKeyDown(SDL_Keycode key);
    static bool isButtonDown(MouseButton button);
    // Pointer position in back-buffer pixels; outside the window the values go on beyond the edges.
    static int mouseX();
    static int mouseY();

    // A click shorter than a frame (a touchpad tap) would fall between two polls of the button. A press
    // met among the window's events therefore counts as held until the batch of events that follows
    // its first report, so every control polled in that frame sees it.
    static void notePress(MouseButton button);
    // Called as the window starts handling a batch of events: forgets presses already reported.
    static void beginEventBatch();

    // Shows or hides the system pointer over the window (hidden, the game's own pointer picture may
    // take its place: see platform/pointer.h).
    static void setPointerVisible(bool visible);
    static bool pointerVisible();

    // ---- scripted input ----
    // Once scripting is on, real input is ignored until it is turned off.
    static void setScripted(bool scripted);
    static bool scripted() { return scripted_; }
    static void setMouse(int x, int y);
    // A press that lasts until released, or that releases itself after the given number of polls.
    static void pressKey(SDL_Keycode key, int polls = -1);
    static void releaseKey(SDL_Keycode key);
    static void pressButton(MouseButton button, int polls = -1);
    static void releaseButton(MouseButton button);
    // Releases every scripted key and button.
    static void releaseAll();

private:
    static bool pollScripted(std::map<int, int> &held, int id);

    static inline Uint64 lastPump_ = 0;
    static inline bool latched_[2] = {false, false};
    static inline bool reported_[2] = {false, false};
    static inline bool scripted_ = false;
    static inline int scriptX_ = 0, scriptY_ = 0;
    // held key or button -> polls left (-1: until released)
    static inline std::map<int, int> keys_;
    static inline std::map<int, int> buttons_;
};

} // namespace platform
