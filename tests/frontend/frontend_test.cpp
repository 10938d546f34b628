// The front end. The menu: page buttons, Play, mode and difficulty, the high-score page, credits links
// and the transitions. The local high-score tables: qualification and entry, the files, and several
// copies of the game. The options page: the music playlist and the tune button, both volume sliders, the
// gem-set chooser and the reset button. The game's cursor, shown by the system as its pointer picture,
// or drawn into the frame where the system cannot show colour cursors.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "framework/KGraphicD3D.h"
#include "framework/KMiscTools.h"
#include "framework/KSound.h"
#include "framework/KText.h"
#include "framework/KWindowD3D.h"
#include "frontend/gemsets.h"
#include "frontend/highscores.h"
#include "frontend/menu.h"
#include "frontend/options.h"
#include "game/playscreen.h"
#include "game/sheet_layout.h"
#include "platform/display.h"
#include "platform/frame_observer.h"
#include "platform/input.h"
#include "platform/pointer.h"
#include "shell/app.h"
#include "shell/cursor.h"
#include "shell/prefs.h"
#include "shell/sounds.h"
#include "support/hit_area.h"
#include "support/picture.h"
#include "support/program_folder.h"
#include "support/wait.h"

// One headless game window for the whole test program, a temporary program folder whose data folder
// links to the generated data, scripted input, and back-buffer read-back.
namespace {

// The game window (also put in fenetre), created headless on first use and kept for the run.
inline KWindowD3D &window() {
    static KWindowD3D *theWindow = [] {
        auto *created = new KWindowD3D;
        if (!created->createGameWindow(640, 480, 16, true, "Quorix"))
            ADD_FAILURE() << "no headless window: " << SDL_GetError();
        return created;
    }();
    fenetre = theWindow;
    return *theWindow;
}
// Clears the back buffer to black with the default view.
inline void clear() {
    window().setWorldView(0, 0, 0, 1, true);
}

// The finished back buffer, and its pixels that differ or are not black inside an area.
using Screen = support::Picture;
using support::differingPixels;
using support::litPixels;
inline Screen grab() {
    return support::backBuffer();
}

// A program folder for one test: data/<name> may link to, or copy, the generated data's entries.
class ProgramFolder : public support::ProgramFolder {
public:
    // Built with append: GCC 12 warns falsely (array-bounds) on a chain of + here.
    static std::string generated(const std::string &name) {
        return std::string(QUORIX_DATA_DIR).append("/").append(name);
    }
    void linkData(const std::string &name) const {
        std::filesystem::create_symlink(generated(name), path("data/" + name));
    }
    void makeFolder(const std::string &name) const { std::filesystem::create_directories(path(name)); }
    void copyData(const std::string &from, const std::string &to) const {
        std::filesystem::create_directories(std::filesystem::path(path(to)).parent_path());
        std::filesystem::copy_file(generated(from), path(to),
                                   std::filesystem::copy_options::overwrite_existing);
    }
};

// The base of the front-end tests: scripted input with nothing held, the window open and not
// quitting, default preferences, and the menu pictures and gem pictures freed afterwards.
class FrontEndTest : public ::testing::Test {
protected:
    ProgramFolder folder;
    void SetUp() override {
        window()._quit = false;
        platform::Input::setScripted(true);
        platform::Input::releaseAll();
        platform::Input::setMouse(0, 0);
        prefs = kDefaultPrefs;
        oldBt = false;
        gCurrentMenu = 0;
        clear();
    }
    void TearDown() override {
        platform::setFrameObserver({});
        platform::Input::releaseAll();
        KSound::_playObserver = nullptr;
        KMiscTools::_urlOpener = nullptr;
        freeMenuGraphics();
        freeBubbleSet();
        freeSounds();
        window()._quit = false;
    }
};

} // namespace

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
    // One menu frame's input and drawing on a cleared screen.
    long frame(long x, long y, bool held) {
        Input::setMouse(static_cast<int>(x), static_cast<int>(y));
        held ? Input::pressButton(MouseButton::Left) : Input::releaseButton(MouseButton::Left);
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
        const bool playLit = f.action == kMenuPlay || (f.x == 480 && !f.held);
        EXPECT_TRUE(!playLit || litPixels(grab(), {431, 342, 553, 405}) > 1000) << "Play is lit";
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

std::vector<std::string> listed;
bool collect(char *name, bool) {
    listed.emplace_back(name);
    return true;
}

// The middle of the tune name, of the slider rows and of the gem row.
constexpr int kTuneX = 290, kTuneY = 254;
constexpr int kEffectsY = 209, kMusicY = 235;
constexpr int kGemRowX = 200, kGemRowY = 330;

class OptionsTest : public FrontEndTest {
protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        folder.makeFolder("data/music");
        folder.linkData("skins");
        folder.linkData("highscalp.tga");
        loadMenuGraphics();
        KSound::setGlobalVolumes(50, 50);
        // Each set borrows a different generated set's pictures, so that sets can be told apart.
        for (int set = 0; set < 3; set++) {
            const std::string dir = "data/gems/set" + std::to_string(set),
                              name = "set " + std::string(1, 'a' + set);
            folder.write(dir + "/name.txt", std::vector<unsigned char>(name.begin(), name.end()));
            for (int i = 1; i <= 7; i++)
                folder.copyData("gems/set" + std::to_string(set) + "/gem0" + std::to_string(i) + ".tga",
                                dir + "/gem0" + std::to_string(i) + ".tga");
        }
    }
    // One frame of the chooser with the mouse over the gem row and a button or key pressed for a moment.
    void press(MouseButton button, SDL_Keycode key = SDLK_UNKNOWN) {
        key == SDLK_UNKNOWN ? Input::pressButton(button, 2) : Input::pressKey(key, 2);
        detectBubbleChange(kGemRowX - 8, kGemRowY, key == SDLK_UNKNOWN && button == MouseButton::Left);
    }
    Screen drawn(void (*control)(long, long, bool)) {
        clear();
        control(0, 0, false);
        return grab();
    }
};

