// The game window on SDL2: one window, its OpenGL renderer and the 640x480 back buffer that every
// frame is drawn into. Presenting shows the back buffer scaled by a whole factor and letterboxed.
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
    static void close();
    static bool isOpen() { return renderer_ != nullptr; }
    // True for the offscreen and dummy drivers: nothing is shown and frames are not paced.
    static bool isHeadless() { return headless_; }

    static SDL_Window *window() { return window_; }
    static SDL_Renderer *renderer() { return renderer_; }
    static SDL_Texture *backBuffer() { return backBuffer_; }
    static int width() { return width_; }
    static int height() { return height_; }

    // Shows the back buffer in the window; drawing goes on into the back buffer afterwards.
    static void present();
    // Sleeps until 1/75 s after the previous call returned (nothing when headless).
    static void paceFrame();

    // Reads the back buffer as ARGB8888, top row first. Alpha is the raw render-target alpha.
    static bool readBackBuffer(std::vector<uint32_t> &pixels);
    // Saves the back buffer as an opaque PNG.
    static bool saveBackBufferPNG(const char *path);

    // Rectangle, in window coordinates, where the back buffer is shown.
    static SDL_FRect shownRect();

    // Counts device resets: a texture made under an older generation is lost and must be rebuilt.
    static unsigned generation() { return generation_; }
    // Handles renderer events (target and device resets); returns true when the event was one.
    static bool handleRenderEvent(const SDL_Event &event);

    // Focus follows the window's focus events. A window starts focused, so a headless one (which
    // never hears of focus) always counts as focused.
    static bool hasFocus() { return focused_; }
    static void setFocused(bool focused) { focused_ = focused; }

private:
    static bool makeBackBuffer();

    static inline SDL_Window *window_ = nullptr;
    static inline SDL_Renderer *renderer_ = nullptr;
    static inline SDL_Texture *backBuffer_ = nullptr;
    static inline int width_ = 0, height_ = 0;
    static inline bool headless_ = false;
    static inline bool focused_ = true;
    static inline unsigned generation_ = 1;
    static inline uint64_t nextFrameDue_ = 0;
};

// A plain modal message box; with no display the text goes to stderr. Tests may watch the messages.
void showMessage(const char *text);
extern std::function<void(const std::string &text)> messageObserver;

} // namespace platform
