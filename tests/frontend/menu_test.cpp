// The menu: page buttons, Play, mode and difficulty, the high-score page, credits links and the
// transitions; the local high-score tables: qualification and entry, the files, and several copies of
// the game.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "frontend_fixture.h"
#include "support/wait.h"

#include "framework/KMiscTools.h"
#include "framework/KText.h"
#include "frontend/highscores.h"
#include "game/playscreen.h"

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
            EXPECT_GT(litPixels(grab(), {431, 342, 553, 405}), 1000) << "Play is lit";
        }
        for (int i = 0; i < layout::kPageCount && !f.held; i++) {
            const layout::Box &b = layout::kPageButtons[i];
            EXPECT_EQ(litPixels(grab(), {b.x1, b.y1, b.x2, b.y2}) > 0, i == f.page) << "button " << i;
        }
    }
    EXPECT_EQ(std::memcmp(&before, &prefs, sizeof(prefs)), 0);
}

// Each page button, mode row, difficulty button and high-score tab takes in its bounds and not a pixel
// more (a point just outside one may lie on its neighbour, which then answers instead). Only the
// set-up page chooses a mode, and marks the chosen one and no mode out of range; a stored tab out of
// range shows the nearest one, lit alone.
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
    check(layout::kHighScoreTabs, layout::kModeCount, prefs.scoretab, kPageHighScores);

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
            EXPECT_EQ(litPixels(grab(), {at.x, at.y, at.x + 19, at.y + 18}) > 0, m == mode) << mode;
        }
    }
    for (auto [stored, shown] : {std::pair{7, 3}, {-2, 0}}) {
        prefs.scoretab = stored;
        clear();
        DoHighscoreInput(0, 0, false);
        EXPECT_EQ(prefs.scoretab, shown);
        for (int tab = 0; tab < layout::kModeCount; tab++) {
            const layout::Point at = layout::litHighScoreTab(tab).dest;
            EXPECT_EQ(litPixels(grab(), {at.x, at.y, at.x + 58, at.y + 24}) > 0, tab == shown)
                << stored << tab;
        }
    }
}

// Each row shows the value its table holds, as hours:minutes:seconds in the million table and as a
// plain number elsewhere; a name without its ending byte shows 31 characters.
TEST_F(MenuTest, HighScoreRowsShowTheirNamesAndValuesAsTheModeCountsThem) {
    sHighScores *const tables[4] = {&score60sec, &score5Min, &scoreMillion, &scoreRelax};
    const sHighScores saved[4] = {score60sec, score5Min, scoreMillion, scoreRelax};
    const auto &rowY = layout::kHighScoreRowY;
    constexpr int kRowHeight = layout::kHighScoreRowHeight;
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
        highscoreText->drawStringFromRight(r.shown, 360, rowY[r.row], 0);
        const Screen expected = grab();
        EXPECT_GT(litPixels(expected, {200, rowY[r.row], 361, rowY[r.row] + kRowHeight}), 0);
        EXPECT_EQ(differingPixels(drawn, expected, {200, rowY[r.row], 361, rowY[r.row] + kRowHeight}), 0);
    }

    sHighEntry &row = score60sec.players[0];
    std::memset(row.name, 'w', sizeof(row.name));
    // The value's bytes read as letters too, so a name read past its 32 bytes would draw them.
    row.score = 0x77777777u;
    score60sec.players[1].name[0] = 0;
    const Screen drawn = page(0);
    char thirtyOne[32] = {};
    std::memset(thirtyOne, 'w', 31);
    clear();
    highscoreText->drawStringFromLeft(thirtyOne, 110, rowY[0], 0);
    highscoreText->drawStringFromRight("2004318071", 360, rowY[0], 0);
    EXPECT_EQ(differingPixels(drawn, grab(), {0, rowY[0], 640, rowY[0] + kRowHeight}), 0);
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
        EXPECT_LT(litPixels(shown[0], {0, 0, 640, 480}), 640 * 480 / 10);
        EXPECT_GT(litPixels(shown[1], {0, 0, 640, 480}), 640 * 480 / 2);
    }
}

// The live tables as the program starts, before any test changes them.
const sHighScores kInitialTables[4] = {score60sec, score5Min, scoreMillion, scoreRelax};
sHighScores *const kTables[4] = {&score60sec, &score5Min, &scoreMillion, &scoreRelax};

std::string nameOf(const sHighScores &table, int row) {
    return std::string(table.players[row].name, strnlen(table.players[row].name, 32));
}

class HighScoresTest : public ::testing::Test {
protected:
    support::ProgramFolder folder;
    void SetUp() override {
        for (int t = 0; t < 4; t++)
            *kTables[t] = kInitialTables[t];
        loadHighScores(); // nothing to read yet: a run starts with no results of its own
    }
};

