#include "tools/assetgen/contact_sheets.h"

#include <string>

#include "tools/assetgen/file_writers.h"
#include "tools/assetgen/font_sheets.h"
#include "tools/assetgen/gems.h"
#include "tools/assetgen/menu_sheet.h"
#include "tools/assetgen/paint.h"
#include "tools/assetgen/pictures.h"
#include "tools/assetgen/play_sheet.h"

namespace assetgen {

using namespace layout;

namespace {

const Colour kPieceOutline = hex(0x00ff66);
const Colour kAreaOutline = hex(0xff3355);
const Colour kDestOutline = hex(0x33ccff);

void checkerboard(cairo_t *cr, int w, int h, int cell) {
    for (int y = 0; y < h; y += cell) {
        for (int x = 0; x < w; x += cell) {
            setColour(cr, ((x + y) / cell) % 2 == 0 ? hex(0x9a9a9a) : hex(0x6e6e6e));
            cairo_rectangle(cr, x, y, cell, cell);
            cairo_fill(cr);
        }
    }
}

void outline(cairo_t *cr, double x1, double y1, double x2, double y2, const Colour &c) {
    cairo_rectangle(cr, x1 + 0.5, y1 + 0.5, x2 - x1 - 1, y2 - y1 - 1);
    cairo_set_line_width(cr, 1);
    setColour(cr, c);
    cairo_stroke(cr);
}
void outline(cairo_t *cr, const Rect &r, const Colour &c) {
    outline(cr, r.x1, r.y1, r.x2, r.y2, c);
}
void outline(cairo_t *cr, const Box &b, const Colour &c) {
    outline(cr, b.x1, b.y1, b.x2 + 1, b.y2 + 1, c);
}
void outline(cairo_t *cr, const OpenArea &a, const Colour &c) {
    outline(cr, a.x1 + 1, a.y1 + 1, a.x2, a.y2, c);
}
void outlineDest(cairo_t *cr, const Piece &p, const Colour &c) {
    outline(cr, p.dest.x, p.dest.y, p.dest.x + p.source.width(), p.dest.y + p.source.height(), c);
}

void label(cairo_t *cr, const std::string &text, double x, double y) {
    drawText(cr, text, x, y, Align::Left, {Face::Body, 11, hex(0xffffff)}, hex(0x000000));
}

Canvas annotatedSheet(const Canvas &sheet, const std::string &title) {
    Canvas out(sheet.width(), sheet.height() + 24);
    cairo_t *cr = out.cr();
    checkerboard(cr, out.width(), out.height(), 16);
    cairo_set_source_surface(cr, sheet.surface(), 0, 24);
    cairo_paint(cr);
    label(cr, title + "  (green: pieces cut from the sheet, red: mouse areas, blue: where pieces land)", 6,
          12);
    cairo_translate(cr, 0, 24);
    return out;
}

void writeMenuSheet(const std::filesystem::path &folder, int skin) {
    const MenuArt art = drawMenuArt(skin);
    Canvas out = annotatedSheet(art.sheet, "menu" + std::to_string(skin) + ".tga");
    cairo_t *cr = out.cr();
    for (int i = 0; i < kPageCount; ++i) {
        outline(cr, litPageButton(i).source, kPieceOutline);
        outline(cr, kPageButtons[i], kAreaOutline);
    }
    outline(cr, kLitPlayButton.source, kPieceOutline);
    for (const Box &b : kPlayButtonAreas) {
        outline(cr, b, kAreaOutline);
    }
    for (const Piece *p :
         {&kSetupPanel, &kHowToPlayPanel, &kOptionsPanel, &kHighScorePanel, &kLitResetButton}) {
        outline(cr, p->source, kPieceOutline);
    }
    outlineDest(cr, kSetupPanel, kDestOutline);
    for (int i = 0; i < kModeCount; ++i) {
        outline(cr, kModeMarkers[i].source, kPieceOutline);
        outline(cr, kModeRows[i], kAreaOutline);
        outline(cr, litHighScoreTab(i).source, kPieceOutline);
    }
    for (int i = 0; i < kDifficultyCount; ++i) {
        outline(cr, kDifficultyMarkers[i].source, kPieceOutline);
        outline(cr, kDifficultyButtons[i], kAreaOutline);
    }
    outline(cr, kSliderKnob, kPieceOutline);
    writePng(folder / ("skin" + std::to_string(skin) + "-menu.png"), out);

    // The credits picture as the game shows it, with its link areas.
    Canvas credits(kCreditsWidth + 40, kCreditsHeight + 40);
    cairo_t *cc = credits.cr();
    checkerboard(cc, credits.width(), credits.height(), 16);
    cairo_set_source_surface(cc, art.credits.surface(), 20, 20);
    cairo_paint(cc);
    cairo_translate(cc, 20 - (kCreditsDest.x - kCreditsSourceX), 20 - kCreditsDest.y);
    for (const OpenArea &a : {kCreditsFrameworkLink, kCreditsWebLink, kCreditsMailLink}) {
        outline(cc, a, kAreaOutline);
    }
    writePng(folder / ("skin" + std::to_string(skin) + "-credits.png"), credits);
}

void writePlaySheet(const std::filesystem::path &folder, int skin) {
    const PlayArt art = drawPlayArt(skin);
    Canvas out = annotatedSheet(art.sheet, "ingame" + std::to_string(skin) + ".tga");
    cairo_t *cr = out.cr();
    for (int y = 0; y < kBoardRows; ++y) {
        for (int x = 0; x < kBoardColumns; ++x) {
            const int px = kBoardOrigin.x + x * kCellSize, py = kBoardOrigin.y + y * kCellSize;
            outline(cr, Rect{px, py, px + kCellSize, py + kCellSize}, withAlpha(kDestOutline, 0.35));
        }
    }
    for (int i = 0; i < kPlayButtonCount; ++i) {
        outline(cr, kPlayButtons[i].area, kAreaOutline);
        outline(cr, litPlayButton(i).source, kPieceOutline);
    }
    outline(cr, kPausePanel.source, kPieceOutline);
    for (const Piece &p : kModeLabels) {
        outline(cr, p.source, kPieceOutline);
        outlineDest(cr, p, kDestOutline);
    }
    outline(cr, kZapBanner.source, kPieceOutline);
    outline(cr, Rect{kScorePosition.x, kScorePosition.y, kScorePosition.x + 140, kScorePosition.y + 26},
            kDestOutline);
    outline(cr, Rect{kClockPosition.x, kClockPosition.y, kClockPosition.x + 66, kClockPosition.y + 17},
            kDestOutline);
    writePng(folder / ("skin" + std::to_string(skin) + "-play.png"), out);

    // The end panels where the game puts them, with the name field's text position.
    Canvas panels(kScreenWidth, kScreenHeight * 2);
    cairo_t *pc = panels.cr();
    cairo_set_source_surface(pc, art.sheet.surface(), 0, 0);
    cairo_rectangle(pc, 0, 0, kScreenWidth, kScreenHeight);
    cairo_fill(pc);
    const Point over = gameOverPanelPosition(art.gameOver.width(), art.gameOver.height());
    cairo_set_source_surface(pc, art.gameOver.surface(), over.x, over.y);
    cairo_paint(pc);
    cairo_set_source_surface(pc, art.sheet.surface(), 0, kScreenHeight);
    cairo_rectangle(pc, 0, kScreenHeight, kScreenWidth, kScreenHeight);
    cairo_fill(pc);
    const Point entry = nameEntryPanelPosition(art.nameEntry.width(), art.nameEntry.height());
    cairo_set_source_surface(pc, art.nameEntry.surface(), entry.x, entry.y + kScreenHeight);
    cairo_paint(pc);
    outline(pc,
            Rect{kNameEntryText.x, kNameEntryText.y + kScreenHeight, kNameEntryText.x + 190,
                 kNameEntryText.y + kScreenHeight + kNameCursorHeight},
            kDestOutline);
    for (int i = 0; i < 3; ++i) {
        const int px = kBoardOrigin.x + (3 + i) * kCellSize, py = kBoardOrigin.y + 6 * kCellSize;
        const Canvas gem = gemPicture(0, i);
        cairo_set_source_surface(pc, gem.surface(), px, py);
        cairo_paint(pc);
    }
    cairo_set_source_surface(pc, art.selectMark.surface(), kBoardOrigin.x + 4 * kCellSize + kSelectMarkOffset,
                             kBoardOrigin.y + 6 * kCellSize + kSelectMarkOffset);
    cairo_paint(pc);
    writePng(folder / ("skin" + std::to_string(skin) + "-panels.png"), panels);
}

void writeGemSets(const std::filesystem::path &folder) {
    constexpr int kScale = 2, kCell = (kGemPictureHeight + 6) * kScale;
    const std::vector<NamedPicture> overlays = drawBonusOverlays();
    Canvas out(kCell * (kGemColours + static_cast<int>(overlays.size())) + 140,
               kCell * gemSetCount() * 2 + 10);
    cairo_t *cr = out.cr();
    for (int set = 0; set < gemSetCount(); ++set) {
        for (int shade = 0; shade < 2; ++shade) {
            const int y = (set * 2 + shade) * kCell;
            cairo_rectangle(cr, 0, y, out.width(), kCell);
            setColour(cr, shade == 0 ? hex(0x1a1f3a) : hex(0xf1fbe8));
            cairo_fill(cr);
            label(cr, gemSetName(set), 6, y + kCell / 2.0);
            for (int c = 0; c < kGemColours; ++c) {
                const Canvas gem = gemPicture(set, c);
                cairo_save(cr);
                cairo_translate(cr, 140 + c * kCell + 3 * kScale, y + 3 * kScale);
                cairo_scale(cr, kScale, kScale);
                cairo_set_source_surface(cr, gem.surface(), 0, 0);
                cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
                cairo_paint(cr);
                // Each overlay over a gem, at half opacity, as a resting token shows it.
                if (set == 0 && shade == 0 && c < static_cast<int>(overlays.size())) {
                    const Point offsets[] = {kBombOffset, kHorizontalOffset, kVerticalOffset, kCrossOffset,
                                             kRandomOffset};
                    cairo_set_source_surface(cr, overlays[static_cast<size_t>(c)].picture.surface(),
                                             offsets[c].x, offsets[c].y);
                    cairo_paint_with_alpha(cr, 0.5);
                }
                cairo_restore(cr);
            }
            for (size_t o = 0; o < overlays.size(); ++o) {
                cairo_save(cr);
                cairo_translate(cr, 140 + (kGemColours + static_cast<int>(o)) * kCell + 3 * kScale,
                                y + 3 * kScale);
                cairo_scale(cr, kScale, kScale);
                cairo_set_source_surface(cr, overlays[o].picture.surface(), 0, 0);
                cairo_paint(cr);
                cairo_restore(cr);
            }
        }
    }
    writePng(folder / "gem-sets.png", out);
}

void writeFontSheets(const std::filesystem::path &folder) {
    constexpr int kScale = 4;
    int count = 0;
    const FontSheet *sheets = fontSheets(count);
    for (int s = 0; s < count; ++s) {
        const FontSheet &sheet = sheets[s];
        const Canvas glyphs = drawFontSheet(sheet);
        Canvas out(sheet.width * kScale, sheet.height * kScale);
        cairo_t *cr = out.cr();
        cairo_rectangle(cr, 0, 0, out.width(), out.height());
        setColour(cr, hex(0x4a5070));
        cairo_fill(cr);
        cairo_save(cr);
        cairo_scale(cr, kScale, kScale);
        cairo_set_source_surface(cr, glyphs.surface(), 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
        cairo_paint(cr);
        cairo_restore(cr);
        for (int i = 0; sheet.table[i]._c != 0; ++i) {
            const KFont &g = sheet.table[i];
            outline(cr, g._x1 * kScale, g._y1 * kScale, (g._x2 + 1) * kScale, (g._y2 + 1) * kScale,
                    withAlpha(kPieceOutline, 0.7));
        }
        writePng(folder / (std::string(sheet.fileName) + ".png"), out);
    }
}

} // namespace

void writeContactSheets(const std::filesystem::path &folder) {
    for (int skin = 0; skin < kSkinCount; ++skin) {
        writeMenuSheet(folder, skin);
        writePlaySheet(folder, skin);
    }
    writeGemSets(folder);
    writeFontSheets(folder);
}

} // namespace assetgen
