// Like the menu, the play sheet's pieces are cut out of whole screens drawn at their screen places.
#include "tools/assetgen/play_sheet.h"

#include <array>
#include <cmath>

#include "tools/assetgen/skin_style.h"

namespace assetgen {

using namespace layout;

namespace {

constexpr int kBoardRim = 6;
const std::array<const char *, kPlayButtonCount> kPlayButtonLabels = {"New game", "Hint", "Exit"};
const std::array<const char *, kModeCount> kModeLabelTexts = {"60 s", "5 min", "Million", "Relax"};

// The plaque behind the mode label and the one behind the clock.
constexpr Rect kModePlaque = {12, 31, 92, 59};
constexpr Rect kClockPlaque = {500, 31, 630, 59};
constexpr Rect kScorePlaque = {345, 436, 630, 470};

void drawPlaque(cairo_t *cr, const SkinStyle &s, const Rect &r) {
    drawPanel(cr, s, r.x1, r.y1, r.width(), r.height(), r.height() / 2.0);
    drawInset(cr, s, r.x1 + 4, r.y1 + 4, r.width() - 8, r.height() - 8, (r.height() - 8) / 2.0, 0.3);
}

void drawBoardWell(cairo_t *cr, const SkinStyle &s) {
    const Rect b = kBoardArea;
    drawPanel(cr, s, b.x1 - kBoardRim, b.y1 - kBoardRim, b.width() + 2 * kBoardRim,
              b.height() + 2 * kBoardRim, 10);
    // The well: dark and calm so the gems stand out, with a faint checker of cells.
    cairo_rectangle(cr, b.x1, b.y1, b.width(), b.height());
    // Dark skins deepen their backdrop; light ones their rim colour, which keeps the gems' colours clear.
    const Colour deep =
        luminance(s.panel) < 0.5 ? mix(darker(s.backgroundTop, 0.55), s.panel, 0.3) : darker(s.rim, 0.62);
    fillVertical(cr, darker(deep, 0.15), deep, b.y1, b.y2);
    for (int y = 0; y < kBoardRows; ++y) {
        for (int x = 0; x < kBoardColumns; ++x) {
            if ((x + y) % 2 == 0) {
                cairo_rectangle(cr, b.x1 + x * kCellSize, b.y1 + y * kCellSize, kCellSize, kCellSize);
                setColour(cr, hex(0xffffff, 0.045));
                cairo_fill(cr);
            }
        }
    }
    // Inner shadow along the top and left edges.
    for (int i = 0; i < 5; ++i) {
        setColour(cr, hex(0x000000, 0.22 * (1.0 - i / 5.0)));
        cairo_rectangle(cr, b.x1, b.y1 + i, b.width(), 1);
        cairo_rectangle(cr, b.x1 + i, b.y1, 1, b.height());
        cairo_fill(cr);
    }
}

Canvas drawPlayScreen(const SkinStyle &s, int skin, bool lit) {
    Canvas screen(kScreenWidth, kScreenHeight);
    cairo_t *cr = screen.cr();
    drawBackdrop(cr, s, kScreenWidth, kScreenHeight, 2000 + static_cast<unsigned>(skin));
    drawLogo(cr, s, kScreenWidth / 2.0, 44, 44);
    drawPlaque(cr, s, kModePlaque);
    drawPlaque(cr, s, kClockPlaque);
    drawText(cr, "Time", kClockPlaque.x1 + 12, kModeLabelDestY + 8, Align::Left,
             {Face::Label, 12, luminance(s.panel) < 0.5 ? s.text : darker(s.text, 0.1)});
    drawBoardWell(cr, s);
    drawPlaque(cr, s, kScorePlaque);
    drawText(cr, "Score", kScorePlaque.x1 + 14, kScorePosition.y + 12, Align::Left,
             {Face::Label, 13, luminance(s.panel) < 0.5 ? s.text : darker(s.text, 0.1)});
    for (int i = 0; i < kPlayButtonCount; ++i) {
        const Box &b = kPlayButtons[i].area;
        drawButton(cr, s, b.x1, b.y1, b.x2 - b.x1, b.y2 - b.y1, kPlayButtonLabels[static_cast<size_t>(i)], 12,
                   lit);
    }
    return screen;
}

void drawPausePanel(cairo_t *cr, const SkinStyle &s) {
    const Piece &p = kPausePanel;
    const double x = p.dest.x, y = p.dest.y, w = p.source.width(), h = p.source.height();
    cairo_rectangle(cr, x, y, w, h);
    setColour(cr, withAlpha(darker(s.backgroundTop, 0.5), 0.55));
    cairo_fill(cr);
    drawPanel(cr, s, x + 60, y + 70, w - 120, h - 140, 16);
    drawFancyText(cr, "Paused", x + w / 2, y + 130, Align::Centre, Face::Title, 44, lighter(s.accent, 0.4),
                  darker(s.accent, 0.2), titleOutline(s), 1.5);
    const TextStyle line = {Face::Body, 14, s.text};
    drawText(cr, "The clock stands still.", x + w / 2, y + 180, Align::Centre, line);
    drawText(cr, "Press P to play on.", x + w / 2, y + 205, Align::Centre, {Face::Label, 14, s.text});
}

Canvas drawModeLabel(const SkinStyle &s, int mode) {
    const Rect r = kModeLabels[mode].source;
    Canvas label(r.width(), r.height());
    const Colour ink = luminance(s.panel) < 0.5 ? lighter(s.accent, 0.3) : darker(s.accent, 0.25);
    TextStyle style{Face::Label, 12, ink};
    // Shrink the text until it fits its few pixels of width.
    while (textWidth(label.cr(), kModeLabelTexts[static_cast<size_t>(mode)], style) > r.width() - 2 &&
           style.size > 7) {
        style.size -= 0.5;
    }
    drawText(label.cr(), kModeLabelTexts[static_cast<size_t>(mode)], r.width() / 2.0, r.height() / 2.0,
             Align::Centre, style, luminance(ink) > 0.5 ? hex(0x000000, 0.6) : hex(0xffffff, 0.5));
    return label;
}

Canvas drawZapBanner(const SkinStyle &s) {
    const Rect r = kZapBanner.source;
    Canvas banner(r.width(), r.height());
    cairo_t *cr = banner.cr();
    roundedRect(cr, 3, 3, r.width() - 6, r.height() - 6, (r.height() - 6) / 2.0);
    fillVertical(cr, lighter(s.accent, 0.5), darker(s.accent, 0.2), 3, r.height() - 3);
    roundedRect(cr, 3.5, 3.5, r.width() - 7, r.height() - 7, (r.height() - 7) / 2.0);
    cairo_set_line_width(cr, 2);
    setColour(cr, hex(0xffffff, 0.9));
    cairo_stroke(cr);
    drawFancyText(cr, "Zap Attack!  +1000", r.width() / 2.0, r.height() / 2.0, Align::Centre, Face::Title, 28,
                  hex(0xffffff), lighter(s.accent, 0.7), darker(s.accent, 0.7), 1.5);
    return banner;
}

Canvas drawGameOver(const SkinStyle &s) {
    Canvas panel(kGameOverWidth, kGameOverHeight);
    cairo_t *cr = panel.cr();
    drawPanel(cr, s, 8, 6, kGameOverWidth - 16, kGameOverHeight - 16, 16);
    drawFancyText(cr, "Game Over", kGameOverWidth / 2.0, 52, Align::Centre, Face::Title, 40,
                  lighter(s.accent, 0.4), darker(s.accent, 0.2), titleOutline(s), 1.5);
    drawText(cr, "New game to play again, Exit to leave", kGameOverWidth / 2.0, 95, Align::Centre,
             {Face::Body, 12, s.text});
    return panel;
}

// The name field lies where the game writes the name, whatever the panel's size.
void drawNameEntry(cairo_t *cr, const SkinStyle &s, bool opaque) {
    const Point at = nameEntryPanelPosition(kNameEntryWidth, kNameEntryHeight);
    const double fieldX = kNameEntryText.x - at.x;
    const double fieldY = kNameEntryText.y - at.y;
    if (opaque) {
        // No alpha channel: fill the corners with the rim so the rectangle looks finished.
        cairo_rectangle(cr, 0, 0, kNameEntryWidth, kNameEntryHeight);
        setColour(cr, darker(s.rim, 0.35));
        cairo_fill(cr);
        roundedRect(cr, 0, 0, kNameEntryWidth, kNameEntryHeight, 16);
        fillVertical(cr, lighter(s.panel, 0.06), darker(s.panel, 0.06), 0, kNameEntryHeight);
        roundedRect(cr, 1, 1, kNameEntryWidth - 2, kNameEntryHeight - 2, 15);
        cairo_set_line_width(cr, 2);
        setColour(cr, s.rim);
        cairo_stroke(cr);
    } else {
        drawPanel(cr, s, 8, 6, kNameEntryWidth - 16, kNameEntryHeight - 16, 16);
    }
    drawFancyText(cr, "New High Score!", kNameEntryWidth / 2.0, 50, Align::Centre, Face::Title, 34,
                  lighter(s.accent, 0.4), darker(s.accent, 0.2), titleOutline(s), 1.5);
    drawText(cr, "Type your name and press Enter", kNameEntryWidth / 2.0, 95, Align::Centre,
             {Face::Body, 12.5, s.text});
    // A light field: the name is drawn in the high-score font and the cursor is a black bar.
    roundedRect(cr, fieldX - 8, fieldY - 6, kNameFieldWidth + 16, 24, 6);
    fillVertical(cr, hex(0xdfe3ea), hex(0xffffff), fieldY - 6, fieldY + 18);
    roundedRect(cr, fieldX - 7.5, fieldY - 5.5, kNameFieldWidth + 15, 23, 6);
    cairo_set_line_width(cr, 1);
    setColour(cr, darker(s.rim, 0.2));
    cairo_stroke(cr);
    drawText(cr, "Letters and space; Backspace erases", kNameEntryWidth / 2.0, fieldY + 30, Align::Centre,
             {Face::Body, 10.5, mix(s.text, s.panel, 0.3)});
}

Canvas drawSelectMark(const SkinStyle &s) {
    Canvas mark(kSelectMarkWidth, kSelectMarkHeight);
    cairo_t *cr = mark.cr();
    const double w = kSelectMarkWidth, h = kSelectMarkHeight;
    for (int i = 0; i < 3; ++i) {
        roundedRect(cr, 0.5 + i, 0.5 + i, w - 1 - 2 * i, h - 1 - 2 * i, 9 - i);
        cairo_set_line_width(cr, 1.0);
        setColour(cr, withAlpha(i == 1 ? hex(0xffffff) : s.accent, i == 1 ? 0.95 : 0.8));
        cairo_stroke(cr);
    }
    // A faint glow inside the ring.
    roundedRect(cr, 3, 3, w - 6, h - 6, 6);
    setColour(cr, withAlpha(s.accent, 0.18));
    cairo_fill(cr);
    return mark;
}

Rect destinationOf(const Piece &piece) {
    return {piece.dest.x, piece.dest.y, piece.dest.x + piece.source.width(),
            piece.dest.y + piece.source.height()};
}

} // namespace

PlayArt drawPlayArt(int skin) {
    const SkinStyle &s = skinStyle(skin);
    PlayArt art;
    const Canvas screen = drawPlayScreen(s, skin, false);
    art.sheet.copyFrom(screen, {0, 0, kScreenWidth, kScreenHeight}, {0, 0});

    const Canvas lit = drawPlayScreen(s, skin, true);
    for (int i = 0; i < kPlayButtonCount; ++i) {
        const Piece piece = litPlayButton(i);
        art.sheet.copyFrom(lit, destinationOf(piece), {piece.source.x1, piece.source.y1});
    }

    Canvas paused = screen;
    drawPausePanel(paused.cr(), s);
    art.sheet.copyFrom(paused, destinationOf(kPausePanel), {kPausePanel.source.x1, kPausePanel.source.y1});

    for (int m = 0; m < kModeCount; ++m) {
        const Canvas label = drawModeLabel(s, m);
        art.sheet.copyFrom(label, {0, 0, label.width(), label.height()},
                           {kModeLabels[m].source.x1, kModeLabels[m].source.y1});
    }
    const Canvas banner = drawZapBanner(s);
    art.sheet.copyFrom(banner, {0, 0, banner.width(), banner.height()},
                       {kZapBanner.source.x1, kZapBanner.source.y1});

    art.gameOver = drawGameOver(s);
    art.nameEntry = Canvas(kNameEntryWidth, kNameEntryHeight);
    drawNameEntry(art.nameEntry.cr(), s, false);
    art.nameEntryRelax = Canvas(kNameEntryWidth, kNameEntryHeight);
    drawNameEntry(art.nameEntryRelax.cr(), s, true);
    art.selectMark = drawSelectMark(s);
    return art;
}

} // namespace assetgen
