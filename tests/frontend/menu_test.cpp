// The menu: page buttons, Play, mode and difficulty, the high-score page, credits links, the transitions
// and the menu loop.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "frontend_fixture.h"
#include "support/hit_area.h"
#include "support/wait.h"

#include "framework/KMiscTools.h"
#include "framework/KSound.h"
#include "framework/KText.h"
#include "frontend/gemsets.h"
#include "frontend/highscores.h"
#include "frontend/menu.h"
#include "frontend/options.h"
#include "game/playscreen.h"
#include "platform/frame_observer.h"
#include "platform/input.h"
#include "shell/sounds.h"

using namespace frontendtest;
using platform::Input;
using platform::MouseButton;

namespace {

int clicks = 0, swaps = 0;
std::mutex openedLock;
std::vector<std::string> opened;

// The browser is opened on a thread of its own: waits until the expected number of addresses arrived.
std::vector<std::string> openedURLs(size_t expected) {
    support::waitUntil([expected] {
        std::lock_guard<std::mutex> hold(openedLock);
        return opened.size() >= expected;
    });
    std::lock_guard<std::mutex> hold(openedLock);
    std::vector<std::string> urls;
    urls.swap(opened);
    std::sort(urls.begin(), urls.end());
    return urls;
}

class MenuTest : public FrontEndTest {
protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        for (const char *name : {"skins", "highscalp.tga", "audio", "gems", "music", "help"})
            folder.linkData(name);
        loadSounds();
        loadMenuGraphics();
        clicks = swaps = 0;
        KSound::_playObserver = [](const KSound *sound) {
            clicks += sound == snd_click;
            swaps += sound == snd_swap;
        };
        KMiscTools::_urlOpener = [](const char *url, bool) {
            std::lock_guard<std::mutex> hold(openedLock);
            opened.emplace_back(url);
        };
        openedURLs(0);
    }
    void TearDown() override {
        KMiscTools::_urlOpener = nullptr;
        FrontEndTest::TearDown();
    }
    // One menu frame's input and drawing on a cleared screen.
    long frame(long x, long y, bool held) {
        Input::setMouse(static_cast<int>(x), static_cast<int>(y));
        if (held)
            Input::pressButton(MouseButton::Left);
        else
            Input::releaseButton(MouseButton::Left);
        clear();
        return doUserInput();
    }
};

// A run of menu frames: what each returns, the page after it and the clicks heard so far. A press
// clicks once however long it is held, also when the pointer moves onto another button; the current
// page's button stays lit, and only that one; Play acts from either of its rectangles and lights
// while hovered; nothing of the preferences changes.
TEST_F(MenuTest, PageButtonsAndPlayActAndClickOncePerPress) {
    const struct {
        int x, y;
        bool held;
        long action;
        int page, clicks;
    } frames[] = {{468, 204, true, kMenuPage2, 2, 1},    {468, 204, true, kMenuPage2, 2, 1},
                  {600, 450, false, kMenuNothing, 2, 1}, {450, 260, true, kMenuPage4, 4, 2},
                  {450, 170, true, kMenuPage1, 1, 2},    {600, 20, false, kMenuNothing, 1, 2},
                  {600, 20, true, kMenuNothing, 1, 3},   {450, 230, true, kMenuPage3, 3, 3},
                  {600, 450, false, kMenuNothing, 3, 3}, {480, 381, true, kMenuPlay, 3, 4},
                  {437, 399, true, kMenuPlay, 3, 4},     {511, 346, true, kMenuPlay, 3, 4},
                  {466, 346, true, kMenuNothing, 3, 4},  {480, 381, false, kMenuNothing, 3, 4},
                  {450, 290, true, kMenuQuit, 5, 5},     {450, 145, true, kMenuNothing, 0, 5}};
    const sPrefs before = prefs;
    for (const auto &f : frames) {
        SCOPED_TRACE(std::to_string(f.x) + "," + std::to_string(f.y));
        EXPECT_EQ(frame(f.x, f.y, f.held), f.action);
        EXPECT_EQ(gCurrentMenu, f.page);
        EXPECT_EQ(clicks, f.clicks);
        if (f.action == kMenuPlay || (f.x == 480 && !f.held)) {
            EXPECT_GT(litPixels(grab(), 431, 342, 553, 405), 1000) << "Play is lit";
        }
        for (int i = 0; i < layout::kPageCount && !f.held; i++)
            EXPECT_EQ(litPixels(grab(), layout::kPageButtons[i]) > 0, i == f.page) << "button " << i;
    }
    EXPECT_EQ(std::memcmp(&before, &prefs, sizeof(prefs)), 0);
}

