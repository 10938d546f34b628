// Drawing speed, headless: blits per second of each kind, and the cost of one frame shaped like the
// play screen (a 1024x1024 sheet drawn at the origin, 96 alpha-blended 40x40 pictures, 30 glyphs).
//   build/bench_framework
#include "framework/KGraphicD3D.h"
#include "framework/KText.h"
#include "framework/KWindowD3D.h"
#include "game/glyph_tables.h"
#include "platform/display.h"
#include "platform/render_device.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace {

KWindowD3D *theWindow = nullptr;
std::filesystem::path folder;

// Waits until the renderer has really drawn everything queued, by reading one pixel back.
void finishDrawing() {
    platform::RenderDevice::flush();
    uint32_t pixel;
    SDL_Rect one{0, 0, 1, 1};
    SDL_RenderReadPixels(platform::Display::renderer(), &one, SDL_PIXELFORMAT_ARGB8888, &pixel, 4);
}

std::string writePicture(const char *name, int width, int height) {
    std::vector<uint8_t> out{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    out.insert(out.end(), {static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8),
                           static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8), 32, 8});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out.insert(out.end(), {static_cast<uint8_t>(x * 7), static_cast<uint8_t>(y * 3),
                                   static_cast<uint8_t>(x ^ y), static_cast<uint8_t>(128 + (x + y) % 128)});
    std::string path = (folder / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(out.data()), out.size());
    return path;
}

std::unique_ptr<KGraphicD3D> loaded(const char *name, int width, int height) {
    auto image = std::make_unique<KGraphicD3D>();
    if (!image->loadPicture(writePicture(name, width, height).c_str(), true, true))
        std::fprintf(stderr, "could not load %s\n", name);
    return image;
}

enum class Kind { Plain, Alpha, Fx };

void blits(benchmark::State &state, Kind kind) {
    auto gem = loaded("gem.tga", 40, 40);
    constexpr int kPerRound = 1000;
    for (auto _ : state) {
        for (int i = 0; i < kPerRound; ++i) {
            short x = static_cast<short>(i * 37 % 600), y = static_cast<short>(i * 53 % 440);
            if (kind == Kind::Plain)
                gem->blitRect(0, 0, 40, 40, x, y);
            else if (kind == Kind::Alpha)
                gem->blitAlphaRect(0, 0, 40, 40, x, y);
            else
                gem->blitAlphaRectFx(0, 0, 40, 40, x, y, static_cast<float>(i % 360), 1.5f, 0.8f);
        }
        finishDrawing();
    }
    state.SetItemsProcessed(state.iterations() * kPerRound);
}

void BM_BlitRect(benchmark::State &state) {
    blits(state, Kind::Plain);
}
void BM_BlitAlphaRect(benchmark::State &state) {
    blits(state, Kind::Alpha);
}
void BM_BlitAlphaRectFxTurnedAndZoomed(benchmark::State &state) {
    blits(state, Kind::Fx);
}

void BM_PlayScreenFrame(benchmark::State &state) {
    auto atlas = loaded("atlas.tga", 1024, 1024);
    auto gems = loaded("gems.tga", 280, 40);
    KText digits(writePicture("digits.tga", 170, 30).c_str(), scoretableNumbers);
    for (auto _ : state) {
        // The sheet covers the whole screen, so no clearing: flipBackBuffer restores the view.
        atlas->blitRect(0, 0, 1024, 1024, 0, 0);
        for (int i = 0; i < 96; ++i)
            gems->blitAlphaRect(static_cast<float>(i % 7 * 40), 0, static_cast<float>(i % 7 * 40 + 40), 40,
                                static_cast<short>(160 + i % 12 * 40), static_cast<short>(60 + i / 12 * 40));
        digits.drawStringFromLeft("1234567890", 20, 20, 0);
        digits.drawStringFromRight("9876543210", 620, 420, 0);
        digits.drawStringCentered("5647382910", 0, 640, 440, 1);
        theWindow->flipBackBuffer(false, true);
        // As in the game, frames follow each other without waiting for the drawing to finish; every
        // tenth one waits, so that queued work is counted.
        if (state.iterations() % 10 == 0)
            finishDrawing();
    }
    finishDrawing();
    state.SetItemsProcessed(state.iterations());
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_BlitRect)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BlitAlphaRect)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BlitAlphaRectFxTurnedAndZoomed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlayScreenFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    folder = std::filesystem::temp_directory_path() / "quorix-bench-framework";
    std::filesystem::create_directories(folder);
    KWindowD3D window;
    if (!window.createGameWindow(640, 480, 16, true, "Quorix"))
        return 1;
    theWindow = &window;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(folder);
    return 0;
}
