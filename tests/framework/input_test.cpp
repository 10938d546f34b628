#include "framework/KInput.h"
#include "framework/KWindowD3D.h"
#include "platform/input.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <map>

using namespace testsupport;
using platform::Input;

namespace {

// Every key of the layout table has a code of its own, and that code leads back to the key.
TEST(KeyNames, EveryKeyCodeLeadsBackToItsKey) {
    for (int i = 0; i <= K_VK_ERROR; ++i)
        ASSERT_EQ(KeyboardLayout[i].toucheID, i);
    for (int i = 0; i < K_VK_ERROR; ++i)
        EXPECT_EQ(KInput::getZYKKey(KeyboardLayout[i].KeyCode), i) << "key " << i;
    for (long code : {long(SDLK_CAPSLOCK), -1L, 9999L}) // 9999: the end mark's code is no key
        EXPECT_EQ(KInput::getZYKKey(code), K_VK_ERROR) << code;
    EXPECT_EQ(KInput::getZYKKey(SDLK_KP_7), K_VK_NUM7);
}

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
        window()._quit = false;
    }
};

TEST_F(ScriptedInput, EitherShiftOrControlAnswersForBoth) {
    Input::pressKey(SDLK_RSHIFT);
    EXPECT_TRUE(KInput::isPressed(K_VK_L_SHIFT));
    EXPECT_TRUE(KInput::isPressed(K_VK_R_SHIFT));
    EXPECT_FALSE(KInput::isPressed(K_VK_L_CONTROL));
    Input::pressKey(SDLK_LCTRL);
    EXPECT_TRUE(KInput::isPressed(K_VK_R_CONTROL));
    Input::releaseAll();
    EXPECT_FALSE(KInput::isPressed(K_VK_R_SHIFT));
    EXPECT_FALSE(KInput::isPressed(K_VK_ERROR));
    EXPECT_FALSE(KInput::isPressed(static_cast<EKeyboardLayout>(500)));
}

// Keys are found by their place on the keyboard: the layout's own key for a letter, or the key in its
// US place when the layout has none; a key stands for itself whatever its side or pad.
TEST_F(ScriptedInput, KeysAnswerByLayoutPlaceSideAndPad) {
    std::map<SDL_Scancode, SDL_Keycode> russian;
    const char *cyrillic[] = {"ф", "и", "с", "в", "у", "а", "п", "р", "ш", "о", "л", "д", "ь",
                              "т", "щ", "з", "й", "к", "ы", "е", "г", "м", "ц", "ч", "н", "я"};
    for (int letter = 0; letter < 26; letter++) {
        // The Unicode code point of each letter is its key code.
        const auto *bytes = reinterpret_cast<const unsigned char *>(cyrillic[letter]);
        russian[static_cast<SDL_Scancode>(SDL_SCANCODE_A + letter)] =
            ((bytes[0] & 0x1F) << 6) | (bytes[1] & 0x3F);
    }
    const std::map<SDL_Scancode, SDL_Keycode> azerty = {
        {SDL_SCANCODE_Q, SDLK_a}, {SDL_SCANCODE_A, SDLK_q},         {SDL_SCANCODE_W, SDLK_z},
        {SDL_SCANCODE_Z, SDLK_w}, {SDL_SCANCODE_SEMICOLON, SDLK_m}, {SDL_SCANCODE_M, SDLK_COMMA}};
    const std::map<SDL_Scancode, SDL_Keycode> us,
        qwertz = {{SDL_SCANCODE_Y, SDLK_z}, {SDL_SCANCODE_Z, SDLK_y}};
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
        {"Cyrillic: A's place is not Q", russian, SDL_SCANCODE_A, true, K_VK_Q, false},
        {"AZERTY: the key labelled A", azerty, SDL_SCANCODE_Q, true, K_VK_A, true},
        {"AZERTY: US A place is Q", azerty, SDL_SCANCODE_A, true, K_VK_Q, true},
        {"AZERTY: US A place is not A", azerty, SDL_SCANCODE_A, true, K_VK_A, false},
        {"AZERTY: M beside L", azerty, SDL_SCANCODE_SEMICOLON, true, K_VK_M, true},
        {"AZERTY: US M place is not M", azerty, SDL_SCANCODE_M, true, K_VK_M, false},
        {"QWERTZ: Y", qwertz, SDL_SCANCODE_Z, true, K_VK_Y, true},
        {"QWERTZ: Z", qwertz, SDL_SCANCODE_Y, true, K_VK_Z, true},
        {"keypad Enter", us, SDL_SCANCODE_KP_ENTER, true, K_VK_RETURN, true},
        {"keypad 4 without Num Lock", us, SDL_SCANCODE_KP_4, false, K_VK_LEFT, true},
        {"keypad 6 without Num Lock", us, SDL_SCANCODE_KP_6, false, K_VK_RIGHT, true},
        {"keypad 4 with Num Lock", us, SDL_SCANCODE_KP_4, true, K_VK_LEFT, false},
        {"keypad 4 with Num Lock is 4", us, SDL_SCANCODE_KP_4, true, K_VK_NUM4, true},
        {"left Alt", us, SDL_SCANCODE_LALT, true, K_VK_MENU, true},
        {"right Alt", us, SDL_SCANCODE_RALT, true, K_VK_MENU, true},
        {"right Alt is no shift", us, SDL_SCANCODE_RALT, true, K_VK_R_SHIFT, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Input::setScriptedLayout(c.layout);
        Input::setScriptedNumLock(c.numLock);
        Input::pressScancode(c.pressed);
        EXPECT_EQ(KInput::isPressed(c.key), c.answers);
        Input::releaseAll();
    }
    // A script types by key code: under AZERTY its "a" is the key labelled A.
    Input::setScriptedLayout(azerty);
    Input::pressKey(SDLK_a);
    EXPECT_TRUE(KInput::isPressed(K_VK_A));
    EXPECT_FALSE(KInput::isPressed(K_VK_Q));
    Input::setScriptedLayout({});
    Input::setScriptedNumLock(false);
}