// Each page button, mode row and difficulty button takes in its bounds and not a pixel more (a point
// just outside one may lie on its neighbour, which then answers instead). Only the set-up page
// chooses, and marks the chosen mode, and no mode out of range.
TEST_F(MenuTest, ButtonsReactOnlyInsideTheirAreas) {
    // chosen: what a press changes; page: the page the press is made on (-1: another page).
    const auto check = [&](const layout::Box *areas, int count, auto &chosen, int page) {
        for (int i = 0; i < count; i++) {
            const support::EdgePoints edges = support::boxEdges(areas[i]);
            for (const auto &[points, inside] : {std::pair{edges.inside, true}, {edges.outside, false}}) {
                for (const auto &[x, y] : points) {
                    gCurrentMenu = page >= 0 ? page : (i + 1) % layout::kPageCount;
                    if (page >= 0)
                        chosen = (i + 1) % count;
                    frame(x, y, true);
                    frame(600, 450, false);
                    EXPECT_EQ(chosen == i, inside) << "area " << i << " at " << x << "," << y;
                }
            }
        }
    };
    check(layout::kPageButtons, layout::kPageCount, gCurrentMenu, -1);
    check(layout::kModeRows, layout::kModeCount, prefs.gameMode, 0);
    check(layout::kDifficultyButtons, layout::kDifficultyCount, prefs.difficulty, 0);

    prefs.gameMode = prefs.difficulty = 1;
    gCurrentMenu = 1;
    frame(200, 260, true);
    frame(350, 380, true);
    EXPECT_EQ(prefs.gameMode, 1) << "chosen on another page";
    EXPECT_EQ(prefs.difficulty, 1) << "chosen on another page";
    gCurrentMenu = 0;
    for (int mode : {2, 9}) {
        prefs.gameMode = mode;
        frame(600, 450, false);
        for (int m = 0; m < layout::kModeCount; m++) {
            const layout::Point at = layout::kModeMarkers[m].dest;
            EXPECT_EQ(litPixels(grab(), at.x, at.y, at.x + 19, at.y + 18) > 0, m == mode) << mode;
        }
    }
}

TEST_F(MenuTest, HighScoreTabsSelectAndTheStoredTabIsClamped) {
    for (auto [stored, shown] : {std::pair{7, 3}, {-2, 0}, {2, 2}}) {
        prefs.scoretab = stored;
        clear();
        DoHighscoreInput(0, 0, false);
        EXPECT_EQ(prefs.scoretab, shown);
        const Screen s = grab();
        for (int tab = 0; tab < 4; tab++)
            EXPECT_EQ(litPixels(s, 109 + tab * 65, 113, 167 + tab * 65, 137) > 0, tab == shown)
                << stored << tab;
    }
    // Pressing over a tab selects it; the bounds are inclusive; hovering without the button does not.
    const struct {
        int x, y;
        bool held;
        int tab;
    } presses[] = {{169, 117, true, 1},
                   {363, 137, false, 1},
                   {363, 137, true, 3},
                   {364, 137, true, 3},
                   {234, 116, true, 3}};
    for (const auto &p : presses) {
        DoHighscoreInput(p.x, p.y, p.held);
        EXPECT_EQ(prefs.scoretab, p.tab) << p.x << "," << p.y;
    }
}

// Each row shows the value its table holds, as hours:minutes:seconds in the million table and as a
// plain number elsewhere; row 12 is never drawn; a name without its ending byte shows 31 characters.
TEST_F(MenuTest, HighScoreRowsShowTheirNamesAndValuesAsTheModeCountsThem) {
    sHighScores *const tables[4] = {&score60sec, &score5Min, &scoreMillion, &scoreRelax};
    const sHighScores saved[4] = {score60sec, score5Min, scoreMillion, scoreRelax};
    constexpr int kRowY[12] = {148, 167, 185, 213, 233, 252, 279, 299, 318, 346, 365, 385};
    constexpr int kRowHeight = 18; // the high-score font's tallest glyph ("1")
    const auto page = [](long tab) {
        clear();
        displayHighscores(tab);
        return grab();
    };
    const struct {
        int tab, row;
        uint32_t value;
        const char *shown;
    } rows[] = {{2, 0, 3600, "01:00:00"},
                {2, 4, 9432, "02:37:12"},
                {2, 11, 59, "00:00:59"},
                {0, 0, 3600, "3600"},
                {3, 11, 987654, "987654"}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.shown);
        tables[r.tab]->players[r.row].score = r.value;
        const Screen drawn = page(r.tab);
        clear();
        highscoreText->drawStringFromRight(r.shown, 360, kRowY[r.row], 0);
        const Screen expected = grab();
        EXPECT_GT(litPixels(expected, 200, kRowY[r.row], 361, kRowY[r.row] + kRowHeight), 0);
        EXPECT_EQ(differences(drawn, expected, 200, kRowY[r.row], 361, kRowY[r.row] + kRowHeight), 0);
    }

    const Screen before = page(0);
    std::strcpy(score60sec.players[12].name, "zzzzzzzz");
    score60sec.players[12].score = 987654;
    EXPECT_EQ(differences(before, page(0), 0, 0, 640, 480), 0) << "row 12 is drawn";

    sHighEntry &row = score60sec.players[0];
    std::memset(row.name, 'w', sizeof(row.name));
    // The value's bytes read as letters too, so a name read past its 32 bytes would draw them.
    row.score = 0x77777777u;
    score60sec.players[1].name[0] = 0;
    const Screen drawn = page(0);
    char thirtyOne[32] = {};
    std::memset(thirtyOne, 'w', 31);
    clear();
    highscoreText->drawStringFromLeft(thirtyOne, 110, kRowY[0], 0);
    highscoreText->drawStringFromRight("2004318071", 360, kRowY[0], 0);
    EXPECT_EQ(differences(drawn, grab(), 0, kRowY[0], 640, kRowY[0] + kRowHeight), 0);
    for (int t = 0; t < 4; t++)
        *tables[t] = saved[t];
}

