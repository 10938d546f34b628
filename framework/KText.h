// KText: single-line text drawn from a font sheet, one picture holding every glyph, and a table of
// KFont records that places each character's glyph in it.
#pragma once

#include "framework/KFont.h"
#include "framework/KGraphicD3D.h"

class KText {
public:
    // Loads the sheet; the table is borrowed and must outlive the object.
    KText(const char *font_Filename, KFont *table);
    ~KText();
    KText(const KText &) = delete;
    KText &operator=(const KText &) = delete;

    KGraphicD3D *getKGraphicPtr() { return _surf_Fonts; }
    void setBlend(float blend) { _blendFactor = blend; }

    // y is the top of the glyphs; kerning is added after every glyph and may be negative.
    void drawStringFromLeft(const char *txt, long x, long y, long kerning);
    // The text ends kerning pixels before x.
    void drawStringFromRight(const char *txt, long x, long y, long kerning);
    void drawStringCentered(const char *txt, long x1, long x2, long y, long kerning);
    // Width in pixels including the kerning after the last glyph; -1 for an empty text.
    long getStringWidth(const char *txt, long kerning);

    KGraphicD3D *_surf_Fonts;
    KFont *_fontTable;
    float _blendFactor;

private:
    long getCharIndex(char c);
    void blitGlyph(const KFont &glyph, long x, long y);
};
