// The options page: the music playlist and the tune button, both volume sliders, the gem-set chooser
// and the reset button; and the game's cursor, shown by the system as its pointer picture, or drawn into
// the frame where the system cannot show colour cursors.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <tuple>
#include <vector>

#include "frontend_fixture.h"

#include "framework/KGraphicD3D.h"
#include "framework/KMiscTools.h"
#include "frontend/options.h"
#include "platform/display.h"
#include "platform/pointer.h"
#include "shell/cursor.h"

using namespace frontendtest;
using platform::Input;
using platform::MouseButton;

namespace {

std::vector<std::string> listed;
bool collect(char *name, bool) {
    listed.emplace_back(name);
    return true;
}

// The middle of the tune name, of the slider rows and of the gem row.
constexpr int kTuneX = 290, kTuneY = 254;
constexpr int kEffectsY = 209, kMusicY = 235;
constexpr int kGemRowX = 200, kGemRowY = 330;

class OptionsTest : public FrontEndTest {
protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        folder.makeFolder("data/music");
        folder.linkData("skins");
        folder.linkData("highscalp.tga");
        loadMenuGraphics();
        KSound::setGlobalVolumes(50, 50);
        for (int set = 0; set < 3; set++)
            makeSet(set, std::string("set ") + static_cast<char>('a' + set));
    }
    void makeSet(int set, const std::string &name, bool withPictures = true) const {
        const std::string dir = "data/gems/set" + std::to_string(set);
        folder.write(dir + "/name.txt", std::vector<unsigned char>(name.begin(), name.end()));
        // Each set borrows a different generated set's pictures, so that sets can be told apart.
        for (int i = 1; withPictures && i <= 7; i++)
            folder.copyData("gems/set" + std::to_string(set) + "/gem0" + std::to_string(i) + ".tga",
                            dir + "/gem0" + std::to_string(i) + ".tga");
    }
    // One frame of the chooser with the mouse over the gem row and a button or key pressed for a moment.
    void press(MouseButton button, SDL_Keycode key = SDLK_UNKNOWN) {
        if (key == SDLK_UNKNOWN)
            Input::pressButton(button, 2);
        else
            Input::pressKey(key, 2);
        detectBubbleChange(kGemRowX - 8, kGemRowY, key == SDLK_UNKNOWN && button == MouseButton::Left);
    }
    Screen drawn(void (*control)(long, long, bool)) {
        clear();
        control(0, 0, false);
        return grab();
    }
};

// Any name holding ".ogg" counts (a folder too, never "LOUD.OGG"), the first twenty in listing order;
// a rebuilt list keeps nothing of the old one, and an empty one stays silent.
TEST_F(OptionsTest, ThePlaylistTakesTheFirstTwentyNamesHoldingTheExtension) {
    for (const char *name : {"b.ogg", "a.ogg.txt", "readme.txt", "LOUD.OGG", "folder.ogg/x"})
        folder.write(std::string("data/music/") + name, {'x'});
    for (int i = 0; i < 21; i++)
        folder.write("data/music/tune" + std::to_string(i) + ".ogg", {'x'});
    initMusic();
    std::string pattern = folder.path("data/music/*.*");
    listed.clear();
    KMiscTools::enumerateFolder(pattern.data(), collect);
    std::vector<std::string> expected, playlist;
    for (const std::string &name : listed)
        if (expected.size() < 20 && name.find(".ogg") != std::string::npos)
            expected.push_back(name.substr(0, name.size() - 4));
    for (long i = 0; i < gTune; i++)
        playlist.emplace_back(allMusic[i].filename);
    EXPECT_EQ(playlist, expected);

    std::filesystem::remove_all(folder.path("data/music"));
    folder.makeFolder("data/music");
    initMusic();
    EXPECT_EQ(gTune, 0);
    EXPECT_TRUE(
        std::all_of(std::begin(allMusic), std::end(allMusic), [](const sMusic &m) { return !*m.filename; }));
    playCurrentTune();
    ASSERT_NE(snd_music, nullptr);
    EXPECT_FALSE(snd_music->_oggFile);
}

