// The game's pointer picture as the system's mouse cursor. Over the game's picture the window system
// shows it in place of its arrow, so moving the mouse redraws nothing and the picture follows the hand
// without waiting for a frame. Pictures read back from the window (screenshots, the frame observer)
// get it painted in where the player sees it. Where the system cannot show a colour cursor, the game
// draws the picture into its frames as it always did.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace platform {

class Pointer {
public:
    // The picture (ARGB8888, top row first) and its hot spot, in picture pixels. Replaces any other.
    static void setPicture(const uint32_t *argb, int width, int height, int hotX, int hotY);
    static void clearPicture();
    // True when the system shows the picture: the game must not draw it into its frames.
    static bool shownBySystem();
    // Whether the system may show the picture at all (on by default; tests compare both ways).
    static void allowSystemCursor(bool allowed);

    // Over the game's picture the system's arrow is hidden: with a picture the system shows the
    // picture instead, without one nothing.
    static void showArrow(bool shown);
    static bool arrowShown();

    // The back buffer is shown at this many window pixels per picture pixel; the cursor follows.
    static void setScale(float scale);

    // This frame has the picture's top-left corner at (x, y) of the back buffer.
    static void placeInFrame(int x, int y);
    // The frame is over: the next one places the picture anew.
    static void endFrame();
    // When this frame placed the picture: its texture, and where it goes in the back buffer.
    static SDL_Texture *shownInFrame(SDL_Rect &where);

    // The window and its renderer are about to go: give back the cursor and the texture made for them
    // (they are made again from the picture when needed).
    static void releaseSystemObjects();
};

} // namespace platform
