#include "platform/display.h"

#include "platform/render_device.h"

#include <SDL_image.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
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

DisplayError Display::open(int width, int height, bool fullscreen, const char *title) {
    close();
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
    focused_ = true;
    width_ = width;
    height_ = height;

    // The window shows the game at the largest whole scale that fits the desktop.
    int factor = 1;
    SDL_Rect usable;
    if (!headless_ && SDL_GetDisplayUsableBounds(0, &usable) == 0)
        factor = std::max(1, std::min(usable.w / width, (usable.h - 48) / height));
    window_ = SDL_CreateWindow(title ? title : "", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               width * factor, height * factor, SDL_WINDOW_RESIZABLE | SDL_WINDOW_OPENGL);
    if (window_ == nullptr)
        window_ = SDL_CreateWindow(title ? title : "", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                   width * factor, height * factor, SDL_WINDOW_RESIZABLE);
    if (window_ == nullptr) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return DisplayError::NoWindow;
    }
    SDL_SetWindowMinimumSize(window_, width / 2, height / 2);
    if (fullscreen && SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
        close();
        return DisplayError::NoFullScreen;
    }

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
    nextFrameDue_ = 0;
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
    RenderDevice::flush();
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
    if (hadWindow)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

SDL_FRect Display::shownRect() {
    if (window_ == nullptr)
        return SDL_FRect{0, 0, static_cast<float>(width_), static_cast<float>(height_)};
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    return fitRect(w, h, width_, height_);
}

namespace {

// glFinish of the renderer's own OpenGL context; nothing for a renderer without one.
void finishGL() {
    using GLFinish = void (*)();
    static GLFinish finish = reinterpret_cast<GLFinish>(SDL_GL_GetProcAddress("glFinish"));
    if (finish && SDL_GL_GetCurrentContext())
        finish();
}

} // namespace

void Display::present() {
    if (renderer_ == nullptr)
        return;
    RenderDevice::flush();
    if (headless_) {
        // Nobody looks, so the copy to the invisible window is skipped; but the driver must still be
        // told the frame is done, or a software GL keeps every frame's commands and grows without end.
        SDL_RenderFlush(renderer_);
        finishGL();
        return;
    }
    // The window's own size: asked while the back buffer is the target, SDL answers the buffer's.
    SDL_SetRenderTarget(renderer_, nullptr);
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(renderer_, &w, &h);
    SDL_FRect where = fitRect(w, h, width_, height_);
    SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderCopyF(renderer_, backBuffer_, nullptr, &where);
    SDL_RenderPresent(renderer_);
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

bool Display::saveBackBufferPNG(const char *path) {
    std::vector<uint32_t> pixels;
    if (path == nullptr || !readBackBuffer(pixels))
        return false;
    for (uint32_t &p : pixels)
        p |= 0xFF000000u;
    SDL_Surface *surface = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), width_, height_, 32, width_ * 4,
                                                              SDL_PIXELFORMAT_ARGB8888);
    if (surface == nullptr)
        return false;
    bool saved = IMG_SavePNG(surface, path) == 0;
    SDL_FreeSurface(surface);
    return saved;
}

bool Display::handleRenderEvent(const SDL_Event &event) {
    if (event.type == SDL_RENDER_TARGETS_RESET) {
        // The back buffer's content is gone; the next frame draws it anew.
        return true;
    }
    if (event.type == SDL_RENDER_DEVICE_RESET) {
        RenderDevice::flush();
        ++generation_;
        if (renderer_ != nullptr)
            makeBackBuffer();
        return true;
    }
    return false;
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
