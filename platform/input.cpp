#include "platform/input.h"

#include "platform/display.h"
#include "platform/pointer.h"

#include <cmath>

namespace platform {

void Input::pump() {
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return;
    // The polls of one frame follow each other within microseconds: one look at the window system's
    // queue per millisecond serves them all, and each look costs a round of system calls.
    const Uint64 now = SDL_GetTicks64();
    if (now == lastPump_)
        return;
    lastPump_ = now;
    SDL_PumpEvents();
}

static SDL_Keycode partnerKey(SDL_Keycode key) {
    switch (key) {
    case SDLK_LSHIFT:
        return SDLK_RSHIFT;
    case SDLK_RSHIFT:
        return SDLK_LSHIFT;
    case SDLK_LCTRL:
        return SDLK_RCTRL;
    case SDLK_RCTRL:
        return SDLK_LCTRL;
    default:
        return key;
    }
}

bool Input::pollScripted(std::map<int, int> &held, int id) {
    auto found = held.find(id);
    if (found == held.end())
        return false;
    if (found->second < 0)
        return true;
    if (found->second == 0) {
        held.erase(found);
        return false;
    }
    --found->second;
    return true;
}

bool Input::isKeyDown(SDL_Keycode key) {
    SDL_Keycode partner = partnerKey(key);
    if (scripted_) {
        bool down = pollScripted(keys_, key);
        if (partner != key)
            down = pollScripted(keys_, partner) || down;
        return down;
    }
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return false;
    int count = 0;
    const Uint8 *state = SDL_GetKeyboardState(&count);
    auto held = [&](SDL_Keycode k) {
        SDL_Scancode code = SDL_GetScancodeFromKey(k);
        return code != SDL_SCANCODE_UNKNOWN && code < count && state[code] != 0;
    };
    return held(key) || (partner != key && held(partner));
}

bool Input::isButtonDown(MouseButton button) {
    if (scripted_)
        return pollScripted(buttons_, static_cast<int>(button));
    const int index = button == MouseButton::Left ? 0 : 1;
    if (latched_[index]) {
        reported_[index] = true;
        return true;
    }
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return false;
    Uint32 state = SDL_GetGlobalMouseState(nullptr, nullptr);
    return (state & SDL_BUTTON(button == MouseButton::Left ? SDL_BUTTON_LEFT : SDL_BUTTON_RIGHT)) != 0;
}

void Input::notePress(MouseButton button) {
    const int index = button == MouseButton::Left ? 0 : 1;
    latched_[index] = true;
    reported_[index] = false;
}

void Input::beginEventBatch() {
    for (int index = 0; index < 2; index++) {
        if (latched_[index] && reported_[index])
            latched_[index] = reported_[index] = false;
    }
}

// The pointer position relative to the window, in back-buffer pixels. Over the window SDL knows it
// directly; elsewhere it comes from the desktop position minus the window's, so that positions
// outside the window go on beyond the edges (where the desktop tells it at all).
static void realMouse(int &x, int &y) {
    x = y = 0;
    SDL_Window *window = Display::window();
    if (window == nullptr)
        return;
    int pointerX = 0, pointerY = 0;
    if (SDL_GetMouseFocus() == window) {
        SDL_GetMouseState(&pointerX, &pointerY);
    } else {
        int windowX = 0, windowY = 0;
        SDL_GetGlobalMouseState(&pointerX, &pointerY);
        SDL_GetWindowPosition(window, &windowX, &windowY);
        pointerX -= windowX;
        pointerY -= windowY;
    }
    SDL_FRect shown = Display::shownRect();
    float scaleX = shown.w / Display::width(), scaleY = shown.h / Display::height();
    x = static_cast<int>(std::floor((pointerX - shown.x) / scaleX));
    y = static_cast<int>(std::floor((pointerY - shown.y) / scaleY));
}

int Input::mouseX() {
    if (scripted_)
        return scriptX_;
    int x, y;
    realMouse(x, y);
    return x;
}

int Input::mouseY() {
    if (scripted_)
        return scriptY_;
    int x, y;
    realMouse(x, y);
    return y;
}

void Input::setPointerVisible(bool visible) {
    Pointer::showArrow(visible);
}

bool Input::pointerVisible() {
    return Pointer::arrowShown();
}

void Input::setScripted(bool scripted) {
    scripted_ = scripted;
}

void Input::setMouse(int x, int y) {
    scripted_ = true;
    scriptX_ = x;
    scriptY_ = y;
}

void Input::pressKey(SDL_Keycode key, int polls) {
    scripted_ = true;
    keys_[key] = polls < 0 ? -1 : polls;
}

void Input::releaseKey(SDL_Keycode key) {
    keys_.erase(key);
}

void Input::pressButton(MouseButton button, int polls) {
    scripted_ = true;
    buttons_[static_cast<int>(button)] = polls < 0 ? -1 : polls;
}

void Input::releaseButton(MouseButton button) {
    buttons_.erase(static_cast<int>(button));
}

void Input::releaseAll() {
    keys_.clear();
    buttons_.clear();
}

} // namespace platform
