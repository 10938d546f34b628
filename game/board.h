// The token board: 12 columns by 8 rows of cells, each holding at most one gem.
#pragma once

#include <cstdint>

#include "game/sheet_layout.h"

constexpr long kBoardColumns = 12;
constexpr long kBoardRows = 8;
constexpr long kBoardCells = kBoardColumns * kBoardRows;

// Where the board sits on the 640x480 screen: 42-pixel cells, no gap, top-left cell at (71, 90).
constexpr long kBoardLeft = 71;
constexpr long kBoardTop = 90;
constexpr long kCellSize = 42;
// The rules keep the board's shape beside the sheet's drawing of it: both must say the same.
static_assert(kBoardColumns == layout::kBoardColumns && kBoardRows == layout::kBoardRows);
static_assert(kCellSize == layout::kCellSize && kBoardLeft == layout::kBoardOrigin.x &&
              kBoardTop == layout::kBoardOrigin.y);

// What a token carries in bonusType.
enum eBonusType : int32_t {
    kBonusNone = 0,
    kBonusBomb = 1,       // clears the 3x3 block around the token
    kBonusHorizontal = 2, // clears the token's row
    kBonusVertical = 3,   // clears the token's column
    kBonusCross = 4,      // clears the column, then the row
    kBonusInert = 5,      // no effect, never drawn
    kBonusRandom = 6,     // turns into 0..4 when it fires
};

// One cell of the board. A cell is empty when alive is false.
struct sToken {
    int16_t color; // 0..6, selects gems[color]
    float dx;      // drawing offset while swapped
    float dy;
    float fally;    // drawing offset while falling into the cell below, 0..42
    int16_t bonus;  // cleared for every new token, read by nothing
    int16_t speedX; // -7, 0 or +7 pixels per frame during a swap
    int16_t speedY;
    float fade;      // 1.0 fully shown
    float fadeSpeed; // 0 still, +0.1 appearing, -0.025 vanishing
    bool alive;
    bool selected; // clicked, waiting for its partner
    bool beingSwapped;
    float sinus;       // hint wobble phase, radians
    float sinusSpeed;  // 0.1 while a hint wobbles
    int32_t bonusType; // eBonusType
};

// The board; the cell of column x, row y is entry y * 12 + x.
extern sToken tokenTable[kBoardCells];
// The move search's scratch copy of the board, same indexing.
extern sToken calculationTokenTable[kBoardCells];

inline bool isOnBoard(long x, long y) {
    return x >= 0 && x < kBoardColumns && y >= 0 && y < kBoardRows;
}
inline sToken &tokenAt(long x, long y) {
    return tokenTable[y * kBoardColumns + x];
}

// Called at each pass of a new board's clean-up; the play screen keeps the window answering with it.
extern void (*gDealingHook)();

// The colour of a new token by the difficulty: six colours at 0, otherwise difficulty + 4.
int16_t randomTokenColor();

// Builds a fresh board for the current mode and difficulty without ready-made lines.
void resetTokenTable(bool resetScore);
// Mends the first ready-made line of three; true if it changed a cell.
bool removeMatches();
// Puts random bonuses of kinds 0..4 on 8 random cells.
void generateRandomBonuses();
// Fills every empty top-row cell with a new token that grows in, unless something moves.
void appearTokens();

bool isThereAnIncomingToken();
bool isThereAFadingToken();
bool isThereAMovingToken();
bool isThereAFallingToken();

// The cell under a screen position, bounds included; false off the board.
bool cellAtScreenPosition(long px, long py, long *x, long *y);
