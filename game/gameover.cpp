#include "game/gameover.h"

#include <cstring>

#include "framework/KGraphicD3D.h"
#include "framework/KInput.h"
#include "framework/KText.h"
#include "frontend/highscores.h"
#include "frontend/menu.h"
#include "game/onlinescores.h"
#include "game/playscreen.h"
#include "game/rules.h"
#include "game/sheet_layout.h"

char buffer[32] = "";
long bufferPosition = 0;
long blinker = 0;

namespace {

constexpr long kBlinkHidden = 35; // frames the bar stays hidden; it shows for the next 36
constexpr long kBlinkPeriodEnd = 70;

// What the keyboard asks of the name entry in this frame.
enum class NameKey { None, Character, Enter, Erase };

// Keys are read in a fixed order, each one held replacing the earlier ones: a later letter beats an
// earlier one, space beats letters, Return beats space and Backspace beats everything.
NameKey readNameKey(char *character, EKeyboardLayout *held, int *heldCount) {
    NameKey key = NameKey::None;
    for (int letter = 0; letter < 26; letter++) {
        const auto code = static_cast<EKeyboardLayout>(K_VK_A + letter);
        if (KInput::isPressed(code)) {
            key = NameKey::Character;
            *character = static_cast<char>('a' + letter);
            held[(*heldCount)++] = code;
        }
    }
    if (KInput::isPressed(K_VK_SPACE)) {
        key = NameKey::Character;
        *character = ' ';
        held[(*heldCount)++] = K_VK_SPACE;
    }
    if (KInput::isPressed(K_VK_RETURN)) {
        key = NameKey::Enter;
        held[(*heldCount)++] = K_VK_RETURN;
    }
    if (KInput::isPressed(K_VK_BACK)) {
        key = NameKey::Erase;
        held[(*heldCount)++] = K_VK_BACK;
    }
    return key;
}

void drawPanel(KGraphicD3D *panel, layout::Point position, float zoom, float blend) {
    if (!panel)
        return;
    panel->blitAlphaRectFx(0, 0, panel->fimageWidth, panel->fimageHeight, static_cast<short>(position.x),
                           static_cast<short>(position.y), 0.0f, zoom, blend, false, false);
}

layout::Point gameOverPosition(KGraphicD3D *panel) {
    return layout::gameOverPanelPosition(static_cast<int>(panel->fimageWidth),
                                         static_cast<int>(panel->fimageHeight));
}

layout::Point entryPosition(KGraphicD3D *panel) {
    return layout::nameEntryPanelPosition(static_cast<int>(panel ? panel->fimageWidth : 0),
                                          static_cast<int>(panel ? panel->fimageHeight : 0));
}

// What the panel shows in this frame: worked out by updateGameOver, drawn by displayGameOver.
struct PanelView {
    KGraphicD3D *picture = nullptr;
    layout::Point position{0, 0};
    float zoom = 0.0f;
    float blend = 0.0f;
    bool name = false;       // the name being typed, over the entry panel
    bool nameCursor = false; // the blinking bar after it
};
PanelView panel;

// One frame of the name entry, once the panel is at full size: letters, space, Backspace and Return.
void runNameEntry() {
    char character = 0;
    EKeyboardLayout held[32];
    int heldCount = 0;
    const NameKey key = readNameKey(&character, held, &heldCount);
    if (key == NameKey::Enter) {
        ghighscoreProcessed = true;
        char name[256] = {};
        std::memcpy(name, buffer, sizeof(buffer));
        name[sizeof(buffer) - 1] = 0;
        transferHighScore(name);
    } else if (key == NameKey::Erase) {
        if (bufferPosition > 0) {
            bufferPosition--;
            buffer[bufferPosition] = 0;
        }
    } else if (key == NameKey::Character && bufferPosition < kMaxNameLength) {
        buffer[bufferPosition] = character;
        bufferPosition++;
    }
    // One press gives one character: wait until every key read above is up again.
    if (key == NameKey::Erase || key == NameKey::Character)
        for (int i = 0; i < heldCount; i++)
            KInput::waitForKeyRelease(held[i]);

    if (!highscoreText)
        return;
    panel.name = true;
    blinker++;
    panel.nameCursor = blinker > kBlinkHidden;
    if (blinker > kBlinkPeriodEnd)
        blinker = 0;
}

void drawName() {
    char name[256] = {};
    std::memcpy(name, buffer, sizeof(buffer));
    name[sizeof(buffer) - 1] = 0;
    highscoreText->drawStringFromLeft(name, layout::kNameEntryText.x, layout::kNameEntryText.y, 0);
    if (!panel.nameCursor)
        return;
    const long width = highscoreText->getStringWidth(name, 0);
    KGraphicD3D *sheet = highscoreText->getKGraphicPtr();
    if (sheet)
        sheet->drawRect(layout::kNameEntryText.x + width + 1, layout::kNameEntryText.y,
                        layout::kNameEntryText.x + width + 7,
                        layout::kNameEntryText.y + layout::kNameCursorHeight - 1, 0, 0, 0, 1.0f);
}

} // namespace

bool isHighScore() {
    if (ghighscoreProcessed)
        return false;
    if (isOnlineScore(gameDescription))
        return true;
    return qualifiesForHighScore(_gameMode, gameDifficulty, static_cast<uint32_t>(_realScore));
}

void updateGameOver(bool advanced) {
    if (!advanced) {
        // A frame that waits for a release stands still; a new game dealt in it has closed the panel.
        if (gameOverFade <= 0.0f)
            panel = {};
        return;
    }
    panel = {};
    if (!surf_gameover || !surf_gameover->_surface || gameOverFade <= 0.0f)
        return;

    if (gameOver && !isHighScore()) {
        if (_gameMode == kModeRelax) {
            ghighscoreProcessed = true;
            return;
        }
        if (ghighscoreProcessed) {
            // The name was just entered: the entry panel fades out at full size.
            panel = {surf_highscore, entryPosition(surf_highscore), 1.0f, gameOverFade};
            gameOverFade -= 0.1f;
        } else {
            panel = {surf_gameover, gameOverPosition(surf_gameover), gameOverFade, gameOverFade};
        }
        return;
    }

    if (ghighscoreProcessed) {
        gameOverFade -= 0.05f;
        if (gameOverFade <= 0.0f)
            return;
    }
    panel = {surf_highscore, entryPosition(surf_highscore), gameOverFade, gameOverFade};
    // Typing starts once the panel has grown to full size.
    if (ghighscoreProcessed || gameOverFade < 1.0f)
        return;
    runNameEntry();
}

void updateWatchedGameOver(bool advanced) {
    if (!advanced)
        return;
    panel = {};
    if (gameOver && _gameMode != kModeRelax && surf_gameover && surf_gameover->_surface &&
        gameOverFade > 0.0f)
        panel = {surf_gameover, gameOverPosition(surf_gameover), gameOverFade, gameOverFade};
}

KGraphicD3D *gameOverPanelPicture() {
    return panel.picture;
}

void closeGameOverPanel() {
    panel = {};
}

void displayGameOver() {
    drawPanel(panel.picture, panel.position, panel.zoom, panel.blend);
    if (panel.name && highscoreText)
        drawName();
}