// A one-frame press is seen by every reader of its frame and lets go when the frame is out, or at
// once when the game waits for its release.
TEST_F(ScriptedInput, AOneFramePressLastsTheFrameOrUntilAWait) {
    Input::pressKey(SDLK_p, Input::kOneFrame);
    for (int reader = 0; reader < 5; reader++)
        EXPECT_TRUE(KInput::isPressed(K_VK_P));
    Input::frameEnded();
    EXPECT_FALSE(KInput::isPressed(K_VK_P));
    Input::pressKey(SDLK_RETURN, Input::kOneFrame);
    EXPECT_TRUE(KInput::isPressed(K_VK_RETURN));
    KInput::waitForKeyRelease(K_VK_RETURN);
    EXPECT_FALSE(KInput::isPressed(K_VK_RETURN));
}

TEST_F(ScriptedInput, WaitingForAReleaseEndsWhenTheKeyLetsGo) {
    KInput::waitForKeyRelease(K_VK_SPACE); // not held: at once
    Input::pressKey(SDLK_SPACE, 5);
    KInput::waitForKeyRelease(K_VK_SPACE);
    EXPECT_FALSE(KInput::isPressed(K_VK_SPACE));
}

TEST_F(ScriptedInput, WaitingForAReleaseGivesUpWhenTheWindowCloses) {
    Input::pressKey(SDLK_ESCAPE); // held for ever
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    KInput::waitForKeyRelease(K_VK_ESCAPE);
    EXPECT_TRUE(window().isQuit());
    EXPECT_TRUE(KInput::isPressed(K_VK_ESCAPE));
}

TEST_F(ScriptedInput, ButtonsAndPointerComeFromTheScript) {
    Input::setMouse(-5, 900);
    Input::pressButton(platform::MouseButton::Right);
    EXPECT_EQ(KInput::getMouseX(), -5);
    EXPECT_EQ(KInput::getMouseY(), 900);
    EXPECT_TRUE(KInput::getRightButtonState());
    EXPECT_FALSE(KInput::getLeftButtonState());
    Input::releaseButton(platform::MouseButton::Right);
    EXPECT_FALSE(KInput::getRightButtonState());
}

TEST(Pointer, ShowAndHideForceTheState) {
    window();
    KInput::showPointer();
    KInput::showPointer();
    KInput::hidePointer();
    EXPECT_FALSE(Input::pointerVisible());
    KInput::hidePointer();
    KInput::showPointer();
    EXPECT_TRUE(Input::pointerVisible());
}

TEST(RealInput, NothingIsHeldOnAHeadlessWindow) {
    window();
    Input::setScripted(false);
    EXPECT_FALSE(KInput::isPressed(K_VK_SPACE));
    EXPECT_FALSE(KInput::getLeftButtonState());
    KInput::waitForKeyRelease(K_VK_RETURN);
}

// A tap whose press and release both arrive between two frames still counts as one press: held for
// every poll until the window's next batch of events, then up.
TEST(RealInput, AClickShorterThanAFrameIsNotLost) {
    KWindowD3D &game = window();
    Input::setScripted(false);
    for (Uint8 sdlButton : {Uint8(SDL_BUTTON_LEFT), Uint8(SDL_BUTTON_RIGHT)}) {
        auto held = sdlButton == SDL_BUTTON_LEFT ? KInput::getLeftButtonState : KInput::getRightButtonState;
        SDL_Event press{};
        press.type = SDL_MOUSEBUTTONDOWN;
        press.button.button = sdlButton;
        press.button.state = SDL_PRESSED;
        SDL_Event release = press;
        release.type = SDL_MOUSEBUTTONUP;
        release.button.state = SDL_RELEASED;
        SDL_PushEvent(&press);
        SDL_PushEvent(&release);
        game.processEvents();
        EXPECT_TRUE(held());
        EXPECT_TRUE(held()) << "every control polled in the frame sees the press";
        game.processEvents();
        EXPECT_FALSE(held());
    }
    // A press nobody asked about yet survives a batch of events with nothing in it.
    SDL_Event press{};
    press.type = SDL_MOUSEBUTTONDOWN;
    press.button.button = SDL_BUTTON_LEFT;
    SDL_PushEvent(&press);
    game.processEvents();
    game.processEvents();
    EXPECT_TRUE(KInput::getLeftButtonState());
    game.processEvents();
    EXPECT_FALSE(KInput::getLeftButtonState());
}

} // namespace
