// Every fixed rectangle of the game's pictures: where the screens cut pieces out of the skin sheets,
// where they draw them, and the mouse areas the art has to line up with. The screens initialise their
// button tables from these, and the art generator draws every piece at exactly these places, so the
// two cannot drift apart. Constants only.
#pragma once

namespace layout {

// A blit rectangle: left/top included, right/bottom excluded.
struct Rect {
    int x1, y1, x2, y2;
    constexpr int width() const { return x2 - x1; }
    constexpr int height() const { return y2 - y1; }
};

// A mouse area with every bound included (the menu's sBtn and the play screen's hotspots).
struct Box {
    int x1, y1, x2, y2;
};

struct Point {
    int x, y;
};

// A piece of a sheet and the screen position its top-left corner is drawn at.
struct Piece {
    Rect source;
    Point dest;
};

// A mouse area tested with strict inequalities: x1 < x < x2 and y1 < y < y2.
struct OpenArea {
    int x1, y1, x2, y2;
};

inline constexpr int kScreenWidth = 640;
inline constexpr int kScreenHeight = 480;

// Lit copies of buttons sit this far below the place they are drawn at.
inline constexpr int kLitOffsetY = 480;

// ---- The menu sheet: data/skins/N/menuN.tga ----
inline constexpr int kMenuSheetWidth = 1024;
inline constexpr int kMenuSheetHeight = 1024;

// The six page buttons (sBoutons): set-up, how to play, options, high scores, credits, quit.
inline constexpr int kPageCount = 6;
inline constexpr Box kPageButtons[kPageCount] = {
    {415, 137, 533, 160}, {415, 164, 561, 189}, {415, 193, 521, 216},
    {415, 222, 561, 245}, {415, 249, 509, 274}, {415, 278, 470, 301},
};
// The lit page button i is the button's rectangle moved down by kLitOffsetY (right/bottom excluded).
constexpr Piece litPageButton(int i) {
    const Box &b = kPageButtons[i];
    return {{b.x1, b.y1 + kLitOffsetY, b.x2, b.y2 + kLitOffsetY}, {b.x1, b.y1}};
}

// sGameSelect 0..3: the game-mode rows of the set-up page; 4 and 5: the two parts of the Play button.
inline constexpr int kModeCount = 4;
inline constexpr Box kModeRows[kModeCount] = {
    {105, 138, 360, 176}, {105, 190, 360, 229}, {105, 242, 360, 280}, {105, 295, 360, 334}};
inline constexpr Box kPlayButtonAreas[2] = {{467, 346, 511, 382}, {437, 381, 538, 399}};
inline constexpr Piece kLitPlayButton = {{431, 822, 553, 885}, {431, 342}};

// sGameDifficult: the four difficulty buttons of the set-up page.
inline constexpr int kDifficultyCount = 4;
inline constexpr Box kDifficultyButtons[kDifficultyCount] = {
    {101, 361, 168, 404}, {177, 362, 234, 401}, {240, 362, 322, 401}, {327, 362, 389, 401}};

// sHighTabs: the four tabs of the high-score page.
inline constexpr Box kHighScoreTabs[kModeCount] = {
    {105, 117, 168, 137}, {169, 117, 233, 137}, {234, 117, 297, 137}, {300, 117, 363, 137}};
// The lit tab: source x from tab x1 + 575 to tab x2 + 572, rows 358..382, drawn at (x1 + 4, 113).
inline constexpr int kLitTabSourceY1 = 358;
inline constexpr int kLitTabSourceY2 = 382;
inline constexpr int kLitTabDestY = 113;
constexpr Piece litHighScoreTab(int i) {
    const Box &t = kHighScoreTabs[i];
    return {{t.x1 + 575, kLitTabSourceY1, t.x2 + 572, kLitTabSourceY2}, {t.x1 + 4, kLitTabDestY}};
}

// The page panels (page 4 is the credits picture, page 5 draws nothing).
inline constexpr Piece kSetupPanel = {{105, 618, 384, 864}, {105, 138}};
inline constexpr Piece kHowToPlayPanel = {{641, 0, 973, 347}, {67, 84}};
inline constexpr Piece kOptionsPanel = {{641, 706, 971, 990}, {67, 86}};
inline constexpr Piece kHighScorePanel = {{642, 385, 960, 680}, {71, 113}};

// Markers of the selected game mode and difficulty.
inline constexpr Piece kModeMarkers[kModeCount] = {
    {{86, 621, 106, 639}, {86, 141}},
    {{86, 674, 106, 693}, {86, 194}},
    {{86, 725, 106, 745}, {86, 245}},
    {{86, 779, 106, 797}, {86, 299}},
};
inline constexpr Piece kDifficultyMarkers[kDifficultyCount] = {
    {{101, 841, 168, 884}, {101, 361}},
    {{177, 842, 234, 881}, {177, 362}},
    {{240, 842, 322, 881}, {240, 362}},
    {{327, 842, 389, 881}, {327, 362}},
};

// Options page.
inline constexpr Rect kSliderKnob = {582, 979, 598, 994};
inline constexpr int kSliderKnobOffsetX = 225; // knob x = slider position + this
inline constexpr int kEffectsKnobY = 198;
inline constexpr int kMusicKnobY = 219;
inline constexpr int kSliderMaxPosition = 116;
inline constexpr OpenArea kEffectsSliderArea = {233, 200, 350, 218};
inline constexpr OpenArea kMusicSliderArea = {233, 225, 350, 245};
inline constexpr Box kTuneNameArea = {200, 245, 385, 264};
inline constexpr int kTuneNameY = 247;
inline constexpr OpenArea kGemRowArea = {88, 300, 406, 371};
inline constexpr int kGemRowX = 61; // picture i (1..7) at kGemRowX + i * (width + kGemRowGap)
inline constexpr int kGemRowGap = 4;
inline constexpr int kGemRowY = 306;
inline constexpr int kGemSetNameX1 = 95;
inline constexpr int kGemSetNameX2 = 383;
inline constexpr int kGemSetNameY = 355;
inline constexpr OpenArea kResetScoresArea = {109, 140, 324, 172};
inline constexpr Piece kLitResetButton = {{679, 997, 892, 1023}, {105, 138}};

// Credits: the picture is drawn from its column kCreditsSourceX at kCreditsDest.
inline constexpr int kCreditsSourceX = 8;
inline constexpr Point kCreditsDest = {73, 129};
inline constexpr OpenArea kCreditsFrameworkLink = {161, 315, 343, 399};
inline constexpr OpenArea kCreditsWebLink = {80, 190, 260, 227};
inline constexpr OpenArea kCreditsMailLink = {90, 278, 290, 333};

// High-score rows: names from x 110, values right-aligned at x 360.
inline constexpr int kHighScoreNameX = 110;
inline constexpr int kHighScoreValueRightX = 360;
inline constexpr int kHighScoreRowCount = 12;
inline constexpr int kHighScoreRowY[kHighScoreRowCount] = {148, 167, 185, 213, 233, 252,
                                                           279, 299, 318, 346, 365, 385};
// A row answers to the pointer from its top down to the next row (the closest rows are 18 apart).
inline constexpr int kHighScoreRowHeight = 18;

// ---- The play sheet: data/skins/N/ingameN.tga ----
inline constexpr int kPlaySheetWidth = 1024;
inline constexpr int kPlaySheetHeight = 1024;

inline constexpr int kBoardColumns = 12;
inline constexpr int kBoardRows = 8;
inline constexpr int kCellSize = 42;
inline constexpr Point kBoardOrigin = {71, 90};
inline constexpr Rect kBoardArea = {kBoardOrigin.x, kBoardOrigin.y, kBoardOrigin.x + kBoardColumns *kCellSize,
                                    kBoardOrigin.y + kBoardRows *kCellSize};
// The selection mark is drawn one pixel up and left of the cell's corner.
inline constexpr int kSelectMarkOffset = -1;

// The play screen's buttons (hotspots): new game, hint, exit. Their lit copies sit kLitOffsetY lower.
struct HotSpotLayout {
    Box area;
    int id;
    Point second; // dx, dy: carried, not used by the play screen
};
inline constexpr int kPlayButtonCount = 3;
inline constexpr HotSpotLayout kPlayButtons[kPlayButtonCount] = {
    {{70, 438, 170, 465}, 0, {66, 439}},
    {{196, 438, 247, 465}, 1, {202, 439}},
    {{265, 438, 330, 465}, 2, {319, 439}},
};
constexpr Piece litPlayButton(int i) {
    const Box &b = kPlayButtons[i].area;
    return {{b.x1, b.y1 + kLitOffsetY, b.x2, b.y2 + kLitOffsetY}, {b.x1, b.y1}};
}

inline constexpr Piece kPausePanel = {{69, 498, 571, 832}, {69, 88}};
inline constexpr int kModeLabelY1 = 20;
inline constexpr int kModeLabelY2 = 36;
inline constexpr int kModeLabelDestY = 37;
inline constexpr Piece kModeLabels[kModeCount] = {
    {{675, kModeLabelY1, 713, kModeLabelY2}, {25, kModeLabelDestY}},
    {{716, kModeLabelY1, 776, kModeLabelY2}, {20, kModeLabelDestY}},
    {{776, kModeLabelY1, 833, kModeLabelY2}, {20, kModeLabelDestY}},
    {{833, kModeLabelY1, 883, kModeLabelY2}, {20, kModeLabelDestY}},
};
inline constexpr Piece kZapBanner = {{671, 231, 1011, 277}, {150, 200}};

inline constexpr Point kScorePosition = {435, 442}; // score digits drawn from here to the right
inline constexpr Point kClockPosition = {560, 37};  // clock digits drawn from here to the right

// ---- The panels of the game's end ----
inline constexpr int kEndPanelAreaHeight = 357;
inline constexpr int kGameOverTop = 77;
inline constexpr int kNameEntryShiftX = -3;
inline constexpr int kNameEntryTop = 76;
// Where the game draws a panel of the given size (computed in floating point, truncated).
constexpr Point gameOverPanelPosition(int w, int h) {
    return {static_cast<int>((kScreenWidth - w) / 2.0f),
            static_cast<int>((kEndPanelAreaHeight - h) / 2.0f + kGameOverTop)};
}
constexpr Point nameEntryPanelPosition(int w, int h) {
    return {static_cast<int>((kScreenWidth - w) / 2.0f + kNameEntryShiftX),
            static_cast<int>((kEndPanelAreaHeight - h) / 2.0f + kNameEntryTop)};
}
inline constexpr Point kNameEntryText = {232, 314}; // the typed name, high-score font
inline constexpr int kNameEntryMaxChars = 18;
inline constexpr int kNameCursorHeight = 10; // black bar rows 314..323

// ---- Pictures drawn relative to a token ----
// Bonus overlays, offset from the gem's top-left corner.
inline constexpr Point kBombOffset = {6, 5};
inline constexpr Point kHorizontalOffset = {6, 7};
inline constexpr Point kVerticalOffset = {5, 5};
inline constexpr Point kCrossOffset = {6, 6};
inline constexpr Point kRandomOffset = {6, 5};

// The cursor's hot spot, from the picture's top-left corner.
inline constexpr Point kMouseHotSpot = {3, 3};

// ---- Outside the game window ----
inline constexpr int kLauncherPreviewWidth = 160;
inline constexpr int kLauncherPreviewHeight = 120;
inline constexpr int kSkinCount = 7;

} // namespace layout
