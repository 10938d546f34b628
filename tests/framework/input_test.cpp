#include "framework/KInput.h"
#include "platform/input.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

using namespace testsupport;
using platform::Input;

namespace {

// Keys are found by their place on the keyboard: the layout's own key for a letter, or the key in its
// US place when the layout has none; a key stands for itself whatever its side or pad, and either
// Shift or Control answers for both.
TEST(ScriptedInput, KeysAnswerByLayoutPlaceSideAndPad) {
    window();
    Input::setScripted(true);
    using Layout = std::map<SDL_Scancode, SDL_Keycode>;
    const Layout us,
        russian = {{SDL_SCANCODE_P, 0x437}}, // the Russian P key types a Cyrillic ze
        qwertz = {{SDL_SCANCODE_Y, SDLK_z}, {SDL_SCANCODE_Z, SDLK_y}},
        azerty = {{SDL_SCANCODE_Q, SDLK_a}, {SDL_SCANCODE_A, SDLK_q},         {SDL_SCANCODE_W, SDLK_z},
                  {SDL_SCANCODE_Z, SDLK_w}, {SDL_SCANCODE_SEMICOLON, SDLK_m}, {SDL_SCANCODE_M, SDLK_COMMA}};
    // What is pressed, on which layout and with Num Lock or not; the key asked about; whether it answers.
    const std::tuple<const char *, const Layout &, SDL_Scancode, bool, EKeyboardLayout, bool> cases[] = {
        {"US P", us, SDL_SCANCODE_P, true, K_VK_P, true},
        {"Cyrillic: P's place", russian, SDL_SCANCODE_P, true, K_VK_P, true},
        {"AZERTY: the key labelled A", azerty, SDL_SCANCODE_Q, true, K_VK_A, true},
        {"AZERTY: US A place is Q", azerty, SDL_SCANCODE_A, true, K_VK_Q, true},
        {"AZERTY: M beside L", azerty, SDL_SCANCODE_SEMICOLON, true, K_VK_M, true},
        {"AZERTY: US M place is not M", azerty, SDL_SCANCODE_M, true, K_VK_M, false},
        {"QWERTZ: Y", qwertz, SDL_SCANCODE_Z, true, K_VK_Y, true},
        {"keypad Enter", us, SDL_SCANCODE_KP_ENTER, true, K_VK_RETURN, true},
        {"keypad 4 without Num Lock", us, SDL_SCANCODE_KP_4, false, K_VK_LEFT, true},
        {"keypad 4 with Num Lock", us, SDL_SCANCODE_KP_4, true, K_VK_LEFT, false},
        {"keypad 4 with Num Lock is 4", us, SDL_SCANCODE_KP_4, true, K_VK_NUM4, true},
        {"right Alt", us, SDL_SCANCODE_RALT, true, K_VK_MENU, true},
        {"right Shift is left Shift", us, SDL_SCANCODE_RSHIFT, true, K_VK_L_SHIFT, true},
        {"right Shift is no Control", us, SDL_SCANCODE_RSHIFT, true, K_VK_L_CONTROL, false},
        {"left Control is right Control", us, SDL_SCANCODE_LCTRL, true, K_VK_R_CONTROL, true},
        {"nothing is the end mark", us, SDL_SCANCODE_LCTRL, true, K_VK_ERROR, false},
    };
    for (const auto &[what, layout, pressed, numLock, key, answers] : cases) {
        SCOPED_TRACE(what);
        Input::setScriptedLayout(layout);
        Input::setScriptedNumLock(numLock);
        Input::pressScancode(pressed);
        EXPECT_EQ(KInput::isPressed(key), answers);
        Input::releaseAll();
        EXPECT_FALSE(KInput::isPressed(key));
    }
    Input::setScripted(false);
    Input::setScriptedLayout({});
    Input::setScriptedNumLock(false);
}

// A click whose press and release both arrive between two frames still counts as one press: held for
// every poll until the window's next batch of events, then up; a press nobody asked about yet survives
// a batch of events with nothing in it. Nothing else is held on a headless window.
TEST(RealInput, AClickShorterThanAFrameIsNotLost) {
    window();
    Input::setScripted(false);
    EXPECT_FALSE(KInput::isPressed(K_VK_SPACE));
    for (int round = 0; round < 4; ++round) {
        const bool right = round & 1, releasedAtOnce = round & 2;
        SCOPED_TRACE(testing::Message()
                     << (right ? "right" : "left") << (releasedAtOnce ? ", released" : ""));
        auto held = right ? KInput::getRightButtonState : KInput::getLeftButtonState;
        const Uint8 button = right ? SDL_BUTTON_RIGHT : SDL_BUTTON_LEFT;
        SDL_Event down{.button = {SDL_MOUSEBUTTONDOWN, 0, 0, 0, button, SDL_PRESSED, 1, 0, 0, 0}},
            up{.button = {SDL_MOUSEBUTTONUP, 0, 0, 0, button, SDL_RELEASED, 1, 0, 0, 0}};
        SDL_PushEvent(&down);
        if (releasedAtOnce)
            SDL_PushEvent(&up);
        for (int batch = releasedAtOnce ? 1 : 2; batch > 0; --batch)
            window().processEvents();
        EXPECT_TRUE(held() && held()) << "every control polled in the frame sees the press";
        window().processEvents();
        EXPECT_FALSE(held());
    }
}

} // namespace
