#include "platform/display.h"

#include "platform/memory.h"
#include "platform/pointer.h"
#include "platform/render_device.h"

#include <SDL_image.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <strings.h>

namespace platform {

std::function<void(const std::string &text)> messageObserver;

static bool isInvisibleDriver(const char *driver) {
    return driver != nullptr && (strcasecmp(driver, "offscreen") == 0 || strcasecmp(driver, "dummy") == 0);
}

bool isUnrequestedInvisibleDriver(const char *currentDriver, const char *requestedDriver) {
    if (!isInvisibleDriver(currentDriver))
        return false;
    if (requestedDriver == nullptr)
        return true;
    // SDL accepts a comma-separated list of drivers to try.
    std::string list = requestedDriver;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos)
            end = list.size();
        if (strcasecmp(list.substr(start, end - start).c_str(), currentDriver) == 0)
            return false;
        start = end + 1;
    }
    return true;
}

// The largest rectangle of the back buffer's aspect that fits the output: a whole scale factor when
// the output is at least as large as the back buffer, centred, letterboxed.
static SDL_FRect fitRect(int outputWidth, int outputHeight, int width, int height) {
    float scale =
        std::min(static_cast<float>(outputWidth) / width, static_cast<float>(outputHeight) / height);
    if (scale >= 1.0f)
        scale = std::floor(scale);
    if (scale <= 0.0f)
        scale = 1.0f;
    float w = width * scale, h = height * scale;
    return SDL_FRect{std::floor((outputWidth - w) / 2), std::floor((outputHeight - h) / 2), w, h};
}

DisplayError Display::create(int width, int height, const char *title, bool hidden) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return DisplayError::NoDisplay;
    const char *driver = SDL_GetCurrentVideoDriver();
    const char *requested = SDL_getenv("SDL_VIDEODRIVER");
    if (requested == nullptr)
        requested = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (driver == nullptr || isUnrequestedInvisibleDriver(driver, requested)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return DisplayError::NoDisplay;
    }
    headless_ = isInvisibleDriver(driver);
    returnLargeBlocksToSystem();
    width_ = width;
    height_ = height;

    // The window shows the game at the largest whole scale that fits the desktop.
    int factor = 1;
    SDL_Rect usable;
    if (!headless_ && SDL_GetDisplayUsableBounds(0, &usable) == 0)
        factor = std::max(1, std::min(usable.w / width, (usable.h - 48) / height));
    const Uint32 flags = SDL_WINDOW_RESIZABLE | (hidden ? SDL_WINDOW_HIDDEN : 0);
    window_ = SDL_CreateWindow(title ? title : "", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               width * factor, height * factor, flags | SDL_WINDOW_OPENGL);
    if (window_ == nullptr)
        window_ = SDL_CreateWindow(title ? title : "", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                   width * factor, height * factor, flags);
    if (window_ == nullptr) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return DisplayError::NoWindow;
    }
    SDL_SetWindowMinimumSize(window_, width / 2, height / 2);

    // OpenGL first (pixel-exact here, headless too), then OpenGL ES, then the software fallback.
    for (const char *name : {"opengl", "opengles2", "software"}) {
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, name);
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_TARGETTEXTURE);
        if (renderer_ != nullptr)
            break;
    }
    if (renderer_ == nullptr || !makeBackBuffer()) {
        close();
        return DisplayError::NoRenderer;
    }
    // A software driver's shader compiler lies idle once the kinds of drawing in use have been met.
    startWatchingDriverCode();
    return DisplayError::None;
}

void Display::prepare(int width, int height, const char *title) {
    if (window_ != nullptr)
        return;
    prepared_ = create(width, height, title, true) == DisplayError::None;
    if (prepared_)
        warmUpDriver();
}

