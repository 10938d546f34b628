#include "framework/KGraphicD3D.h"
#include "framework/KInput.h"
#include "framework/KMiscTools.h"
#include "framework/KWindowD3D.h"
#include "framework/matrices.h"
#include "platform/display.h"
#include "platform/frame_observer.h"
#include "platform/image_decoder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

using namespace testsupport;
using Clock = std::chrono::steady_clock;

namespace {

TEST(Matrices, BuildTheSpecifiedRows) {
    D3DMATRIX m;
    translate(m, 3, -4, 5);
    EXPECT_EQ(m.m[3][0], 3.0f);
    EXPECT_EQ(m.m[3][1], -4.0f);
    EXPECT_EQ(m.m[0][0], 1.0f);
    ortho(m, 640, 480, -100, 100);
    EXPECT_FLOAT_EQ(m.m[0][0], 2.0f / 640);
    EXPECT_FLOAT_EQ(m.m[1][1], 2.0f / 480);
    EXPECT_FLOAT_EQ(m.m[2][2], 1.0f / 200);
    EXPECT_FLOAT_EQ(m.m[3][2], 0.5f);
    EXPECT_EQ(m.m[3][3], 1.0f);
    // 6.28 stands in for two pi, so a full turn falls a little short.
    rotatez(m, 360);
    EXPECT_NE(m.m[0][1], 0.0f);
    EXPECT_NEAR(m.m[0][1], std::sin(6.28f), 1e-6);
    rotatez(m, 90);
    float p[4];
    transformPoint(m, 1, 0, 0, p);
    EXPECT_NEAR(p[0], 0.0f, 0.002f);
    EXPECT_NEAR(p[1], 1.0f, 1e-5f); // counter-clockwise in the y-up world
    // In a product the left factor acts first.
    D3DMATRIX move, grow;
    translate(move, 10, 0, 0);
    scale(grow, 2, 2, 0);
    transformPoint(multiply(move, grow), 1, 1, 7, p);
    EXPECT_EQ(p[0], 22.0f);
    EXPECT_EQ(p[1], 2.0f);
    EXPECT_EQ(p[2], 0.0f);
}

class Window : public ::testing::Test {
protected:
    void SetUp() override {
        window().setDefaultWorldView();
        clearScreen();
    }
    void TearDown() override {
        KWindowD3D &w = window();
        w._quit = false;
        w._gamma = 1.0f;
        w._maxFrameRate = 0;
        w._userCallback = nullptr;
        w._zykCallback = nullptr;
        platform::setFrameObserver(nullptr);
        platform::Input::releaseAll();
        platform::Input::setScripted(false);
        platform::Display::setFocused(true);
    }
};

TEST_F(Window, IsHeadlessWithA640By480BackBuffer) {
    KWindowD3D &w = window();
    EXPECT_NE(w._lpD3DDevice, nullptr);
    EXPECT_EQ(w._windowWidth, 640);
    EXPECT_EQ(w._windowHeight, 480);
    EXPECT_EQ(w._windowDepth, 16);
    EXPECT_FALSE(w._fullscreen);
    EXPECT_TRUE(platform::Display::isHeadless());
    EXPECT_STREQ(SDL_GetWindowTitle(w._hWndZYK), "Quorix");
    EXPECT_EQ(KWindowD3D::current(), &w);
}

TEST_F(Window, ClearingUsesTheClearColourAndFlippingKeepsThePicture) {
    KWindowD3D &w = window();
    w._clearColor = 0x00336699;
    w.setWorldView(0, 0, 0, 1, true);
    w._clearColor = 0;
    w.setWorldView(0, 0, 0, 1, false);
    w.flipBackBuffer(false, true);
    Picture screen = backBuffer();
    EXPECT_EQ(screen.at(0, 0), 0xFF336699u);
    EXPECT_EQ(screen.at(639, 479), 0xFF336699u);
}

TEST_F(Window, CloseRequestsSetQuitAndLeaveTheWindowOpen) {
    KWindowD3D &w = window();
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = SDL_GetWindowID(w._hWndZYK);
    SDL_PushEvent(&close);
    EXPECT_FALSE(w.isQuit());
    w.processEvents();
    EXPECT_TRUE(w.isQuit());
    EXPECT_TRUE(platform::Display::isOpen());
    w._quit = false;
    w.terminate();
    EXPECT_TRUE(w.isQuit());
}

TEST_F(Window, EventsReachTheCallbacksAsKEvents) {
    static std::vector<KEvent> seen;
    static bool consume = false;
    seen.clear();
    KWindowD3D &w = window();
    w._zykCallback = [](KEvent *event) {
        seen.push_back(*event);
        return true;
    };
    w._userCallback = [](SDL_Window *, uint32_t message, uintptr_t, intptr_t) {
        return !(consume && message == SDL_QUIT);
    };
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = SDLK_a;
    e.key.keysym.scancode = SDL_SCANCODE_A;
    SDL_PushEvent(&e);
    e = {};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = SDL_BUTTON_RIGHT;
    SDL_PushEvent(&e);
    e = {};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = -2;
    SDL_PushEvent(&e);
    e = {};
    e.type = SDL_KEYUP;
    e.key.keysym.sym = SDLK_F3;
    SDL_PushEvent(&e);
    w.processEvents();

    ASSERT_GE(seen.size(), 4u);
    auto find = [](long type) {
        for (const KEvent &event : seen)
            if (event.type == type)
                return event;
        return KEvent{};
    };
    EXPECT_EQ(find(6).zykKey, K_VK_A);
    EXPECT_EQ(find(6).virtualKey, SDLK_a);
    EXPECT_EQ(find(6).character, static_cast<char>(SDL_SCANCODE_A));
    EXPECT_EQ(find(3).buttonIndex, 2);
    EXPECT_EQ(find(11).wheel, -240);
    EXPECT_EQ(KInput::_lastWheelValue, -240);
    EXPECT_EQ(find(7).zykKey, K_VK_F3);
    EXPECT_EQ(find(7).nativeMessage, static_cast<long>(SDL_KEYUP));

    // A raw hook that returns false consumes the event: a quit request is then not seen at all.
    consume = true;
    e = {};
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
    w.processEvents();
    EXPECT_FALSE(w.isQuit());
    consume = false;
}

TEST_F(Window, GammaDarkensEachPresentedFrame) {
    KWindowD3D &w = window();
    uint32_t seenPixel = 0;
    platform::setFrameObserver([&](const platform::Frame &frame) { seenPixel = frame.pixel(10, 10); });
    clearScreen(0xFFFFFF);
    w._gamma = 0.75f;
    w.flipBackBuffer(false, true);
    // Black at alpha 63 over white: 255 * (255 - 63) / 255.
    EXPECT_NEAR(static_cast<int>(seenPixel & 0xFF), 192, 1);
    clearScreen(0xFFFFFF);
    w._gamma = 1.0f;
    w.flipBackBuffer(false, true);
    EXPECT_EQ(seenPixel, 0xFFFFFFFFu);
    w._gamma = 1.5f;
    w.flipBackBuffer(false, true);
    EXPECT_EQ(seenPixel, 0xFFFFFFFFu);
}

TEST_F(Window, MaxFrameRateHoldsBackShortFramesOnly) {
    KWindowD3D &w = window();
    w._maxFrameRate = 20;
    w.flipBackBuffer(false, true);
    auto previous = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    w.flipBackBuffer(false, true);
    EXPECT_GE(Clock::now() - previous, std::chrono::milliseconds(19));

    previous = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    auto before = Clock::now();
    w.flipBackBuffer(false, true);
    EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(10));
}