// Any name holding ".ogg" counts (a folder too, never "LOUD.OGG"), the first twenty in listing order;
// a rebuilt list keeps nothing of the old one, and an empty one stays silent.
TEST_F(OptionsTest, ThePlaylistTakesTheFirstTwentyNamesHoldingTheExtension) {
    for (const char *name : {"b.ogg", "a.ogg.txt", "readme.txt", "LOUD.OGG", "folder.ogg/x"})
        folder.write(std::string("data/music/") + name, {'x'});
    for (int i = 0; i < 21; i++)
        folder.write("data/music/tune" + std::to_string(i) + ".ogg", {'x'});
    initMusic();
    std::string pattern = folder.path("data/music/*.*");
    listed.clear();
    KMiscTools::enumerateFolder(pattern.data(), collect);
    std::vector<std::string> expected, playlist;
    for (const std::string &name : listed)
        if (expected.size() < 20 && name.find(".ogg") != std::string::npos)
            expected.push_back(name.substr(0, name.size() - 4));
    for (long i = 0; i < gTune; i++)
        playlist.emplace_back(allMusic[i].filename);
    EXPECT_EQ(playlist, expected);

    std::filesystem::remove_all(folder.path("data/music"));
    folder.makeFolder("data/music");
    initMusic();
    EXPECT_EQ(gTune, 0);
    EXPECT_TRUE(
        std::all_of(std::begin(allMusic), std::end(allMusic), [](const sMusic &m) { return !*m.filename; }));
    playCurrentTune();
    ASSERT_NE(snd_music, nullptr);
    EXPECT_FALSE(snd_music->_oggFile);
}

