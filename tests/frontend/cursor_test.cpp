// The game's cursor: shown by the system as its pointer picture, or drawn into the frame where the
// system cannot show colour cursors. Either way the frame observer and screenshots see the very same
// pixels, and the system's own arrow shows only outside the game's picture.
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

TEST_F(FrontEndTest, TheCursorLooksTheSameShownBySystemOrDrawnAndTheArrowShowsOnlyOutside) {
    folder.linkData("mouse.tga");
    folder.linkData("skins");
    KGraphicD3D background;
    ASSERT_TRUE(background.loadPicture(KMiscTools::makeFilePath("data/skins/0/menu0.tga"), true, true));
    loadMouseCursor();
    ASSERT_TRUE(surf_mouse && surf_mouse->_surface);
    // One frame over a busy picture with the pointer at (x, y): what the frame observer sees, and what
    // the frame itself drew into the back buffer.
    const auto frameWithPointerAt = [&](long x, long y, bool bySystem) {
        platform::Pointer::allowSystemCursor(bySystem);
        window().setDefaultWorldView();
        background.blitRect(0, 0, 640, 480, 0, 0, false, false);
        platform::Input::setMouse(static_cast<int>(x), static_cast<int>(y));
        displayMouseCursor();
        std::vector<uint32_t> seen, drawn;
        platform::setFrameObserver([&](const platform::Frame &frame) {
            seen = frame.pixels();
            platform::Display::readBackBuffer(drawn);
        });
        window().flipBackBuffer(false, true);
        platform::setFrameObserver({});
        for (uint32_t &p : drawn)
            p |= 0xFF000000u;
        return std::pair{seen, drawn};
    };
    // The edges of the picture (both edges included) and just outside them, and the corners.
    support::EdgePoints edges = support::edgePoints(0, 0, 640, 480, true);
    edges.inside.insert(edges.inside.end(), {{0, 0}, {640, 480}});
    for (const auto &[points, inside] : {std::pair{edges.inside, true}, {edges.outside, false}}) {
        for (const auto &[x, y] : points) {
            SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
            const auto [seenBySystem, drawnBySystem] = frameWithPointerAt(x, y, true);
            EXPECT_EQ(platform::Input::pointerVisible(), !inside);
            EXPECT_EQ(isHidden, inside);
            const auto [seenDrawn, drawnByGame] = frameWithPointerAt(x, y, false);
            EXPECT_EQ(platform::Input::pointerVisible(), !inside);
            EXPECT_TRUE(seenBySystem == seenDrawn) << "the observer sees the cursor alike";
            EXPECT_TRUE(seenDrawn == drawnByGame);
            // Shown by the system, the cursor stays out of the frame: only a pointer outside leaves it alike.
            EXPECT_EQ(drawnBySystem == seenBySystem, !inside);
        }
    }
    platform::Pointer::allowSystemCursor(true);
    ASSERT_TRUE(platform::Pointer::shownBySystem());
    platform::Input::setMouse(-5, -5);
    displayMouseCursor();
    freeMouseCursor();
    EXPECT_FALSE(platform::Pointer::shownBySystem());
}

} // namespace
