// The frame observer: a test (or a script) installs a callback that runs at the end of every frame.
// It sees the frame number, can read or save the finished picture, and sets the input the game will
// see from then on (through platform::Input's scripted state).
#pragma once

#include "platform/input.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace platform {

class Frame {
public:
    Frame(uint64_t number, bool drawn) : number_(number), drawn_(drawn) {}
    // 1 for the first frame.
    uint64_t number() const { return number_; }
    // False when the frame was left out, its picture being the one already on screen.
    bool drawn() const { return drawn_; }

    // The finished picture as the player sees it (with the pointer where the system shows it),
    // ARGB8888 with opaque alpha, 640x480, top row first.
    std::vector<uint32_t> pixels() const;
    uint32_t pixel(int x, int y) const;
    bool savePNG(const char *path) const;

    // Input for what follows this frame.
    void setMouse(int x, int y) const { Input::setMouse(x, y); }
    void pressKey(SDL_Keycode key, int polls = -1) const { Input::pressKey(key, polls); }
    void releaseKey(SDL_Keycode key) const { Input::releaseKey(key); }
    void pressButton(MouseButton button, int polls = -1) const { Input::pressButton(button, polls); }
    void releaseButton(MouseButton button) const { Input::releaseButton(button); }

private:
    uint64_t number_;
    bool drawn_;
    mutable std::vector<uint32_t> cache_;
};

using FrameObserver = std::function<void(const Frame &frame)>;

// Installs the observer (an empty function removes it). Installing one turns scripted input on, so
// a headless run never reads a real pointer or keyboard.
void setFrameObserver(FrameObserver observer);
// Run by the game window at the end of every frame, drawn or not; returns the frame number.
uint64_t notifyFrame(bool drawn);
uint64_t frameCount();

} // namespace platform
