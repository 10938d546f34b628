// The game window on SDL2: one window, its OpenGL renderer and the 640x480 back buffer that every
// frame is drawn into. Presenting shows the back buffer scaled by a whole factor and letterboxed, in
// whatever size the window really has.
//
// A frame whose picture would be exactly the one already in the back buffer (and so on screen) is
// neither drawn nor presented; anything that may have spoiled what the window shows (an expose, a
// resize, a focus change, a lost device) has the next frame drawn and presented whatever it holds.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

enum class DisplayError {
    None,
    NoDisplay,    // no video driver, or SDL fell back to an invisible one nobody asked for
    NoWindow,     // the window could not be created
    NoFullScreen, // the window could not be switched to full screen
    NoRenderer,   // no renderer or back buffer could be made
};

// True when a video driver that shows nothing (offscreen, dummy) was picked although the user did not
// ask for it: the game must not run invisibly.
bool isUnrequestedInvisibleDriver(const char *currentDriver, const char *requestedDriver);

class Display {
public:
    // Opens the window and its back buffer. Safe to call again after close().
    static DisplayError open(int width, int height, bool fullscreen, const char *title);
    // Makes the window ahead of time, hidden, with its renderer (starting the OpenGL driver takes a
    // while), for open() to show. Nothing is reported: open() makes the window anew when this failed.
    static void prepare(int width, int height, const char *title);
    static void close();
    static bool isOpen() { return renderer_ != nullptr; }
    // True for the offscreen and dummy drivers: nothing is shown and frames are not paced.
    static bool isHeadless() { return headless_; }

    static SDL_Window *window() { return window_; }
    static SDL_Renderer *renderer() { return renderer_; }
    static SDL_Texture *backBuffer() { return backBuffer_; }
    static int width() { return width_; }
    static int height() { return height_; }

    // Ends the frame: draws it and shows the back buffer in the window, unless the frame would draw
    // the very picture already shown. True when it was drawn and shown.
    static bool present();
    // The next frame is drawn and presented whatever it holds.
    static void requestRedraw() { redrawRequested_ = true; }
    // Draws and presents every frame, changed or not (for tests that want the old way to compare).
    static void setDrawEveryFrame(bool always) { drawEveryFrame_ = always; }
    // A headless window is not drawn into (nobody sees it); tests of what it would show turn that on.
    static void setShowHeadlessWindow(bool show) { showHeadlessWindow_ = show; }
    // Frames drawn and presented since the window opened (the others were left out as unchanged).
    static uint64_t framesDrawn() { return framesDrawn_; }
    // Sleeps until 1/75 s after the previous call returned (nothing when headless).
    static void paceFrame();

    // Reads the back buffer as ARGB8888, top row first. Alpha is the raw render-target alpha.
    static bool readBackBuffer(std::vector<uint32_t> &pixels);
    // The picture the player sees: the back buffer with the pointer picture where the system shows
    // it (see platform/pointer.h), opaque, top row first.
    static bool readShownPicture(std::vector<uint32_t> &pixels);
    // Saves the back buffer as an opaque PNG.
    static bool saveBackBufferPNG(const char *path);

    // Rectangle, in window coordinates, where the back buffer is shown.
    static SDL_FRect shownRect();
    // The window's size in pixels as the window system has it, which may differ from the size SDL
    // asked for (a full-screen request that no window manager carried out, say).
    static void windowPixelSize(int &width, int &height);

    // Counts device resets: a texture made under an older generation is lost and must be rebuilt.
    static unsigned generation() { return generation_; }
    // Handles renderer events (target and device resets) and the window events after which the
    // window must be drawn again; returns true when the event was one of them.
    static bool handleEvent(const SDL_Event &event);

    // Focus follows the window's focus events. A window starts focused, so a headless one (which
    // never hears of focus) always counts as focused.
    static bool hasFocus() { return focused_; }
    static void setFocused(bool focused) { focused_ = focused; }

private:
    static DisplayError create(int width, int height, const char *title, bool hidden);
    static bool makeBackBuffer();
    static void measureWindow();
    static SDL_Texture *pictureTarget();
    static void warmUpDriver();
    static void showInWindow(const SDL_Rect *changed);

    static inline SDL_Window *window_ = nullptr;
    static inline SDL_Renderer *renderer_ = nullptr;
    static inline SDL_Texture *backBuffer_ = nullptr;
    static inline int width_ = 0, height_ = 0;
    static inline bool headless_ = false;
    static inline bool focused_ = true;
    static inline unsigned generation_ = 1;
    static inline uint64_t nextFrameDue_ = 0;
    static inline bool prepared_ = false;
    static inline bool redrawRequested_ = true;
    static inline bool drawEveryFrame_ = false;
    static inline bool showHeadlessWindow_ = false;
    static inline uint64_t framesDrawn_ = 0;
    // The window as last measured: its size in pixels and where the picture goes in it.
    static inline bool windowMeasured_ = false;
    static inline int windowPixelWidth_ = 0, windowPixelHeight_ = 0;
    static inline SDL_FRect shownPixels_{}, shownPoints_{};
    // The window's OpenGL surface can show a part of what was drawn into it (GLX_MESA_copy_sub_buffer):
    // a small change is then drawn and shown alone. Its drawing buffer is never swapped, so it always
    // holds the whole picture.
    static inline bool partsShown_ = false;
    // Scratch target for pictures with the pointer painted in (made when first needed).
    static inline SDL_Texture *pictureTarget_ = nullptr;
};

// Saves an ARGB picture (top row first) as an opaque PNG.
bool savePicturePNG(const std::vector<uint32_t> &pixels, int width, int height, const char *path);

// A plain modal message box; with no display the text goes to stderr. Tests may watch the messages.
void showMessage(const char *text);
extern std::function<void(const std::string &text)> messageObserver;

} // namespace platform
