#include <gtest/gtest.h>

#include <cctype>
#include <cstring>

#include "../shell/temp_folder.h"
#include "frontend/highscores.h"

namespace {
// The live tables as the program starts, before any test changes them.
const sHighScores kInitialTables[4] = {score60sec, score5Min, scoreMillion, scoreRelax};
} // namespace

class HighScoresTest : public ::testing::Test {
protected:
    TempProgramFolder folder;
    void SetUp() override {
        score60sec = kInitialTables[0];
        score5Min = kInitialTables[1];
        scoreMillion = kInitialTables[2];
        scoreRelax = kInitialTables[3];
    }
    static std::string nameOf(const sHighScores &table, int row) {
        return std::string(table.players[row].name, strnlen(table.players[row].name, 32));
    }
};

TEST_F(HighScoresTest, BuiltInTablesHoldTheirValuesAndNames) {
    const uint32_t sixty[13] = {600, 600, 450, 350, 300, 200, 100, 30, 20, 10, 10, 10, 10};
    const uint32_t relaxReset[13] = {300, 200, 100, 300, 200, 100, 300, 200, 100, 0, 0, 0, 0};
    for (int row = 0; row < 13; row++) {
        EXPECT_EQ(score60sec.players[row].score, sixty[row]);
        EXPECT_EQ(bscoreRelax.players[row].score, relaxReset[row]);
    }
    EXPECT_EQ(scoreMillion.players[2].score, 12610u);
    EXPECT_EQ(bscore5Min.players[0].score, 3000u);
    const sHighScores *tables[] = {&score60sec,  &score5Min,  &scoreMillion,  &scoreRelax,
                                   &bscore60sec, &bscore5Min, &bscoreMillion, &bscoreRelax};
    for (const sHighScores *table : tables) {
        for (int row = 0; row < 13; row++) {
            const std::string name = nameOf(*table, row);
            EXPECT_EQ(name.empty(), table->players[row].score == 0) << "row " << row;
            for (char c : name)
                EXPECT_TRUE(std::islower(static_cast<unsigned char>(c))) << name;
        }
    }
}

TEST_F(HighScoresTest, QualificationIsStrictAndUnsigned) {
    EXPECT_FALSE(qualifiesForHighScore(0, 0, 450));
    EXPECT_TRUE(qualifiesForHighScore(0, 0, 451));
    EXPECT_TRUE(qualifiesForHighScore(2, 0, 12609));
    EXPECT_FALSE(qualifiesForHighScore(2, 0, 12610));
    EXPECT_TRUE(qualifiesForHighScore(3, 3, 1));
    EXPECT_FALSE(qualifiesForHighScore(3, 3, 0));
    EXPECT_FALSE(qualifiesForHighScore(0, 4, 100000)) << "no group outside 0..3";
    EXPECT_FALSE(qualifiesForHighScore(0, -1, 100000));

    resetScores();
    EXPECT_TRUE(qualifiesForHighScore(0, 3, 1));
    EXPECT_FALSE(qualifiesForHighScore(2, 3, 0)) << "no time beats 0 in a reset million table";
}