// Results entered on many seeded cases, on the built-in tables (the million table has a group out of
// order) and then on reset ones: a result qualifies when it strictly beats its difficulty's third row
// (lower is better in the million mode) and enters above the first row it beats, so below every equal
// row, pushing the rows under it down; nothing else changes. The tables saved read back byte for byte.
TEST_F(HighScoresTest, EnteredResultsKeepEachDifficultyInOrderAndFilesRoundTrip) {
    std::mt19937 random(42);
    for (int i = 0; i < 3000; i++) {
        if (i == 2000)
            resetScores();
        const long mode = random() % 4, difficulty = static_cast<long>(random() % 6) - 1; // -1, 4: none
        const bool known = difficulty >= 0 && difficulty < 4;
        sHighScores &table = *kTables[mode];
        const sHighScores before = table;
        // Now and then the largest value, 0, or a tie with one of the rows.
        const uint32_t value = i % 97 == 0   ? 0xffffffffu
                               : i % 89 == 0 ? 0u
                               : i % 5 == 0
                                   ? before.players[(known ? difficulty : 0) * 3 + random() % 3].score
                                   : static_cast<uint32_t>(random() % 20000);
        const std::string name = "p" + std::to_string(i) + std::string(random() % 40, 'x');
        const auto better = [mode](uint32_t a, uint32_t b) { return mode == 2 ? a < b : a > b; };
        SCOPED_TRACE("case " + std::to_string(i) + ", value " + std::to_string(value));

        ASSERT_EQ(qualifiesForHighScore(mode, difficulty, value),
                  known && better(value, before.players[difficulty * 3 + 2].score));
        insertHighScore(mode, difficulty, value, name.c_str());
        std::vector<std::pair<uint32_t, std::string>> rows; // the difficulty's rows as they should be
        for (int row = 0; known && row < 3; row++)
            rows.emplace_back(before.players[difficulty * 3 + row].score,
                              nameOf(before, difficulty * 3 + row));
        const auto at =
            std::find_if(rows.begin(), rows.end(), [&](const auto &r) { return better(value, r.first); });
        if (at == rows.end()) {
            ASSERT_EQ(0, std::memcmp(&before, &table, sizeof(table)));
            continue;
        }
        rows.insert(at, {value, name.substr(0, 31)});
        for (int row = 0; row < 13; row++) {
            if (row / 3 != difficulty) {
                ASSERT_EQ(0, std::memcmp(&before.players[row], &table.players[row], sizeof(sHighEntry)));
            } else {
                ASSERT_EQ(table.players[row].score, rows[row % 3].first) << "row " << row;
                ASSERT_EQ(nameOf(table, row), rows[row % 3].second) << "row " << row;
            }
        }
    }

    scoreRelax.players[12].score = 4242; // the spare row is kept too
    const sHighScores saved[4] = {score60sec, score5Min, scoreMillion, scoreRelax};
    saveHighScores();
    const char *files[4] = {"data/s60", "data/s5mn", "data/smil", "data/srelx"};
    for (int t = 0; t < 4; t++) {
        const support::Bytes bytes = folder.read(files[t]);
        ASSERT_EQ(bytes.size(), sizeof(sHighScores)) << files[t];
        EXPECT_EQ(0, std::memcmp(bytes.data(), &saved[t], sizeof(sHighScores))) << files[t];
        *kTables[t] = kInitialTables[t];
    }
    loadHighScores();
    for (int t = 0; t < 4; t++)
        EXPECT_EQ(0, std::memcmp(kTables[t], &saved[t], sizeof(sHighScores))) << files[t];
}

// Files of any length are read field by field like every record file (tested with the preferences);
// here, a stored name filling its 32 bytes moves down as the 31 characters it shows, ended by its 0 byte.
TEST_F(HighScoresTest, AStoredNameWithoutItsEndMovesDownCut) {
    folder.write("data/s5mn", support::Bytes(468, 'q'));
    loadHighScores();
    insertHighScore(1, 0, 0xffffffffu, "top");
    EXPECT_EQ(nameOf(score5Min, 0), "top");
    for (int row : {1, 2})
        EXPECT_EQ(nameOf(score5Min, row), std::string(31, 'q')) << "row " << row;
}

// Six copies of the game save at once on the same files, then this copy saves a result of its own:
// each save merges its new results into what the others saved, so no result that earns a place is
// lost, and what was merged is not merged twice.
TEST_F(HighScoresTest, CopiesOfTheGameSavingAtOnceLoseNoResult) {
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> copies;
    for (uint32_t copy = 0; copy < 6; copy++) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(start[1]);
            loadHighScores();
            char go;
            (void)!read(start[0], &go, 1); // all start together when the pipe closes
            insertHighScore(1, 2, 10000 + copy,
                            ("copy" + std::string(1, static_cast<char>('a' + copy))).c_str());
            saveHighScores();
            _exit(0);
        }
        copies.push_back(pid);
    }
    close(start[0]);
    close(start[1]);
    for (pid_t pid : copies)
        waitpid(pid, nullptr, 0);
    insertHighScore(2, 0, 100, "fast"); // a table the other copies did not touch
    insertHighScore(1, 2, 10002, "mine");
    saveHighScores();
    for (int pass = 0; pass < 2; pass++) {
        loadHighScores();
        const char *names[3] = {"copyf", "copye", "copyd"};
        for (int rank = 0; rank < 3; rank++) {
            EXPECT_EQ(score5Min.players[6 + rank].score, 10005u - rank);
            EXPECT_EQ(nameOf(score5Min, 6 + rank), names[rank]);
        }
        EXPECT_EQ(nameOf(scoreMillion, 0), "fast");
        EXPECT_EQ(nameOf(scoreMillion, 1), nameOf(kInitialTables[2], 0));
        saveHighScores();
    }
}

} // namespace
