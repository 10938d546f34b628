// The options page: the music playlist and the tune button, both volume sliders, the gem-set chooser
// and the reset button.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "frontend_fixture.h"
#include "support/hit_area.h"

#include "framework/KGraphicD3D.h"
#include "framework/KMiscTools.h"
#include "framework/KSound.h"
#include "frontend/gemsets.h"
#include "frontend/highscores.h"
#include "frontend/menu.h"
#include "frontend/options.h"
#include "game/sheet_layout.h"
#include "platform/input.h"
#include "shell/sounds.h"

using namespace frontendtest;
using platform::Input;
using platform::MouseButton;

namespace {

std::vector<std::string> listed;
bool collect(char *name, bool) {
    listed.emplace_back(name);
    return true;
}
// The music folder's names in the order the platform lists them.
std::vector<std::string> listingOrder(const ProgramFolder &folder) {
    listed.clear();
    std::string pattern = folder.path("data/music/*.*");
    KMiscTools::enumerateFolder(pattern.data(), collect);
    return listed;
}

std::vector<std::string> playlist() {
    std::vector<std::string> names;
    for (long i = 0; i < gTune; i++)
        names.emplace_back(allMusic[i].filename);
    return names;
}

// The middle of the tune name, of the slider rows and of the gem row.
constexpr int kTuneX = 290, kTuneY = 254;
constexpr int kEffectsY = 209, kMusicY = 235;
constexpr int kGemRowX = 200, kGemRowY = 330;

} // namespace

class PlaylistTest : public FrontEndTest {
protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        folder.makeFolder("data/music");
    }
    void addFile(const std::string &name, const std::string &from = "") const {
        if (from.empty())
            folder.write("data/music/" + name, {'x'});
        else
            folder.copyData("music/" + from, "data/music/" + name);
    }
};

TEST_F(PlaylistTest, TakesNamesHoldingTheExtensionInListingOrder) {
    addFile("b.ogg");
    addFile("a.ogg.txt");
    addFile("readme.txt");
    addFile("LOUD.OGG");
    addFile("c.ogg");
    folder.makeFolder("data/music/folder.ogg");
    initMusic();

    std::vector<std::string> expected;
    for (const std::string &name : listingOrder(folder)) {
        if (name.find(".ogg") != std::string::npos)
            expected.push_back(name.substr(0, name.size() - 4));
    }
    EXPECT_EQ(playlist(), expected);
    EXPECT_EQ(gTune, 4) << "b, a.ogg (from a.ogg.txt), c and the folder, never LOUD.OGG or readme";
    EXPECT_NE(std::find(expected.begin(), expected.end(), "a.ogg"), expected.end());
    for (long i = gTune; i < kMaxTunes; i++)
        EXPECT_EQ(allMusic[i].filename[0], '\0');

    // a.ogg.txt is looked up as a.ogg.ogg, which does not exist: the music stays silent.
    char stored[] = "a.ogg";
    playSong(stored);
    ASSERT_NE(snd_music, nullptr);
    EXPECT_FALSE(snd_music->_oggFile);
}

TEST_F(PlaylistTest, KeepsTheFirstTwentyListedAndEmptiesOldEntries) {
    for (int i = 0; i < 21; i++)
        addFile("tune" + std::to_string(i) + ".ogg");
    initMusic();
    std::vector<std::string> firstTwenty;
    for (const std::string &name : listingOrder(folder)) {
        if (firstTwenty.size() < 20 && name.find(".ogg") != std::string::npos)
            firstTwenty.push_back(name.substr(0, name.size() - 4));
    }
    EXPECT_EQ(gTune, 20);
    EXPECT_EQ(playlist(), firstTwenty);

    std::filesystem::remove_all(folder.path("data/music"));
    folder.makeFolder("data/music");
    initMusic();
    EXPECT_EQ(gTune, 0);
    for (const sMusic &entry : allMusic)
        EXPECT_EQ(entry.filename[0], '\0') << "a rebuilt list keeps nothing of the old one";
    playCurrentTune();
    ASSERT_NE(snd_music, nullptr) << "an empty playlist asks for an empty name and stays silent";
    EXPECT_FALSE(snd_music->_oggFile);
}

