// KWindowD3D: the game window, its 640x480 back buffer, the presentation of each frame, the view
// transform every drawing goes through, the event pump and the quit flag.
#pragma once

#include "platform/matrices.h"

#include <SDL.h>

#include <cstdint>

struct KEvent;

class KWindowD3D {
public:
    KWindowD3D();
    ~KWindowD3D();
    KWindowD3D(const KWindowD3D &) = delete;
    KWindowD3D &operator=(const KWindowD3D &) = delete;

    // Opens the window (scaled to fit the desktop, or desktop full screen) and the back buffer.
    bool createGameWindow(short width, short height, short depth, bool windowed, const char *windowTitle);
    // Presents the frame, restores the view if asked, handles events, paces to 75 frames per second
    // and, if asked, waits while the window is in the background.
    void flipBackBuffer(bool waitForBackWindow = true, bool restoreView = true);
    // Handles the window's pending events.
    void processEvents();
    // True once the window has been asked to close (or could not be opened).
    bool isQuit();
    void terminate();
    void setDefaultWorldView();
    void setWorldView(float translateX, float translateY, float rotation, float zoom, bool clearworld);
    // Darkens the whole back buffer by 1 - _gamma.
    void doGammaAdjustment();

    // The window that is open now, or null.
    static KWindowD3D *current() { return _current; }

    SDL_DisplayMode dv;
    SDL_Window *_hWndZYK;
    SDL_Renderer *_lpDD;
    SDL_Window *_lpDDSPrimary;
    SDL_Texture *_lpDDSBack;
    SDL_Renderer *_lpD3D;
    SDL_Renderer *_lpD3DDevice;
    uint32_t _clearColor;
    // Raw hook, called first for every event: the window, the SDL event type, 0, and the address of
    // the SDL_Event. Returning false consumes the event.
    bool (*_userCallback)(SDL_Window *window, uint32_t message, uintptr_t wParam, intptr_t lParam);
    // Event hook with the framework's event record. Returning false consumes the event.
    bool (*_zykCallback)(KEvent *event);
    uint32_t _maxFrameRate;
    float _gamma;
    bool _fullscreen;
    short _windowWidth, _windowHeight;
    short _windowDepth;
    bool _quit;

private:
    bool createRealWindow(short width, short height, short depth, const char *windowTitle);
    bool SwitchToResolution(short width, short height, short depth);
    bool attachD3DToWindow();
    bool releaseDirectContexts();
    void handleEvent(const SDL_Event &event);
    void setProgramIcon();
    void drawCoveringQuad(uint32_t color);

    static inline KWindowD3D *_current = nullptr;
    static inline int32_t t1 = 0;
};