DisplayError Display::open(int width, int height, bool fullscreen, const char *title) {
    // A window made ahead of time for this size is shown as it is; anything else is made anew.
    if (!prepared_ || width != width_ || height != height_) {
        close();
        const DisplayError error = create(width, height, title, false);
        if (error != DisplayError::None)
            return error;
    }
    prepared_ = false;
    SDL_SetWindowTitle(window_, title ? title : "");
    if (fullscreen && SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
        close();
        return DisplayError::NoFullScreen;
    }
    SDL_ShowWindow(window_);
    focused_ = true;
    nextFrameDue_ = 0;
    framesDrawn_ = 0;
    windowMeasured_ = false;
    partsShown_ = false;
    redrawRequested_ = true;
    return DisplayError::None;
}

bool Display::makeBackBuffer() {
    if (backBuffer_ != nullptr)
        SDL_DestroyTexture(backBuffer_);
    backBuffer_ =
        SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, width_, height_);
    if (backBuffer_ == nullptr)
        return false;
    SDL_SetTextureBlendMode(backBuffer_, SDL_BLENDMODE_NONE);
    SDL_SetTextureScaleMode(backBuffer_, SDL_ScaleModeNearest);
    if (SDL_SetRenderTarget(renderer_, backBuffer_) != 0)
        return false;
    SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    return true;
}

void Display::close() {
    stopWatchingDriverCode();
    RenderDevice::flush();
    Pointer::releaseSystemObjects();
    if (pictureTarget_ != nullptr)
        SDL_DestroyTexture(pictureTarget_);
    pictureTarget_ = nullptr;
    if (backBuffer_ != nullptr)
        SDL_DestroyTexture(backBuffer_);
    if (renderer_ != nullptr)
        SDL_DestroyRenderer(renderer_);
    bool hadWindow = window_ != nullptr;
    if (window_ != nullptr)
        SDL_DestroyWindow(window_);
    backBuffer_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
    prepared_ = false;
    if (hadWindow)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

namespace {

// glFinish of the renderer's own OpenGL context; nothing for a renderer without one.
void finishGL() {
    using GLFinish = void (*)();
    static GLFinish finish = reinterpret_cast<GLFinish>(SDL_GL_GetProcAddress("glFinish"));
    if (finish && SDL_GL_GetCurrentContext())
        finish();
}

enum class GLInterface { None, GLX, EGL };

// The window-system interface under the renderer's OpenGL context. Only the one in use may be asked:
// the other's functions are stubs that answer nonsense.
GLInterface glInterfaceOf(SDL_Renderer *renderer) {
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer, &info) != 0 || info.name == nullptr ||
        SDL_GL_GetCurrentContext() == nullptr)
        return GLInterface::None;
    const bool desktopGL = std::strcmp(info.name, "opengl") == 0;
    const char *driver = SDL_GetCurrentVideoDriver();
    if (driver != nullptr && std::strcmp(driver, "x11") == 0) {
        if (desktopGL && !SDL_GetHintBoolean(SDL_HINT_VIDEO_X11_FORCE_EGL, SDL_FALSE))
            return GLInterface::GLX;
        return GLInterface::None; // OpenGL ES may run on either: keep to SDL's idea of the size
    }
    if (desktopGL || std::strcmp(info.name, "opengles2") == 0)
        return GLInterface::EGL; // offscreen, Wayland, KMS
    return GLInterface::None;
}