TEST_F(PlaylistTest, TuneButtonAdvancesOneTunePerPressAndWraps) {
    const char *generated[3] = {"arcade skies.ogg", "still water.ogg", "sunny bossa.ogg"};
    for (const char *name : generated)
        addFile(name, name);
    initMusic();
    ASSERT_EQ(gTune, 3);
    auto fileSize = [&](long entry) {
        return std::filesystem::file_size(
            folder.path("data/music/" + std::string(allMusic[entry].filename) + ".ogg"));
    };

    prefs.currentTune = 0;
    for (long expected : {1, 2, 0, 1}) {
        // The press lets go after a few polls, which the tune button waits for.
        Input::pressButton(MouseButton::Left, 3);
        detectMusicChange(kTuneX, kTuneY, true);
        EXPECT_EQ(prefs.currentTune, expected);
        EXPECT_FALSE(Input::isButtonDown(MouseButton::Left)) << "returns only once the button is up";
        ASSERT_NE(snd_music, nullptr);
        EXPECT_TRUE(snd_music->_oggFile);
        EXPECT_EQ(snd_music->_oggFileLen, fileSize(expected)) << "the stream holds the chosen tune";
    }

    // With the button up nothing changes.
    KSound *playing = snd_music;
    detectMusicChange(kTuneX, kTuneY, false);
    EXPECT_EQ(prefs.currentTune, 1);
    EXPECT_EQ(snd_music, playing);

    // An index past the list finds an empty entry and starts again at the first tune.
    for (int32_t stored : {5, 19, 20, 25, -3}) {
        prefs.currentTune = stored;
        detectMusicChange(200, 245, true);
        EXPECT_EQ(prefs.currentTune, 0) << "from " << stored;
        EXPECT_EQ(snd_music->_oggFileLen, fileSize(0));
    }
    // A stored index outside the list plays the first tune at menu start.
    for (int32_t stored : {kMaxTunes, 40}) {
        prefs.currentTune = stored;
        playCurrentTune();
        EXPECT_EQ(snd_music->_oggFileLen, fileSize(0)) << stored;
    }
    prefs.currentTune = 2;
    playCurrentTune();
    EXPECT_EQ(snd_music->_oggFileLen, fileSize(2));

    // The name shown is that of the tune that plays: the first, for a stored index outside the list.
    folder.linkData("highscalp.tga");
    loadMenuGraphics();
    auto shownName = [](int32_t stored) {
        prefs.currentTune = stored;
        clear();
        detectMusicChange(0, 0, false);
        return grab();
    };
    const Screen first = shownName(0);
    EXPECT_GT(litPixels(first, 200, 240, 386, 270), 0);
    for (int32_t stored : {5, 19, kMaxTunes, 25, -3})
        EXPECT_EQ(differences(shownName(stored), first, 0, 0, 640, 480), 0) << "stored " << stored;
}

class SliderTest : public FrontEndTest {
protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        folder.linkData("skins");
        loadMenuGraphics();
        KSound::setGlobalVolumes(50, 50);
    }
};

TEST_F(SliderTest, EffectsSliderSnapsAndSetsOnlyTheEffectsVolume) {
    struct Case {
        long x;
        int32_t position;
        long percent;
    };
    for (Case c : {Case{234, 0, 0}, Case{238, 5, 4}, Case{349, 116, 99}, Case{290, 57, 48}}) {
        prefs.volume = 60;
        detectVolumeSlide(c.x, kEffectsY, true);
        EXPECT_EQ(prefs.volume, c.position) << "x " << c.x;
        // The next frame applies the snapped position.
        detectVolumeSlide(c.x, kEffectsY, false);
        EXPECT_EQ(KSound::_masterSFXvolume.load(), c.percent) << "x " << c.x;
        EXPECT_EQ(KSound::_masterMUSICvolume.load(), 50) << "the music volume is left alone";
    }
    // A file may hold up to 176 (full volume); more is cut to 176.
    prefs.volume = 176;
    detectVolumeSlide(0, 0, false);
    EXPECT_EQ(KSound::_masterSFXvolume.load(), 100);
    for (int32_t stored : {177, 5000}) {
        prefs.volume = stored;
        detectVolumeSlide(0, 0, false);
        EXPECT_EQ(prefs.volume, 176) << stored;
    }
    prefs.volume = -20;
    detectVolumeSlide(0, 0, false);
    EXPECT_EQ(prefs.volume, 0);
}

