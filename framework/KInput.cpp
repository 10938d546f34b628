#include "framework/KInput.h"

#include "framework/KWindowD3D.h"
#include "platform/input.h"

// Matches no key SDL reports.
constexpr SDL_Keycode kNoKey = 9999;

// The SDL keycode of each key, in the order of EKeyboardLayout. The menu key is Alt, the Windows keys
// are the GUI keys, and the punctuation keys are those of a US layout in the same places.
KeyStroke KeyboardLayout[K_VK_ERROR + 1] = {
    {K_VK_LEFT, SDLK_LEFT},
    {K_VK_UP, SDLK_UP},
    {K_VK_DOWN, SDLK_DOWN},
    {K_VK_RIGHT, SDLK_RIGHT},
    {K_VK_SPACE, SDLK_SPACE},
    {K_VK_L_SHIFT, SDLK_LSHIFT},
    {K_VK_R_SHIFT, SDLK_RSHIFT},
    {K_VK_RETURN, SDLK_RETURN},
    {K_VK_R_CONTROL, SDLK_RCTRL},
    {K_VK_L_CONTROL, SDLK_LCTRL},
    {K_VK_F1, SDLK_F1},
    {K_VK_F2, SDLK_F2},
    {K_VK_F3, SDLK_F3},
    {K_VK_F4, SDLK_F4},
    {K_VK_F5, SDLK_F5},
    {K_VK_F6, SDLK_F6},
    {K_VK_F7, SDLK_F7},
    {K_VK_F8, SDLK_F8},
    {K_VK_F9, SDLK_F9},
    {K_VK_F10, SDLK_F10},
    {K_VK_F11, SDLK_F11},
    {K_VK_F12, SDLK_F12},
    {K_VK_BACK, SDLK_BACKSPACE},
    {K_VK_TAB, SDLK_TAB},
    {K_VK_ESCAPE, SDLK_ESCAPE},
    {K_VK_A, SDLK_a},
    {K_VK_B, SDLK_b},
    {K_VK_C, SDLK_c},
    {K_VK_D, SDLK_d},
    {K_VK_E, SDLK_e},
    {K_VK_F, SDLK_f},
    {K_VK_G, SDLK_g},
    {K_VK_H, SDLK_h},
    {K_VK_I, SDLK_i},
    {K_VK_J, SDLK_j},
    {K_VK_K, SDLK_k},
    {K_VK_L, SDLK_l},
    {K_VK_M, SDLK_m},
    {K_VK_N, SDLK_n},
    {K_VK_O, SDLK_o},
    {K_VK_P, SDLK_p},
    {K_VK_Q, SDLK_q},
    {K_VK_R, SDLK_r},
    {K_VK_S, SDLK_s},
    {K_VK_T, SDLK_t},
    {K_VK_U, SDLK_u},
    {K_VK_V, SDLK_v},
    {K_VK_W, SDLK_w},
    {K_VK_X, SDLK_x},
    {K_VK_Y, SDLK_y},
    {K_VK_Z, SDLK_z},
    {K_VK_0, SDLK_0},
    {K_VK_1, SDLK_1},
    {K_VK_2, SDLK_2},
    {K_VK_3, SDLK_3},
    {K_VK_4, SDLK_4},
    {K_VK_5, SDLK_5},
    {K_VK_6, SDLK_6},
    {K_VK_7, SDLK_7},
    {K_VK_8, SDLK_8},
    {K_VK_9, SDLK_9},
    {K_VK_NUM0, SDLK_KP_0},
    {K_VK_NUM1, SDLK_KP_1},
    {K_VK_NUM2, SDLK_KP_2},
    {K_VK_NUM3, SDLK_KP_3},
    {K_VK_NUM4, SDLK_KP_4},
    {K_VK_NUM5, SDLK_KP_5},
    {K_VK_NUM6, SDLK_KP_6},
    {K_VK_NUM7, SDLK_KP_7},
    {K_VK_NUM8, SDLK_KP_8},
    {K_VK_NUM9, SDLK_KP_9},
    {K_VK_MULTIPLY, SDLK_KP_MULTIPLY},
    {K_VK_ADD, SDLK_KP_PLUS},
    {K_VK_SUBTRACT, SDLK_KP_MINUS},
    {K_VK_DECIMAL, SDLK_KP_PERIOD},
    {K_VK_DIVIDE, SDLK_KP_DIVIDE},
    {K_VK_CLEAR, SDLK_CLEAR},
    {K_VK_MENU, SDLK_LALT}, // either Alt
    {K_VK_LWIN, SDLK_LGUI},
    {K_VK_RWIN, SDLK_RGUI},
    {K_VK_NUMLOCK, SDLK_NUMLOCKCLEAR},
    {K_VK_SCROLL, SDLK_SCROLLLOCK},
    {K_VK_OEM_1, SDLK_SEMICOLON},
    {K_VK_OEM_PLUS, SDLK_EQUALS},
    {K_VK_OEM_COMMA, SDLK_COMMA},
    {K_VK_OEM_MINUS, SDLK_MINUS},
    {K_VK_OEM_PERIOD, SDLK_PERIOD},
    {K_VK_OEM_2, SDLK_SLASH},
    {K_VK_OEM_3, SDLK_BACKQUOTE},
    {K_VK_OEM_4, SDLK_LEFTBRACKET},
    {K_VK_OEM_5, SDLK_BACKSLASH},
    {K_VK_OEM_6, SDLK_RIGHTBRACKET},
    {K_VK_OEM_7, SDLK_QUOTE},
    {K_VK_ERROR, kNoKey},
};

