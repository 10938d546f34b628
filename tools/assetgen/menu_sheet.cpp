// The menu is built as whole screens (the background, the background with every control lit and
// the set-up page, each page over the background) and the sheet's pieces are cut out of those
// screens at their fixed rectangles. A piece therefore always matches what lies around the place it
// is drawn at, and pieces that share pixels (the set-up panel, the mode and difficulty markers) are
// cut from one and the same screen.
#include "tools/assetgen/menu_sheet.h"

#include <array>
#include <cmath>
#include <string>

#include "tools/assetgen/gems.h"
#include "tools/assetgen/skin_style.h"
#include "tools/assetgen/text_layout.h"

namespace assetgen {

using namespace layout;

namespace {

// The frame that holds the pages; every page panel is a cut of this frame with its content.
constexpr Rect kContentFrame = {60, 78, 408, 440};
constexpr double kFrameRadius = 14;
constexpr Point kLogoCentre = {522, 70};
constexpr int kDifficultyCaptionY = 373;
constexpr int kDifficultySocketTop = 387;
constexpr int kDifficultySocketHeight = 11;
constexpr double kPageButtonText = 12.5;
constexpr int kDifficultyHeadingY = 350; // "Difficulty", between the last mode row and the buttons
constexpr int kGemSetHintY = 289;        // above the options page's gem row
constexpr int kCreditsGemRowY = 400;
constexpr int kCreditsGemStep = 26;
constexpr int kGemColourCount = 7;

const std::array<const char *, kPageCount> kPageLabels = {"Game Setup",  "How to Play", "Options",
                                                          "High Scores", "Credits",     "Quit"};
const std::array<const char *, kModeCount> kModeTitles = {"60 Seconds", "5 Minutes", "Million", "Relax"};
const std::array<const char *, kModeCount> kModeLines = {
    "Score all you can in one minute", "Five minutes for your best score", "Race to a million points",
    "No clock: play at your own pace"};
const std::array<const char *, kDifficultyCount> kDifficultyNames = {"Easy", "Normal", "Hard", "Expert"};
const std::array<const char *, kModeCount> kTabLabels = {"60 sec", "5 min", "Million", "Relax"};

Colour panelInk(const SkinStyle &s) {
    return s.text;
}
Colour panelSubtleInk(const SkinStyle &s) {
    return mix(s.text, s.panel, 0.35);
}

void drawFrameOrnament(cairo_t *cr, const SkinStyle &s) {
    const double cx = (kContentFrame.x1 + kContentFrame.x2) / 2.0;
    const double y = 99;
    cairo_set_line_width(cr, 1.0);
    for (double side : {-1.0, 1.0}) {
        cairo_pattern_t *line = cairo_pattern_create_linear(cx, 0, cx + side * 130, 0);
        cairo_pattern_add_color_stop_rgba(line, 0, s.rim.r, s.rim.g, s.rim.b, 0.9);
        cairo_pattern_add_color_stop_rgba(line, 1, s.rim.r, s.rim.g, s.rim.b, 0);
        cairo_set_source(cr, line);
        cairo_move_to(cr, cx + side * 16, y + 0.5);
        cairo_line_to(cr, cx + side * 140, y + 0.5);
        cairo_stroke(cr);
        cairo_pattern_destroy(line);
    }
    for (int i = -1; i <= 1; ++i) {
        drawGem(cr, 0, i + 1 == 1 ? 2 : (i < 0 ? 0 : 1), cx + i * 12 - 5, y - 5, 10);
    }
}

void drawModeBullet(cairo_t *cr, const SkinStyle &s, const Piece &marker, bool lit) {
    // Bullets stay left of column 105, which belongs to the set-up panel as well.
    const double cx = 95.5;
    const double cy = marker.dest.y + marker.source.height() / 2.0;
    cairo_arc(cr, cx, cy, 7, 0, 2 * M_PI);
    fillVertical(cr, darker(s.panel, 0.3), lighter(s.panel, 0.1), cy - 7, cy + 7);
    cairo_arc(cr, cx, cy, 6.5, 0, 2 * M_PI);
    cairo_set_line_width(cr, 1.0);
    setColour(cr, s.rim);
    cairo_stroke(cr);
    if (lit) {
        cairo_pattern_t *glow = cairo_pattern_create_radial(cx, cy, 0, cx, cy, 9);
        cairo_pattern_add_color_stop_rgba(glow, 0, s.accent.r, s.accent.g, s.accent.b, 0.9);
        cairo_pattern_add_color_stop_rgba(glow, 1, s.accent.r, s.accent.g, s.accent.b, 0);
        cairo_set_source(cr, glow);
        cairo_arc(cr, cx, cy, 9, 0, 2 * M_PI);
        cairo_fill(cr);
        cairo_arc(cr, cx, cy, 4.5, 0, 2 * M_PI);
        fillVertical(cr, lighter(s.accent, 0.7), s.accent, cy - 4.5, cy + 4.5);
    }
}

void drawDifficultySocket(cairo_t *cr, const SkinStyle &s, const Box &button, bool lit) {
    const double x = button.x1 + 8;
    const double w = button.x2 - button.x1 - 16;
    const double y = kDifficultySocketTop;
    const double h = kDifficultySocketHeight;
    roundedRect(cr, x, y, w, h, h / 2);
    fillVertical(cr, darker(s.panel, 0.45), darker(s.panel, 0.15), y, y + h);
    roundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, h / 2);
    cairo_set_line_width(cr, 1.0);
    setColour(cr, withAlpha(s.rim, 0.7));
    cairo_stroke(cr);
    if (lit) {
        roundedRect(cr, x + 2, y + 2, w - 4, h - 4, (h - 4) / 2);
        fillVertical(cr, lighter(s.accent, 0.6), s.accent, y + 2, y + h - 2);
        innerGlow(cr, x - 1, y - 3, w + 2, h + 6, h / 2 + 2, 3, withAlpha(s.accent, 0.6));
    }
}

void drawPlayButton(cairo_t *cr, const SkinStyle &s, bool lit) {
    const Rect r = {kLitPlayButton.dest.x, kLitPlayButton.dest.y,
                    kLitPlayButton.dest.x + kLitPlayButton.source.width(),
                    kLitPlayButton.dest.y + kLitPlayButton.source.height()};
    drawButton(cr, s, r.x1 + 2, r.y1 + 4, r.width() - 4, r.height() - 8, "", 10, lit);
    const Colour ink = buttonInk(s, lit);
    const double cx = r.x1 + r.width() / 2.0;
    const double cy = r.y1 + r.height() / 2.0;
    // A play triangle beside the word.
    cairo_move_to(cr, cx - 44, cy - 9);
    cairo_line_to(cr, cx - 28, cy);
    cairo_line_to(cr, cx - 44, cy + 9);
    cairo_close_path(cr);
    setColour(cr, ink);
    cairo_fill(cr);
    drawText(cr, "Play", cx + 10, cy, Align::Centre, {Face::Label, 24, ink},
             luminance(ink) > 0.5 ? hex(0x000000, 0.5) : hex(0xffffff, 0.4));
}

enum class FrameContent { SetUp, Empty };

// The background: backdrop, logo, the frame that holds the pages, the page buttons and Play, and the
// unselected bullets and sockets of the set-up page. With `lit`, every control is shown lit. The
// other pages are drawn on an empty frame, so their panels hide the set-up page's bullets.
Canvas drawMenuScreen(const SkinStyle &s, int skin, bool lit, FrameContent content = FrameContent::SetUp) {
    Canvas screen(kScreenWidth, kScreenHeight);
    cairo_t *cr = screen.cr();
    drawBackdrop(cr, s, kScreenWidth, kScreenHeight, 1000 + static_cast<unsigned>(skin));
    drawLogo(cr, s, kLogoCentre.x, kLogoCentre.y, 62);
    drawText(cr, "a jewel puzzle", kLogoCentre.x + 8, kLogoCentre.y + 38, Align::Centre,
             {Face::Body, 12, withAlpha(textOnBackdrop(s), 0.85)}, hex(0x000000, 0.3));

    drawPanel(cr, s, kContentFrame.x1, kContentFrame.y1, kContentFrame.width(), kContentFrame.height(),
              kFrameRadius);
    if (content == FrameContent::SetUp) {
        drawFrameOrnament(cr, s);
        for (const Piece &marker : kModeMarkers) {
            drawModeBullet(cr, s, marker, lit);
        }
        for (const Box &button : kDifficultyButtons) {
            drawDifficultySocket(cr, s, button, lit);
        }
    }
    for (int i = 0; i < kPageCount; ++i) {
        const Box &b = kPageButtons[i];
        drawButton(cr, s, b.x1, b.y1, b.x2 - b.x1, b.y2 - b.y1, kPageLabels[static_cast<size_t>(i)],
                   kPageButtonText, lit);
    }
    drawPlayButton(cr, s, lit);
    // A few gems under the Play button.
    for (int i = 0; i < 5; ++i) {
        drawGem(cr, 0, i, 432 + i * 24, 432, 22);
    }
    return screen;
}

// Everything of the set-up page that lies inside its panel: the mode rows and difficulty captions.
void drawSetupContent(cairo_t *cr, const SkinStyle &s) {
    for (int m = 0; m < kModeCount; ++m) {
        const Box &row = kModeRows[m];
        const double x = row.x1 + 3;
        const double y = row.y1 + 2;
        const double w = 276 - 6;
        const double h = row.y2 - row.y1 - 3;
        drawInset(cr, s, x, y, w, h, 8, 0.08);
        drawText(cr, kModeTitles[static_cast<size_t>(m)], x + 12, y + 11, Align::Left,
                 {Face::Label, 14, panelInk(s)});
        drawText(cr, kModeLines[static_cast<size_t>(m)], x + 12, y + 26, Align::Left,
                 {Face::Body, 11, panelSubtleInk(s)});
        drawGem(cr, 0, m, x + w - 30, y + (h - 24) / 2, 24);
    }
    drawText(cr, "Difficulty", (kSetupPanel.dest.x + kSetupPanel.dest.x + kSetupPanel.source.width()) / 2.0,
             kDifficultyHeadingY, Align::Centre, {Face::Label, 11, panelSubtleInk(s)});
    for (int d = 0; d < kDifficultyCount; ++d) {
        const Box &b = kDifficultyButtons[d];
        const double left = std::max(b.x1, kSetupPanel.dest.x);
        const double right = std::min(b.x2, kSetupPanel.dest.x + kSetupPanel.source.width());
        drawText(cr, kDifficultyNames[static_cast<size_t>(d)], (left + right) / 2.0, kDifficultyCaptionY,
                 Align::Centre, {Face::Label, 11.5, panelInk(s)});
    }
}

void drawPageTitle(cairo_t *cr, const SkinStyle &s, const std::string &title, double cx, double cy) {
    drawFancyText(cr, title, cx, cy, Align::Centre, Face::Title, 26, lighter(s.accent, 0.3),
                  darker(s.accent, 0.2), titleOutline(s), 1.2);
}

void drawHowToPlayContent(cairo_t *cr, const SkinStyle &s) {
    const Rect area = {kHowToPlayPanel.dest.x, kHowToPlayPanel.dest.y,
                       kHowToPlayPanel.dest.x + kHowToPlayPanel.source.width(),
                       kHowToPlayPanel.dest.y + kHowToPlayPanel.source.height()};
    const double cx = (area.x1 + area.x2) / 2.0;
    drawPageTitle(cr, s, "How to Play", cx, area.y1 + 26);
    const TextStyle body = {Face::Body, 11.5, panelInk(s)};
    const double textX = area.x1 + 62;
    const double textW = area.width() - 76;
    double y = area.y1 + 50;
    struct Step {
        int gems[3];
        const char *text;
    };
    const std::array<Step, 5> steps = {{
        {{0, 0, 0}, "Swap two neighbouring gems to line up three or more of one colour."},
        {{1, 2, 3}, "Lines vanish, the gems above fall and new ones grow in: new lines score again."},
        {{4, 5, 6}, "Bonus gems clear a block, a row, a column or both when they vanish."},
        {{2, 2, 2}, "No move left? The board is dealt anew and you get 1000 points."},
        {{3, 1, 0}, "Hint shows a gem that can move (50 points). P pauses, F1 restarts, Esc leaves."},
    }};
    for (const Step &step : steps) {
        const double top = y;
        for (int i = 0; i < 3; ++i) {
            drawGem(cr, 0, step.gems[i], area.x1 + 10 + i * 15, top + 4, 16);
        }
        y = drawParagraph(cr, step.text, textX, top, textW, body, 15) + 9;
    }
    drawText(cr, "Good luck!", cx, area.y2 - 22, Align::Centre, {Face::Title, 18, s.accent},
             darker(s.panel, 0.5));
}

void drawSliderTrack(cairo_t *cr, const SkinStyle &s, int knobY) {
    const double cy = knobY + kSliderKnob.height() / 2.0;
    const double x1 = kSliderKnobOffsetX + 1;
    const double x2 = kSliderKnobOffsetX + kSliderMaxPosition + kSliderKnob.width() - 1;
    drawInset(cr, s, x1, cy - 3, x2 - x1, 6, 3, 0.3);
    // Tick marks from quiet to loud.
    for (int i = 0; i <= 4; ++i) {
        const double x = kSliderKnobOffsetX + kSliderKnob.width() / 2.0 + i * kSliderMaxPosition / 4.0;
        setColour(cr, withAlpha(s.rim, 0.8));
        cairo_rectangle(cr, std::round(x), cy + 5, 1, 2 + i);
        cairo_fill(cr);
    }
}

void drawOptionsContent(cairo_t *cr, const SkinStyle &s, bool resetLit) {
    const Rect area = {kOptionsPanel.dest.x, kOptionsPanel.dest.y,
                       kOptionsPanel.dest.x + kOptionsPanel.source.width(),
                       kOptionsPanel.dest.y + kOptionsPanel.source.height()};
    const double cx = (area.x1 + area.x2) / 2.0;
    drawPageTitle(cr, s, "Options", cx, area.y1 + 24);
    const Piece &reset = kLitResetButton;
    drawButton(cr, s, reset.dest.x, reset.dest.y, reset.source.width(), reset.source.height(),
               "Reset high scores", 12, resetLit);
    const TextStyle label = {Face::Label, 11.5, panelInk(s)};
    drawText(cr, "Effects", area.x1 + 14, kEffectsKnobY + 8, Align::Left, label);
    drawSliderTrack(cr, s, kEffectsKnobY);
    drawText(cr, "Music", area.x1 + 14, kMusicKnobY + 8, Align::Left, label);
    drawSliderTrack(cr, s, kMusicKnobY);
    drawText(cr, "Tune", area.x1 + 14, kTuneNameY + 8, Align::Left, label);
    drawInset(cr, s, kTuneNameArea.x1 - 3, kTuneNameArea.y1 - 1, kTuneNameArea.x2 - kTuneNameArea.x1 + 6,
              kTuneNameArea.y2 - kTuneNameArea.y1 + 3, 6, 0.25);
    drawText(cr, "Gem set: click, or use the arrow keys", cx, kGemSetHintY, Align::Centre,
             {Face::Body, 10.5, panelSubtleInk(s)});
    drawInset(cr, s, kGemRowArea.x1 + 6, kGemRowArea.y1 + 2, area.x2 - kGemRowArea.x1 - 10,
              area.y2 - kGemRowArea.y1 - 3, 8, 0.22);
}

void drawHighScoreTab(cairo_t *cr, const SkinStyle &s, int tab, bool lit) {
    const Piece piece = litHighScoreTab(tab);
    const double x = piece.dest.x;
    const double y = piece.dest.y;
    const double w = piece.source.width();
    const double h = piece.source.height();
    cairo_save(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    roundedRect(cr, x + 0.5, y + 1.5, w - 1, h + 8, 7);
    const Colour base = lit ? s.accent : mix(s.panel, s.rim, 0.35);
    fillVertical(cr, lighter(base, lit ? 0.4 : 0.15), darker(base, 0.1), y, y + h);
    roundedRect(cr, x + 0.5, y + 1.5, w - 1, h + 8, 7);
    cairo_set_line_width(cr, 1.0);
    setColour(cr, lit ? lighter(s.accent, 0.6) : s.rim);
    cairo_stroke(cr);
    const Colour ink = lit ? textOnAccent(s) : (luminance(base) > 0.55 ? s.text : hex(0xffffff));
    drawText(cr, kTabLabels[static_cast<size_t>(tab)], x + w / 2, y + h / 2 + 1, Align::Centre,
             {Face::Label, 10.5, ink});
    cairo_restore(cr);
}

void drawHighScoreContent(cairo_t *cr, const SkinStyle &s) {
    const Rect area = {kHighScorePanel.dest.x, kHighScorePanel.dest.y,
                       kHighScorePanel.dest.x + kHighScorePanel.source.width(),
                       kHighScorePanel.dest.y + kHighScorePanel.source.height()};
    for (int t = 0; t < kModeCount; ++t) {
        drawHighScoreTab(cr, s, t, false);
    }
    const double listTop = kHighScoreTabs[0].y2 + 1;
    drawInset(cr, s, area.x1 + 4, listTop, area.width() - 8, area.y2 - listTop - 3, 8, 0.15);
    for (int block = 0; block < kDifficultyCount; ++block) {
        const double top = kHighScoreRowY[block * 3] - 4;
        const double bottom = kHighScoreRowY[block * 3 + 2] + 15;
        roundedRect(cr, area.x1 + 36, top, area.width() - 46, bottom - top, 6);
        setColour(cr, withAlpha(luminance(s.panel) < 0.5 ? hex(0xffffff) : hex(0x000000), 0.07));
        cairo_fill(cr);
        cairo_save(cr);
        cairo_translate(cr, area.x1 + 21, (top + bottom) / 2);
        cairo_rotate(cr, -M_PI / 2);
        drawText(cr, kDifficultyNames[static_cast<size_t>(block)], 0, 0, Align::Centre,
                 {Face::Label, 10.5, panelSubtleInk(s)});
        cairo_restore(cr);
    }
}

void drawCreditsLink(cairo_t *cr, const SkinStyle &s, double x, double y, double w,
                     const std::string &caption, const std::string &detail) {
    drawButton(cr, s, x, y, w, 24, caption, 11.5, false);
    drawText(cr, detail, x + w / 2, y + 32, Align::Centre, {Face::Body, 10, panelSubtleInk(s)});
}

void drawCreditsContent(cairo_t *cr, const SkinStyle &s) {
    const double cx = (kContentFrame.x1 + kContentFrame.x2) / 2.0;
    drawPageTitle(cr, s, "Credits", cx, 150);
    drawText(cr, "Game, pictures, sounds and music:", cx, 176, Align::Centre,
             {Face::Body, 11, panelSubtleInk(s)});
    // Each caption lies inside the area the game opens its link from.
    drawCreditsLink(cr, s, kCreditsWebLink.x1 + 6, kCreditsWebLink.y1 + 4, 168, "The Quorix team", "");
    drawParagraph(cr, "Every picture, sound and tune was drawn and composed by the game's own generator.",
                  268, 190, 128, {Face::Body, 10, panelInk(s)}, 13);
    drawCreditsLink(cr, s, kCreditsMailLink.x1 + 8, kCreditsMailLink.y1 + 4, 160, "Write to us",
                    "send us an e-mail");
    // The help page's section on how the game is built.
    drawCreditsLink(cr, s, kCreditsFrameworkLink.x1 + 6, kCreditsFrameworkLink.y1 + 30, 170,
                    "How Quorix is built", "on the help page");
    // Midway between the e-mail button and the frame, clear of both.
    drawText(cr, "Thanks for playing!", cx + 98, 297, Align::Centre,
             {Face::Title, 15, luminance(s.panel) > 0.5 ? darker(s.accent, 0.35) : s.accent});
    for (int i = 0; i < kGemColourCount; ++i) {
        drawGem(cr, 0, i, cx - 3.5 * kCreditsGemStep + i * kCreditsGemStep, kCreditsGemRowY,
                kCreditsGemStep - 4);
    }
}

Rect destinationOf(const Piece &piece) {
    return {piece.dest.x, piece.dest.y, piece.dest.x + piece.source.width(),
            piece.dest.y + piece.source.height()};
}

void cut(Canvas &sheet, const Canvas &screen, const Piece &piece) {
    sheet.copyFrom(screen, destinationOf(piece), {piece.source.x1, piece.source.y1});
}

void drawKnob(Canvas &sheet, const SkinStyle &s) {
    cairo_t *cr = sheet.cr();
    const double x = kSliderKnob.x1, y = kSliderKnob.y1;
    const double w = kSliderKnob.width(), h = kSliderKnob.height();
    cairo_save(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    cairo_arc(cr, x + w / 2, y + h / 2, h / 2 - 0.5, 0, 2 * M_PI);
    fillVertical(cr, lighter(s.accent, 0.7), darker(s.accent, 0.25), y, y + h);
    cairo_arc(cr, x + w / 2, y + h / 2, h / 2 - 1, 0, 2 * M_PI);
    cairo_set_line_width(cr, 1.0);
    setColour(cr, darker(s.accent, 0.55));
    cairo_stroke(cr);
    cairo_arc(cr, x + w / 2 - 2, y + h / 2 - 2.5, 2.5, 0, 2 * M_PI);
    setColour(cr, hex(0xffffff, 0.8));
    cairo_fill(cr);
    cairo_restore(cr);
}

} // namespace

MenuArt drawMenuArt(int skin) {
    const SkinStyle &s = skinStyle(skin);
    MenuArt art;
    Canvas &sheet = art.sheet;

    const Canvas background = drawMenuScreen(s, skin, false);
    sheet.copyFrom(background, {0, 0, kScreenWidth, kScreenHeight}, {0, 0});

    // Lit controls and the set-up page, all cut from one screen.
    Canvas litSetup = drawMenuScreen(s, skin, true);
    drawSetupContent(litSetup.cr(), s);
    for (int i = 0; i < kPageCount; ++i) {
        cut(sheet, litSetup, litPageButton(i));
    }
    cut(sheet, litSetup, kLitPlayButton);
    cut(sheet, litSetup, kSetupPanel);
    for (const Piece &marker : kModeMarkers) {
        cut(sheet, litSetup, marker);
    }
    for (const Piece &marker : kDifficultyMarkers) {
        cut(sheet, litSetup, marker);
    }

    const Canvas emptyFrame = drawMenuScreen(s, skin, false, FrameContent::Empty);
    Canvas howTo = emptyFrame;
    drawHowToPlayContent(howTo.cr(), s);
    cut(sheet, howTo, kHowToPlayPanel);

    Canvas options = emptyFrame;
    drawOptionsContent(options.cr(), s, false);
    cut(sheet, options, kOptionsPanel);
    Canvas optionsLit = emptyFrame;
    drawOptionsContent(optionsLit.cr(), s, true);
    cut(sheet, optionsLit, kLitResetButton);
    drawKnob(sheet, s);

    Canvas scores = emptyFrame;
    drawHighScoreContent(scores.cr(), s);
    cut(sheet, scores, kHighScorePanel);
    for (int t = 0; t < kModeCount; ++t) {
        drawHighScoreTab(scores.cr(), s, t, true);
        cut(sheet, scores, litHighScoreTab(t));
    }

    Canvas credits = emptyFrame;
    drawCreditsContent(credits.cr(), s);
    art.credits = Canvas(kCreditsWidth, kCreditsHeight);
    art.credits.copyFrom(credits,
                         {kCreditsDest.x - kCreditsSourceX, kCreditsDest.y,
                          kCreditsDest.x - kCreditsSourceX + kCreditsWidth, kCreditsDest.y + kCreditsHeight},
                         {0, 0});
    return art;
}

} // namespace assetgen