// One tune per press, wrapping; a stored index outside the list plays and steps from the first tune. A press
// held until the window closes counts once, and the waits give up.
TEST_F(OptionsTest, TheTuneButtonAdvancesOneTunePerPressAndWraps) {
    for (const char *name : {"arcade skies.ogg", "still water.ogg", "sunny bossa.ogg"})
        folder.copyData(std::string("music/") + name, std::string("data/music/") + name);
    initMusic();
    ASSERT_EQ(gTune, 3);
    auto plays = [&](long entry) {
        return snd_music && snd_music->_oggFile &&
               static_cast<uintmax_t>(snd_music->_oggFileLen) ==
                   std::filesystem::file_size(
                       folder.path("data/music/" + std::string(allMusic[entry].filename) + ".ogg"));
    };
    for (long expected : {1, 2, 0, 1}) {
        Input::pressButton(MouseButton::Left, 3); // lets go after a few polls, which the button waits for
        detectMusicChange(kTuneX, kTuneY, true);
        EXPECT_EQ(prefs.currentTune, expected);
        EXPECT_FALSE(Input::isButtonDown(MouseButton::Left)) << "returns only once the button is up";
        EXPECT_TRUE(plays(expected));
    }
    detectMusicChange(kTuneX, kTuneY, false);
    EXPECT_EQ(prefs.currentTune, 1) << "with the button up nothing changes";

    for (int32_t stored : {5, kMaxTunes, -3}) {
        prefs.currentTune = stored;
        playCurrentTune();
        EXPECT_TRUE(plays(0)) << stored;
        detectMusicChange(kTuneX, kTuneY, true);
        EXPECT_EQ(prefs.currentTune, 0) << stored;
    }

    Input::pressButton(MouseButton::Left); // held for ever
    Input::pressButton(MouseButton::Right);
    Input::pressKey(SDLK_LEFT);
    window().terminate();
    detectMusicChange(kTuneX, kTuneY, true);
    detectBubbleChange(kGemRowX - 8, kGemRowY, true);
    EXPECT_EQ(prefs.currentTune, 1) << "counted once";
    EXPECT_EQ(prefs.bubbleset, 0);
}

// Each slider snaps its position, sets only its own volume (the scale has its own test), cuts a stored
// position to 0..176 (full volume) and draws its knob (16 pixels wide, at y 198 and 219) at position + 225.
TEST_F(OptionsTest, SlidersSnapSetOnlyTheirOwnVolumeAndDrawTheKnobThere) {
    const struct {
        void (*slide)(long, long, bool);
        int y, knobY;
        int32_t &position;
        const std::atomic<long> &volume, &other;
    } sliders[] = {{detectVolumeSlide, kEffectsY, 198, prefs.volume, KSound::_masterSFXvolume,
                    KSound::_masterMUSICvolume},
                   {detectVolumeMusicSlide, kMusicY, 219, prefs.volumezik, KSound::_masterMUSICvolume,
                    KSound::_masterSFXvolume}};
    for (const auto &s : sliders) {
        for (auto [x, stored, position] : {std::tuple{234, 60, 0},
                                           {238, 60, 5},
                                           {349, 60, 116},
                                           {0, 176, 176},
                                           {0, 177, 176},
                                           {0, 5000, 176},
                                           {0, -20, 0}}) {
            SCOPED_TRACE(std::to_string(s.y) + ": x " + std::to_string(x) + ", stored " +
                         std::to_string(stored));
            KSound::setGlobalVolumes(50, 50);
            s.position = stored;
            s.slide(x, s.y, true);
            EXPECT_EQ(s.position, position);
            s.slide(0, 0, false); // the effects take the snapped position in the next frame
            EXPECT_EQ(s.volume.load(), sliderToPercent(position));
            EXPECT_EQ(s.other.load(), 50);
        }
        for (int32_t position : {10, 100}) {
            s.position = position;
            const Screen screen = drawn(s.slide);
            const int away = position < 50 ? 325 : 235;
            EXPECT_GT(litPixels(screen, {position + 225, s.knobY, position + 241, s.knobY + 15}), 0)
                << position;
            EXPECT_EQ(litPixels(screen, {away, s.knobY, away + 16, s.knobY + 15}), 0) << position;
        }
    }
}