SDL_Window *KInput::_hwnd = nullptr;
bool KInput::_is9x = false;
int16_t KInput::_lastWheelValue = 0;

void KInput::initInput(SDL_Window *hwnd) {
    _hwnd = hwnd;
    // Every key starts up: scripted keys are released, and SDL's own state starts empty.
    platform::Input::releaseAll();
    // SDL reports left and right shift and control apart everywhere, so no table patch is needed.
    _is9x = false;
}

bool KInput::isPressed(EKeyboardLayout keyCode) {
    if (keyCode < 0 || keyCode > K_VK_ERROR)
        return false;
    platform::Input::pump();
    return platform::Input::isKeyDown(KeyboardLayout[keyCode].KeyCode);
}

void KInput::waitForKeyRelease(EKeyboardLayout keyCode) {
    if (keyCode < 0 || keyCode > K_VK_ERROR)
        return;
    // A scripted press meant for one frame lets go here, as a finger would.
    platform::Input::releaseWaited(KeyboardLayout[keyCode].KeyCode);
    // Events are handled while waiting, so that a close request ends the wait instead of hanging.
    while (isPressed(keyCode)) {
        if (KWindowD3D *window = KWindowD3D::current()) {
            window->processEvents();
            if (window->isQuit())
                return;
        }
        SDL_Delay(1);
    }
}

EKeyboardLayout KInput::getZYKKey(long wparam) {
    for (const KeyStroke &stroke : KeyboardLayout)
        if (stroke.KeyCode == wparam)
            return stroke.toucheID;
    return K_VK_ERROR;
}

short KInput::getMouseX() {
    return static_cast<short>(platform::Input::mouseX());
}
short KInput::getMouseY() {
    return static_cast<short>(platform::Input::mouseY());
}

bool KInput::getLeftButtonState() {
    platform::Input::pump();
    return platform::Input::isButtonDown(platform::MouseButton::Left);
}

bool KInput::getRightButtonState() {
    platform::Input::pump();
    return platform::Input::isButtonDown(platform::MouseButton::Right);
}

void KInput::setLastWheelValue(short value) {
    _lastWheelValue = value;
}

void KInput::showPointer() {
    platform::Input::setPointerVisible(true);
}
void KInput::hidePointer() {
    platform::Input::setPointerVisible(false);
}
