#include "frontend/highscores.h"
#include "shell/replays.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "framework/KGraphicD3D.h"
#include "framework/KText.h"
#include "frontend/menu.h"
#include "game/sheet_layout.h"
#include "shell/files.h"
#include "shell/paths.h"
#include "shell/prefs.h"

namespace {

// The names of the built-in rows, one per row; rows worth 0 stay nameless.
constexpr const char *kDefaultNames[13] = {"ada",  "ben", "cleo", "dan", "eve", "finn", "gus",
                                           "hana", "ivo", "jo",   "kim", "lou", "max"};

constexpr sHighScores makeTable(const uint32_t (&values)[13]) {
    sHighScores table{};
    for (int row = 0; row < 13; row++) {
        table.players[row].score = values[row];
        if (values[row] == 0)
            continue;
        const char *name = kDefaultNames[row];
        for (int i = 0; name[i] != 0 && i < 31; i++)
            table.players[row].name[i] = name[i];
    }
    return table;
}

// In the player's data folder (data/ beside a portable game): shell/paths.h.
constexpr const char *kFile60sec = "s60";
constexpr const char *kFile5Min = "s5mn";
constexpr const char *kFileMillion = "smil";
constexpr const char *kFileRelax = "srelx";

bool isBetter(long mode, uint32_t value, uint32_t stored) {
    return lowerIsBetter(mode) ? value < stored : value > stored;
}

// The tables in force when their files are missing.
constexpr sHighScores kInitial60sec = makeTable({600, 600, 450, 350, 300, 200, 100, 30, 20, 10, 10, 10, 10});
constexpr sHighScores kInitial5Min =
    makeTable({400, 300, 200, 100, 300, 200, 100, 300, 200, 100, 100, 100, 100});
constexpr sHighScores kInitialMillion =
    makeTable({9432, 9432, 12610, 15697, 9432, 12610, 15697, 9432, 12610, 15697, 15697, 15697, 15697});
constexpr sHighScores kInitialRelax = makeTable({250, 200, 100, 300, 200, 100, 300, 200, 80, 0, 0, 0, 0});

} // namespace

sHighScores score60sec = kInitial60sec;
sHighScores score5Min = kInitial5Min;
sHighScores scoreMillion = kInitialMillion;
sHighScores scoreRelax = kInitialRelax;

const sHighScores bscore60sec = makeTable({600, 450, 400, 350, 300, 200, 100, 90, 50, 0, 0, 0, 0});
const sHighScores bscore5Min = makeTable({3000, 2000, 1000, 3000, 2000, 1000, 3000, 2000, 1000, 0, 0, 0, 0});
const sHighScores bscoreMillion =
    makeTable({9432, 12610, 15697, 9432, 12610, 15697, 9432, 12610, 15697, 0, 0, 0, 0});
const sHighScores bscoreRelax = makeTable({300, 200, 100, 300, 200, 100, 300, 200, 100, 0, 0, 0, 0});

namespace {

// What this run did to a table since it was last saved. Another copy of the game may have saved the
// same file meanwhile, so a save merges this run's results into what is on disk instead of writing
// the table as this run remembers it.
struct PendingResult {
    long difficulty;
    uint32_t value;
    char name[32];
};
struct TableJournal {
    bool reset = false; // the player reset the tables: the file's rows give way to this run's
    std::vector<PendingResult> pending;
};
TableJournal journals[4];

// Index of a live table (the mode it belongs to), or -1 for any other table.
int liveTableIndex(const sHighScores *table) {
    const sHighScores *live[4] = {&score60sec, &score5Min, &scoreMillion, &scoreRelax};
    for (int i = 0; i < 4; i++)
        if (table == live[i])
            return i;
    return -1;
}

const sHighScores &initialTable(int index) {
    static const sHighScores *initial[4] = {&kInitial60sec, &kInitial5Min, &kInitialMillion, &kInitialRelax};
    return *initial[index];
}

// The insertion rule on one table; false when the result beats no row.
bool insertInto(sHighScores &table, long mode, long difficulty, uint32_t value, const char *name) {
    if (difficulty < 0 || difficulty > 3)
        return false;
    sHighEntry *group = &table.players[difficulty * 3];
    for (int rank = 0; rank < 3; rank++) {
        if (!isBetter(mode, value, group[rank].score))
            continue;
        for (int row = 2; row > rank; row--) {
            group[row] = group[row - 1];
            // A damaged name without its 0 byte moves as the 31 characters it shows.
            group[row].name[sizeof(group[row].name) - 1] = 0;
        }
        sHighEntry &entry = group[rank];
        std::memset(entry.name, 0, sizeof(entry.name));
        if (name)
            std::strncpy(entry.name, name, sizeof(entry.name) - 1);
        entry.score = value;
        return true;
    }
    return false;
}

} // namespace