// Clicks and the Right arrow step forward, the right button and the Left arrow back (never below the
// first set), past the last set the choice wraps; a number from a damaged preferences file falls back
// to set 0 (a missing set too: the damaged-data run of the whole program plays one).
TEST_F(OptionsTest, ClicksAndArrowsStepThroughTheGemSetsAndWrap) {
    ASSERT_TRUE(loadBubbleSet(0));
    const struct {
        MouseButton button;
        SDL_Keycode key;
        int32_t set;
    } steps[] = {{MouseButton::Left, SDLK_UNKNOWN, 1}, {MouseButton::Left, SDLK_UNKNOWN, 2},
                 {MouseButton::Left, SDLK_UNKNOWN, 0}, {MouseButton::Right, SDLK_UNKNOWN, 0},
                 {MouseButton::Left, SDLK_RIGHT, 1},   {MouseButton::Left, SDLK_RIGHT, 2},
                 {MouseButton::Left, SDLK_LEFT, 1},    {MouseButton::Right, SDLK_UNKNOWN, 0}};
    for (const auto &step : steps) {
        press(step.button, step.key);
        EXPECT_EQ(prefs.bubbleset, step.set);
        EXPECT_EQ(std::string(bubbleSetName), std::string("set ") + static_cast<char>('a' + step.set));
    }
    Input::pressKey(SDLK_RIGHT, 2); // a click and the Right arrow in the same frame move two sets
    press(MouseButton::Left);
    EXPECT_EQ(prefs.bubbleset, 2);
    EXPECT_FALSE(Input::isButtonDown(MouseButton::Left)) << "every wait ended with everything released";
    EXPECT_FALSE(Input::isKeyDown(SDLK_RIGHT));
    prefs.bubbleset = INT32_MAX;
    press(MouseButton::Left);
    EXPECT_EQ(prefs.bubbleset, 0);
}

// The row shows the set's seven pictures at 61 + i * (width + 4), and loading a set replaces each; a
// set without pictures draws nothing, and a 300-byte name keeps its first 255 bytes.
TEST_F(OptionsTest, TheGemRowShowsEveryPictureOfTheLoadedSet) {
    ASSERT_TRUE(loadBubbleSet(0));
    const Screen setA = drawn(detectBubbleChange);
    ASSERT_TRUE(loadBubbleSet(2));
    const Screen setC = drawn(detectBubbleChange);
    const int w = static_cast<int>(gems[0]->fimageWidth), h = static_cast<int>(gems[0]->fimageHeight);
    for (int i = 1; i <= 7; i++) {
        const int x = 61 + i * (w + 4);
        EXPECT_GT(litPixels(setC, {x, 306, x + w, 306 + h}), w * h / 4) << "picture " << i;
        EXPECT_GT(differingPixels(setA, setC, {x, 306, x + w, 306 + h}), 0) << "picture " << i;
    }
    EXPECT_EQ(litPixels(setC, {0, 306, 61 + w + 4, 306 + h}), 0) << "nothing left of the first picture";

    std::string longName(300, 'q');
    longName[254] = 'z';
    makeSet(3, longName, false);
    ASSERT_TRUE(loadBubbleSet(3));
    EXPECT_EQ(std::strlen(bubbleSetName), 255u);
    EXPECT_EQ(bubbleSetName[254], 'z');
    EXPECT_EQ(litPixels(drawn(detectBubbleChange), {0, 300, 640, 350}), 0);
}

