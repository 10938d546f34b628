// The menu: page buttons, Play, mode and difficulty, credits links, the return transition and the
// menu loop itself.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "frontend_fixture.h"
#include "support/hit_area.h"

#include "framework/KMiscTools.h"
#include "framework/KSound.h"
#include "frontend/gemsets.h"
#include "frontend/menu.h"
#include "frontend/options.h"
#include "game/playscreen.h"
#include "game/sheet_layout.h"
#include "platform/frame_observer.h"
#include "platform/input.h"
#include "shell/sounds.h"

using namespace frontendtest;
using platform::Input;
using platform::MouseButton;

namespace {

int clicks = 0;
int swaps = 0;
void countEffects(const KSound *sound) {
    if (sound == snd_click)
        clicks++;
    if (sound == snd_swap)
        swaps++;
}

std::mutex openedLock;
std::vector<std::string> opened;
void recordURL(const char *url, bool) {
    std::lock_guard<std::mutex> hold(openedLock);
    opened.emplace_back(url);
}
// The browser is opened on a thread of its own: wait until the expected number of addresses arrived
// (a minute at most, so that a missing one fails rather than hangs).
std::vector<std::string> openedURLs(size_t expected) {
    for (int i = 0; i < 6000; i++) {
        {
            std::lock_guard<std::mutex> hold(openedLock);
            if (opened.size() >= expected)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::lock_guard<std::mutex> hold(openedLock);
    std::vector<std::string> urls = opened;
    opened.clear();
    return urls;
}

int litButton(const Screen &s, int i) {
    const layout::Box &a = layout::kPageButtons[i];
    return litPixels(s, a.x1, a.y1, a.x2, a.y2);
}

} // namespace

class MenuTest : public FrontEndTest {
protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        for (const char *name : {"skins", "highscalp.tga", "audio", "gems", "music", "help"})
            folder.linkData(name);
        loadSounds();
        loadMenuGraphics();
        clicks = swaps = 0;
        KSound::_playObserver = countEffects;
        KMiscTools::_urlOpener = recordURL;
        openedURLs(0);
    }
    void TearDown() override {
        KMiscTools::_urlOpener = nullptr;
        FrontEndTest::TearDown();
    }
    // One menu frame's input and drawing on a cleared screen.
    long frame(int x, int y, bool held) {
        Input::setMouse(x, y);
        if (held)
            Input::pressButton(MouseButton::Left);
        else
            Input::releaseButton(MouseButton::Left);
        clear();
        return doUserInput();
    }
};

TEST_F(MenuTest, PageButtonSwitchesThePageLightsItAndClicksOncePerPress) {
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(frame(468, 204, true), kMenuPage2);
    EXPECT_EQ(gCurrentMenu, 2);
    EXPECT_EQ(clicks, 1) << "one click however long the button is held";

    // Away from the buttons the current page's button stays lit, and only that one.
    EXPECT_EQ(frame(600, 450, false), kMenuNothing);
    const Screen s = grab();
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(litButton(s, i) > 0, i == 2) << "button " << i;

    EXPECT_EQ(frame(450, 230, true), kMenuPage3);
    EXPECT_EQ(frame(450, 230, true), kMenuPage3);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(frame(450, 260, true), kMenuPage4) << "moved onto the next button while held";
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(frame(450, 170, true), kMenuPage1);
    EXPECT_EQ(frame(450, 290, true), kMenuQuit);
    EXPECT_EQ(gCurrentMenu, 5);
    EXPECT_EQ(frame(450, 145, true), kMenuNothing) << "page 0 has no action code";
    EXPECT_EQ(gCurrentMenu, 0);
}

TEST_F(MenuTest, APressOnTheBackgroundClicksAndChangesNothing) {
    gCurrentMenu = 1;
    const sPrefs before = prefs;
    EXPECT_EQ(frame(600, 20, true), kMenuNothing);
    EXPECT_EQ(frame(600, 20, true), kMenuNothing);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(gCurrentMenu, 1);
    EXPECT_EQ(std::memcmp(&before, &prefs, sizeof(prefs)), 0);
}

// Each page button, mode row and difficulty button takes in its bounds and not a pixel more (a point
// just outside one may lie on its neighbour, which then answers instead).
TEST_F(MenuTest, ButtonsReactOnlyInsideTheirAreas) {
    // chosen: what a press changes; page: the page the press is made on (-1: another page).
    const auto check = [&](const char *what, const layout::Box *areas, int count, auto &chosen, int page) {
        for (int i = 0; i < count; i++) {
            const auto reacts = [&](long x, long y) {
                gCurrentMenu = page >= 0 ? page : (i + 1) % layout::kPageCount;
                if (page >= 0)
                    chosen = (i + 1) % count;
                frame(static_cast<int>(x), static_cast<int>(y), true);
                frame(600, 450, false);
                return chosen == i;
            };
            const support::EdgePoints edges = support::boxEdges(areas[i]);
            for (const auto &[x, y] : edges.inside)
                EXPECT_TRUE(reacts(x, y)) << what << " " << i << " at " << x << "," << y;
            for (const auto &[x, y] : edges.outside)
                EXPECT_FALSE(reacts(x, y)) << what << " " << i << " at " << x << "," << y;
        }
    };
    check("page button", layout::kPageButtons, layout::kPageCount, gCurrentMenu, -1);
    check("mode row", layout::kModeRows, layout::kModeCount, prefs.gameMode, 0);
    check("difficulty button", layout::kDifficultyButtons, layout::kDifficultyCount, prefs.difficulty, 0);
}

TEST_F(MenuTest, PlayActsOnceFromEitherRectangle) {
    gCurrentMenu = 3;
    EXPECT_EQ(frame(480, 381, true), kMenuPlay) << "a point inside both rectangles";
    EXPECT_GT(litPixels(grab(), 431, 342, 553, 405), 1000);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(gCurrentMenu, 3) << "Play leaves the page as it is";
    EXPECT_EQ(frame(437, 399, true), kMenuPlay);
    EXPECT_EQ(frame(511, 346, true), kMenuPlay);
    EXPECT_EQ(frame(466, 346, true), kMenuNothing);
    EXPECT_EQ(frame(480, 381, false), kMenuNothing) << "hovering lights Play but does not start it";
    EXPECT_GT(litPixels(grab(), 431, 342, 553, 405), 1000);
}

TEST_F(MenuTest, ModeAndDifficultyAreChosenOnTheSetUpPageOnly) {
    gCurrentMenu = 0;
    frame(200, 260, true);
    EXPECT_EQ(prefs.gameMode, 2);
    frame(350, 380, true);
    EXPECT_EQ(prefs.difficulty, 3);
    frame(105, 138, true);
    EXPECT_EQ(prefs.gameMode, 0);
    frame(101, 404, true);
    EXPECT_EQ(prefs.difficulty, 0);
    frame(200, 180, true); // between two rows
    EXPECT_EQ(prefs.gameMode, 0);

    // The markers of the chosen mode and difficulty, and no other.
    prefs.gameMode = 2;
    prefs.difficulty = 3;
    frame(600, 450, false);
    Screen s = grab();
    const int modeMarkerY[4] = {141, 194, 245, 299};
    for (int mode = 0; mode < 4; mode++) {
        // The markers lie left of the panel, at x 86..105.
        EXPECT_EQ(litPixels(s, 86, modeMarkerY[mode], 105, modeMarkerY[mode] + 18) > 0, mode == 2);
    }
    prefs.gameMode = 9;
    frame(600, 450, false);
    s = grab();
    for (int mode = 0; mode < 4; mode++)
        EXPECT_EQ(litPixels(s, 86, modeMarkerY[mode], 105, modeMarkerY[mode] + 18), 0);

    gCurrentMenu = 1;
    prefs.gameMode = 1;
    prefs.difficulty = 1;
    frame(200, 260, true);
    frame(350, 380, true);
    EXPECT_EQ(prefs.gameMode, 1);
    EXPECT_EQ(prefs.difficulty, 1);
}

TEST_F(MenuTest, CreditsLinksOpenTheirAddressAndEndTheProgram) {
    // The framework link opens the help page at its section on how the game is built.
    const std::string helpPage = "file://" + folder.root().string() + "/data/help/index.html#framework";
    gCurrentMenu = 4;

    frame(200, 350, false);
    frame(161, 350, true);
    frame(343, 350, true);
    frame(250, 227, true);
    EXPECT_TRUE(openedURLs(0).empty()) << "exclusive bounds, and only while the button is down";
    EXPECT_FALSE(window().isQuit());

    frame(200, 350, true);
    EXPECT_EQ(openedURLs(1), std::vector<std::string>{helpPage});
    EXPECT_TRUE(window().isQuit());
    window()._quit = false;

    frame(100, 200, true);
    EXPECT_EQ(openedURLs(1), std::vector<std::string>{"https://quorix.example.org/"});
    window()._quit = false;
    frame(100, 300, true);
    EXPECT_EQ(openedURLs(1), std::vector<std::string>{"mailto:team@quorix.example.org"});
    window()._quit = false;

    // Where two areas overlap both addresses are opened.
    frame(200, 320, true);
    std::vector<std::string> both = openedURLs(2);
    std::sort(both.begin(), both.end());
    EXPECT_EQ(both, (std::vector<std::string>{helpPage, "mailto:team@quorix.example.org"}));
    EXPECT_TRUE(window().isQuit());
}

// The menu spins back in over 41 frames; the game spins in over 40.
TEST_F(MenuTest, TransitionsSpinForTheirFrameCounts) {
    const struct {
        const char *name;
        void (*transition)();
        int frames;
    } transitions[] = {{"menu", ScrollTheMenu, 41}, {"game", ScrollTheGame, 40}};
    for (const auto &t : transitions) {
        SCOPED_TRACE(t.name);
        int frames = 0;
        swaps = 0;
        std::vector<Screen> shown;
        platform::setFrameObserver([&](const platform::Frame &) {
            frames++;
            if (frames == 1 || frames == t.frames)
                shown.push_back(grab());
        });
        // The game's background is its own sheet; the menu's stands in for it here.
        surf_fond = surf_menu;
        clear();
        t.transition();
        surf_fond = nullptr;
        platform::setFrameObserver({});
        EXPECT_EQ(frames, t.frames);
        EXPECT_EQ(swaps, 1);
        ASSERT_EQ(shown.size(), 2u);
        // It begins with the old (black) frame almost whole and ends with the new screen almost whole.
        EXPECT_LT(litPixels(shown[0], 0, 0, 640, 480), 640 * 480 / 10);
        EXPECT_GT(litPixels(shown[1], 0, 0, 640, 480), 640 * 480 / 2);
    }
}

class MenuLoopTest : public MenuTest {
protected:
    int frames = 0;
    // Runs the menu with a script called at every presented frame.
    void run(std::function<void(int frame)> script) {
        freeMenuGraphics();
        platform::setFrameObserver([&, script](const platform::Frame &) { script(++frames); });
        doMenu();
    }
};

TEST_F(MenuLoopTest, EscapeLeavesWithoutPresentingAFrame) {
    Input::pressKey(SDLK_ESCAPE);
    run([](int) {});
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(surf_menu, nullptr) << "the menu pictures are freed on the way out";
    EXPECT_EQ(surf_credits, nullptr);
}

TEST_F(MenuLoopTest, StartsWithTheStoredGemSetAndTuneAndEndsOnQuit) {
    prefs.bubbleset = 1;
    prefs.currentTune = 25;
    run([](int frame) {
        if (frame == 3) {
            Input::setMouse(440, 290);
            Input::pressButton(MouseButton::Left);
        }
    });
    EXPECT_EQ(frames, 4) << "the frame with the Quit press is still presented";
    EXPECT_EQ(gCurrentMenu, 5);
    EXPECT_EQ(gTune, 3);
    ASSERT_NE(snd_music, nullptr);
    EXPECT_EQ(snd_music->_oggFileLen, std::filesystem::file_size(folder.path(
                                          "data/music/" + std::string(allMusic[0].filename) + ".ogg")))
        << "a stored tune outside the playlist plays the first";
    EXPECT_EQ(std::string(bubbleSetName), "candy");
    EXPECT_EQ(surf_menu, nullptr);
}

TEST_F(MenuLoopTest, AClosedWindowEndsTheLoop) {
    run([](int frame) {
        if (frame == 5)
            window().terminate();
    });
    EXPECT_EQ(frames, 5);
}

TEST_F(MenuLoopTest, ACreditsLinkEndsTheLoopWithoutAnotherFrame) {
    gCurrentMenu = 4;
    run([](int frame) {
        if (frame == 2) {
            Input::setMouse(100, 200);
            Input::pressButton(MouseButton::Left);
        }
    });
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(openedURLs(1).size(), 1u);
}