// One tune per press, wrapping; a stored index outside the list plays and steps from the first tune. A press
// held until the window closes counts once, and the waits give up.
TEST_F(OptionsTest, TheTuneButtonAdvancesOneTunePerPressAndWraps) {
    for (const char *name : {"arcade skies.ogg", "still water.ogg", "sunny bossa.ogg"})
        folder.copyData(std::string("music/") + name, std::string("data/music/") + name);
    initMusic();
    ASSERT_EQ(gTune, 3);
    auto plays = [&](long entry) {
        return snd_music && snd_music->_oggFile &&
               static_cast<uintmax_t>(snd_music->_oggFileLen) ==
                   std::filesystem::file_size(
                       folder.path("data/music/" + std::string(allMusic[entry].filename) + ".ogg"));
    };
    for (long expected : {1, 2, 0, 1}) {
        Input::pressButton(MouseButton::Left, 3); // lets go after a few polls, which the button waits for
        detectMusicChange(kTuneX, kTuneY, true);
        EXPECT_EQ(prefs.currentTune, expected);
        EXPECT_FALSE(Input::isButtonDown(MouseButton::Left)) << "returns only once the button is up";
        EXPECT_TRUE(plays(expected));
    }
    detectMusicChange(kTuneX, kTuneY, false);
    EXPECT_EQ(prefs.currentTune, 1) << "with the button up nothing changes";

    for (int32_t stored : {5, kMaxTunes, -3}) {
        prefs.currentTune = stored;
        playCurrentTune();
        EXPECT_TRUE(plays(0)) << stored;
        detectMusicChange(kTuneX, kTuneY, true);
        EXPECT_EQ(prefs.currentTune, 0) << stored;
    }

    Input::pressButton(MouseButton::Left); // held for ever
    Input::pressButton(MouseButton::Right);
    Input::pressKey(SDLK_LEFT);
    window().terminate();
    detectMusicChange(kTuneX, kTuneY, true);
    detectBubbleChange(kGemRowX - 8, kGemRowY, true);
    EXPECT_EQ(prefs.currentTune, 1) << "counted once";
    EXPECT_EQ(prefs.bubbleset, 0);
}

// Each slider snaps its position, sets only its own volume (the scale has its own test), cuts a stored
// position to 0..176 (full volume) and draws its knob (16 pixels wide, at y 198 and 219) at position + 225.
TEST_F(OptionsTest, SlidersSnapSetOnlyTheirOwnVolumeAndDrawTheKnobThere) {
    const struct {
        void (*slide)(long, long, bool);
        int y, knobY;
        int32_t &position;
        const std::atomic<long> &volume, &other;
    } sliders[] = {{detectVolumeSlide, kEffectsY, 198, prefs.volume, KSound::_masterSFXvolume,
                    KSound::_masterMUSICvolume},
                   {detectVolumeMusicSlide, kMusicY, 219, prefs.volumezik, KSound::_masterMUSICvolume,
                    KSound::_masterSFXvolume}};
    for (const auto &s : sliders) {
        for (auto [x, stored, position] : {std::tuple{234, 60, 0},
                                           {238, 60, 5},
                                           {349, 60, 116},
                                           {0, 176, 176},
                                           {0, 177, 176},
                                           {0, 5000, 176},
                                           {0, -20, 0}}) {
            SCOPED_TRACE(std::to_string(s.y) + ": x " + std::to_string(x) + ", stored " +
                         std::to_string(stored));
            KSound::setGlobalVolumes(50, 50);
            s.position = stored;
            s.slide(x, s.y, true);
            EXPECT_EQ(s.position, position);
            s.slide(0, 0, false); // the effects take the snapped position in the next frame
            EXPECT_EQ(s.volume.load(), sliderToPercent(position));
            EXPECT_EQ(s.other.load(), 50);
        }
        for (int32_t position : {10, 100}) {
            s.position = position;
            const Screen screen = drawn(s.slide);
            const int away = position < 50 ? 325 : 235;
            EXPECT_GT(litPixels(screen, {position + 225, s.knobY, position + 241, s.knobY + 15}), 0)
                << position;
            EXPECT_EQ(litPixels(screen, {away, s.knobY, away + 16, s.knobY + 15}), 0) << position;
        }
    }
}