// The size of the surface that the renderer's OpenGL context draws into, as the window system has
// it. False when it cannot be asked.
bool glSurfaceSize(SDL_Renderer *renderer, int &width, int &height) {
    switch (glInterfaceOf(renderer)) {
    case GLInterface::GLX: {
        using GetDisplay = void *(*)();
        using GetDrawable = unsigned long (*)();
        using Query = void (*)(void *, unsigned long, int, unsigned int *);
        auto display = reinterpret_cast<GetDisplay>(SDL_GL_GetProcAddress("glXGetCurrentDisplay"));
        auto drawable = reinterpret_cast<GetDrawable>(SDL_GL_GetProcAddress("glXGetCurrentDrawable"));
        auto query = reinterpret_cast<Query>(SDL_GL_GetProcAddress("glXQueryDrawable"));
        if (!display || !drawable || !query || display() == nullptr || drawable() == 0)
            return false;
        constexpr int kGlxWidth = 0x801D, kGlxHeight = 0x801E;
        unsigned int w = 0, h = 0;
        query(display(), drawable(), kGlxWidth, &w);
        query(display(), drawable(), kGlxHeight, &h);
        if (w == 0 || h == 0 || w > 65535 || h > 65535)
            return false;
        width = static_cast<int>(w);
        height = static_cast<int>(h);
        return true;
    }
    case GLInterface::EGL: {
        using GetDisplay = void *(*)();
        using GetSurface = void *(*)(int);
        using Query = unsigned int (*)(void *, void *, int, int *);
        auto display = reinterpret_cast<GetDisplay>(SDL_GL_GetProcAddress("eglGetCurrentDisplay"));
        auto surface = reinterpret_cast<GetSurface>(SDL_GL_GetProcAddress("eglGetCurrentSurface"));
        auto query = reinterpret_cast<Query>(SDL_GL_GetProcAddress("eglQuerySurface"));
        constexpr int kEglDraw = 0x3059, kEglWidth = 0x3057, kEglHeight = 0x3056;
        if (!display || !surface || !query || display() == nullptr || surface(kEglDraw) == nullptr)
            return false;
        int w = 0, h = 0;
        if (!query(display(), surface(kEglDraw), kEglWidth, &w) ||
            !query(display(), surface(kEglDraw), kEglHeight, &h))
            return false;
        if (w <= 0 || h <= 0 || w > 65535 || h > 65535)
            return false;
        width = w;
        height = h;
        return true;
    }
    case GLInterface::None:
        break;
    }
    return false;
}

using GLXGetDisplay = void *(*)();
using GLXGetDrawable = unsigned long (*)();

// Whether the renderer's GLX surface can show a part of its drawing buffer.
bool glCanShowParts(SDL_Renderer *renderer) {
    if (glInterfaceOf(renderer) != GLInterface::GLX)
        return false;
    using GetContext = void *(*)();
    using QueryContext = int (*)(void *, void *, int, int *);
    using QueryExtensions = const char *(*)(void *, int);
    auto display = reinterpret_cast<GLXGetDisplay>(SDL_GL_GetProcAddress("glXGetCurrentDisplay"));
    auto context = reinterpret_cast<GetContext>(SDL_GL_GetProcAddress("glXGetCurrentContext"));
    auto queryContext = reinterpret_cast<QueryContext>(SDL_GL_GetProcAddress("glXQueryContext"));
    auto extensions = reinterpret_cast<QueryExtensions>(SDL_GL_GetProcAddress("glXQueryExtensionsString"));
    if (!display || !context || !queryContext || !extensions ||
        !SDL_GL_GetProcAddress("glXCopySubBufferMESA") || display() == nullptr || context() == nullptr)
        return false;
    constexpr int kGlxScreen = 0x800C;
    int screen = 0;
    if (queryContext(display(), context(), kGlxScreen, &screen) != 0)
        return false;
    const char *list = extensions(display(), screen);
    const std::string names = list ? std::string(" ") + list + " " : std::string();
    return names.find(" GLX_MESA_copy_sub_buffer ") != std::string::npos;
}

// Shows a rectangle of the GLX surface's drawing buffer (x, y from the bottom left corner).
void glShowPart(int x, int y, int width, int height) {
    using CopySubBuffer = void (*)(void *, unsigned long, int, int, int, int);
    static auto copy = reinterpret_cast<CopySubBuffer>(SDL_GL_GetProcAddress("glXCopySubBufferMESA"));
    auto display = reinterpret_cast<GLXGetDisplay>(SDL_GL_GetProcAddress("glXGetCurrentDisplay"));
    auto drawable = reinterpret_cast<GLXGetDrawable>(SDL_GL_GetProcAddress("glXGetCurrentDrawable"));
    if (copy && display && drawable && display() != nullptr && drawable() != 0)
        copy(display(), drawable(), x, y, width, height);
}

} // namespace

