#include "framework/KGraphicD3D.h"
#include "framework/KInput.h"
#include "framework/KMiscTools.h"
#include "framework/KWindowD3D.h"
#include "platform/display.h"
#include "platform/frame_observer.h"
#include "platform/image_decoder.h"
#include "platform/matrices.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace testsupport;

namespace {

// Where the transforms put points, on many seeded points: a move adds, a scale multiplies, a quarter
// turn goes counter-clockwise in the y-up world (6.28 stands in for two pi, so a whole turn falls a
// little short), a product applies its left factor first, and the 640 x 480 view fills the clip square.
TEST(Matrices, TransformsMovePointsAsTheGameExpects) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> any(-500, 500);
    for (int i = 0; i < 100; i++) {
        const float x = any(random), y = any(random), z = any(random) / 10, dx = any(random),
                    dy = any(random);
        D3DMATRIX move, grow, turn, view;
        translate(move, dx, dy, 5);
        scale(grow, 2, 3, 1);
        rotatez(turn, 90);
        ortho(view, 640, 480, -100, 100);
        float p[4];
        transformPoint(move, x, y, z, p);
        EXPECT_FLOAT_EQ(p[0], x + dx);
        EXPECT_FLOAT_EQ(p[1], y + dy);
        EXPECT_FLOAT_EQ(p[2], z + 5);
        transformPoint(multiply(move, grow), x, y, z, p);
        EXPECT_NEAR(p[0], (x + dx) * 2, 1e-2);
        EXPECT_NEAR(p[1], (y + dy) * 3, 1e-2);
        transformPoint(turn, x, y, z, p);
        const float slack = 0.002f * (std::abs(x) + std::abs(y)) + 1e-3f;
        EXPECT_NEAR(p[0], -y, slack);
        EXPECT_NEAR(p[1], x, slack);
        transformPoint(view, x * 320 / 500, y * 240 / 500, z, p);
        EXPECT_NEAR(p[0], x / 500, 1e-5);
        EXPECT_NEAR(p[1], y / 500, 1e-5);
        EXPECT_NEAR(p[2], 0.5f + z / 200, 1e-5);
    }
    D3DMATRIX whole;
    rotatez(whole, 360);
    EXPECT_NEAR(whole.m[0][1], std::sin(6.28f), 1e-6);
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

// In the background the game waits for the focus to come back or the window to close; otherwise it
// draws on.
TEST_F(Window, WaitsInTheBackgroundOnlyWhenAsked) {
    KWindowD3D &w = window();
    platform::Display::setFocused(false);
    w.flipBackBuffer(false, true);
    EXPECT_FALSE(platform::Display::hasFocus()) << "not asked to wait: on at once";

    SDL_Event gained{};
    gained.type = SDL_WINDOWEVENT;
    gained.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    SDL_PushEvent(&gained);
    w.flipBackBuffer(true, true);
    EXPECT_TRUE(platform::Display::hasFocus());
    EXPECT_FALSE(w.isQuit());

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
