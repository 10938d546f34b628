// Replays: how large a recorded game is, and how long playing it back to prove its result takes (the
// score server does it for every game sent with its replay). The games are the bot's, which plays
// as fast as the board allows and keeps the pointer moving between its moves.
#include "recorded_game.h"

#include <benchmark/benchmark.h>

namespace {

void BM_ProveAGame(benchmark::State &state) {
    const long mode = state.range(0);
    // A 60-second or a 5-minute game at Normal, to its game-over panel.
    const long frames = mode == kModeSixtySeconds ? 75 * 61 + 200 : 75 * 301 + 200;
    const Recorded recorded = playAndRecord(mode, 1, 2026, frames);
    const std::vector<uint8_t> bytes = replay::encode(recorded.game);
    std::string answer;
    for (auto _ : state)
        benchmark::DoNotOptimize(verifyReplay(bytes, answer));
    state.counters["frames"] = static_cast<double>(recorded.game.frames.size());
    state.counters["file_bytes"] = static_cast<double>(bytes.size());
    state.SetLabel(answer);
}
BENCHMARK(BM_ProveAGame)->Arg(kModeSixtySeconds)->Arg(kModeFiveMinutes)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