void Display::warmUpDriver() {
    // A software driver compiles a shader for each kind of drawing when it first meets it: the game's
    // first frames would wait for that. Each kind the game draws, once, into a corner of the buffers:
    // textures of power-of-two and other sizes, three blendings, both filters; plain colours.
    const uint32_t texels[9] = {};
    SDL_Texture *textures[2] = {RenderDevice::createTexture(2, 2, texels),
                                RenderDevice::createTexture(3, 3, texels)};
    const SDL_BlendMode blendings[3] = {SDL_BLENDMODE_NONE,
                                        RenderDevice::blendModeFor(kBlendSrcAlpha, kBlendInvSrcAlpha),
                                        RenderDevice::blendModeFor(kBlendSrcAlpha, kBlendDestAlpha)};
    const SDL_Color white{255, 255, 255, 255};
    const SDL_Vertex corner[3] = {{{0, 0}, white, {0, 0}}, {{2, 0}, white, {1, 0}}, {{0, 2}, white, {0, 1}}};
    SDL_SetRenderTarget(renderer_, backBuffer_);
    for (SDL_BlendMode blending : blendings) {
        for (SDL_Texture *texture : textures) {
            for (SDL_ScaleMode filter : {SDL_ScaleModeNearest, SDL_ScaleModeLinear}) {
                if (texture == nullptr)
                    continue;
                SDL_SetTextureScaleMode(texture, filter);
                SDL_SetTextureBlendMode(texture, blending);
                SDL_RenderGeometry(renderer_, texture, corner, 3, nullptr, 0);
                SDL_RenderFlush(renderer_);
            }
        }
        SDL_SetRenderDrawBlendMode(renderer_, blending);
        SDL_RenderGeometry(renderer_, nullptr, corner, 3, nullptr, 0);
    }
    // The window: the back buffer copied in, a letterbox bar.
    SDL_SetRenderTarget(renderer_, nullptr);
    const SDL_Rect spot{0, 0, 2, 2};
    SDL_RenderCopy(renderer_, backBuffer_, &spot, &spot);
    SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_NONE);
    SDL_RenderFillRect(renderer_, &spot);
    SDL_RenderFlush(renderer_);
    finishGL();
    for (SDL_Texture *texture : textures)
        RenderDevice::destroyTexture(texture);
    SDL_SetRenderTarget(renderer_, backBuffer_);
    SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
}

void Display::windowPixelSize(int &width, int &height) {
    width = height = 0;
    if (renderer_ == nullptr)
        return;
    SDL_Texture *target = SDL_GetRenderTarget(renderer_);
    if (target != nullptr)
        SDL_SetRenderTarget(renderer_, nullptr); // also makes the renderer's context current
    // SDL answers the size it believes the window has; the window system knows better.
    if (!glSurfaceSize(renderer_, width, height))
        SDL_GetRendererOutputSize(renderer_, &width, &height);
    if (target != nullptr)
        SDL_SetRenderTarget(renderer_, target);
}

void Display::measureWindow() {
    windowPixelSize(windowPixelWidth_, windowPixelHeight_);
    shownPixels_ = fitRect(windowPixelWidth_, windowPixelHeight_, width_, height_);
    // Pointer positions come in the window's own units, which count points rather than pixels on a
    // scaled desktop: SDL's window size against its drawing size tells how many pixels a point has.
    int points = 0, pointsHigh = 0, pixels = 0, pixelsHigh = 0;
    SDL_GetWindowSize(window_, &points, &pointsHigh);
    SDL_Texture *target = SDL_GetRenderTarget(renderer_);
    SDL_SetRenderTarget(renderer_, nullptr); // asked with the back buffer as target, SDL gives its size
    SDL_GetRendererOutputSize(renderer_, &pixels, &pixelsHigh);
    SDL_SetRenderTarget(renderer_, target);
    const float pointsPerPixel = pixels > 0 && points > 0 ? static_cast<float>(points) / pixels : 1.0f;
    shownPoints_ = SDL_FRect{shownPixels_.x * pointsPerPixel, shownPixels_.y * pointsPerPixel,
                             shownPixels_.w * pointsPerPixel, shownPixels_.h * pointsPerPixel};
    windowMeasured_ = true;
    Pointer::setScale(shownPixels_.w / static_cast<float>(width_));
}