TEST_F(Window, WaitsInTheBackgroundOnlyWhenAsked) {
    KWindowD3D &w = window();
    platform::Display::setFocused(false);
    auto before = Clock::now();
    w.flipBackBuffer(false, true);
    EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(50));

    std::thread refocus([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        SDL_Event gained{};
        gained.type = SDL_WINDOWEVENT;
        gained.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
        SDL_PushEvent(&gained);
    });
    before = Clock::now();
    w.flipBackBuffer(true, true);
    auto waited = Clock::now() - before;
    refocus.join();
    EXPECT_GE(waited, std::chrono::milliseconds(140));
    EXPECT_TRUE(platform::Display::hasFocus());

    // A close request ends the wait as well.
    platform::Display::setFocused(false);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    w.flipBackBuffer(true, true);
    EXPECT_TRUE(w.isQuit());
}

TEST_F(Window, TheFrameObserverCountsFramesScriptsInputAndSavesPictures) {
    KWindowD3D &w = window();
    std::vector<uint64_t> numbers;
    std::string png = (scratch() / "frame.png").string();
    platform::setFrameObserver([&](const platform::Frame &frame) {
        numbers.push_back(frame.number());
        frame.setMouse(-20, 700);
        frame.pressButton(platform::MouseButton::Left, 2);
        if (numbers.size() == 2) {
            EXPECT_TRUE(frame.savePNG(png.c_str()));
        }
    });
    clearScreen(0x10A0F0);
    w.flipBackBuffer(false, true);
    w.flipBackBuffer(false, true);
    ASSERT_EQ(numbers.size(), 2u);
    EXPECT_EQ(numbers[1], numbers[0] + 1);
    EXPECT_EQ(KInput::getMouseX(), -20);
    EXPECT_EQ(KInput::getMouseY(), 700);
    EXPECT_TRUE(KInput::getLeftButtonState());
    EXPECT_TRUE(KInput::getLeftButtonState());
    EXPECT_FALSE(KInput::getLeftButtonState()); // released itself after two polls
    EXPECT_FALSE(KInput::getRightButtonState());

    platform::DecodedImage saved;
    ASSERT_TRUE(platform::decodeImageFile(png.c_str(), "PNG", saved));
    EXPECT_EQ(saved.width, 640);
    EXPECT_EQ(saved.height, 480);
    EXPECT_EQ(saved.argb[1234], 0xFF10A0F0u);
}

