// The game's cursor: shown by the system as its pointer picture, or drawn into the frame where the
// system cannot show colour cursors. Either way the frame observer and screenshots see the very same
// pixels, and the system's own arrow shows only outside the game's picture.
#include <string>
#include <vector>

#include "frontend_fixture.h"
#include "support/hit_area.h"

#include "framework/KGraphicD3D.h"
#include "framework/KMiscTools.h"
#include "platform/display.h"
#include "platform/frame_observer.h"
#include "platform/input.h"
#include "platform/pointer.h"
#include "shell/cursor.h"

using namespace frontendtest;

namespace {

struct Shown {
    std::vector<uint32_t> seen;  // what the frame observer sees
    std::vector<uint32_t> drawn; // what the frame itself drew into the back buffer
};

// One frame over a busy picture with the pointer at (x, y).
Shown frameWithPointerAt(KGraphicD3D &background, long x, long y) {
    KWindowD3D &w = window();
    w.setDefaultWorldView();
    background.blitRect(0, 0, 640, 480, 0, 0, false, false);
    platform::Input::setMouse(static_cast<int>(x), static_cast<int>(y));
    displayMouseCursor();
    Shown shown;
    platform::setFrameObserver([&](const platform::Frame &frame) {
        shown.seen = frame.pixels();
        platform::Display::readBackBuffer(shown.drawn);
    });
    w.flipBackBuffer(false, true);
    platform::setFrameObserver({});
    for (uint32_t &p : shown.drawn)
        p |= 0xFF000000u;
    return shown;
}

TEST_F(FrontEndTest, TheCursorLooksTheSameShownBySystemOrDrawnAndTheArrowShowsOnlyOutside) {
    folder.linkData("mouse.tga");
    folder.linkData("skins");
    KGraphicD3D background;
    ASSERT_TRUE(background.loadPicture(KMiscTools::makeFilePath("data/skins/0/menu0.tga"), true, true));
    loadMouseCursor();
    ASSERT_NE(surf_mouse, nullptr);
    ASSERT_NE(surf_mouse->_surface, nullptr);

    // The edges of the picture (both edges included) and just outside them, and the corners.
    const support::EdgePoints edges = support::edgePoints(0, 0, 640, 480, true);
    struct Place {
        long x, y;
        bool inside;
    };
    std::vector<Place> places = {{0, 0, true}, {640, 480, true}};
    for (const auto &[x, y] : edges.inside)
        places.push_back({x, y, true});
    for (const auto &[x, y] : edges.outside)
        places.push_back({x, y, false});
    for (const auto &place : places) {
        const std::string where = std::to_string(place.x) + "," + std::to_string(place.y);
        platform::Pointer::allowSystemCursor(true);
        ASSERT_TRUE(platform::Pointer::shownBySystem());
        const Shown bySystem = frameWithPointerAt(background, place.x, place.y);
        EXPECT_EQ(platform::Input::pointerVisible(), !place.inside) << where;
        EXPECT_EQ(isHidden, place.inside) << where;

        platform::Pointer::allowSystemCursor(false);
        const Shown drawnByGame = frameWithPointerAt(background, place.x, place.y);
        EXPECT_EQ(platform::Input::pointerVisible(), !place.inside) << where;

        EXPECT_TRUE(bySystem.seen == drawnByGame.seen) << "the observer sees the cursor alike at " << where;
        EXPECT_TRUE(drawnByGame.seen == drawnByGame.drawn) << where;
        // Shown by the system, the cursor stays out of the frame: only a pointer outside leaves it alike.
        EXPECT_EQ(bySystem.drawn == bySystem.seen, !place.inside) << where;
    }
    platform::Pointer::allowSystemCursor(true);
    platform::Input::setMouse(-5, -5);
    displayMouseCursor();
    freeMouseCursor();
    EXPECT_FALSE(platform::Pointer::shownBySystem());
}

} // namespace
