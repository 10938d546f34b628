#include "platform/display.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

using Window = Drawing;

// In the background the game waits, when asked to, for the focus to come back or the window to close.
TEST_F(Window, WaitsInTheBackgroundOnlyWhenAsked) {
    KWindowD3D &w = window();
    platform::Display::setFocused(false);
    w.flipBackBuffer(false, true);
    EXPECT_FALSE(platform::Display::hasFocus()) << "not asked to wait: on at once";
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    SDL_PushEvent(&event);
    w.flipBackBuffer(true, true);
    EXPECT_TRUE(platform::Display::hasFocus());
    EXPECT_FALSE(w.isQuit());
    platform::Display::setFocused(false);
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
    w.flipBackBuffer(true, true);
    EXPECT_TRUE(w.isQuit());
    w._quit = false;
    platform::Display::setFocused(true);
}

// The picture always fits the window it is really shown in. SDL believes the size it last asked for;
// the headless window's drawing surface keeps its first size (640 x 480), as a window whose full-screen
// request no window manager carried out keeps its own. The whole picture must show, one pixel to one.
TEST_F(Window, ThePictureFitsTheSizeTheWindowReallyHas) {
    KWindowD3D &w = window();
    KGraphicD3D picture;
    ASSERT_TRUE(load(picture, "fit.tga", gradient(640, 480)));
    SDL_Window *sdlWindow = platform::Display::window();
    SDL_Renderer *renderer = platform::Display::renderer();
    platform::Display::setShowHeadlessWindow(true);
    for (const SDL_Point asked : {SDL_Point{1280, 960}, SDL_Point{320, 240}, SDL_Point{1000, 500}}) {
        SCOPED_TRACE(std::to_string(asked.x) + " x " + std::to_string(asked.y));
        SDL_SetWindowSize(sdlWindow, asked.x, asked.y);
        w.processEvents(); // the size change: measured again at the next frame
        picture.blitRect(0, 0, 640, 480, 0, 0, false, false);
        w.flipBackBuffer(false, true);
        int width = 0, height = 0, believedWidth = 0, believedHeight = 0;
        platform::Display::windowPixelSize(width, height);
        ASSERT_TRUE(width == 640 && height == 480) << width << " x " << height;
        // Read the surface itself: SDL counts rows from the top of the size it believes in.
        SDL_SetRenderTarget(renderer, nullptr);
        SDL_GetRendererOutputSize(renderer, &believedWidth, &believedHeight);
        EXPECT_EQ(believedWidth, asked.x);
        Picture shown = solid(width, height, 0);
        const SDL_Rect surface{0, believedHeight - height, width, height};
        SDL_RenderSetViewport(renderer, &surface); // reads are kept within the viewport
        EXPECT_EQ(
            SDL_RenderReadPixels(renderer, &surface, SDL_PIXELFORMAT_ARGB8888, shown.argb.data(), width * 4),
            0);
        SDL_SetRenderTarget(renderer, platform::Display::backBuffer());
        EXPECT_EQ(support::differingPixels(shown, backBuffer(), {0, 0, width, height}), 0);
    }
    platform::Display::setShowHeadlessWindow(false);
    SDL_SetWindowSize(sdlWindow, 640, 480);
    w.processEvents();
}

// Run in a process of its own, without any display: the game must say so instead of running
// invisibly, and its loops must end.
TEST(DisplayChoiceDeathTest, WithoutADisplayTheGameSaysSoAndQuits) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string said = "can't create directX context, please reinstall direct X";
    EXPECT_EXIT(
        {
            for (const char *name : {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"})
                unsetenv(name);
            std::string message;
            platform::messageObserver = [&](const std::string &text) { message = text; };
            KWindowD3D w;
            const bool created = w.createGameWindow(640, 480, 16, true, "Quorix");
            std::exit(!created && w.isQuit() && message == said ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), said);
}

} // namespace