TEST_F(SliderTest, MusicSliderSnapsAndSetsOnlyTheMusicVolume) {
    prefs.volumezik = 60;
    detectVolumeMusicSlide(234, kMusicY, true);
    EXPECT_EQ(prefs.volumezik, 0);
    EXPECT_EQ(KSound::_masterMUSICvolume.load(), 0) << "the snapped position is applied at once";
    detectVolumeMusicSlide(238, kMusicY, true);
    EXPECT_EQ(KSound::_masterMUSICvolume.load(), 4);
    detectVolumeMusicSlide(349, 244, true);
    EXPECT_EQ(prefs.volumezik, 116);
    EXPECT_EQ(KSound::_masterMUSICvolume.load(), 99);
    EXPECT_EQ(KSound::_masterSFXvolume.load(), 50);
}

TEST_F(SliderTest, KnobsFollowTheirPositions) {
    auto drawnAt = [&](int32_t effects, int32_t music) {
        clear();
        prefs.volume = effects;
        prefs.volumezik = music;
        detectVolumeSlide(0, 0, false);
        detectVolumeMusicSlide(0, 0, false);
        return grab();
    };
    const Screen low = drawnAt(10, 100);
    // Knob at position + 225; the two sliders' knobs sit at y 198 and 219, 16 pixels wide.
    EXPECT_GT(litPixels(low, 235, 198, 251, 213), 0);
    EXPECT_EQ(litPixels(low, 315, 198, 341, 213), 0);
    EXPECT_GT(litPixels(low, 325, 219, 341, 234), 0);
    EXPECT_EQ(litPixels(low, 235, 219, 251, 234), 0);
    const Screen dragged = drawnAt(100, 10);
    EXPECT_EQ(litPixels(dragged, 235, 198, 251, 213), 0);
    EXPECT_GT(litPixels(dragged, 325, 198, 341, 213), 0);
    EXPECT_GT(litPixels(dragged, 235, 219, 251, 234), 0);
}

TEST_F(SliderTest, ResetButtonLightsWhileHoveredAndResetsOnPress) {
    const sHighScores before = score60sec;
    score60sec.players[0].score = 77777;
    scoreMillion.players[4].score = 1;

    clear();
    detectVolumeSlide(200, 156, false);
    const Screen hovered = grab();
    EXPECT_GT(litPixels(hovered, 105, 138, 318, 164), 1000);
    EXPECT_EQ(score60sec.players[0].score, 77777u) << "hovering resets nothing";

    detectVolumeSlide(200, 156, true);
    EXPECT_EQ(std::memcmp(&score60sec, &bscore60sec, sizeof(sHighScores)), 0);
    EXPECT_EQ(std::memcmp(&scoreMillion, &bscoreMillion, sizeof(sHighScores)), 0);
    EXPECT_EQ(std::memcmp(&score5Min, &bscore5Min, sizeof(sHighScores)), 0);
    EXPECT_EQ(std::memcmp(&scoreRelax, &bscoreRelax, sizeof(sHighScores)), 0);
    score60sec = before;
}

class GemSetTest : public FrontEndTest {
protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        for (int set = 0; set < 3; set++)
            makeSet(set, "set " + std::string(1, static_cast<char>('a' + set)));
    }
    void makeSet(int set, const std::string &name, bool withPictures = true) const {
        const std::string dir = "data/gems/set" + std::to_string(set);
        folder.makeFolder(dir);
        folder.write(dir + "/name.txt", std::vector<unsigned char>(name.begin(), name.end()));
        // Each set borrows a different generated set's pictures, so that sets can be told apart.
        for (int i = 1; withPictures && i <= 7; i++)
            folder.copyData("gems/set" + std::to_string(set % 4) + "/gem0" + std::to_string(i) + ".tga",
                            dir + "/gem0" + std::to_string(i) + ".tga");
    }
    // One frame of the chooser with the mouse over the gem row.
    void press(MouseButton button) {
        Input::pressButton(button, 2);
        detectBubbleChange(kGemRowX - 8, kGemRowY, button == MouseButton::Left);
    }
    void pressKey(SDL_Keycode key) {
        Input::pressKey(key, 2);
        detectBubbleChange(kGemRowX - 8, kGemRowY, false);
    }
};

