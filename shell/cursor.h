// The game's own mouse cursor, drawn by every screen once per frame.
#pragma once

class KGraphicD3D;

extern KGraphicD3D *surf_mouse;
extern bool isHidden; // the system pointer is hidden while the game draws its own

void displayMouseCursor();
