// The menu: the screen between games, its six pages and the way back from a game.
#pragma once

class KGraphicD3D;
class KText;

// A screen rectangle; a point is inside when x1 <= x <= x2 and y1 <= y <= y2.
struct sBtn {
    float x1, y1, x2, y2;
};
bool isInside(const sBtn &button, long x, long y);

// The menu's pages, in the order of their buttons.
enum eMenuPage : long {
    kPageSetUp = 0,
    kPageHowToPlay = 1,
    kPageOptions = 2,
    kPageHighScores = 3,
    kPageCredits = 4,
    kPageQuit = 5,
};
// The page shown (eMenuPage).
extern long gCurrentMenu;
extern sBtn sBoutons[6];       // the page buttons
extern sBtn sGameSelect[6];    // 0..3 the mode rows, 4 and 5 the two parts of the Play button
extern sBtn sGameDifficult[4]; // the difficulty buttons
extern sBtn sHighTabs[4];      // the tabs of the high-score page

extern KGraphicD3D *surf_menu;    // the menu sheet of the current skin
extern KGraphicD3D *surf_credits; // the credits picture of the current skin
extern KText *highscoreText;      // the high-score font; lives from its first load to shutdown
extern bool oldBt;                // the left button in the previous menu frame (for the click sound)

// Action codes of doUserInput.
enum eMenuAction : long {
    kMenuNothing = 0,
    kMenuPlay = 1,
    kMenuPage1 = 2,
    kMenuPage4 = 3,
    kMenuPage2 = 4,
    kMenuPage3 = 5,
    kMenuQuit = 10,
};

// The addresses behind the three areas of the credits page. The first is the game's help page, a data
// file name that the link turns into a file:// address in the program's folder when it is clicked.
extern const char *const kCreditsFrameworkAddress;
extern const char *const kCreditsFrameworkSection;
extern const char *const kCreditsWebAddress;
extern const char *const kCreditsMailAddress;

// What Play (and a high-score row's replay) starts: the play screen, set by the program. The menu sits
// below the play screen and never calls it by name; unset, Play does nothing.
namespace replay {
struct Replay;
}
extern void (*playAGame)(long gameMode, const replay::Replay *replayToWatch);

void doMenu();
long doUserInput();
void ScrollTheMenu();
// The menu is spinning in over the last game's frame: it takes no input until it is done.
extern bool gMenuSpinningIn;
void loadMenuGraphics();
void freeMenuGraphics();
void DisplayGameModeStuff();
