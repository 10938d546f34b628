#include "framework/KWindowD3D.h"

#include "framework/KGraphicD3D.h"
#include "framework/KInput.h"
#include "framework/KMiscTools.h"
#include "platform/display.h"
#include "platform/frame_observer.h"
#include "platform/image_decoder.h"
#include "platform/input.h"
#include "platform/pointer.h"
#include "platform/render_device.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

using platform::Display;
using platform::RenderDevice;

static const char kNoContextMessage[] = "can't create directX context, please reinstall direct X";
static const char kNoFullScreenContextMessage[] =
    "can't create directX context for fullscreen, please reinstall direct X";

KWindowD3D::KWindowD3D()
    : dv{}, _hWndZYK(nullptr), _lpDD(nullptr), _lpDDSPrimary(nullptr), _lpDDSBack(nullptr), _lpD3D(nullptr),
      _lpD3DDevice(nullptr), _clearColor(0), _userCallback(nullptr), _zykCallback(nullptr), _maxFrameRate(0),
      _gamma(1.0f), _fullscreen(false), _windowWidth(0), _windowHeight(0), _windowDepth(0), _quit(false) {}

KWindowD3D::~KWindowD3D() {
    _quit = false;
    releaseDirectContexts();
}

bool KWindowD3D::createGameWindow(short width, short height, short depth, bool windowed,
                                  const char *windowTitle) {
    _windowWidth = width;
    _windowHeight = height;
    _windowDepth = depth;
    _fullscreen = !windowed;
    bool created = createRealWindow(width, height, depth, windowTitle);
    // Without a window nothing the game draws can ever be seen, and its loops would spin invisibly
    // for ever: ask them to end.
    if (!created)
        _quit = true;
    return created;
}

bool KWindowD3D::SwitchToResolution(short, short, short) {
    // The desktop keeps its depth: the back buffer is 32-bit whatever the game asks for.
    return true;
}

bool KWindowD3D::createRealWindow(short width, short height, short depth, const char *windowTitle) {
    if (depth != -1)
        SwitchToResolution(-1, -1, depth);
    if (width <= 0 || height <= 0)
        return false;
    platform::DisplayError error = Display::open(width, height, _fullscreen, windowTitle);
    if (error == platform::DisplayError::NoWindow)
        return false;
    if (error == platform::DisplayError::NoFullScreen) {
        char message[128];
        std::snprintf(message, sizeof(message), "Could not switch screen to %dx%d %d bits", _windowWidth,
                      _windowHeight, _windowDepth <= 0 ? 16 : _windowDepth);
        platform::showMessage(message);
    }
    if (error != platform::DisplayError::None) {
        platform::showMessage(_fullscreen ? kNoFullScreenContextMessage : kNoContextMessage);
        return false;
    }
    _hWndZYK = Display::window();
    setProgramIcon();
    KInput::initInput(_hWndZYK);
    return attachD3DToWindow();
}

