#include "framework/KInput.h"
#include "framework/KWindowD3D.h"
#include "platform/input.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace testsupport;
using platform::Input;

namespace {

TEST(KeyNames, FollowTheFrameworksOrder) {
    EXPECT_EQ(K_VK_LEFT, 0);
    EXPECT_EQ(K_VK_L_SHIFT, 5);
    EXPECT_EQ(K_VK_R_CONTROL, 8);
    EXPECT_EQ(K_VK_L_CONTROL, 9);
    EXPECT_EQ(K_VK_F1, 10);
    EXPECT_EQ(K_VK_F12, 21);
    EXPECT_EQ(K_VK_ESCAPE, 24);
    EXPECT_EQ(K_VK_A, 25);
    EXPECT_EQ(K_VK_Z, 50);
    EXPECT_EQ(K_VK_0, 51);
    EXPECT_EQ(K_VK_NUM0, 61);
    EXPECT_EQ(K_VK_NUM9, 70);
    EXPECT_EQ(K_VK_MULTIPLY, 71);
    EXPECT_EQ(K_VK_OEM_1, 82);
    EXPECT_EQ(K_VK_ERROR, 93);
    for (int i = 0; i <= K_VK_ERROR; ++i)
        ASSERT_EQ(KeyboardLayout[i].toucheID, i);
    // Every real key has its own code.
    for (int i = 0; i < K_VK_ERROR; ++i)
        for (int j = i + 1; j < K_VK_ERROR; ++j)
            ASSERT_NE(KeyboardLayout[i].KeyCode, KeyboardLayout[j].KeyCode) << i << " " << j;
}

TEST(KeyNames, TranslateBackFromKeyCodes) {
    EXPECT_EQ(KInput::getZYKKey(SDLK_LEFT), K_VK_LEFT);
    EXPECT_EQ(KInput::getZYKKey(SDLK_RCTRL), K_VK_R_CONTROL);
    EXPECT_EQ(KInput::getZYKKey(SDLK_p), K_VK_P);
    EXPECT_EQ(KInput::getZYKKey(SDLK_KP_7), K_VK_NUM7);
    EXPECT_EQ(KInput::getZYKKey(SDLK_F10), K_VK_F10);
    EXPECT_EQ(KInput::getZYKKey(SDLK_CAPSLOCK), K_VK_ERROR);
    EXPECT_EQ(KInput::getZYKKey(-1), K_VK_ERROR);
    EXPECT_EQ(KInput::getZYKKey(9999), K_VK_ERROR); // the end mark's code is no key
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

TEST_F(ScriptedInput, WaitingForAReleaseEndsWhenTheKeyLetsGo) {
    auto before = std::chrono::steady_clock::now();
    KInput::waitForKeyRelease(K_VK_SPACE); // not held: at once
    Input::pressKey(SDLK_SPACE, 5);
    KInput::waitForKeyRelease(K_VK_SPACE);
    EXPECT_FALSE(KInput::isPressed(K_VK_SPACE));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
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
