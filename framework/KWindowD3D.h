// KWindowD3D: the game window and display device.
#pragma once

class KWindowD3D {
public:
    // Handles the window's pending events.
    void processEvents();
    // True once the window has been asked to close.
    bool isQuit();

private:
    bool _quit = false;
};
