#include "framework/KText.h"

#include <new>
#include <string>

KText::KText(const char *font_Filename, KFont *table) : _surf_Fonts(nullptr), _fontTable(nullptr) {
    _surf_Fonts = new (std::nothrow) KGraphicD3D;
    if (_surf_Fonts != nullptr) {
        _surf_Fonts->loadPicture(font_Filename, true, true);
        _fontTable = table;
    }
    _blendFactor = 1.0f;
}

KText::~KText() {
    delete _surf_Fonts;
}

long KText::getCharIndex(char c) {
    if (_surf_Fonts == nullptr || _fontTable == nullptr)
        return -1;
    for (long i = 0; _fontTable[i]._c != 0; ++i)
        if (_fontTable[i]._c == c)
            return i;
    return -1;
}

long KText::getStringWidth(const char *txt, long kerning) {
    if (_surf_Fonts == nullptr || txt == nullptr || _fontTable == nullptr || txt[0] == '\0')
        return -1;
    long width = 0;
    for (const char *c = txt; *c; ++c) {
        long index = getCharIndex(*c);
        if (index >= 0)
            width += _fontTable[index]._w + kerning;
    }
    return width;
}

void KText::blitGlyph(const KFont &glyph, long x, long y) {
    _surf_Fonts->blitAlphaRect(glyph._x1, glyph._y1, glyph._x2 + 1, glyph._y2 + 1, static_cast<short>(x),
                               static_cast<short>(y), false, false);
}

void KText::drawStringFromLeft(const char *txt, long x, long y, long kerning) {
    if (_surf_Fonts == nullptr || txt == nullptr || txt[0] == '\0')
        return;
    if (_blendFactor != 1.0f)
        _surf_Fonts->setBlitColor(1, 1, 1, _blendFactor);
    for (const char *c = txt; *c; ++c) {
        long index = getCharIndex(*c);
        if (index < 0)
            continue;
        blitGlyph(_fontTable[index], x, y);
        x += _fontTable[index]._w + kerning;
    }
    _surf_Fonts->setBlitColor(1, 1, 1, 1);
}

void KText::drawStringFromRight(const char *txt, long x, long y, long kerning) {
    if (_surf_Fonts == nullptr || txt == nullptr || txt[0] == '\0')
        return;
    if (_blendFactor != 1.0f)
        _surf_Fonts->setBlitColor(1, 1, 1, _blendFactor);
    for (const char *c = txt + std::char_traits<char>::length(txt); c != txt;) {
        --c;
        long index = getCharIndex(*c);
        if (index < 0)
            continue;
        x -= _fontTable[index]._w + kerning;
        blitGlyph(_fontTable[index], x, y);
    }
    _surf_Fonts->setBlitColor(1, 1, 1, 1);
}

void KText::drawStringCentered(const char *txt, long x1, long x2, long y, long kerning) {
    if (_surf_Fonts == nullptr || txt == nullptr || _fontTable == nullptr)
        return;
    long width = getStringWidth(txt, kerning);
    if (width < 1)
        return;
    drawStringFromLeft(txt, x1 + (x2 - x1 - width) / 2, y, kerning);
}
