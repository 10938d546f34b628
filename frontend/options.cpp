#include "frontend/options.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "framework/KGraphicD3D.h"
#include "framework/KInput.h"
#include "framework/KMiscTools.h"
#include "framework/KSound.h"
#include "framework/KText.h"
#include "framework/KWindowD3D.h"
#include "frontend/gemsets.h"
#include "frontend/highscores.h"
#include "frontend/menu.h"
#include "game/sheet_layout.h"
#include "shell/app.h"
#include "shell/prefs.h"
#include "shell/sounds.h"

sMusic allMusic[kMaxTunes];
long gTune = 0;

namespace {

// Slider positions below this are silence; the preferences file may hold up to the upper limit.
constexpr int32_t kSliderSnapLow = 5;
constexpr int32_t kSliderSnapHigh = 176;
// The gem-set chooser works in coordinates 8 pixels left of the mouse.
constexpr long kGemChooserShiftX = 8;
constexpr const char *kTuneExtension = ".ogg";
constexpr size_t kTuneExtensionLength = 4;

bool insideOpen(const layout::OpenArea &area, long x, long y) {
    return area.x1 < x && x < area.x2 && area.y1 < y && y < area.y2;
}

bool insideBox(const layout::Box &box, long x, long y) {
    return box.x1 <= x && x <= box.x2 && box.y1 <= y && y <= box.y2;
}

bool windowQuitting() {
    return fenetre == nullptr || fenetre->isQuit();
}

// Blocks, handling window events, while the control is held; a closing window ends the wait.
void waitUntilReleased(bool (*held)()) {
    while (held()) {
        if (fenetre)
            fenetre->processEvents();
        if (windowQuitting())
            return;
        SDL_Delay(1);
    }
}

bool leftButtonHeld() {
    return KInput::getLeftButtonState();
}
bool rightButtonHeld() {
    return KInput::getRightButtonState();
}
bool rightArrowHeld() {
    return KInput::isPressed(K_VK_RIGHT);
}
bool leftArrowHeld() {
    return KInput::isPressed(K_VK_LEFT);
}

// The playlist entry the preferences point at; an index outside the list reads entry 0.
long currentTuneIndex() {
    return prefs.currentTune >= 0 && prefs.currentTune < kMaxTunes ? prefs.currentTune : 0;
}

// The entry that plays for it: an empty entry plays the first tune.
long playingTuneIndex() {
    const long index = currentTuneIndex();
    return allMusic[index].filename[0] == '\0' ? 0 : index;
}

int32_t snapSlider(int32_t position) {
    if (position < kSliderSnapLow)
        return 0;
    if (position > kSliderSnapHigh)
        return kSliderSnapHigh;
    return position;
}

// Knob drawn at position + 225. The stored position is snapped one step later in the frame, so a value
// straight from a damaged preferences file is kept within the slider's scale for drawing.
void drawKnob(int32_t position, int y) {
    if (surf_menu == nullptr)
        return;
    const int32_t shown = position < 0 ? 0 : (position > kSliderSnapHigh ? kSliderSnapHigh : position);
    const layout::Rect &knob = layout::kSliderKnob;
    surf_menu->blitAlphaRect(knob.x1, knob.y1, knob.x2, knob.y2,
                             static_cast<short>(shown + layout::kSliderKnobOffsetX), static_cast<short>(y));
}

void takeSliderPosition(const layout::OpenArea &area, long mx, long my, bool bt, int32_t &position) {
    if (bt && insideOpen(area, mx, my))
        position = static_cast<int32_t>(mx - area.x1);
}

} // namespace

void initMusic() {
    std::memset(allMusic, 0, sizeof(allMusic));
    gTune = 0;
    KMiscTools::enumerateFolder(KMiscTools::makeFilePath("data/music/*.*"), addTune);
}

bool addTune(char *filename, bool /*isFolder*/) {
    if (filename == nullptr)
        return true;
    // Any name holding the extension counts, wherever it stands ("a.ogg.txt" too).
    if (std::strstr(filename, kTuneExtension) == nullptr)
        return true;
    if (gTune >= kMaxTunes)
        return false;
    char *stored = allMusic[gTune].filename;
    std::snprintf(stored, sizeof(allMusic[gTune].filename), "%s", filename);
    const size_t length = std::strlen(stored);
    stored[length >= kTuneExtensionLength ? length - kTuneExtensionLength : 0] = '\0';
    gTune++;
    return true;
}