// Clicks and the Right arrow step forward, the right button and the Left arrow back (never below the
// first set), past the last set the choice wraps; a number from a damaged preferences file falls back
// to set 0 (a missing set too: the damaged-data run of the whole program plays one).
TEST_F(OptionsTest, ClicksAndArrowsStepThroughTheGemSetsAndWrap) {
    ASSERT_TRUE(loadBubbleSet(0));
    const struct {
        MouseButton button;
        SDL_Keycode key;
        int32_t set;
    } steps[] = {{MouseButton::Left, SDLK_UNKNOWN, 1}, {MouseButton::Left, SDLK_UNKNOWN, 2},
                 {MouseButton::Left, SDLK_UNKNOWN, 0}, {MouseButton::Right, SDLK_UNKNOWN, 0},
                 {MouseButton::Left, SDLK_RIGHT, 1},   {MouseButton::Left, SDLK_RIGHT, 2},
                 {MouseButton::Left, SDLK_LEFT, 1},    {MouseButton::Right, SDLK_UNKNOWN, 0}};
    for (const auto &step : steps) {
        press(step.button, step.key);
        EXPECT_EQ(prefs.bubbleset, step.set);
        EXPECT_EQ(std::string(bubbleSetName), std::string("set ") + static_cast<char>('a' + step.set));
    }
    Input::pressKey(SDLK_RIGHT, 2); // a click and the Right arrow in the same frame move two sets
    press(MouseButton::Left);
    EXPECT_EQ(prefs.bubbleset, 2);
    EXPECT_FALSE(Input::isButtonDown(MouseButton::Left)) << "every wait ended with everything released";
    EXPECT_FALSE(Input::isKeyDown(SDLK_RIGHT));
    prefs.bubbleset = INT32_MAX;
    press(MouseButton::Left);
    EXPECT_EQ(prefs.bubbleset, 0);
}

// The row shows the set's seven pictures at 61 + i * (width + 4), and loading a set replaces each (the
// damaged-data run of the whole program loads a set without pictures and with a 300-byte name).
TEST_F(OptionsTest, TheGemRowShowsEveryPictureOfTheLoadedSet) {
    ASSERT_TRUE(loadBubbleSet(0));
    const Screen setA = drawn(detectBubbleChange);
    ASSERT_TRUE(loadBubbleSet(2));
    const Screen setC = drawn(detectBubbleChange);
    const int w = static_cast<int>(gems[0]->fimageWidth), h = static_cast<int>(gems[0]->fimageHeight);
    for (int i = 1; i <= 7; i++) {
        const int x = 61 + i * (w + 4);
        EXPECT_GT(litPixels(setC, {x, 306, x + w, 306 + h}), w * h / 4) << "picture " << i;
        EXPECT_GT(differingPixels(setA, setC, {x, 306, x + w, 306 + h}), 0) << "picture " << i;
    }
    EXPECT_EQ(litPixels(setC, {0, 306, 61 + w + 4, 306 + h}), 0) << "nothing left of the first picture";
}

// Every control of the page reacts inside its area and not a pixel outside it: the tune name's box
// takes in its bounds, the sliders, the gem row (whose chooser gets the mouse x less 8) and the reset
// button leave theirs out (the journey through the whole program checks what the reset puts on disk).
TEST_F(OptionsTest, ControlsReactOnlyInsideTheirAreas) {
    for (const char *name : {"a.ogg", "b.ogg"})
        folder.copyData("music/still water.ogg", std::string("data/music/") + name);
    initMusic();
    ASSERT_TRUE(loadBubbleSet(0));
    const struct {
        support::EdgePoints edges;
        void (*control)(long, long, bool);
        bool held;
        bool (*reacted)();
    } controls[] = {
        {support::boxEdges(layout::kTuneNameArea), detectMusicChange, true,
         [] { return prefs.currentTune != 0; }},
        {support::openEdges(layout::kEffectsSliderArea), detectVolumeSlide, true,
         [] { return prefs.volume != 60; }},
        {support::openEdges(layout::kMusicSliderArea), detectVolumeMusicSlide, true,
         [] { return prefs.volumezik != 60; }},
        {support::openEdges(layout::kGemRowArea),
         [](long x, long y, bool b) { detectBubbleChange(x - 8, y, b); }, true,
         [] { return prefs.bubbleset != 0; }},
        {support::openEdges(layout::kResetScoresArea), detectVolumeSlide, false,
         [] {
             return litPixels(grab(), {105, 138, 318, 164}) > 1000;
         }},
    };
    for (const auto &c : controls) {
        for (const auto &[points, inside] : {std::pair{c.edges.inside, true}, {c.edges.outside, false}}) {
            for (const auto &[x, y] : points) {
                prefs.currentTune = prefs.bubbleset = 0;
                prefs.volume = prefs.volumezik = 60;
                Input::pressButton(MouseButton::Left, 2);
                clear();
                c.control(x, y, c.held);
                EXPECT_EQ(c.reacted(), inside) << x << "," << y;
                Input::releaseAll();
            }
        }
    }
}

// Shown by the system or drawn into the frame, the frame observer and screenshots see the very same
// pixels, and the system's own arrow shows only outside the game's picture.
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