SDL_FRect Display::shownRect() {
    if (window_ == nullptr)
        return SDL_FRect{0, 0, static_cast<float>(width_), static_cast<float>(height_)};
    if (windowMeasured_)
        return shownPoints_;
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    return fitRect(w, h, width_, height_);
}

bool Display::present() {
    if (renderer_ == nullptr)
        return false;
    if (!drawEveryFrame_ && !redrawRequested_ && RenderDevice::frameRedrawsBackBuffer()) {
        // The back buffer, and so the window, shows this very picture already.
        RenderDevice::endFrame(false);
        return false;
    }
    // Only some draws moved or changed: draw the frame clipped to where they were and are.
    SDL_Rect changed{};
    const bool partly = !drawEveryFrame_ && !redrawRequested_ && RenderDevice::changedArea(changed);
    if (SDL_GetRenderTarget(renderer_) != backBuffer_)
        SDL_SetRenderTarget(renderer_, backBuffer_);
    if (partly)
        SDL_RenderSetClipRect(renderer_, &changed);
    RenderDevice::endFrame(true);
    if (partly)
        SDL_RenderSetClipRect(renderer_, nullptr);
    redrawRequested_ = false;
    ++framesDrawn_;
    if (headless_ && !showHeadlessWindow_) {
        // Nobody looks, so the copy to the invisible window is skipped; but the driver must still be
        // told the frame is done, or a software GL keeps every frame's commands and grows without end.
        SDL_RenderFlush(renderer_);
        finishGL();
        return true;
    }
    showInWindow(partly ? &changed : nullptr);
    return true;
}

void Display::showInWindow(const SDL_Rect *changed) {
    SDL_SetRenderTarget(renderer_, nullptr);
    if (!windowMeasured_) {
        measureWindow();
        partsShown_ = glCanShowParts(renderer_);
        changed = nullptr; // a new size: the window's buffer holds nothing of the picture yet
    }
    // SDL lays its drawing out for the size it believes the window has. When the window really has
    // another, draw into the part of that area that the window shows: OpenGL counts rows from the
    // bottom, so that part lies at the bottom of SDL's idea of the window.
    int outputWidth = 0, outputHeight = 0;
    SDL_GetRendererOutputSize(renderer_, &outputWidth, &outputHeight);
    const SDL_Rect shownArea{0, outputHeight - windowPixelHeight_, windowPixelWidth_, windowPixelHeight_};
    SDL_RenderSetViewport(renderer_, &shownArea);
    const SDL_FRect &p = shownPixels_;
    SDL_Rect part{0, 0, windowPixelWidth_, windowPixelHeight_};
    if (changed != nullptr && partsShown_) {
        // The window pixels that show the changed part of the back buffer.
        const float scale = p.w / static_cast<float>(width_);
        const int left = std::max(0, static_cast<int>(std::floor(p.x + changed->x * scale)) - 1);
        const int top = std::max(0, static_cast<int>(std::floor(p.y + changed->y * scale)) - 1);
        const int right = std::min(windowPixelWidth_,
                                   static_cast<int>(std::ceil(p.x + (changed->x + changed->w) * scale)) + 1);
        const int bottom = std::min(windowPixelHeight_,
                                    static_cast<int>(std::ceil(p.y + (changed->y + changed->h) * scale)) + 1);
        part = SDL_Rect{left, top, std::max(0, right - left), std::max(0, bottom - top)};
        SDL_RenderSetClipRect(renderer_, &part);
        SDL_RenderCopyF(renderer_, backBuffer_, nullptr, &p);
        SDL_RenderSetClipRect(renderer_, nullptr);
    } else {
        SDL_RenderCopyF(renderer_, backBuffer_, nullptr, &p);
        // Black bars where the picture does not reach: every pixel is drawn once, with no clear beneath.
        const float w = static_cast<float>(windowPixelWidth_), h = static_cast<float>(windowPixelHeight_);
        const SDL_FRect bars[4] = {{0, 0, w, p.y},
                                   {0, p.y + p.h, w, h - (p.y + p.h)},
                                   {0, p.y, p.x, p.h},
                                   {p.x + p.w, p.y, w - (p.x + p.w), p.h}};
        SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_NONE);
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
        for (const SDL_FRect &bar : bars)
            if (bar.w > 0 && bar.h > 0)
                SDL_RenderFillRectF(renderer_, &bar);
    }
    if (partsShown_) {
        SDL_RenderFlush(renderer_);
        if (part.w > 0 && part.h > 0)
            glShowPart(part.x, windowPixelHeight_ - part.y - part.h, part.w, part.h);
    } else {
        SDL_RenderPresent(renderer_);
    }
    SDL_SetRenderTarget(renderer_, backBuffer_);
}