sHighScores *highScoreTable(long mode) {
    switch (mode) {
    case 0:
        return &score60sec;
    case 1:
        return &score5Min;
    case 2:
        return &scoreMillion;
    default:
        return &scoreRelax;
    }
}

bool qualifiesForHighScore(long mode, long difficulty, uint32_t value) {
    if (difficulty < 0 || difficulty > 3)
        return false;
    const sHighScores *table = highScoreTable(mode);
    return isBetter(mode, value, table->players[difficulty * 3 + 2].score);
}

void insertHighScore(long mode, long difficulty, uint32_t value, const char *name) {
    sHighScores *table = highScoreTable(mode);
    if (!insertInto(*table, mode, difficulty, value, name))
        return;
    PendingResult result{difficulty, value, {}};
    if (name)
        std::strncpy(result.name, name, sizeof(result.name) - 1);
    journals[liveTableIndex(table)].pending.push_back(result);
}

void loadHigh(sHighScores *table, const char *filename) {
    if (readRecordFile(filename, table, sizeof(*table)) == kRecordUnreadable)
        reportUnreadableFile(filename);
}

void saveHigh(sHighScores *table, const char *filename) {
    const int index = liveTableIndex(table);
    if (index < 0) {
        writeRecordFile(filename, table, sizeof(*table));
        return;
    }
    // Read, merge and write under a lock, so that a result another copy of the game saved meanwhile
    // is kept, and this run's results enter it by the same rule as they entered this run's table.
    TableJournal &journal = journals[index];
    const std::string path(filename);
    FolderLock lock(path.c_str());
    // After a reset, this run's table (results since the reset included) is the table now; a file
    // that vanished takes it too. Otherwise this run's results go into what the file holds.
    sHighScores merged = *table;
    if (!journal.reset) {
        sHighScores onDisk = initialTable(index);
        const long read = readRecordFile(path.c_str(), &onDisk, sizeof(onDisk));
        if (read == kRecordUnreadable) {
            reportUnreadableFile(path.c_str());
            return;
        }
        if (read != kRecordMissing) {
            merged = onDisk;
            for (const PendingResult &result : journal.pending)
                insertInto(merged, index, result.difficulty, result.value, result.name);
        }
    }
    if (!writeRecordFile(path.c_str(), &merged, sizeof(merged)))
        return; // kept for the next save
    *table = merged;
    journal.pending.clear();
    journal.reset = false;
}

void loadHighScores() {
    // This run's results are counted from here.
    for (TableJournal &journal : journals)
        journal = TableJournal{};
    loadHigh(&score60sec, playerDataFilePath(kFile60sec).c_str());
    loadHigh(&score5Min, playerDataFilePath(kFile5Min).c_str());
    loadHigh(&scoreRelax, playerDataFilePath(kFileRelax).c_str());
    loadHigh(&scoreMillion, playerDataFilePath(kFileMillion).c_str());
}

void saveHighScores() {
    saveHigh(&score60sec, playerDataFilePath(kFile60sec).c_str());
    saveHigh(&score5Min, playerDataFilePath(kFile5Min).c_str());
    saveHigh(&scoreRelax, playerDataFilePath(kFileRelax).c_str());
    saveHigh(&scoreMillion, playerDataFilePath(kFileMillion).c_str());
    // A row that left the tables takes its replay with it.
    std::set<std::string> rows;
    for (long mode = 0; mode < 4; ++mode) {
        const sHighScores *table = highScoreTable(mode);
        for (int row = 0; row < kHighScoreRowsShown; ++row) {
            char name[sizeof(table->players[row].name)] = {};
            std::memcpy(name, table->players[row].name, sizeof(name) - 1);
            rows.insert(rowReplayName(mode, row / 3, table->players[row].score, name));
        }
    }
    forgetRowReplaysExcept(rows);
}

