// Frames whose picture is already on screen are neither drawn nor presented. The same scripted game
// is played twice, once with every frame drawn: the player must see the same picture in every frame,
// while the window draws a still board about once a clock tick, a click or a key in the very frame it
// changes the picture, and anything after an expose.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
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
    uint64_t number = 0;
    bool drawn = false;
    uint64_t picture = 0; // a hash of its pixels
};

// Frames the script marks: the still stretch, and the frames after which it exposed the window,
// clicked a gem and pressed a key.
struct Marks {
    uint64_t stillFrom = 0, stillTo = 0, exposed = 0, clicked = 0, keyed = 0;
};

struct Playthrough {
    std::vector<SeenFrame> frames;
    Marks marks;
    const SeenFrame &at(uint64_t number) const { return frames.at(number - 1); }
};

uint64_t hashOf(const std::vector<uint32_t> &pixels) {
    uint64_t hash = 1469598103934665603ull;
    for (uint32_t p : pixels)
        hash = (hash ^ p) * 1099511628211ull;
    return hash;
}

// Nothing moves, fades or wobbles: the board's picture changes only when the player acts.
bool boardAtRest() {
    for (const sToken &cell : tokenTable)
        if (cell.sinusSpeed != 0.0f)
            return false;
    return boardStill();
}

// Plays the script in a child process and returns what the player saw (through a file).
Playthrough playAndRecord(bool drawEveryFrame, const support::TempFolder &files) {
    Playthrough seen;
    Marks &marks = seen.marks;
    ProgramFolder folder;
    const std::string path = files.path(drawEveryFrame ? "every" : "skipping");
    const auto mark = [](uint64_t &at) {
        return [&at](const platform::Frame &frame) { at = frame.number(); };
    };
    playScript(
        folder.root(),
        [&](Director &director) {
            platform::Display::setDrawEveryFrame(drawEveryFrame);
            director.watch([&](const platform::Frame &frame) {
                seen.frames.push_back({frame.number(), frame.drawn(), hashOf(frame.pixels())});
            });
            const auto pictureChanged = [&] {
                const size_t n = seen.frames.size();
                return n >= 2 && seen.frames[n - 1].picture != seen.frames[n - 2].picture;
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
                .key(SDLK_p)
                .wait(10)
                .key(SDLK_ESCAPE)
                .waitUntil("the menu", menuReady, 245)
                .key(SDLK_ESCAPE, 1000);
        },
        4000,
        [&](const Director &) {
            std::ofstream out(path);
            out << marks.stillFrom << ' ' << marks.stillTo << ' ' << marks.exposed << ' ' << marks.clicked
                << ' ' << marks.keyed << '\n';
            for (const SeenFrame &frame : seen.frames)
                out << frame.number << ' ' << frame.drawn << ' ' << frame.picture << '\n';
        });
    std::ifstream in(path);
    in >> marks.stillFrom >> marks.stillTo >> marks.exposed >> marks.clicked >> marks.keyed;
    for (SeenFrame frame; in >> frame.number >> frame.drawn >> frame.picture;)
        seen.frames.push_back(frame);
    return seen;
}

TEST(Frames, UnchangedFramesAreLeftOutAndThePlayerSeesEveryChangeAtOnce) {
    const support::TempFolder files("frames");
    const Playthrough skipping = playAndRecord(false, files), every = playAndRecord(true, files);

    // Both runs went the same way, and in every frame the player saw the same picture.
    ASSERT_GT(skipping.marks.keyed, skipping.marks.stillFrom);
    ASSERT_EQ(skipping.frames.size(), every.frames.size());
    ASSERT_EQ(skipping.marks.keyed, every.marks.keyed);
    long differing = 0;
    for (size_t i = 0; i < skipping.frames.size(); ++i)
        differing += skipping.frames[i].picture != every.frames[i].picture;
    EXPECT_EQ(differing, 0) << "frames whose picture differs from the one drawn every frame";
    for (const SeenFrame &frame : every.frames)
        ASSERT_TRUE(frame.drawn) << "asked to, the window draws every frame (frame " << frame.number << ")";

    // A still board over ten seconds: drawn once each time the clock's text changes, and no more.
    const Marks &m = skipping.marks;
    long drawn = 0, changes = 0;
    for (uint64_t n = m.stillFrom + 1; n <= m.stillTo; ++n) {
        drawn += skipping.at(n).drawn;
        changes += skipping.at(n).picture != skipping.at(n - 1).picture;
    }
    EXPECT_GE(m.stillTo - m.stillFrom, 750u);
    EXPECT_GE(changes, 9) << "the clock ticks ten times in ten seconds";
    EXPECT_LE(changes, 11);
    EXPECT_EQ(drawn, changes);

    // An expose has the next frame drawn though its picture is unchanged.
    EXPECT_EQ(skipping.at(m.exposed + 1).picture, skipping.at(m.exposed).picture);
    EXPECT_TRUE(skipping.at(m.exposed + 1).drawn);
    EXPECT_FALSE(skipping.at(m.exposed + 2).drawn);

    // A click and a key change the picture in the frame that reads them, and that frame is drawn.
    for (uint64_t acted : {m.clicked, m.keyed}) {
        EXPECT_NE(skipping.at(acted + 1).picture, skipping.at(acted).picture) << "frame " << acted + 1;
        EXPECT_TRUE(skipping.at(acted + 1).drawn) << "frame " << acted + 1;
    }
}

} // namespace
