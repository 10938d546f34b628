// The glyph tables of the game's three font sheets. Both the game (through KText) and the art
// generator (which draws each glyph inside its box) use these, so the two cannot drift apart.
#pragma once

#include "framework/KFont.h"

// The clock digits, on data/timenmb.tga. 12 glyphs and the end mark.
extern KFont tableNumbers[13];
// The score digits, on data/numbers.tga. 12 glyphs and the end mark.
extern KFont scoretableNumbers[13];
// The high-score font, on data/highscalp.tga: lower-case letters, digits, colon and space.
extern KFont theFont[39];
