// Frames whose picture is already on screen are neither drawn nor presented. The same scripted game
// is played twice, once with every frame drawn: the player must see the same picture in every frame,
// while the window draws a still board about once a clock tick, a click or a key in the very frame it
// changes the picture, and anything after an expose.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/menu.h"
#include "game/board.h"
#include "game/playscreen.h"
#include "game/rules.h"
#include "platform/display.h"
#include "scripted.h"
#include "support/temp_folder.h"

using namespace e2e;

namespace {

// One frame as the player saw it.
struct SeenFrame {
    bool drawn = false;
    uint64_t picture = 0; // a hash of its pixels
};

// Frames the script marks: the still stretch, and the frames after which it exposed the window,
// clicked a gem and pressed a key.
struct Marks {
    uint64_t stillFrom = 0, stillTo = 0, exposed = 0, clicked = 0, keyed = 0;
};
using Check = std::function<void(const std::vector<SeenFrame> &seen, const Marks &marks)>;

uint64_t hashOf(const std::vector<uint32_t> &pixels) {
    return std::hash<std::string_view>{}({reinterpret_cast<const char *>(pixels.data()), pixels.size() * 4});
}

// Nothing moves, fades or wobbles: the board's picture changes only when the player acts.
bool boardAtRest() {
    for (const sToken &cell : tokenTable)
        if (cell.sinusSpeed != 0.0f)
            return false;
    return boardStill();
}

// Plays the script in a child process and hands what the player saw (frame n at n - 1) to `check` there.
void playAndCheck(bool drawEveryFrame, const Check &check) {
    std::vector<SeenFrame> seen;
    Marks marks;
    ProgramFolder folder;
    const auto mark = [](uint64_t &at) {
        return [&at](const platform::Frame &frame) { at = frame.number(); };
    };
    playScript(
        folder.root(),
        [&](Director &director) {
            platform::Display::setDrawEveryFrame(drawEveryFrame);
            director.watch([&](const platform::Frame &frame) {
                seen.push_back({frame.drawn(), hashOf(frame.pixels())});
            });
            const auto pictureChanged = [&] {
                const size_t n = seen.size();
                return n >= 2 && seen[n - 1].picture != seen[n - 2].picture;
            };
            clickPlay(director.seed(20240601).waitUntil("the menu", menuShown))
                .waitUntil("a board at rest", boardAtRest)
                .act(mark(marks.stillFrom))
                .wait(750)
                .act(mark(marks.stillTo))
                // Just after a clock tick, so that nothing else changes the next frame.
                .waitUntil("a clock tick", pictureChanged, 100)
                .wait(5)
                .act([&](const platform::Frame &frame) {
                    marks.exposed = frame.number();
                    SDL_Event exposed{};
                    exposed.type = SDL_WINDOWEVENT;
                    exposed.window.event = SDL_WINDOWEVENT_EXPOSED;
                    exposed.window.windowID = SDL_GetWindowID(platform::Display::window());
                    SDL_PushEvent(&exposed);
                })
                .wait(5)
                .act([&](const platform::Frame &frame) {
                    marks.clicked = frame.number();
                    frame.setMouse(cellX(3), cellY(4));
                    frame.pressButton(platform::MouseButton::Left);
                })
                .wait(2)
                .act([&](const platform::Frame &frame) {
                    frame.releaseButton(platform::MouseButton::Left);
                    frame.setMouse(600, 20);
                })
                .wait(5)
                .act([&](const platform::Frame &frame) {
                    marks.keyed = frame.number();
                    frame.pressKey(SDLK_p, 1); // pause: the board hides under the pause panel
                })
                .wait(10)
                .closeWindow();
        },
        4000, [&](const Director &) { check(seen, marks); });
}

TEST(Frames, UnchangedFramesAreLeftOutAndThePlayerSeesEveryChangeAtOnce) {
    const support::TempFolder files("frames");
    const std::string every = files.path("every");
    playAndCheck(true, [&](const std::vector<SeenFrame> &seen, const Marks &) {
        std::ofstream out(every);
        for (size_t i = 0; i < seen.size(); ++i) {
            ASSERT_TRUE(seen[i].drawn) << "asked to, the window draws every frame (frame " << i + 1 << ")";
            out << seen[i].picture << '\n';
        }
    });
    playAndCheck(false, [&](const std::vector<SeenFrame> &seen, const Marks &m) {
        // Both runs went the same way, and in every frame the player saw the same picture.
        std::ifstream in(every);
        std::vector<uint64_t> pictures;
        for (uint64_t picture; in >> picture;)
            pictures.push_back(picture);
        ASSERT_GT(m.keyed, m.stillFrom);
        ASSERT_EQ(seen.size(), pictures.size());
        long differing = 0;
        for (size_t i = 0; i < seen.size(); ++i)
            differing += seen[i].picture != pictures[i];
        EXPECT_EQ(differing, 0) << "frames whose picture differs from the one drawn every frame";
        const auto at = [&](uint64_t number) { return seen.at(number - 1); };

        // A still board over ten seconds: drawn once each time the clock's text changes, and no more.
        long drawn = 0, changes = 0;
        for (uint64_t n = m.stillFrom + 1; n <= m.stillTo; ++n) {
            drawn += at(n).drawn;
            changes += at(n).picture != at(n - 1).picture;
        }
        EXPECT_GE(m.stillTo - m.stillFrom, 750u);
        EXPECT_GE(changes, 9) << "the clock ticks ten times in ten seconds";
        EXPECT_LE(changes, 11);
        EXPECT_EQ(drawn, changes);

        // An expose has the next frame drawn though its picture is unchanged.
        EXPECT_EQ(at(m.exposed + 1).picture, at(m.exposed).picture);
        EXPECT_TRUE(at(m.exposed + 1).drawn);
        EXPECT_FALSE(at(m.exposed + 2).drawn);

        // A click and a key change the picture in the frame that reads them, and that frame is drawn.
        for (uint64_t acted : {m.clicked, m.keyed}) {
            EXPECT_NE(at(acted + 1).picture, at(acted).picture) << "frame " << acted + 1;
            EXPECT_TRUE(at(acted + 1).drawn) << "frame " << acted + 1;
        }
    });
}

} // namespace