void KWindowD3D::setProgramIcon() {
    // Built here rather than with makeFilePath, whose one buffer a caller may still be holding.
    const std::string path = KMiscTools::dataFolder() + "/icons/quorix-64.png";
    platform::DecodedImage icon;
    if (!platform::decodeImageFile(path.c_str(), "PNG", icon))
        return;
    SDL_Surface *surface = SDL_CreateRGBSurfaceWithFormatFrom(icon.argb.data(), icon.width, icon.height, 32,
                                                              icon.width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (surface == nullptr)
        return;
    SDL_SetWindowIcon(_hWndZYK, surface);
    SDL_FreeSurface(surface);
}

bool KWindowD3D::attachD3DToWindow() {
    _lpDD = _lpD3D = _lpD3DDevice = Display::renderer();
    _lpDDSPrimary = Display::window();
    _lpDDSBack = Display::backBuffer();
    SDL_GetDesktopDisplayMode(0, &dv);
    KGraphicD3D::setDirectX(_lpDD, _lpD3DDevice, _lpDDSBack, _windowWidth, _windowHeight);
    _current = this;
    setDefaultWorldView();
    return true;
}

bool KWindowD3D::releaseDirectContexts() {
    if (_lpD3DDevice != nullptr) {
        KGraphicD3D::setDirectX(nullptr, nullptr, nullptr, 0, 0);
        Display::close();
    }
    _lpD3DDevice = nullptr;
    _lpD3D = nullptr;
    _lpDDSBack = nullptr;
    _lpDDSPrimary = nullptr;
    _lpDD = nullptr;
    _hWndZYK = nullptr;
    if (_current == this)
        _current = nullptr;
    return true;
}

void KWindowD3D::flipBackBuffer(bool waitForBackWindow, bool restoreView) {
    if (_lpD3DDevice == nullptr)
        return;
    const uint32_t t2 = static_cast<uint32_t>(KMiscTools::getMilliseconds());
    if (_gamma < 1.0f)
        doGammaAdjustment();

    // A frame that would show the picture already on screen is neither drawn nor presented.
    const bool drawn = Display::present();
    platform::notifyFrame(drawn); // a test script sees the finished frame and sets the next one's input
    platform::Pointer::endFrame();
    Display::paceFrame();

    if (restoreView)
        setDefaultWorldView();
    processEvents();

    if (_maxFrameRate != 0 && t2 - static_cast<uint32_t>(t1) <= _maxFrameRate) {
        // Sleeps out the rest of the time rather than spinning on the clock.
        for (;;) {
            const uint32_t elapsed =
                static_cast<uint32_t>(KMiscTools::getMilliseconds()) - static_cast<uint32_t>(t1);
            if (elapsed >= _maxFrameRate)
                break;
            SDL_Delay(_maxFrameRate - elapsed);
        }
    }
    t1 = static_cast<int32_t>(KMiscTools::getMilliseconds());

    // In the background the game stops and waits for the window to come back.
    if (waitForBackWindow) {
        while (!Display::hasFocus() && !_quit && Display::window() != nullptr) {
            SDL_Event event;
            if (SDL_WaitEventTimeout(&event, 100))
                handleEvent(event);
        }
    }
}

void KWindowD3D::processEvents() {
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return;
    // Every pending event: SDL does not merge pointer moves, so one per call would let them pile up.
    platform::Input::beginEventBatch();
    platform::Input::pump();
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0)
        handleEvent(event);
}

static long buttonIndexOf(uint8_t button) {
    switch (button) {
    case SDL_BUTTON_LEFT:
        return 1;
    case SDL_BUTTON_RIGHT:
        return 2;
    case SDL_BUTTON_MIDDLE:
        return 3;
    default:
        return 0;
    }
}

