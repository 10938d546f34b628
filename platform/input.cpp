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

// Where a key code sits on a US keyboard: the place a letter is looked for when the layout in use
// has no key for it. Keys outside the character block (arrows, F keys, keypad) carry their place in
// their code.
static SDL_Scancode usScancode(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z)
        return static_cast<SDL_Scancode>(SDL_SCANCODE_A + (key - SDLK_a));
    if (key >= SDLK_1 && key <= SDLK_9)
        return static_cast<SDL_Scancode>(SDL_SCANCODE_1 + (key - SDLK_1));
    if (key & SDLK_SCANCODE_MASK) {
        const int code = key & ~SDLK_SCANCODE_MASK;
        return code > 0 && code < SDL_NUM_SCANCODES ? static_cast<SDL_Scancode>(code) : SDL_SCANCODE_UNKNOWN;
    }
    switch (key) {
    case SDLK_0:
        return SDL_SCANCODE_0;
    case SDLK_RETURN:
        return SDL_SCANCODE_RETURN;
    case SDLK_ESCAPE:
        return SDL_SCANCODE_ESCAPE;
    case SDLK_BACKSPACE:
        return SDL_SCANCODE_BACKSPACE;
    case SDLK_TAB:
        return SDL_SCANCODE_TAB;
    case SDLK_SPACE:
        return SDL_SCANCODE_SPACE;
    case SDLK_MINUS:
        return SDL_SCANCODE_MINUS;
    case SDLK_EQUALS:
        return SDL_SCANCODE_EQUALS;
    case SDLK_LEFTBRACKET:
        return SDL_SCANCODE_LEFTBRACKET;
    case SDLK_RIGHTBRACKET:
        return SDL_SCANCODE_RIGHTBRACKET;
    case SDLK_BACKSLASH:
        return SDL_SCANCODE_BACKSLASH;
    case SDLK_SEMICOLON:
        return SDL_SCANCODE_SEMICOLON;
    case SDLK_QUOTE:
        return SDL_SCANCODE_APOSTROPHE;
    case SDLK_BACKQUOTE:
        return SDL_SCANCODE_GRAVE;
    case SDLK_COMMA:
        return SDL_SCANCODE_COMMA;
    case SDLK_PERIOD:
        return SDL_SCANCODE_PERIOD;
    case SDLK_SLASH:
        return SDL_SCANCODE_SLASH;
    case SDLK_DELETE:
        return SDL_SCANCODE_DELETE;
    default:
        return SDL_SCANCODE_UNKNOWN;
    }
}

// The key that also answers for a key code whatever its side, and the keypad key that stands for it
// while Num Lock is off (unknown when there is none).
struct KeyPartners {
    SDL_Scancode otherSide = SDL_SCANCODE_UNKNOWN;
    SDL_Scancode keypad = SDL_SCANCODE_UNKNOWN;
    bool keypadOnlyWithoutNumLock = false;
};

static KeyPartners partnersOf(SDL_Keycode key) {
    switch (key) {
    case SDLK_LSHIFT:
        return {SDL_SCANCODE_RSHIFT};
    case SDLK_RSHIFT:
        return {SDL_SCANCODE_LSHIFT};
    case SDLK_LCTRL:
        return {SDL_SCANCODE_RCTRL};
    case SDLK_RCTRL:
        return {SDL_SCANCODE_LCTRL};
    case SDLK_LALT:
        return {SDL_SCANCODE_RALT};
    case SDLK_RALT:
        return {SDL_SCANCODE_LALT};
    case SDLK_RETURN:
        return {SDL_SCANCODE_UNKNOWN, SDL_SCANCODE_KP_ENTER};
    case SDLK_LEFT:
        return {SDL_SCANCODE_UNKNOWN, SDL_SCANCODE_KP_4, true};
    case SDLK_RIGHT:
        return {SDL_SCANCODE_UNKNOWN, SDL_SCANCODE_KP_6, true};
    case SDLK_UP:
        return {SDL_SCANCODE_UNKNOWN, SDL_SCANCODE_KP_8, true};
    case SDLK_DOWN:
        return {SDL_SCANCODE_UNKNOWN, SDL_SCANCODE_KP_2, true};
    default:
        return {};
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

SDL_Scancode Input::layoutScancode(SDL_Keycode key) {
    if (!scripted_)
        return SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetScancodeFromKey(key) : SDL_SCANCODE_UNKNOWN;
    for (const auto &[code, produced] : layout_)
        if (produced == key)
            return code;
    const SDL_Scancode us = usScancode(key);
    return layout_.count(us) ? SDL_SCANCODE_UNKNOWN : us;
}

SDL_Scancode Input::scancodeFor(SDL_Keycode key) {
    const SDL_Scancode own = layoutScancode(key);
    return own != SDL_SCANCODE_UNKNOWN ? own : usScancode(key);
}

bool Input::physicalKeyDown(SDL_Scancode code, const Uint8 *state, int count) {
    if (code == SDL_SCANCODE_UNKNOWN)
        return false;
    if (scripted_)
        return pollScripted(keys_, code);
    return code < count && state[code] != 0;
}

bool Input::isKeyDown(SDL_Keycode key) {
    int count = 0;
    const Uint8 *state = nullptr;
    if (!scripted_) {
        if (!SDL_WasInit(SDL_INIT_VIDEO))
            return false;
        state = SDL_GetKeyboardState(&count);
    }
    const KeyPartners partners = partnersOf(key);
    const bool numLock = scripted_ ? numLock_ : (SDL_GetModState() & KMOD_NUM) != 0;
    // Every key that answers is polled, so that each counts one poll of a scripted press.
    bool down = physicalKeyDown(scancodeFor(key), state, count);
    down = physicalKeyDown(partners.otherSide, state, count) || down;
    if (!partners.keypadOnlyWithoutNumLock || !numLock)
        down = physicalKeyDown(partners.keypad, state, count) || down;
    return down;
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
    pressScancode(scancodeFor(key), polls);
}

void Input::releaseKey(SDL_Keycode key) {
    releaseScancode(scancodeFor(key));
}

void Input::pressScancode(SDL_Scancode code, int polls) {
    scripted_ = true;
    keys_[code] = polls < 0 && polls != kOneFrame ? -1 : polls;
}

void Input::releaseScancode(SDL_Scancode code) {
    keys_.erase(code);
}

void Input::setScriptedLayout(const std::map<SDL_Scancode, SDL_Keycode> &differences) {
    layout_ = differences;
}

void Input::setScriptedNumLock(bool on) {
    numLock_ = on;
}

void Input::frameEnded() {
    std::erase_if(keys_, [](const auto &held) { return held.second == kOneFrame; });
}

void Input::releaseWaited(SDL_Keycode key) {
    const KeyPartners partners = partnersOf(key);
    for (SDL_Scancode code : {scancodeFor(key), partners.otherSide, partners.keypad}) {
        auto found = keys_.find(code);
        if (found != keys_.end() && found->second == kOneFrame)
            keys_.erase(found);
    }
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
