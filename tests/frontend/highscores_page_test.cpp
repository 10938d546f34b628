// The high-score page: tabs, the clamp of the stored tab, and the rows as drawn.
#include <cstring>

#include "frontend_fixture.h"

#include "framework/KText.h"
#include "frontend/highscores.h"
#include "frontend/menu.h"

using namespace frontendtest;

namespace {
sHighScores *const kTables[4] = {&score60sec, &score5Min, &scoreMillion, &scoreRelax};
const sHighScores kStartTables[4] = {score60sec, score5Min, scoreMillion, scoreRelax};
constexpr int kRowY[12] = {148, 167, 185, 213, 233, 252, 279, 299, 318, 346, 365, 385};
constexpr int kRowHeight = 18; // the high-score font's tallest glyph ("1")
} // namespace

class HighScorePageTest : public FrontEndTest {
protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        folder.linkData("skins");
        folder.linkData("highscalp.tga");
        loadMenuGraphics();
        for (int t = 0; t < 4; t++)
            *kTables[t] = kStartTables[t];
    }
    Screen page(long tab) {
        clear();
        displayHighscores(tab);
        return grab();
    }
};

TEST_F(HighScorePageTest, TabsSelectAndTheStoredTabIsClamped) {
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
TEST_F(HighScorePageTest, RowsShowTheirNamesAndValuesAsTheModeCountsThem) {
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
        kTables[r.tab]->players[r.row].score = r.value;
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
}
