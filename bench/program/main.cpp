// bench_program [GAMES]: the whole program headless and unpaced, with a bot playing 60-second games
// from the menu. Prints the frames per second and the peak resident size.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "framework/KMiscTools.h"
#include "frontend/menu.h"
#include "game/playscreen.h"
#include "game/rules.h"
#include "game/sheet_layout.h"
#include "harness.h"

using namespace e2e;

int main(int argc, char **argv) {
    const int games = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ProgramFolder folder;
    KMiscTools::setProgramFolder(folder.root().c_str());

    Director director;
    director.waitUntil("the menu", menuShown);
    for (int game = 0; game < games; game++) {
        director.click(489, 364)
            .waitUntil("the game", gameRunning, 200)
            .playUntil(
                "the end of the game", [] { return gameOver; }, 6000)
            .wait(60)
            .key(SDLK_ESCAPE)
            .waitUntil("the menu", menuShown, 100)
            .wait(45);
    }
    director.key(SDLK_ESCAPE, 1000);

    const auto start = std::chrono::steady_clock::now();
    director.run(games * 7000 + 1000);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    for (const std::string &failure : director.failures())
        std::fprintf(stderr, "script: %s\n", failure.c_str());
    std::printf("%d games of 60 seconds, %lu frames in %.2f s: %.0f frames per second\n", games,
                static_cast<unsigned long>(director.frames()), seconds, director.frames() / seconds);
    std::printf("peak resident size: %.1f MB\n", usage.ru_maxrss / 1024.0);
    return director.failures().empty() ? 0 : 1;
}
