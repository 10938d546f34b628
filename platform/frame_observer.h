// The frame observer: a test (or a script) installs a callback that runs at every presented frame.
// It sees the frame number, can read or save the finished back buffer, and sets the input the game
// will see from then on (through platform::Input's scripted state).
#pragma once

#include "platform/input.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace platform {

class Frame {
public:
    explicit Frame(uint64_t number) : number_(number) {}
    // 1 for the first presented frame.
    uint64_t number() const { return number_; }

    // The finished picture, ARGB8888 with opaque alpha, 640x480, top row first.
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
    mutable std::vector<uint32_t> cache_;
};

using FrameObserver = std::function<void(const Frame &frame)>;

// Installs the observer (an empty function removes it). Installing one turns scripted input on, so
// a headless run never reads a real pointer or keyboard.
void setFrameObserver(FrameObserver observer);
// Run by the game window at every flip; returns the frame number.
uint64_t notifyFrame();
uint64_t frameCount();

} // namespace platform
