// The game's own mouse cursor, shown by every screen once per frame. Where the system can show a
// colour cursor it shows the cursor picture itself (moving the mouse then redraws nothing); elsewhere
// the picture is drawn into each frame.
#pragma once

class KGraphicD3D;

extern KGraphicD3D *surf_mouse;
extern bool isHidden; // the system pointer is hidden while the game shows its own

// Loads data/mouse.tga into surf_mouse and offers the picture to the system as its cursor.
void loadMouseCursor();
// Takes the picture back from the system and deletes surf_mouse.
void freeMouseCursor();

void displayMouseCursor();