TEST_F(GemSetTest, ClicksAndArrowsStepThroughTheSetsAndWrap) {
    prefs.bubbleset = 0;
    ASSERT_TRUE(loadBubbleSet(0));
    std::vector<int32_t> seen;
    for (int i = 0; i < 3; i++) {
        press(MouseButton::Left);
        seen.push_back(prefs.bubbleset);
        EXPECT_EQ(std::string(bubbleSetName),
                  "set " + std::string(1, static_cast<char>('a' + prefs.bubbleset)));
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{1, 2, 0}));

    press(MouseButton::Right);
    EXPECT_EQ(prefs.bubbleset, 0) << "below the first set the choice stays at 0";
    pressKey(SDLK_RIGHT);
    pressKey(SDLK_RIGHT);
    EXPECT_EQ(prefs.bubbleset, 2);
    pressKey(SDLK_LEFT);
    EXPECT_EQ(prefs.bubbleset, 1);
    press(MouseButton::Right);
    EXPECT_EQ(prefs.bubbleset, 0);
    EXPECT_EQ(std::string(bubbleSetName), "set a");

    // A click and the Right arrow in the same frame move two sets.
    Input::pressKey(SDLK_RIGHT, 2);
    press(MouseButton::Left);
    EXPECT_EQ(prefs.bubbleset, 2);

    // Every wait ended with everything released.
    EXPECT_FALSE(Input::isButtonDown(MouseButton::Left));
    EXPECT_FALSE(Input::isKeyDown(SDLK_RIGHT));
}

TEST_F(GemSetTest, TheGemRowShowsItsPictures) {
    prefs.bubbleset = 0;
    ASSERT_TRUE(loadBubbleSet(0));
    press(MouseButton::Left);
    EXPECT_EQ(prefs.bubbleset, 1);

    clear();
    detectBubbleChange(0, 0, false);
    const Screen row = grab();
    const int w = static_cast<int>(gems[0]->fimageWidth);
    const int h = static_cast<int>(gems[0]->fimageHeight);
    // Picture i (1..7) at 61 + i * (w + 4), y 306.
    for (int i = 1; i <= 7; i++) {
        const int x = 61 + i * (w + 4);
        EXPECT_GT(litPixels(row, x, 306, x + w, 306 + h), w * h / 4) << "picture " << i;
    }
    EXPECT_EQ(litPixels(row, 0, 306, 61 + w + 4, 306 + h), 0) << "nothing left of the first picture";
}

TEST_F(GemSetTest, DamagedSetsFallBackOrLoadWhatTheyHave) {
    // Set 1 loses its name file: it no longer exists, and the choice falls back to set 0.
    std::filesystem::remove(folder.path("data/gems/set1/name.txt"));
    prefs.bubbleset = 0;
    ASSERT_TRUE(loadBubbleSet(0));
    KGraphicD3D *first = gems[0];
    EXPECT_FALSE(loadBubbleSet(1));
    EXPECT_EQ(gems[0], first) << "a missing set changes nothing";
    EXPECT_EQ(std::string(bubbleSetName), "set a");
    press(MouseButton::Left);
    EXPECT_EQ(prefs.bubbleset, 0);

    // A set without pictures loads; its pictures are empty and draw nothing.
    makeSet(3, "bare", false);
    ASSERT_TRUE(loadBubbleSet(3));
    for (KGraphicD3D *gem : gems) {
        ASSERT_NE(gem, nullptr);
        EXPECT_EQ(gem->fimageWidth, 0.0f);
    }
    clear();
    detectBubbleChange(0, 0, false);
    EXPECT_EQ(litPixels(grab(), 0, 300, 640, 350), 0);

    // A 300-byte name keeps its first 255 bytes.
    std::string longName(300, 'q');
    longName[254] = 'z';
    longName[255] = 'y';
    makeSet(4, longName);
    ASSERT_TRUE(loadBubbleSet(4));
    EXPECT_EQ(std::strlen(bubbleSetName), 255u);
    EXPECT_EQ(bubbleSetName[254], 'z');

    // A number from a damaged preferences file steps without overflowing and falls back to set 0.
    prefs.bubbleset = INT32_MAX;
    press(MouseButton::Left);
    EXPECT_EQ(prefs.bubbleset, 0);
    prefs.bubbleset = -7;
    press(MouseButton::Right);
    EXPECT_EQ(prefs.bubbleset, 0);
}

