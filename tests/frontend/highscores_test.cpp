#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>
#include <string>
#include <vector>

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

// Results entered on many seeded cases: a result qualifies when it beats its difficulty's third row
// (lower is better in the million mode) and enters above the first row it beats (the built-in million
// table has a group out of order), so below every equal row, pushing the rows under it down; nothing
// else changes. What is saved is the raw tables, and reads back byte for byte.
TEST_F(HighScoresTest, EnteredResultsKeepEachDifficultyInOrderAndFilesRoundTrip) {
    sHighScores *tables[4] = {&score60sec, &score5Min, &scoreMillion, &scoreRelax};
    std::mt19937 random(42);
    for (int i = 0; i < 2000; i++) {
        const long mode = random() % 4, difficulty = random() % 5; // 4: no such difficulty
        sHighScores &table = *tables[mode];
        const sHighScores before = table;
        // Now and then the largest value, or a tie with one of the rows.
        const uint32_t value = i % 97 == 0  ? 0xffffffffu
                               : i % 5 == 0 ? before.players[(difficulty % 4) * 3 + random() % 3].score
                                            : static_cast<uint32_t>(random() % 20000);
        const std::string name = "p" + std::to_string(i) + std::string(random() % 40, 'x');
        const auto better = [mode](uint32_t a, uint32_t b) { return mode == 2 ? a < b : a > b; };

        std::vector<std::pair<uint32_t, std::string>> rows; // the difficulty's rows as they should be
        bool enters = false;
        for (int row = 0; row < 3 && difficulty < 4; row++)
            enters = enters || better(value, before.players[difficulty * 3 + row].score);
        ASSERT_EQ(qualifiesForHighScore(mode, difficulty, value),
                  difficulty < 4 && better(value, before.players[difficulty * 3 + 2].score))
            << i;
        insertHighScore(mode, difficulty, value, name.c_str());
        if (!enters) {
            ASSERT_EQ(0, std::memcmp(&before, &table, sizeof(table))) << i;
            continue;
        }
        for (int row = 0; row < 3; row++)
            rows.emplace_back(before.players[difficulty * 3 + row].score,
                              nameOf(before, difficulty * 3 + row));
        auto at = rows.begin();
        while (at != rows.end() && !better(value, at->first))
            ++at;
        rows.insert(at, {value, name.substr(0, 31)});
        for (int row = 0; row < 3; row++) {
            ASSERT_EQ(table.players[difficulty * 3 + row].score, rows[row].first) << i << " row " << row;
            ASSERT_EQ(nameOf(table, difficulty * 3 + row), rows[row].second) << i << " row " << row;
        }
        for (int row = 0; row < 13; row++) {
            if (row / 3 != difficulty) {
                ASSERT_EQ(0, std::memcmp(&before.players[row], &table.players[row], sizeof(sHighEntry))) << i;
            }
        }
    }

    scoreRelax.players[12].score = 4242; // the spare row is kept too
    std::strcpy(scoreRelax.players[12].name, "spare");
    const sHighScores saved[4] = {score60sec, score5Min, scoreMillion, scoreRelax};
    saveHighScores();
    const char *files[4] = {"data/s60", "data/s5mn", "data/smil", "data/srelx"};
    for (int t = 0; t < 4; t++) {
        const support::Bytes bytes = folder.read(files[t]);
        ASSERT_EQ(bytes.size(), sizeof(sHighScores)) << files[t];
        EXPECT_EQ(0, std::memcmp(bytes.data(), &saved[t], sizeof(sHighScores))) << files[t];
    }
    resetScores();
    loadHighScores();
    for (int t = 0; t < 4; t++)
        EXPECT_EQ(0, std::memcmp(tables[t], &saved[t], sizeof(sHighScores))) << files[t];
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