// Every control of the page reacts inside its area and not a pixel outside it: the tune name's box
// takes in its bounds, the sliders, the gem row (whose chooser gets the mouse x less 8) and the reset
// button leave theirs out (the journey through the whole program checks what the reset puts on disk).
TEST_F(OptionsTest, ControlsReactOnlyInsideTheirAreas) {
    for (const char *name : {"a.ogg", "b.ogg"})
        folder.copyData("music/still water.ogg", std::string("data/music/") + name);
    initMusic();
    ASSERT_TRUE(loadBubbleSet(0));
    const struct {
        support::EdgePoints edges;
        void (*control)(long, long, bool);
        bool held;
        bool (*reacted)();
    } controls[] = {
        {support::boxEdges(layout::kTuneNameArea), detectMusicChange, true,
         [] { return prefs.currentTune != 0; }},
        {support::openEdges(layout::kEffectsSliderArea), detectVolumeSlide, true,
         [] { return prefs.volume != 60; }},
        {support::openEdges(layout::kMusicSliderArea), detectVolumeMusicSlide, true,
         [] { return prefs.volumezik != 60; }},
        {support::openEdges(layout::kGemRowArea),
         [](long x, long y, bool b) { detectBubbleChange(x - 8, y, b); }, true,
         [] { return prefs.bubbleset != 0; }},
        {support::openEdges(layout::kResetScoresArea), detectVolumeSlide, false,
         [] {
             return litPixels(grab(), {105, 138, 318, 164}) > 1000;
         }},
    };
    for (const auto &c : controls) {
        for (const auto &[points, inside] : {std::pair{c.edges.inside, true}, {c.edges.outside, false}}) {
            for (const auto &[x, y] : points) {
                prefs.currentTune = prefs.bubbleset = 0;
                prefs.volume = prefs.volumezik = 60;
                Input::pressButton(MouseButton::Left, 2);
                clear();
                c.control(x, y, c.held);
                EXPECT_EQ(c.reacted(), inside) << x << "," << y;
                Input::releaseAll();
            }
        }
    }
}

// Shown by the system or drawn into the frame, the frame observer and screenshots see the very same
// pixels, and the system's own arrow shows only outside the game's picture.
TEST_F(FrontEndTest, TheCursorLooksTheSameShownBySystemOrDrawnAndTheArrowShowsOnlyOutside) {
    folder.linkData("mouse.tga");
    folder.linkData("skins");
    KGraphicD3D background;
    ASSERT_TRUE(background.loadPicture(KMiscTools::makeFilePath("data/skins/0/menu0.tga"), true, true));
    loadMouseCursor();
    ASSERT_TRUE(surf_mouse && surf_mouse->_surface);
    // One frame over a busy picture with the pointer at (x, y): what the frame observer sees, and what
    // the frame itself drew into the back buffer.
    const auto frameWithPointerAt = [&](long x, long y, bool bySystem) {
        platform::Pointer::allowSystemCursor(bySystem);
        window().setDefaultWorldView();
        background.blitRect(0, 0, 640, 480, 0, 0, false, false);
        platform::Input::setMouse(static_cast<int>(x), static_cast<int>(y));
        displayMouseCursor();
        std::vector<uint32_t> seen, drawn;
        platform::setFrameObserver([&](const platform::Frame &frame) {
            seen = frame.pixels();
            platform::Display::readBackBuffer(drawn);
        });
        window().flipBackBuffer(false, true);
        platform::setFrameObserver({});
        for (uint32_t &p : drawn)
            p |= 0xFF000000u;
        return std::pair{seen, drawn};
    };
    // The edges of the picture (both edges included) and just outside them, and the corners.
    support::EdgePoints edges = support::edgePoints(0, 0, 640, 480, true);
    edges.inside.insert(edges.inside.end(), {{0, 0}, {640, 480}});
    for (const auto &[points, inside] : {std::pair{edges.inside, true}, {edges.outside, false}}) {
        for (const auto &[x, y] : points) {
            SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
            const auto [seenBySystem, drawnBySystem] = frameWithPointerAt(x, y, true);
            EXPECT_EQ(platform::Input::pointerVisible(), !inside);
            EXPECT_EQ(isHidden, inside);
            const auto [seenDrawn, drawnByGame] = frameWithPointerAt(x, y, false);
            EXPECT_EQ(platform::Input::pointerVisible(), !inside);
            EXPECT_TRUE(seenBySystem == seenDrawn) << "the observer sees the cursor alike";
            EXPECT_TRUE(seenDrawn == drawnByGame);
            // Shown by the system, the cursor stays out of the frame: only a pointer outside leaves it alike.
            EXPECT_EQ(drawnBySystem == seenBySystem, !inside);
        }
    }
    platform::Pointer::allowSystemCursor(true);
    ASSERT_TRUE(platform::Pointer::shownBySystem());
    platform::Input::setMouse(-5, -5);
    displayMouseCursor();
    freeMouseCursor();
    EXPECT_FALSE(platform::Pointer::shownBySystem());
}

} // namespace
