// The high-score page: tabs, the clamp of the stored tab, and the rows as drawn.
#include <cstring>

#include "frontend_fixture.h"

#include "framework/KText.h"
#include "frontend/highscores.h"
#include "frontend/menu.h"

using namespace frontendtest;

namespace {
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
        score60sec = kStartTables[0];
        score5Min = kStartTables[1];
        scoreMillion = kStartTables[2];
        scoreRelax = kStartTables[3];
    }
    Screen page(long tab) {
        clear();
        displayHighscores(tab);
        return grab();
    }
    // What the high-score font alone draws for a value right-aligned at x 360 in row 0.
    Screen valueAlone(const char *text) {
        clear();
        highscoreText->drawStringFromRight(text, 360, kRowY[0], 0);
        return grab();
    }
};

TEST_F(HighScorePageTest, TabsSelectAndTheStoredTabIsClamped) {
    auto litTab = [](const Screen &s, int tab) {
        const int x = 109 + tab * 65;
        return litPixels(s, x, 113, x + 58, 137);
    };
    for (auto [stored, shown] : {std::pair{7, 3}, {-2, 0}, {2, 2}}) {
        prefs.scoretab = stored;
        clear();
        DoHighscoreInput(0, 0, false);
        EXPECT_EQ(prefs.scoretab, shown);
        const Screen s = grab();
        for (int tab = 0; tab < 4; tab++)
            EXPECT_EQ(litTab(s, tab) > 0, tab == shown) << "stored " << stored << ", tab " << tab;
    }
    // Pressing over a tab selects it; the bounds are inclusive; hovering without the button does not.
    DoHighscoreInput(169, 117, true);
    EXPECT_EQ(prefs.scoretab, 1);
    DoHighscoreInput(363, 137, false);
    EXPECT_EQ(prefs.scoretab, 1);
    DoHighscoreInput(363, 137, true);
    EXPECT_EQ(prefs.scoretab, 3);
    DoHighscoreInput(364, 137, true);
    EXPECT_EQ(prefs.scoretab, 3);
    DoHighscoreInput(234, 116, true);
    EXPECT_EQ(prefs.scoretab, 3);
}

TEST_F(HighScorePageTest, MillionTimesAreShownAsHoursMinutesSeconds) {
    scoreMillion.players[0].score = 3600;
    const Screen million = page(2);
    const Screen expected = valueAlone("01:00:00");
    EXPECT_EQ(differences(million, expected, 200, kRowY[0], 361, kRowY[0] + kRowHeight), 0);
    EXPECT_GT(litPixels(expected, 200, kRowY[0], 361, kRowY[0] + kRowHeight), 0);

    scoreMillion.players[0].score = 59;
    EXPECT_EQ(differences(page(2), valueAlone("00:00:59"), 200, kRowY[0], 361, kRowY[0] + kRowHeight), 0);
    // Points tables show plain numbers: the same value is no time there.
    score60sec.players[0].score = 3600;
    EXPECT_EQ(differences(page(0), valueAlone("3600"), 200, kRowY[0], 361, kRowY[0] + kRowHeight), 0);
}

TEST_F(HighScorePageTest, RowTwelveIsNeverDrawn) {
    const Screen before = page(0);
    std::strcpy(score60sec.players[12].name, "zzzzzzzz");
    score60sec.players[12].score = 987654;
    EXPECT_EQ(differences(before, page(0), 0, 0, 640, 480), 0);

    // Row 11, the last one shown, does change the picture.
    score60sec.players[11].score = 987654;
    const Screen changed = page(0);
    EXPECT_GT(differences(before, changed, 200, kRowY[11], 361, kRowY[11] + kRowHeight), 0);
    EXPECT_EQ(differences(before, changed, 0, 0, 640, kRowY[11]), 0);
}

TEST_F(HighScorePageTest, ANameWithoutItsEndingByteShowsThirtyOneCharacters) {
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
