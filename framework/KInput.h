// KInput: polled keyboard and mouse state, the framework's key names and the event record that the
// window hands to an event callback.
#pragma once

#include <SDL.h>

#include <cstdint>

enum EKeyboardLayout : int32_t {
    K_VK_LEFT,
    K_VK_UP,
    K_VK_DOWN,
    K_VK_RIGHT,
    K_VK_SPACE,
    K_VK_L_SHIFT,
    K_VK_R_SHIFT,
    K_VK_RETURN,
    K_VK_R_CONTROL,
    K_VK_L_CONTROL,
    K_VK_F1,
    K_VK_F2,
    K_VK_F3,
    K_VK_F4,
    K_VK_F5,
    K_VK_F6,
    K_VK_F7,
    K_VK_F8,
    K_VK_F9,
    K_VK_F10,
    K_VK_F11,
    K_VK_F12,
    K_VK_BACK,
    K_VK_TAB,
    K_VK_ESCAPE,
    K_VK_A,
    K_VK_B,
    K_VK_C,
    K_VK_D,
    K_VK_E,
    K_VK_F,
    K_VK_G,
    K_VK_H,
    K_VK_I,
    K_VK_J,
    K_VK_K,
    K_VK_L,
    K_VK_M,
    K_VK_N,
    K_VK_O,
    K_VK_P,
    K_VK_Q,
    K_VK_R,
    K_VK_S,
    K_VK_T,
    K_VK_U,
    K_VK_V,
    K_VK_W,
    K_VK_X,
    K_VK_Y,
    K_VK_Z,
    K_VK_0,
    K_VK_1,
    K_VK_2,
    K_VK_3,
    K_VK_4,
    K_VK_5,
    K_VK_6,
    K_VK_7,
    K_VK_8,
    K_VK_9,
    K_VK_NUM0,
    K_VK_NUM1,
    K_VK_NUM2,
    K_VK_NUM3,
    K_VK_NUM4,
    K_VK_NUM5,
    K_VK_NUM6,
    K_VK_NUM7,
    K_VK_NUM8,
    K_VK_NUM9,
    K_VK_MULTIPLY,
    K_VK_ADD,
    K_VK_SUBTRACT,
    K_VK_DECIMAL,
    K_VK_DIVIDE,
    K_VK_CLEAR,
    K_VK_MENU,
    K_VK_LWIN,
    K_VK_RWIN,
    K_VK_NUMLOCK,
    K_VK_SCROLL,
    K_VK_OEM_1,
    K_VK_OEM_PLUS,
    K_VK_OEM_COMMA,
    K_VK_OEM_MINUS,
    K_VK_OEM_PERIOD,
    K_VK_OEM_2,
    K_VK_OEM_3,
    K_VK_OEM_4,
    K_VK_OEM_5,
    K_VK_OEM_6,
    K_VK_OEM_7,
    K_VK_ERROR,
};

// One key: its name and the SDL keycode that the polling interface knows it by.
struct KeyStroke {
    EKeyboardLayout toucheID;
    SDL_Keycode KeyCode;
};

// Indexed by EKeyboardLayout; the last record (K_VK_ERROR) matches no real key.
extern KeyStroke KeyboardLayout[K_VK_ERROR + 1];

// The kinds of KEvent, with the numbers callbacks have always been given.
enum eKEventType : long {
    kEventOther = 0,
    kEventMouseMove = 1,
    kEventButtonUp = 2,
    kEventButtonDown = 3,
    kEventCharacter = 5,
    kEventKeyDown = 6,
    kEventKeyUp = 7,
    kEventWheel = 11,
};

// What an event callback receives.
struct KEvent {
    long type; // eKEventType
    long mouseX;
    long mouseY;
    long buttonIndex; // 1 left, 2 right, 3 middle
    int16_t wheel;    // signed, 120 per notch
    char character;
    long virtualKey;    // the SDL keycode
    long nativeMessage; // the SDL event type
    EKeyboardLayout zykKey;
    long nativeData; // the SDL scancode for keys, else 0
};

class KInput {
public:
    static void initInput(SDL_Window *hwnd);
    static bool isPressed(EKeyboardLayout keyCode);
    // Returns once the key is up, pumping events meanwhile; gives up when the window is closing.
    static void waitForKeyRelease(EKeyboardLayout keyCode);
    static EKeyboardLayout getZYKKey(long wparam);
    // Pointer position in back-buffer pixels; outside the window it may be negative or too large.
    static short getMouseX();
    static short getMouseY();
    static bool getLeftButtonState();
    static bool getRightButtonState();
    static void setLastWheelValue(short value);
    static void showPointer();
    static void hidePointer();

    static SDL_Window *_hwnd;
    static bool _is9x;
    static int16_t _lastWheelValue;
};
