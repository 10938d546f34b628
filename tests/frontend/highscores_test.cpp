// The local high-score tables: qualification and entry, the files, and several copies of the game.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "frontend/highscores.h"
#include "support/program_folder.h"

namespace {

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

TEST_F(HighScoresTest, ShortMissingAndDamagedFiles) {
    // A 40-byte file replaces row 0 and the first four bytes of row 1's name only.
    support::Bytes bytes(40, 0);
    std::memcpy(bytes.data(), "kai", 3);
    bytes[32] = 0x10;
    bytes[33] = 0x27; // 10000
    bytes[36] = 'x';
    folder.write("data/s60", bytes);
    loadHighScores();
    EXPECT_EQ(nameOf(score60sec, 0), "kai");
    EXPECT_EQ(score60sec.players[0].score, 10000u);
    EXPECT_EQ(score60sec.players[1].name[0], 'x');
    EXPECT_EQ(score60sec.players[1].score, kInitialTables[0].players[1].score);
    EXPECT_EQ(0, std::memcmp(&score5Min, &kInitialTables[1], sizeof(sHighScores))) << "a missing file";

    // A name filling its 32 bytes moves down as the 31 characters it shows, ended by its 0 byte.
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
