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

    // Is the key with this SDL keycode held down? The key is found by its place on the keyboard: the
    // current layout's own key for it, or, when the layout has none (a Cyrillic or Greek layout has no
    // "a"), the key in its place on a US keyboard. A key code stands for a key whatever its side or
    // pad: left and right shift, control and Alt answer for either key, Return for keypad Enter too,
    // and the arrows for the keypad's 4, 6, 8 and 2 while Num Lock is off. Each question counts as one
    // poll for a scripted press with a poll limit.
    static bool isKeyDown(SDL_Keycode key);
    // The physical key that produces this key code: the layout's own, else its US place.
    static SDL_Scancode scancodeFor(SDL_Keycode key);
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
    // A press of the key that produces this key code in the scripted layout. It lasts until released,
    // releases itself after the given number of polls, or, with kOneFrame, is held for every poll of
    // the next frame (so that every reader of that frame sees it) and lets go when that frame has
    // been presented or as soon as the game waits for its release.
    static constexpr int kOneFrame = -2;
    static void pressKey(SDL_Keycode key, int polls = -1);
    static void releaseKey(SDL_Keycode key);
    // The same for a physical key, whatever the layout makes of it.
    static void pressScancode(SDL_Scancode code, int polls = -1);
    static void releaseScancode(SDL_Scancode code);
    // The keyboard layout of the script: the keys whose key codes differ from a US keyboard (an
    // AZERTY "a" on the US "q" key, a Cyrillic letter on every letter key). Empty is a US keyboard.
    static void setScriptedLayout(const std::map<SDL_Scancode, SDL_Keycode> &differences);
    static void setScriptedNumLock(bool on);
    // Called when a frame has been presented, and when the game starts waiting for a key's release:
    // one-frame presses (of that key) let go.
    static void frameEnded();
    static void releaseWaited(SDL_Keycode key);
    static void pressButton(MouseButton button, int polls = -1);
    static void releaseButton(MouseButton button);
    // Releases every scripted key and button.
    static void releaseAll();

private:
    static bool pollScripted(std::map<int, int> &held, int id);
    static SDL_Scancode layoutScancode(SDL_Keycode key);
    static bool physicalKeyDown(SDL_Scancode code, const Uint8 *state, int count);

    static inline Uint64 lastPump_ = 0;
    static inline bool latched_[2] = {false, false};
    static inline bool reported_[2] = {false, false};
    static inline bool scripted_ = false;
    static inline int scriptX_ = 0, scriptY_ = 0;
    // held physical key or button -> polls left (-1: until released, kOneFrame: for one frame)
    static inline std::map<int, int> keys_;
    static inline std::map<SDL_Scancode, SDL_Keycode> layout_;
    static inline bool numLock_ = false;
    static inline std::map<int, int> buttons_;
};

} // namespace platform