void Display::paceFrame() {
    if (headless_)
        return;
    constexpr int64_t kFramePeriodNs = 1'000'000'000 / 75;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t nowNs =
        static_cast<uint64_t>(now.tv_sec) * 1'000'000'000ull + static_cast<uint64_t>(now.tv_nsec);
    // A frame that ran late starts a fresh schedule instead of rushing to catch up.
    if (nextFrameDue_ == 0 || nowNs > nextFrameDue_ + kFramePeriodNs)
        nextFrameDue_ = nowNs;
    if (nextFrameDue_ > nowNs) {
        timespec due{static_cast<time_t>(nextFrameDue_ / 1'000'000'000ull),
                     static_cast<long>(nextFrameDue_ % 1'000'000'000ull)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
        }
    }
    nextFrameDue_ += kFramePeriodNs;
}

bool Display::readBackBuffer(std::vector<uint32_t> &pixels) {
    if (renderer_ == nullptr)
        return false;
    RenderDevice::flush();
    pixels.assign(static_cast<size_t>(width_) * height_, 0);
    SDL_Texture *target = SDL_GetRenderTarget(renderer_);
    if (target != backBuffer_)
        SDL_SetRenderTarget(renderer_, backBuffer_);
    int result =
        SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(), width_ * 4);
    if (target != backBuffer_)
        SDL_SetRenderTarget(renderer_, target);
    return result == 0;
}

SDL_Texture *Display::pictureTarget() {
    if (pictureTarget_ == nullptr && renderer_ != nullptr) {
        pictureTarget_ =
            SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, width_, height_);
        if (pictureTarget_ != nullptr)
            SDL_SetTextureBlendMode(pictureTarget_, SDL_BLENDMODE_NONE);
    }
    return pictureTarget_;
}