void resetScores() {
    scoreRelax = bscoreRelax;
    scoreMillion = bscoreMillion;
    score5Min = bscore5Min;
    score60sec = bscore60sec;
    for (TableJournal &journal : journals) {
        journal.reset = true;
        journal.pending.clear();
    }
}

long getHours(long seconds) {
    return seconds / 3600;
}
long getMinutes(long seconds) {
    return seconds / 60 - (seconds / 3600) * 60;
}
long getSeconds(long seconds) {
    return seconds % 60;
}

void displayHighscores(long highscoreTabnb) {
    if (highscoreText == nullptr)
        return;
    const sHighScores *table = highScoreTable(highscoreTabnb);
    const bool showsTimes = highscoreTabnb == 2;
    // Row 12 is the spare row: kept in the file, never shown.
    for (int row = 0; row < kHighScoreRowsShown; row++) {
        const sHighEntry &entry = table->players[row];
        // A damaged file may leave a name without its 0 byte: at most 31 characters are drawn.
        char name[sizeof(entry.name)] = {};
        std::memcpy(name, entry.name, sizeof(name) - 1);
        char value[60];
        if (showsTimes) {
            const long seconds = static_cast<long>(entry.score);
            std::snprintf(value, sizeof(value), "%02ld:%02ld:%02ld", getHours(seconds), getMinutes(seconds),
                          getSeconds(seconds));
        } else {
            std::snprintf(value, sizeof(value), "%u", static_cast<unsigned>(entry.score));
        }
        const int y = layout::kHighScoreRowY[row];
        highscoreText->drawStringFromLeft(name, layout::kHighScoreNameX, y, 0);
        highscoreText->drawStringFromRight(value, layout::kHighScoreValueRightX, y, 0);
    }
}

namespace {
// The replay a click on a row asked for, until the menu takes it; and the button in the last frame, so
// that one press asks once.
std::string rowReplayAsked;
bool rowButtonWasDown = false;
} // namespace

std::string takeRowReplayToWatch() {
    std::string asked;
    asked.swap(rowReplayAsked);
    return asked;
}

void DoHighscoreInput(long mx, long my, bool bt) {
    // A press on a row whose game was recorded asks to watch it.
    if (bt && !rowButtonWasDown && mx >= layout::kHighScoreNameX && mx <= layout::kHighScoreValueRightX) {
        const sHighScores *table = highScoreTable(prefs.scoretab);
        for (int row = 0; row < kHighScoreRowsShown; row++) {
            const int top = layout::kHighScoreRowY[row];
            if (my < top || my >= top + layout::kHighScoreRowHeight)
                continue;
            char name[sizeof(table->players[row].name)] = {};
            std::memcpy(name, table->players[row].name, sizeof(name) - 1);
            const std::string path = rowReplayPath(prefs.scoretab, row / 3, table->players[row].score, name);
            struct stat info {};
            if (!path.empty() && stat(path.c_str(), &info) == 0)
                rowReplayAsked = path;
            break;
        }
    }
    rowButtonWasDown = bt;
    if (bt) {
        for (int tab = 0; tab < layout::kModeCount; tab++) {
            if (isInside(sHighTabs[tab], mx, my)) {
                prefs.scoretab = tab;
                break;
            }
        }
    }
    if (prefs.scoretab < 0)
        prefs.scoretab = 0;
    if (prefs.scoretab > 3)
        prefs.scoretab = 3;

    if (surf_menu) {
        const layout::Piece lit = layout::litHighScoreTab(prefs.scoretab);
        surf_menu->blitRect(lit.source.x1, lit.source.y1, lit.source.x2, lit.source.y2,
                            static_cast<short>(lit.dest.x), static_cast<short>(lit.dest.y));
    }
    displayHighscores(prefs.scoretab);
}