void playSong(char *filename) {
    if (filename == nullptr)
        filename = allMusic[0].filename;
    char path[sizeof(allMusic[0].filename) + 32];
    std::snprintf(path, sizeof(path), "data/music/%s.ogg", filename);
    delete snd_music;
    snd_music = new KSound;
    // A tune that does not load leaves the music silent.
    snd_music->loadStream(KMiscTools::makeFilePath(path));
    snd_music->setVolume(100);
    snd_music->playStream(true);
}

void playCurrentTune() {
    playSong(allMusic[playingTuneIndex()].filename);
}

void detectMusicChange(long mx, long my, bool bt) {
    // The name of the tune that plays, also when the stored one is outside the playlist.
    if (highscoreText)
        highscoreText->drawStringCentered(allMusic[playingTuneIndex()].filename, layout::kTuneNameArea.x1,
                                          layout::kTuneNameArea.x2, layout::kTuneNameY, 0);
    if (!bt || !insideBox(layout::kTuneNameArea, mx, my))
        return;

    long next = static_cast<long>(prefs.currentTune) + 1;
    if (next < 0 || next >= kMaxTunes || allMusic[next].filename[0] == '\0')
        next = 0;
    prefs.currentTune = static_cast<int32_t>(next);
    playSong(allMusic[next].filename);
    // One tune per press: the screen stands still until the button is let go.
    waitUntilReleased(leftButtonHeld);
}

void detectVolumeSlide(long mx, long my, bool bt) {
    detectBubbleChange(mx - kGemChooserShiftX, my, bt);

    takeSliderPosition(layout::kEffectsSliderArea, mx, my, bt, prefs.volume);
    KSound::setGlobalVolumes(-1, sliderToPercent(prefs.volume));
    drawKnob(prefs.volume, layout::kEffectsKnobY);
    prefs.volume = snapSlider(prefs.volume);

    if (insideOpen(layout::kResetScoresArea, mx, my)) {
        if (surf_menu) {
            const layout::Piece &lit = layout::kLitResetButton;
            surf_menu->blitRect(lit.source.x1, lit.source.y1, lit.source.x2, lit.source.y2,
                                static_cast<short>(lit.dest.x), static_cast<short>(lit.dest.y));
        }
        // No confirmation; holding the button resets again each frame, to the same result.
        if (bt)
            resetScores();
    }
}

void detectVolumeMusicSlide(long mx, long my, bool bt) {
    takeSliderPosition(layout::kMusicSliderArea, mx, my, bt, prefs.volumezik);
    drawKnob(prefs.volumezik, layout::kMusicKnobY);
    prefs.volumezik = snapSlider(prefs.volumezik);
    KSound::setGlobalVolumes(sliderToPercent(prefs.volumezik), -1);
}

void detectBubbleChange(long x, long y, bool bt) {
    for (int i = 1; i <= 7; i++) {
        KGraphicD3D *gem = gems[i - 1];
        if (gem == nullptr)
            continue;
        const float w = gem->fimageWidth;
        const float h = gem->fimageHeight;
        // Laid out by the pictures' own width; a giant picture is pushed off screen, never wrapped.
        const long left = std::min<long>(layout::kGemRowX + i * (static_cast<long>(w) + layout::kGemRowGap),
                                         std::numeric_limits<short>::max());
        gem->blitAlphaRect(0, 0, w, h, static_cast<short>(left), layout::kGemRowY, false, false);
    }
    if (highscoreText)
        highscoreText->drawStringCentered(bubbleSetName, layout::kGemSetNameX1, layout::kGemSetNameX2,
                                          layout::kGemSetNameY, 0);

    if (!insideOpen(layout::kGemRowArea, x + kGemChooserShiftX, y))
        return;

    // Counted in a wider type: a number straight from the preferences file cannot overflow.
    long set = prefs.bubbleset;
    bool changed = bt;
    if (bt)
        set++;
    if (KInput::isPressed(K_VK_RIGHT)) {
        set++;
        KInput::waitForKeyRelease(K_VK_RIGHT);
        changed = true;
    }
    if (KInput::getRightButtonState() || KInput::isPressed(K_VK_LEFT)) {
        set--;
        KInput::waitForKeyRelease(K_VK_LEFT);
        changed = true;
    }
    if (set < 0)
        set = 0;
    if (changed && !loadBubbleSet(set)) {
        // Past the last set the choice wraps to the first.
        set = 0;
        loadBubbleSet(0);
    }
    prefs.bubbleset = static_cast<int32_t>(set);

    waitUntilReleased(leftButtonHeld);
    waitUntilReleased(rightButtonHeld);
    waitUntilReleased(rightArrowHeld);
    waitUntilReleased(leftArrowHeld);
}
