#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "frontend/highscores.h"
#include "support/program_folder.h"

namespace {
// The live tables as the program starts, before any test changes them.
const sHighScores kInitialTables[4] = {score60sec, score5Min, scoreMillion, scoreRelax};
} // namespace

class HighScoresTest : public ::testing::Test {
protected:
    support::ProgramFolder folder;
    void SetUp() override {
        score60sec = kInitialTables[0];
        score5Min = kInitialTables[1];
        scoreMillion = kInitialTables[2];
        scoreRelax = kInitialTables[3];
        loadHighScores(); // nothing to read yet: a run starts with no results of its own
    }
    static std::string nameOf(const sHighScores &table, int row) {
        return std::string(table.players[row].name, strnlen(table.players[row].name, 32));
    }
};

// Every row of the built-in tables with a score has a lower-case name, and an empty row none.
TEST_F(HighScoresTest, BuiltInRowsHaveNamesExactlyWhenTheyHaveScores) {
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

    // A name filling its 32 bytes moves down as the 31 characters it shows, ended by its 0 byte.
    bytes.assign(468, 'q');
    folder.write("data/s5mn", bytes);
    loadHighScores();
    insertHighScore(1, 0, 0xffffffffu, "top");
    EXPECT_EQ(nameOf(score5Min, 0), "top");
    for (int row : {1, 2})
        EXPECT_EQ(nameOf(score5Min, row), std::string(31, 'q')) << "row " << row;
}

// Two copies of the game on the same files: each save merges its own new results into what the other
// saved, by the same insertion rule, so no saved result is lost.
TEST_F(HighScoresTest, TwoCopiesOfTheGameLoseNoResult) {
    loadHighScores();
    // The other copy, started at the same time, saves first.
    const pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        insertHighScore(0, 1, 5000, "bea");
        saveHighScores();
        _exit(0);
    }
    waitpid(other, nullptr, 0);
    insertHighScore(0, 1, 4000, "abe");
    insertHighScore(2, 0, 100, "fast"); // a table the other copy did not touch
    saveHighScores();
    for (int pass = 0; pass < 2; pass++) { // what was merged is not merged twice
        loadHighScores();
        EXPECT_EQ(nameOf(score60sec, 3), "bea");
        EXPECT_EQ(score60sec.players[3].score, 5000u);
        EXPECT_EQ(nameOf(score60sec, 4), "abe");
        EXPECT_EQ(score60sec.players[5].score, 350u);
        EXPECT_EQ(nameOf(scoreMillion, 0), "fast");
        saveHighScores();
    }

    // Six copies saving at once: every result that earns a place keeps it.
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
    loadHighScores();
    for (int rank = 0; rank < 3; rank++) {
        EXPECT_EQ(score5Min.players[6 + rank].score, 10005u - rank);
        EXPECT_EQ(nameOf(score5Min, 6 + rank), "copy" + std::string(1, static_cast<char>('f' - rank)));
    }
}

// A table that is there but cannot be read is left as it is, said once; the others are saved.
TEST_F(HighScoresTest, AnUnreadableTableIsLeftAlone) {
    chmod(folder.root().c_str(), 0777);
    chmod(folder.path("data").c_str(), 0777);
    const std::vector<unsigned char> theirs(468, 'z');
    folder.write("data/s60", theirs);
    chmod(folder.path("data/s60").c_str(), geteuid() == 0 ? 0600 : 0000);
    support::asPlayer([&] {
        KMiscTools::setProgramFolder(folder.root().c_str());
        testing::internal::CaptureStderr();
        loadHighScores();
        insertHighScore(0, 0, 100000, "me");
        saveHighScores();
        saveHighScores();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("s60 exists but cannot be read"), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    });
    chmod(folder.path("data/s60").c_str(), 0600);
    EXPECT_EQ(folder.read("data/s60"), theirs);
    EXPECT_EQ(folder.read("data/s5mn").size(), 468u);
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
