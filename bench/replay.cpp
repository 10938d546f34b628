// Replays: how large a recorded game is, and how long playing it back to prove its result takes (the
// score server does it for every game sent with its replay). The games are the bot's, which keeps the
// pointer moving between its moves: at a quick player's pace (a click every 0.6 s on average), and as
// fast as the board allows (a click every 0.15 s, far beyond any hand).
#include "recorded_game.h"

#include <benchmark/benchmark.h>

namespace {

void BM_ProveAGame(benchmark::State &state) {
    const long mode = state.range(0);
    const auto maxWaitFrames = static_cast<unsigned>(state.range(1));
    // A 60-second or a 5-minute game at Normal, to its game-over panel.
    const long frames = mode == kModeSixtySeconds ? 75 * 61 + 200 : 75 * 301 + 200;
    const Recorded recorded = playAndRecord(mode, 1, 2026, frames, maxWaitFrames);
    const std::vector<uint8_t> bytes = replay::encode(recorded.game);
    std::string answer;
    for (auto _ : state)
        benchmark::DoNotOptimize(verifyReplay(bytes, answer));
    state.counters["frames"] = static_cast<double>(recorded.game.frames.size());
    state.counters["file_bytes"] = static_cast<double>(bytes.size());
    long clicks = 0;
    for (size_t i = 1; i < recorded.game.frames.size(); ++i)
        clicks += recorded.game.frames[i].leftButton && !recorded.game.frames[i - 1].leftButton;
    state.counters["clicks"] = static_cast<double>(clicks);
    state.SetLabel(answer);
}
BENCHMARK(BM_ProveAGame)
    ->ArgNames({"mode", "max_wait_frames"})
    ->ArgsProduct({{kModeSixtySeconds, kModeFiveMinutes}, {90, 12}})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
