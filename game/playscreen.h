// The play screen: one game from its entry transition to the return to the menu.
#pragma once

class KGraphicD3D;
class KText;

// A button under the board: its rectangle (bounds included), its action and the picture holding its
// highlight, which sits 480 pixels lower.
struct sHotSpot {
    long x1, y1, x2, y2;
    long id; // 0 new game, 1 hint, 2 exit
    KGraphicD3D *surface;
    long dx, dy;
};
extern sHotSpot hotspots[3];

extern KGraphicD3D *surf_fond; // the play sheet of the current skin
extern KGraphicD3D *surf_internet;
extern KGraphicD3D *surf_gameover;
extern KGraphicD3D *surf_highscore;
extern KGraphicD3D *surf_select;
extern KGraphicD3D *surf_bomb;
extern KGraphicD3D *surf_horiz;
extern KGraphicD3D *surf_verti;
extern KGraphicD3D *surf_rand;
extern KGraphicD3D *surf_xzap;
extern KText *text_numbers;      // the clock digits
extern KText *text_scorenumbers; // the score digits

// Runs a game in the given mode until the player leaves or the window closes.
void doTheGame(long gameMode);
void ScrollTheGame();
bool doInput();
void handleInterface();