TEST_F(HighScoresTest, InsertionMovesRowsDownAndTiesGoBelow) {
    insertHighScore(0, 0, 451, "zoe");
    EXPECT_EQ(score60sec.players[2].score, 451u);
    EXPECT_EQ(nameOf(score60sec, 2), "zoe");
    EXPECT_EQ(score60sec.players[3].score, 350u) << "the next group is untouched";

    insertHighScore(0, 0, 600, "tie");
    EXPECT_EQ(nameOf(score60sec, 2), "tie") << "a tie goes below the equal rows";
    EXPECT_EQ(score60sec.players[0].score, 600u);

    insertHighScore(0, 1, 1000, "best");
    EXPECT_EQ(nameOf(score60sec, 3), "best");
    EXPECT_EQ(score60sec.players[4].score, 350u);
    EXPECT_EQ(score60sec.players[5].score, 300u);

    insertHighScore(2, 0, 9432, "quick");
    EXPECT_EQ(nameOf(scoreMillion, 2), "quick");
    EXPECT_EQ(scoreMillion.players[1].score, 9432u);
    insertHighScore(2, 0, 100, "");
    EXPECT_EQ(scoreMillion.players[0].score, 100u);
    EXPECT_EQ(nameOf(scoreMillion, 0), "");
    EXPECT_EQ(scoreMillion.players[1].score, 9432u);

    const sHighScores before = score5Min;
    insertHighScore(1, 3, 100, "none");
    insertHighScore(1, 7, 100000, "none");
    EXPECT_EQ(0, std::memcmp(&before, &score5Min, sizeof(before)));

    // Long names are kept to 31 characters and always ended.
    insertHighScore(3, 2, 5000, "abcdefghijklmnopqrstuvwxyzabcdefghijkl");
    EXPECT_EQ(nameOf(scoreRelax, 6).size(), 31u);
    EXPECT_EQ(scoreRelax.players[6].name[31], 0);
}

TEST_F(HighScoresTest, FilesAreTheRawTablesAndRow12Survives) {
    scoreRelax.players[12].score = 4242;
    std::strcpy(scoreRelax.players[12].name, "spare");
    saveHighScores();
    for (const char *name : {"data/s60", "data/s5mn", "data/smil", "data/srelx"})
        EXPECT_EQ(folder.read(name).size(), 468u) << name;
    const std::vector<unsigned char> relax = folder.read("data/srelx");
    EXPECT_EQ(0, std::memcmp(relax.data(), &scoreRelax, 468));
    EXPECT_EQ(relax[36 * 12 + 32], 4242 & 0xff);
    EXPECT_EQ(relax[36 * 12 + 33], 4242 >> 8);

    resetScores();
    EXPECT_EQ(scoreRelax.players[12].score, 0u);
    loadHighScores();
    EXPECT_EQ(scoreRelax.players[12].score, 4242u);
    EXPECT_EQ(nameOf(scoreRelax, 12), "spare");
}

TEST_F(HighScoresTest, ShortMissingAndDamagedFiles) {
    // A 40-byte file replaces row 0 and the first four bytes of row 1's name only.
    std::vector<unsigned char> bytes(40, 0);
    std::memcpy(bytes.data(), "kai", 3);
    bytes[32] = 0x10;
    bytes[33] = 0x27; // 10000
    bytes[36] = 'x';
    folder.write("data/s60", bytes);
    loadHighScores();
    EXPECT_EQ(nameOf(score60sec, 0), "kai");
    EXPECT_EQ(score60sec.players[0].score, 10000u);
    EXPECT_EQ(score60sec.players[1].name[0], 'x');
    EXPECT_EQ(score60sec.players[1].score, 600u);
    EXPECT_EQ(score5Min.players[0].score, 400u) << "a missing file leaves the table alone";

    // A name filling its 32 bytes reads as 31 characters when it moves down.
    bytes.assign(468, 'q');
    folder.write("data/s5mn", bytes);
    loadHighScores();
    insertHighScore(1, 0, 0xffffffffu, "top");
    EXPECT_EQ(nameOf(score5Min, 0), "top");
    EXPECT_EQ(std::memcmp(score5Min.players[1].name, std::string(32, 'q').data(), 32), 0)
        << "moved rows keep their bytes";
}

TEST(HighScoreTimes, HoursMinutesSeconds) {
    EXPECT_EQ(getHours(9432), 2);
    EXPECT_EQ(getMinutes(9432), 37);
    EXPECT_EQ(getSeconds(9432), 12);
    EXPECT_EQ(getHours(3600), 1);
    EXPECT_EQ(getMinutes(3600), 0);
    EXPECT_EQ(getSeconds(59), 59);
    EXPECT_EQ(getMinutes(59), 0);
    EXPECT_EQ(getMinutes(7199), 59);
}