// The picture always fits the window it is really shown in. SDL believes the size it last asked for;
// the headless window's drawing surface keeps its first size (640 x 480), as a window whose full-screen
// request no window manager carried out keeps its own. The whole picture must show, one pixel to one.
TEST_F(Window, ThePictureFitsTheSizeTheWindowReallyHas) {
    KWindowD3D &w = window();
    const std::string path = (scratch() / "fit.png").string();
    ASSERT_TRUE(writePNG(path, gradient(640, 480)));
    KGraphicD3D picture;
    ASSERT_TRUE(picture.loadPicture(path.c_str(), true, true));
    SDL_Window *sdlWindow = platform::Display::window();
    SDL_Renderer *renderer = platform::Display::renderer();
    platform::Display::setShowHeadlessWindow(true);
    for (const SDL_Point asked : {SDL_Point{1280, 960}, SDL_Point{320, 240}, SDL_Point{1000, 500}}) {
        SDL_SetWindowSize(sdlWindow, asked.x, asked.y);
        w.processEvents(); // the size change: measured again at the next frame
        picture.blitRect(0, 0, 640, 480, 0, 0, false, false);
        w.flipBackBuffer(false, true);

        int width = 0, height = 0, believedWidth = 0, believedHeight = 0;
        platform::Display::windowPixelSize(width, height);
        ASSERT_EQ(width, 640);
        ASSERT_EQ(height, 480);
        // Read the surface itself: SDL counts rows from the top of the size it believes in.
        SDL_SetRenderTarget(renderer, nullptr);
        SDL_GetRendererOutputSize(renderer, &believedWidth, &believedHeight);
        EXPECT_EQ(believedWidth, asked.x);
        Picture shown{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height)};
        const SDL_Rect surface{0, believedHeight - height, width, height};
        SDL_RenderSetViewport(renderer, &surface); // reads are kept within the viewport
        EXPECT_EQ(
            SDL_RenderReadPixels(renderer, &surface, SDL_PIXELFORMAT_ARGB8888, shown.argb.data(), width * 4),
            0);
        SDL_SetRenderTarget(renderer, platform::Display::backBuffer());
        long differing = 0;
        const Picture drawn = backBuffer();
        for (size_t i = 0; i < shown.argb.size(); ++i)
            differing += rgbOf(shown.argb[i]) != rgbOf(drawn.argb[i]);
        EXPECT_EQ(differing, 0) << "SDL believing " << asked.x << " x " << asked.y;
    }
    platform::Display::setShowHeadlessWindow(false);
    SDL_SetWindowSize(sdlWindow, 640, 480);
    w.processEvents();
}

TEST(DisplayChoice, InvisibleDriversCountOnlyWhenAskedFor) {
    EXPECT_FALSE(platform::isUnrequestedInvisibleDriver("x11", nullptr));
    EXPECT_TRUE(platform::isUnrequestedInvisibleDriver("offscreen", nullptr));
    EXPECT_TRUE(platform::isUnrequestedInvisibleDriver("dummy", "x11"));
    EXPECT_FALSE(platform::isUnrequestedInvisibleDriver("offscreen", "offscreen"));
    EXPECT_FALSE(platform::isUnrequestedInvisibleDriver("dummy", "x11,DUMMY"));
    EXPECT_TRUE(platform::isUnrequestedInvisibleDriver("offscreen", "wayland,x11"));
}

// Run in a process of its own, without any display: the game must say so instead of running
// invisibly, and its loops must end.
TEST(DisplayChoiceDeathTest, WithoutADisplayTheGameSaysSoAndQuits) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unsetenv("SDL_VIDEODRIVER");
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            std::string message;
            platform::messageObserver = [&](const std::string &text) { message = text; };
            KWindowD3D w;
            bool created = w.createGameWindow(640, 480, 16, true, "Quorix");
            std::exit(!created && w.isQuit() &&
                              message == "can't create directX context, please reinstall direct X"
                          ? 0
                          : 1);
        },
        ::testing::ExitedWithCode(0), "can't create directX context, please reinstall direct X");
}

} // namespace
