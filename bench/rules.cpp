// The rules engine's hot paths: the move search on a board without moves (every trial runs), and the
// play screen's frame step while a cascade is under way.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#include "game/board.h"
#include "game/bonus.h"
#include "game/engine.h"
#include "game/hints.h"
#include "game/moves.h"
#include "game/rules.h"

namespace {

void dealBoardWithoutMoves() {
    std::memset(tokenTable, 0, sizeof(tokenTable));
    for (long y = 0; y < kBoardRows; y++) {
        for (long x = 0; x < kBoardColumns; x++) {
            sToken &cell = tokenAt(x, y);
            cell.color = static_cast<int16_t>((x % 2) + 2 * (y % 2));
            cell.alive = true;
            cell.fade = 1.0f;
        }
    }
}

void BM_MoveSearchWorstCase(benchmark::State &state) {
    dealBoardWithoutMoves();
    for (auto _ : state) {
        bool any = isThereAPossibilityLeft();
        benchmark::DoNotOptimize(any);
        if (any)
            state.SkipWithError("the board has a move");
    }
}
BENCHMARK(BM_MoveSearchWorstCase)->Unit(benchmark::kMicrosecond);

// Frames of a real game: each iteration plays one frame; whenever the board comes to rest, a bonus
// row is dropped into it so that vanishing, falls and refills keep going.
void BM_CascadeFrame(benchmark::State &state) {
    GameEngine engine;
    engine.begin({kModeRelax, 0, unitScoreForMode(kModeRelax), 42});
    long frames = 0;
    for (auto _ : state) {
        if (!isThereAMovingToken() && !isThereAFadingToken() && !isThereAnIncomingToken()) {
            tokenAt(rand() % kBoardColumns, rand() % kBoardRows).bonusType = kBonusHorizontal;
            fadeOut(rand() % kBoardColumns, rand() % kBoardRows);
            tokenAt(rand() % kBoardColumns, rand() % kBoardRows).bonusType = kBonusBomb;
        }
        engine.step({});
        benchmark::DoNotOptimize(tokenTable);
        frames++;
    }
    state.counters["frames"] = double(frames);
}
BENCHMARK(BM_CascadeFrame)->Unit(benchmark::kMicrosecond);

// The same frames in the 60-second mode at difficulty 1, where still frames run the move search.
void BM_GameFrameWithMoveSearch(benchmark::State &state) {
    GameEngine engine;
    const GameSetup sixtySeconds{kModeSixtySeconds, 1, unitScoreForMode(kModeSixtySeconds), 7};
    engine.begin(sixtySeconds);
    for (auto _ : state) {
        if (gameOver)
            engine.begin(sixtySeconds);
        engine.step({});
        benchmark::DoNotOptimize(tokenTable);
    }
}
BENCHMARK(BM_GameFrameWithMoveSearch)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