// A press inside a link (open bounds) opens its address and ends the program; where two areas
// overlap both open. The framework link opens the help page at its section on how the game is built.
TEST_F(MenuTest, CreditsLinksOpenTheirAddressAndEndTheProgram) {
    const std::string help = "file://" + folder.root().string() + "/data/help/index.html#framework";
    const std::string web = "https://quorix.example.org/", mail = "mailto:team@quorix.example.org";
    const struct {
        int x, y;
        bool held;
        std::vector<std::string> opened;
    } presses[] = {{200, 350, false, {}},    {161, 350, true, {}},          {343, 350, true, {}},
                   {250, 227, true, {}},     {200, 350, true, {help}},      {100, 200, true, {web}},
                   {100, 300, true, {mail}}, {200, 320, true, {help, mail}}};
    for (const auto &p : presses) {
        gCurrentMenu = 4;
        frame(p.x, p.y, p.held);
        EXPECT_EQ(openedURLs(p.opened.size()), p.opened) << p.x << "," << p.y;
        EXPECT_EQ(window().isQuit(), !p.opened.empty()) << p.x << "," << p.y;
        window()._quit = false;
    }
}

// The menu spins back in over 41 frames, the game in over 40, with one swap sound: it begins with the
// old (black) frame almost whole and ends with the new screen almost whole.
TEST_F(MenuTest, TransitionsSpinForTheirFrameCounts) {
    for (auto [transition, count] : {std::pair{&ScrollTheMenu, 41}, {&ScrollTheGame, 40}}) {
        int frames = 0;
        swaps = 0;
        std::vector<Screen> shown;
        platform::setFrameObserver([&, count = count](const platform::Frame &) {
            if (++frames == 1 || frames == count)
                shown.push_back(grab());
        });
        surf_fond = surf_menu; // the game's background is its own sheet; the menu's stands in for it
        clear();
        transition();
        surf_fond = nullptr;
        platform::setFrameObserver({});
        EXPECT_EQ(frames, count);
        EXPECT_EQ(swaps, 1);
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_LT(litPixels(shown[0], 0, 0, 640, 480), 640 * 480 / 10);
        EXPECT_GT(litPixels(shown[1], 0, 0, 640, 480), 640 * 480 / 2);
    }
}

// The menu loop starts with the stored gem set and tune (one outside the playlist plays the first), and
// ends on Quit (that frame still presented), on a closed window or on a credits link (without another
// frame), freeing the menu pictures on the way out.
TEST_F(MenuTest, TheMenuLoopStartsWithTheStoredChoicesAndEnds) {
    const struct {
        int page, at, frames;
        std::function<void()> act;
    } ends[] = {{0, 3, 4,
                 [] {
                     Input::setMouse(440, 290);
                     Input::pressButton(MouseButton::Left);
                 }},
                {0, 5, 5, [] { window().terminate(); }},
                {4, 2, 2, [] {
                     Input::setMouse(100, 200);
                     Input::pressButton(MouseButton::Left);
                 }}};
    for (const auto &e : ends) {
        SCOPED_TRACE(e.frames);
        Input::releaseAll();
        window()._quit = false;
        gCurrentMenu = e.page;
        prefs.bubbleset = 1;
        prefs.currentTune = 25;
        freeMenuGraphics();
        int frames = 0;
        platform::setFrameObserver([&](const platform::Frame &) {
            if (++frames == e.at)
                e.act();
        });
        doMenu();
        EXPECT_EQ(frames, e.frames);
        EXPECT_EQ(gTune, 3);
        ASSERT_NE(snd_music, nullptr);
        EXPECT_EQ(snd_music->_oggFileLen, std::filesystem::file_size(folder.path(
                                              "data/music/" + std::string(allMusic[0].filename) + ".ogg")));
        EXPECT_EQ(std::string(bubbleSetName), "candy");
        EXPECT_EQ(surf_menu, nullptr);
        EXPECT_EQ(surf_credits, nullptr);
    }
    EXPECT_EQ(gCurrentMenu, 4);
    EXPECT_EQ(openedURLs(1).size(), 1u);
}

} // namespace
