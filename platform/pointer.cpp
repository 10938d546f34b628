#include "platform/pointer.h"

#include "platform/display.h"
#include "platform/render_device.h"

#include <SDL_syswm.h>
#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace platform {

namespace {

struct Picture {
    std::vector<uint32_t> argb;
    int width = 0, height = 0;
    int hotX = 0, hotY = 0;
};

Picture picture;
bool hasPicture = false;
bool allowed = true;
bool arrowVisible = true;
float cursorScale = 1.0f;
SDL_Cursor *cursor = nullptr; // the picture at cursorScale, made when first shown
SDL_Texture *texture = nullptr;
unsigned textureGeneration = 0;
bool placed = false;
int placedX = 0, placedY = 0;

// An X server shows colour cursors when libXcursor (which SDL uses for them) finds the RENDER
// extension it needs; otherwise SDL would make a two-colour cursor out of the picture.
bool x11ShowsColourCursors() {
    SDL_Window *window = Display::window();
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return false;
    void *library = dlopen("libXcursor.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (library == nullptr)
        return false;
    using SupportsARGB = int (*)(void *);
    auto supports = reinterpret_cast<SupportsARGB>(dlsym(library, "XcursorSupportsARGB"));
    const bool shows = supports != nullptr && supports(info.info.x11.display) != 0;
    dlclose(library);
    return shows;
}

bool systemShowsColourCursors() {
    const char *driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr)
        return false;
    // Nobody sees a headless window: read-back pictures paint the pointer in, as for a real one.
    if (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)
        return true;
    if (std::strcmp(driver, "x11") == 0) {
        static const bool x11 = x11ShowsColourCursors();
        return x11;
    }
    return std::strcmp(driver, "wayland") == 0 || std::strcmp(driver, "kmsdrm") == 0;
}

void freeCursor() {
    if (cursor == nullptr)
        return;
    if (SDL_GetCursor() == cursor)
        SDL_SetCursor(SDL_GetDefaultCursor());
    SDL_FreeCursor(cursor);
    cursor = nullptr;
}

// The picture scaled (nearest texel) to the size it has on screen, as a system cursor.
SDL_Cursor *makeCursor() {
    const int width = std::max(1, static_cast<int>(std::lround(picture.width * cursorScale)));
    const int height = std::max(1, static_cast<int>(std::lround(picture.height * cursorScale)));
    std::vector<uint32_t> scaled(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            scaled[static_cast<size_t>(y) * width + x] =
                picture.argb[static_cast<size_t>(y * picture.height / height) * picture.width +
                             x * picture.width / width];
    SDL_Surface *surface = SDL_CreateRGBSurfaceWithFormatFrom(scaled.data(), width, height, 32, width * 4,
                                                              SDL_PIXELFORMAT_ARGB8888);
    if (surface == nullptr)
        return nullptr;
    const int hotX = std::min(width - 1, static_cast<int>(std::lround(picture.hotX * cursorScale)));
    const int hotY = std::min(height - 1, static_cast<int>(std::lround(picture.hotY * cursorScale)));
    SDL_Cursor *made = SDL_CreateColorCursor(surface, std::max(0, hotX), std::max(0, hotY));
    SDL_FreeSurface(surface);
    return made;
}

// Puts the arrow or the picture up, as arrowVisible says.
void apply() {
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return;
    if (Pointer::shownBySystem()) {
        if (cursor == nullptr)
            cursor = makeCursor();
        if (cursor != nullptr) {
            SDL_SetCursor(arrowVisible ? SDL_GetDefaultCursor() : cursor);
            SDL_ShowCursor(SDL_ENABLE);
            return;
        }
    }
    if (SDL_GetCursor() != SDL_GetDefaultCursor())
        SDL_SetCursor(SDL_GetDefaultCursor());
    SDL_ShowCursor(arrowVisible ? SDL_ENABLE : SDL_DISABLE);
}

} // namespace

void Pointer::setPicture(const uint32_t *argb, int width, int height, int hotX, int hotY) {
    clearPicture();
    if (argb == nullptr || width <= 0 || height <= 0 || width > 1024 || height > 1024)
        return;
    picture.argb.assign(argb, argb + static_cast<size_t>(width) * height);
    picture.width = width;
    picture.height = height;
    picture.hotX = std::clamp(hotX, 0, width - 1);
    picture.hotY = std::clamp(hotY, 0, height - 1);
    hasPicture = true;
    if (!arrowVisible)
        apply();
}

void Pointer::clearPicture() {
    freeCursor();
    if (texture != nullptr && textureGeneration == Display::generation() && Display::isOpen())
        RenderDevice::destroyTexture(texture);
    texture = nullptr;
    hasPicture = false;
    placed = false;
    picture = Picture{};
    if (!arrowVisible)
        apply();
}

bool Pointer::shownBySystem() {
    return hasPicture && allowed && SDL_WasInit(SDL_INIT_VIDEO) && systemShowsColourCursors();
}

void Pointer::allowSystemCursor(bool allow) {
    allowed = allow;
    apply();
}

void Pointer::showArrow(bool shown) {
    arrowVisible = shown;
    apply();
}

bool Pointer::arrowShown() {
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return false;
    if (shownBySystem() && cursor != nullptr)
        return arrowVisible;
    return SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE;
}

void Pointer::setScale(float scale) {
    if (!(scale > 0.0f) || std::fabs(scale - cursorScale) < 0.001f)
        return;
    cursorScale = scale;
    if (cursor != nullptr) {
        freeCursor();
        apply();
    }
}

void Pointer::placeInFrame(int x, int y) {
    placed = true;
    placedX = x;
    placedY = y;
}

void Pointer::endFrame() {
    placed = false;
}

SDL_Texture *Pointer::shownInFrame(SDL_Rect &where) {
    if (!placed || !shownBySystem() || !Display::isOpen())
        return nullptr;
    if (texture == nullptr || textureGeneration != Display::generation()) {
        texture = RenderDevice::createTexture(picture.width, picture.height, picture.argb.data());
        textureGeneration = Display::generation();
    }
    where = SDL_Rect{placedX, placedY, picture.width, picture.height};
    return texture;
}

void Pointer::releaseSystemObjects() {
    freeCursor();
    if (texture != nullptr && textureGeneration == Display::generation() && Display::isOpen())
        RenderDevice::destroyTexture(texture);
    texture = nullptr;
}

} // namespace platform
