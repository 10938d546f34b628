// quorix-screenshots OUTDIR: plays a short scripted session headless in each of the seven skins and
// saves PNG pictures of the menu pages, a game, the zap-attack banner, the game-over and name-entry
// panels and the high-score page, for a person to review.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "framework/KMiscTools.h"
#include "frontend/menu.h"
#include "game/board.h"
#include "game/bonus.h"
#include "game/playscreen.h"
#include "game/rules.h"
#include "game/sheet_layout.h"
#include "harness.h"

using namespace e2e;

namespace {

// A board with no line and no move: the next still frame brings the zap attack.
void dealExhaustedBoard() {
    for (long y = 0; y < kBoardRows; y++)
        for (long x = 0; x < kBoardColumns; x++) {
            sToken &cell = tokenAt(x, y);
            cell = sToken{};
            cell.color = static_cast<int16_t>((x % 2) + 2 * (y % 2));
            cell.alive = true;
            cell.fade = 1.0f;
        }
}

int shootSkin(int skin, const std::string &outDir) {
    ProgramFolder folder;
    folder.write("data/fullscreen.stt", {1});
    folder.write("data/skin.stt", {static_cast<unsigned char>(skin), 0, 0, 0});
    KMiscTools::setProgramFolder(folder.root().c_str());

    auto save = [&](const char *name) {
        return [&, name](const platform::Frame &frame) {
            const std::string path = outDir + "/skin" + std::to_string(skin) + "-" + name + ".png";
            if (!frame.savePNG(path.c_str()))
                std::fprintf(stderr, "could not write %s\n", path.c_str());
        };
    };

    Director director;
    director.waitUntil("the menu", menuShown).point(600, 460).wait(3);
    const char *pages[5] = {"menu-setup", "menu-howto", "menu-options", "menu-scores", "menu-credits"};
    for (int page = 4; page >= 0; page--)
        director.click(centreX(layout::kPageButtons[page]), centreY(layout::kPageButtons[page]))
            .point(600, 460)
            .wait(2)
            .act(save(pages[page]));
    director.click(489, 364)
        .waitUntil("the game", gameRunning, 200)
        .playUntil(
            "a few moves", [] { return score >= 60; }, 3000)
        .point(cellX(5), cellY(4))
        .act([](const platform::Frame &) { tokenAt(3, 3).selected = true; })
        .wait(2)
        .act(save("game"))
        .act([](const platform::Frame &) { tokenAt(3, 3).selected = false; })
        .act([](const platform::Frame &) { dealExhaustedBoard(); })
        .waitUntil(
            "the zap attack", [] { return zapAttack > 380.0f; }, 300)
        .act(save("zap-attack"))
        .act([](const platform::Frame &) {
            score = 0;
            gameTimer = 0;
        })
        .waitUntil(
            "the game-over panel", [] { return gameOver && gameOverFade >= 1.0f; }, 300)
        .act(save("game-over"))
        .key(SDLK_F1)
        .waitUntil("a new game", gameRunning, 100)
        .act([](const platform::Frame &) {
            score = 5000;
            gameTimer = 0;
        })
        .waitUntil(
            "the name entry", [] { return gameOver && gameOverFade >= 1.0f; }, 300)
        .type("sam")
        .wait(40)
        .act(save("name-entry"))
        .key(SDLK_RETURN)
        .wait(30)
        .click(centreX(layout::kPlayButtons[2].area), centreY(layout::kPlayButtons[2].area))
        .waitUntil("the menu again", menuShown, 300)
        .wait(45)
        .click(centreX(layout::kPageButtons[3]), centreY(layout::kPageButtons[3]))
        .point(600, 460)
        .wait(2)
        .act(save("scores-after"))
        .click(centreX(layout::kPageButtons[5]), centreY(layout::kPageButtons[5]));
    director.run(30000);
    for (const std::string &failure : director.failures())
        std::fprintf(stderr, "skin %d: %s\n", skin, failure.c_str());
    return director.failures().empty() ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: %s OUTDIR\nDraws the review pictures (every skin, menus, a game, banners,\n"
                    "panels) headless and writes them as PNG files into OUTDIR.\n",
                    argv[0]);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string outDir = argv[1];
    std::filesystem::create_directories(outDir);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    int failures = 0;
    for (int skin = 0; skin < layout::kSkinCount; skin++) {
        // Each skin in a process of its own: the game is global state.
        const pid_t child = fork();
        if (child == 0)
            _exit(shootSkin(skin, outDir));
        int status = 0;
        waitpid(child, &status, 0);
        failures += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::printf("screenshots in %s\n", outDir.c_str());
    return failures == 0 ? 0 : 1;
}
