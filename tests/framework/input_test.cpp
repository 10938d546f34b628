#include "framework/KInput.h"
#include "platform/input.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <map>

using namespace testsupport;
using platform::Input;

namespace {

class ScriptedInput : public ::testing::Test {
protected:
    void SetUp() override {
        window();
        Input::releaseAll();
        Input::setScripted(true);
    }
    void TearDown() override {
        Input::releaseAll();
        Input::setScripted(false);
        Input::setScriptedLayout({});
        Input::setScriptedNumLock(false);
        window()._quit = false;
    }
};

// Keys are found by their place on the keyboard: the layout's own key for a letter, or the key in its
// US place when the layout has none; a key stands for itself whatever its side or pad, and either
// Shift or Control answers for both.
TEST_F(ScriptedInput, KeysAnswerByLayoutPlaceSideAndPad) {
    std::map<SDL_Scancode, SDL_Keycode> russian;
    const char *cyrillic[] = {"ф", "и", "с", "в", "у", "а", "п", "р", "ш", "о", "л", "д", "ь",
                              "т", "щ", "з", "й", "к", "ы", "е", "г", "м", "ц", "ч", "н", "я"};
    for (int letter = 0; letter < 26; letter++) {
        // The Unicode code point of each letter is its key code.
        const auto *bytes = reinterpret_cast<const unsigned char *>(cyrillic[letter]);
        russian[SDL_Scancode(SDL_SCANCODE_A + letter)] = ((bytes[0] & 0x1F) << 6) | (bytes[1] & 0x3F);
    }
    const std::map<SDL_Scancode, SDL_Keycode> us,
        qwertz = {{SDL_SCANCODE_Y, SDLK_z}, {SDL_SCANCODE_Z, SDLK_y}},
        azerty = {{SDL_SCANCODE_Q, SDLK_a}, {SDL_SCANCODE_A, SDLK_q},         {SDL_SCANCODE_W, SDLK_z},
                  {SDL_SCANCODE_Z, SDLK_w}, {SDL_SCANCODE_SEMICOLON, SDLK_m}, {SDL_SCANCODE_M, SDLK_COMMA}};
    const struct {
        const char *what;
        const std::map<SDL_Scancode, SDL_Keycode> &layout;
        SDL_Scancode pressed;
        bool numLock;
        EKeyboardLayout key;
        bool answers;
    } cases[] = {
        {"US P", us, SDL_SCANCODE_P, true, K_VK_P, true},
        {"Cyrillic: P's place", russian, SDL_SCANCODE_P, true, K_VK_P, true},
        {"Cyrillic: A's place", russian, SDL_SCANCODE_A, true, K_VK_A, true},
        {"AZERTY: the key labelled A", azerty, SDL_SCANCODE_Q, true, K_VK_A, true},
        {"AZERTY: US A place is Q", azerty, SDL_SCANCODE_A, true, K_VK_Q, true},
        {"AZERTY: M beside L", azerty, SDL_SCANCODE_SEMICOLON, true, K_VK_M, true},
        {"AZERTY: US M place is not M", azerty, SDL_SCANCODE_M, true, K_VK_M, false},
        {"QWERTZ: Y", qwertz, SDL_SCANCODE_Z, true, K_VK_Y, true},
        {"QWERTZ: Z", qwertz, SDL_SCANCODE_Y, true, K_VK_Z, true},
        {"keypad Enter", us, SDL_SCANCODE_KP_ENTER, true, K_VK_RETURN, true},
        {"keypad 4 without Num Lock", us, SDL_SCANCODE_KP_4, false, K_VK_LEFT, true},
        {"keypad 4 with Num Lock", us, SDL_SCANCODE_KP_4, true, K_VK_LEFT, false},
        {"keypad 4 with Num Lock is 4", us, SDL_SCANCODE_KP_4, true, K_VK_NUM4, true},
        {"right Alt", us, SDL_SCANCODE_RALT, true, K_VK_MENU, true},
        {"right Alt is no shift", us, SDL_SCANCODE_RALT, true, K_VK_R_SHIFT, false},
        {"right Shift is left Shift", us, SDL_SCANCODE_RSHIFT, true, K_VK_L_SHIFT, true},
        {"right Shift is no Control", us, SDL_SCANCODE_RSHIFT, true, K_VK_L_CONTROL, false},
        {"left Control is right Control", us, SDL_SCANCODE_LCTRL, true, K_VK_R_CONTROL, true},
        {"nothing is the end mark", us, SDL_SCANCODE_LCTRL, true, K_VK_ERROR, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Input::setScriptedLayout(c.layout);
        Input::setScriptedNumLock(c.numLock);
        Input::pressScancode(c.pressed);
        EXPECT_EQ(KInput::isPressed(c.key), c.answers);
        Input::releaseAll();
        EXPECT_FALSE(KInput::isPressed(c.key));
    }
}

// A click whose press and release both arrive between two frames still counts as one press: held for
// every poll until the window's next batch of events, then up; a press nobody asked about yet survives
// a batch of events with nothing in it. Nothing else is held on a headless window.
TEST(RealInput, AClickShorterThanAFrameIsNotLost) {
    KWindowD3D &game = window();
    Input::setScripted(false);
    EXPECT_FALSE(KInput::isPressed(K_VK_SPACE));
    for (Uint8 button : {Uint8(SDL_BUTTON_LEFT), Uint8(SDL_BUTTON_RIGHT)})
        for (bool releasedAtOnce : {true, false}) {
            SCOPED_TRACE(testing::Message()
                         << "button " << int(button) << (releasedAtOnce ? ", released" : ""));
            auto held = button == SDL_BUTTON_LEFT ? KInput::getLeftButtonState : KInput::getRightButtonState;
            SDL_Event event{};
            event.button = {SDL_MOUSEBUTTONDOWN, 0, 0, 0, button, SDL_PRESSED, 1, 0, 0, 0};
            SDL_PushEvent(&event);
            event.button.type = SDL_MOUSEBUTTONUP;
            event.button.state = SDL_RELEASED;
            if (releasedAtOnce)
                SDL_PushEvent(&event);
            game.processEvents();
            if (!releasedAtOnce)
                game.processEvents();
            EXPECT_TRUE(held());
            EXPECT_TRUE(held()) << "every control polled in the frame sees the press";
            game.processEvents();
            EXPECT_FALSE(held());
        }
}

} // namespace