TEST_F(GemSetTest, LoadingASetReplacesEveryPicture) {
    ASSERT_TRUE(loadBubbleSet(0));
    clear();
    detectBubbleChange(0, 0, false);
    const Screen setA = grab();
    ASSERT_TRUE(loadBubbleSet(2));
    clear();
    detectBubbleChange(0, 0, false);
    const Screen setC = grab();
    const int w = static_cast<int>(gems[0]->fimageWidth);
    const int h = static_cast<int>(gems[0]->fimageHeight);
    for (int i = 1; i <= 7; i++) {
        const int x = 61 + i * (w + 4);
        EXPECT_GT(differences(setA, setC, x, 306, x + w, 306 + h), 0) << "picture " << i;
    }
}

// Every control of the page reacts inside its area and not a pixel outside it: the tune name's box
// takes in its bounds, the sliders, the gem row (whose chooser gets the mouse x less 8) and the reset
// button leave theirs out.
TEST_F(GemSetTest, ControlsReactOnlyInsideTheirAreas) {
    folder.makeFolder("data/music");
    for (const char *name : {"a.ogg", "b.ogg"})
        folder.copyData("music/still water.ogg", std::string("data/music/") + name);
    initMusic();
    folder.linkData("skins");
    folder.linkData("highscalp.tga");
    loadMenuGraphics();
    ASSERT_TRUE(loadBubbleSet(0));
    const struct {
        const char *control;
        support::EdgePoints edges;
        std::function<bool(long, long)> reacts;
    } controls[] = {
        {"tune name", support::boxEdges(layout::kTuneNameArea),
         [](long x, long y) {
             prefs.currentTune = 0;
             Input::pressButton(MouseButton::Left, 2);
             detectMusicChange(x, y, true);
             return prefs.currentTune != 0;
         }},
        {"effects slider", support::openEdges(layout::kEffectsSliderArea),
         [](long x, long y) {
             prefs.volume = 60;
             detectVolumeSlide(x, y, true);
             return prefs.volume != 60;
         }},
        {"music slider", support::openEdges(layout::kMusicSliderArea),
         [](long x, long y) {
             prefs.volumezik = 60;
             detectVolumeMusicSlide(x, y, true);
             return prefs.volumezik != 60;
         }},
        {"gem row", support::openEdges(layout::kGemRowArea),
         [](long x, long y) {
             prefs.bubbleset = 0;
             Input::pressButton(MouseButton::Left, 2);
             detectBubbleChange(x - 8, y, true);
             return prefs.bubbleset != 0;
         }},
        {"reset button", support::openEdges(layout::kResetScoresArea),
         [](long x, long y) {
             clear();
             detectVolumeSlide(x, y, false);
             return litPixels(grab(), 105, 138, 318, 164) > 1000;
         }},
    };
    for (const auto &c : controls) {
        for (const auto &[x, y] : c.edges.inside)
            EXPECT_TRUE(c.reacts(x, y)) << c.control << " at " << x << "," << y;
        for (const auto &[x, y] : c.edges.outside)
            EXPECT_FALSE(c.reacts(x, y)) << c.control << " at " << x << "," << y;
        Input::releaseAll();
    }
}

// A control that waits for its button to be let go gives up when the window closes, and changes
// nothing.
TEST_F(GemSetTest, HeldControlsGiveUpWhenTheWindowCloses) {
    folder.makeFolder("data/music");
    folder.copyData("music/still water.ogg", "data/music/only.ogg");
    initMusic();
    prefs.bubbleset = 0;
    Input::pressButton(MouseButton::Left); // held for ever
    Input::pressButton(MouseButton::Right);
    Input::pressKey(SDLK_LEFT);
    window().terminate();
    detectMusicChange(kTuneX, kTuneY, true);
    detectBubbleChange(kGemRowX - 8, kGemRowY, true);
    EXPECT_EQ(prefs.currentTune, 0);
    EXPECT_EQ(prefs.bubbleset, 0);
}