void KWindowD3D::handleEvent(const SDL_Event &event) {
    Display::handleEvent(event);
    if (event.type == SDL_MOUSEBUTTONDOWN && event.button.button == SDL_BUTTON_LEFT)
        platform::Input::notePress(platform::MouseButton::Left);
    if (event.type == SDL_MOUSEBUTTONDOWN && event.button.button == SDL_BUTTON_RIGHT)
        platform::Input::notePress(platform::MouseButton::Right);
    if (event.type == SDL_WINDOWEVENT) {
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
            Display::setFocused(true);
        else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
            Display::setFocused(false);
    }

    if (_userCallback != nullptr &&
        !_userCallback(_hWndZYK, event.type, 0, reinterpret_cast<intptr_t>(&event)))
        return;

    const int wheelDelta = event.type == SDL_MOUSEWHEEL ? std::clamp(event.wheel.y * 120, -32768, 32767) : 0;
    if (_zykCallback != nullptr) {
        KEvent record{};
        record.nativeMessage = static_cast<long>(event.type);
        record.mouseX = KInput::getMouseX();
        record.mouseY = KInput::getMouseY();
        record.buttonIndex = 0;
        record.zykKey = K_VK_ERROR;
        switch (event.type) {
        case SDL_MOUSEMOTION:
            record.type = kEventMouseMove;
            break;
        case SDL_MOUSEBUTTONUP:
        case SDL_MOUSEBUTTONDOWN:
            record.type = event.type == SDL_MOUSEBUTTONUP ? kEventButtonUp : kEventButtonDown;
            record.buttonIndex = buttonIndexOf(event.button.button);
            break;
        case SDL_TEXTINPUT:
            record.type = kEventCharacter;
            record.character = event.text.text[0];
            break;
        case SDL_KEYDOWN:
            record.type = kEventKeyDown;
            record.virtualKey = event.key.keysym.sym;
            record.zykKey = KInput::getZYKKey(event.key.keysym.sym);
            record.character = static_cast<char>(event.key.keysym.scancode & 0xFF);
            record.nativeData = event.key.keysym.scancode;
            break;
        case SDL_KEYUP:
            record.type = kEventKeyUp;
            record.virtualKey = event.key.keysym.sym;
            record.zykKey = KInput::getZYKKey(event.key.keysym.sym);
            record.character = static_cast<char>(event.key.keysym.sym & 0xFF);
            record.nativeData = event.key.keysym.scancode;
            break;
        case SDL_MOUSEWHEEL:
            record.type = kEventWheel;
            record.wheel = static_cast<int16_t>(wheelDelta);
            KInput::setLastWheelValue(record.wheel);
            break;
        default:
            record.type = kEventOther;
            break;
        }
        if (!_zykCallback(&record))
            return;
    }

    if (event.type == SDL_QUIT ||
        (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)) {
        _quit = true; // the window stays open; the game leaves its loops
    } else if (event.type == SDL_MOUSEWHEEL) {
        KInput::setLastWheelValue(static_cast<short>(wheelDelta));
    }
}

bool KWindowD3D::isQuit() {
    return _quit;
}

void KWindowD3D::terminate() {
    _quit = true;
}

void KWindowD3D::setDefaultWorldView() {
    setWorldView(0, 0, 0, 1, false);
}

void KWindowD3D::setWorldView(float translateX, float translateY, float rotation, float zoom,
                              bool clearworld) {
    if (_lpD3DDevice == nullptr)
        return;
    if (clearworld)
        RenderDevice::clear(_clearColor | 0xFF000000u); // the back buffer has no alpha of its own
    D3DMATRIX projection;
    ortho(projection, _windowWidth, _windowHeight, -100.0f, 100.0f);
    RenderDevice::setProjection(projection);

    D3DMATRIX toCorner, turn, zoomed, moved;
    translate(toCorner, static_cast<float>(-(_windowWidth / 2)), static_cast<float>(_windowHeight / 2), 0.0f);
    rotatez(turn, rotation);
    scale(zoomed, zoom, zoom, 0.0f);
    translate(moved, translateX, -translateY, 0.0f);
    RenderDevice::setWorld(multiply(multiply(multiply(toCorner, turn), zoomed), moved));
}

void KWindowD3D::drawCoveringQuad(uint32_t color) {
    const float w = _windowWidth, h = _windowHeight;
    const platform::Vertex corners[6] = {
        {0, 0, 0, color, 0, 0},  {w, 0, 0, color, 0, 0},  {w, -h, 0, color, 0, 0},
        {w, -h, 0, color, 0, 0}, {0, -h, 0, color, 0, 0}, {0, 0, 0, color, 0, 0},
    };
    RenderDevice::drawTriangles(corners, 6);
}

void KWindowD3D::doGammaAdjustment() {
    if (_lpD3DDevice == nullptr)
        return;
    setDefaultWorldView();
    float a = std::max(0.0f, 1.0f - _gamma);
    RenderDevice::setBlending(true);
    const uint32_t alpha = static_cast<uint32_t>(std::min(255.0f, a * 255.0f));
    RenderDevice::bindTexture(nullptr);
    KGraphicD3D::_oldBindedText = nullptr;
    drawCoveringQuad(alpha << 24);
}
