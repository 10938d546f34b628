// Gem sets: numbered folders of seven token pictures with a display name.
#pragma once

class KGraphicD3D;

// The current set's pictures; gems[c] draws a token of colour c. Null until the first load.
extern KGraphicD3D *gems[7];
extern char bubbleSetName[256];

// Replaces the current pictures and name with set id's; false (and nothing changes) when the set's
// name.txt cannot be opened.
bool loadBubbleSet(long id);
// Deletes the seven pictures (shutdown).
void freeBubbleSet();