bool Display::readShownPicture(std::vector<uint32_t> &pixels) {
    if (renderer_ == nullptr)
        return false;
    RenderDevice::flush();
    SDL_Rect where{};
    SDL_Texture *pointer = Pointer::shownInFrame(where);
    SDL_Texture *target = pointer != nullptr ? pictureTarget() : nullptr;
    bool read = false;
    if (target == nullptr) {
        read = readBackBuffer(pixels);
    } else {
        // The back buffer copied as it is, then the pointer drawn over it exactly as the game would
        // draw it with blitAlphaRect (ordinary transparency, one texel per pixel).
        SDL_Texture *previous = SDL_GetRenderTarget(renderer_);
        SDL_SetRenderTarget(renderer_, target);
        SDL_RenderCopy(renderer_, backBuffer_, nullptr, nullptr);
        const SDL_Color white{255, 255, 255, 255};
        const float left = static_cast<float>(where.x), top = static_cast<float>(where.y);
        const float right = left + static_cast<float>(where.w), bottom = top + static_cast<float>(where.h);
        const SDL_Vertex quad[4] = {{{left, top}, white, {0, 0}},
                                    {{right, top}, white, {1, 0}},
                                    {{left, bottom}, white, {0, 1}},
                                    {{right, bottom}, white, {1, 1}}};
        const int indices[6] = {0, 1, 3, 0, 3, 2};
        SDL_SetTextureBlendMode(pointer, RenderDevice::blendModeFor(kBlendSrcAlpha, kBlendInvSrcAlpha));
        SDL_RenderGeometry(renderer_, pointer, quad, 4, indices, 6);
        pixels.assign(static_cast<size_t>(width_) * height_, 0);
        read = SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(),
                                    width_ * 4) == 0;
        SDL_SetRenderTarget(renderer_, previous);
    }
    for (uint32_t &p : pixels)
        p |= 0xFF000000u;
    return read;
}

bool savePicturePNG(const std::vector<uint32_t> &pixels, int width, int height, const char *path) {
    if (path == nullptr || width <= 0 || height <= 0 || pixels.size() < static_cast<size_t>(width) * height)
        return false;
    std::vector<uint32_t> opaque(pixels.begin(), pixels.begin() + static_cast<ptrdiff_t>(width) * height);
    for (uint32_t &p : opaque)
        p |= 0xFF000000u;
    SDL_Surface *surface = SDL_CreateRGBSurfaceWithFormatFrom(opaque.data(), width, height, 32, width * 4,
                                                              SDL_PIXELFORMAT_ARGB8888);
    if (surface == nullptr)
        return false;
    bool saved = IMG_SavePNG(surface, path) == 0;
    SDL_FreeSurface(surface);
    return saved;
}

bool Display::saveBackBufferPNG(const char *path) {
    std::vector<uint32_t> pixels;
    return path != nullptr && readBackBuffer(pixels) && savePicturePNG(pixels, width_, height_, path);
}

bool Display::handleEvent(const SDL_Event &event) {
    if (event.type == SDL_RENDER_TARGETS_RESET) {
        // The back buffer's content is gone; the next frame draws it anew.
        RenderDevice::forgetBackBuffer();
        requestRedraw();
        return true;
    }
    if (event.type == SDL_RENDER_DEVICE_RESET) {
        RenderDevice::flush();
        ++generation_;
        if (pictureTarget_ != nullptr)
            SDL_DestroyTexture(pictureTarget_);
        pictureTarget_ = nullptr;
        if (renderer_ != nullptr)
            makeBackBuffer();
        RenderDevice::forgetBackBuffer();
        windowMeasured_ = false;
        requestRedraw();
        return true;
    }
    if (event.type != SDL_WINDOWEVENT)
        return false;
    switch (event.window.event) {
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_RESIZED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_MINIMIZED:
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_FOCUS_GAINED:
    case SDL_WINDOWEVENT_FOCUS_LOST:
    case SDL_WINDOWEVENT_DISPLAY_CHANGED:
        // What the window shows may be spoiled, or its size changed: measure it and draw again.
        windowMeasured_ = false;
        requestRedraw();
        return true;
    default:
        return false;
    }
}

void showMessage(const char *text) {
    std::string message = text ? text : "";
    if (messageObserver)
        messageObserver(message);
    bool shown = false;
    // A headless run must never block on a box, even where a desktop happens to exist.
    if (!Display::isHeadless() && !isInvisibleDriver(SDL_getenv("SDL_VIDEODRIVER")))
        shown = SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Error", message.c_str(), nullptr) == 0;
    if (!shown)
        std::fprintf(stderr, "%s\n", message.c_str());
}

} // namespace platform
