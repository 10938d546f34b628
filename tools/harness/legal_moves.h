// What a test player may play: every neighbouring pair whose exchange leaves a line, found with the
// game's own move search on its scratch board.
#pragma once

#include <cstring>
#include <vector>

#include "game/board.h"
#include "game/hints.h"

struct LegalMove {
    long x1, y1, x2, y2;
};

inline std::vector<LegalMove> legalMoves() {
    std::vector<LegalMove> moves;
    for (long y = 0; y < kBoardRows; y++) {
        for (long x = 0; x < kBoardColumns; x++) {
            const long partners[2][2] = {{x + 1, y}, {x, y + 1}};
            for (const auto &partner : partners) {
                if (!isOnBoard(partner[0], partner[1]))
                    continue;
                std::memcpy(calculationTokenTable, tokenTable, sizeof(tokenTable));
                swapForHint(x, y, partner[0], partner[1]);
                if (checkForPossibility())
                    moves.push_back({x, y, partner[0], partner[1]});
            }
        }
    }
    return moves;
}
