#include "framework/KGraphicD3D.h"

#include "platform/display.h"
#include "platform/file_reader.h"
#include "platform/image_decoder.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

using platform::RenderDevice;

void *KGraphicD3D::_directX = nullptr;
void *KGraphicD3D::_d3d = nullptr;
SDL_Texture *KGraphicD3D::_backBuffer = nullptr;
SDL_Texture *KGraphicD3D::_oldBindedText = nullptr;
int KGraphicD3D::_screenWidth = 0;
int KGraphicD3D::_screenHeight = 0;

namespace {

// A still board draws the same blits frame after frame, and each costs two matrix products and four
// point transforms. So the n-th blit of a frame is remembered with everything its quad depends on,
// and the n-th blit of the next frame that depends on exactly the same reuses the placed quad.
struct BlitInputs {
    D3DMATRIX world, projection; // world: the one in force before the blit's own offset
    long x1, y1, x2, y2;
    float destX, destY, textureWidth, textureHeight;
    uint32_t color;
    int32_t viewportWidth, viewportHeight;
    uint8_t flipX, flipY, textureBound;
    uint8_t forgotten; // set only in a remembered blit that matches none
};
static_assert(sizeof(BlitInputs) == 192, "compared as bytes: no padding");

struct RememberedBlit {
    BlitInputs inputs;
    SDL_Vertex placed[4];
};

// Enough for any of the game's screens; blits beyond it are simply not remembered.
constexpr size_t kRememberedBlits = 2048;
std::vector<RememberedBlit> rememberedBlits;
size_t nextBlit = 0;              // the place of the next blit in its frame
uint64_t blitsFrame = UINT64_MAX; // the frame nextBlit counts in

// Float to integer the way the game's arithmetic expects: truncated toward zero. Values beyond the
// target's range (or not numbers at all) are pinned instead of being undefined.
long truncToLong(float value) {
    if (!std::isfinite(value))
        return 0;
    // Beyond the 32-bit range the value sticks at its ends (no float lies between -2^31 - 1 and
    // -2^31); within it, the conversion itself truncates toward zero.
    if (value >= 2147483648.0f)
        return INT32_MAX;
    if (value < -2147483648.0f)
        return INT32_MIN;
    return static_cast<long>(value);
}

short truncToShort(float value) {
    return static_cast<short>(truncToLong(value));
}

// The low eight bits of trunc(value), as a colour byte takes them.
uint32_t lowByte(float value) {
    return static_cast<uint32_t>(truncToLong(value)) & 0xFFu;
}

uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

} // namespace

uint16_t packTexel4444(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint16_t>((a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | (b >> 4));
}

uint16_t packTexel555(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
}

uint32_t expandTexel4444(uint16_t texel) {
    auto four = [&](int shift) { return ((texel >> shift) & 0xFu) * 17u; };
    return argb(four(12), four(8), four(4), four(0));
}

uint32_t expandTexel555(uint16_t texel) {
    auto five = [&](int shift) {
        uint32_t v = (texel >> shift) & 0x1Fu;
        return v << 3 | v >> 2;
    };
    return argb(255, five(10), five(5), five(0));
}

void KGraphicD3D::setDirectX(void *dd7, void *d3dPtr, SDL_Texture *backbuffer, long width, long height) {
    _directX = dd7;
    _d3d = d3dPtr;
    _backBuffer = backbuffer;
    _oldBindedText = nullptr;
    // Initial device state: no blending yet, ordinary transparency factors, clamped point sampling.
    RenderDevice::reset(static_cast<int>(width), static_cast<int>(height));
    RenderDevice::setBlendFactors(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    RenderDevice::setAddress(D3DTADDRESS_CLAMP);
    RenderDevice::setFilter(D3DTFG_POINT);
    _screenWidth = static_cast<int>(width);
    _screenHeight = static_cast<int>(height);
}

KGraphicD3D::KGraphicD3D()
    : imageFileName{}, _sourceAlpha(D3DBLEND_SRCALPHA), _destAlpha(D3DBLEND_INVSRCALPHA), _surface(nullptr),
      _blitColorChanged(false), _blitRed(1.0f), _blitGreen(1.0f), _blitBlue(1.0f), _blitAlpha(1.0f),
      _blend(1.0f), _textureQualityD3D(D3DTFG_POINT), _textureWrapD3D(D3DTADDRESS_CLAMP), _hidef(false),
      _hasAlpha(false), _ftextureWIDTH(0), _ftextureHEIGHT(0), fimageHeight(0), fimageWidth(0),
      _ckActive(false), _textureWrap(false), _textureQuality(false), _ckr(0), _ckg(0), _ckb(0),
      _surfaceGeneration(0) {
    setAlphaMode(true);
    allowTextureWrap(false);
    setTextureQuality(false);
}

KGraphicD3D::~KGraphicD3D() {
    freePicture();
}

bool KGraphicD3D::loadPicture(const char *filename, bool hidef, bool hasAlpha) {
    freePicture();
    _hidef = hidef;
    _hasAlpha = hasAlpha;
    if (hidef)
        return loadPicture32(filename, hidef, hasAlpha);
    return loadPicture16(filename, hidef, hasAlpha);
}

bool KGraphicD3D::loadPicture32(const char *filename, bool, bool hasAlpha) {
    return loadCommon(filename, false, hasAlpha);
}

bool KGraphicD3D::loadPicture16(const char *filename, bool, bool hasAlpha) {
    return loadCommon(filename, true, hasAlpha);
}

// The decoder type of a file, from the extensions found anywhere in its own name (the folders that
// lead to it say nothing about it): case-sensitive, and the last one found in this order wins. Null
// when none occurs.
static const char *decoderTypeFor(const char *path) {
    const std::string name(platform::fileNameOf(path));
    static const struct {
        const char *extension;
        const char *type;
    } kTypes[] = {{".tga", "TGA"}, {".jpg", "JPG"}, {".bmp", "BMP"},
                  {".png", "PNG"}, {".pcx", "PCX"}, {".tif", "TIF"}};
    const char *chosen = nullptr;
    for (const auto &entry : kTypes)
        if (name.find(entry.extension) != std::string::npos)
            chosen = entry.type;
    return chosen;
}

bool KGraphicD3D::loadCommon(const char *filename, bool sixteenBits, bool hasAlpha) {
    imageFileName[0] = '\0';
    if (_directX == nullptr || _d3d == nullptr || filename == nullptr)
        return false;
    std::snprintf(imageFileName, sizeof(imageFileName), "%s", filename);

    // The file must open, without waiting on a FIFO in its place, and its name must say what it is.
    const int probe = platform::openRegularFile(filename, platform::kMaxPictureFileBytes);
    if (probe < 0)
        return false;
    close(probe);
    const char *type = decoderTypeFor(filename);
    if (type == nullptr)
        return false;

    // A file that fails to decode counts as a 0 x 0 picture, for which no texture can be made.
    platform::DecodedImage image;
    if (!platform::decodeImageFile(filename, type, image))
        image = platform::DecodedImage{};
    const int w = static_cast<uint16_t>(image.width), h = static_cast<uint16_t>(image.height);
    _ftextureWIDTH = fimageWidth = static_cast<float>(w);
    _ftextureHEIGHT = fimageHeight = static_cast<float>(h);
    if (w == 0 || h == 0 || w > image.width || h > image.height)
        return false;
    const bool withAlpha = image.hasAlpha; // what a 32-bit source means below

    // The texels are made in place: a picture sheet is 4 MB, and another buffer costs as much again.
    std::vector<uint32_t> &texels = image.argb;
    const bool keep4444 = sixteenBits && hasAlpha && withAlpha;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t p = image.argb[static_cast<size_t>(y) * image.width + x];
            uint8_t a = static_cast<uint8_t>(p >> 24), r = static_cast<uint8_t>(p >> 16),
                    g = static_cast<uint8_t>(p >> 8), b = static_cast<uint8_t>(p);
            if (!withAlpha)
                a = 255;
            bool keyed = _ckActive && r == _ckr && g == _ckg && b == _ckb;
            uint32_t texel;
            if (!sixteenBits) {
                texel = argb(keyed ? 0 : a, r, g, b);
            } else if (keep4444) {
                texel = expandTexel4444(packTexel4444(keyed ? 0 : a, r, g, b));
            } else {
                texel = expandTexel555(packTexel555(r, g, b)); // opaque; the colour key shows nothing
            }
            texels[static_cast<size_t>(y) * w + x] = texel;
        }
    }
    _surface = RenderDevice::createTexture(w, h, texels.data());
    _surfaceGeneration = platform::Display::generation();
    return _surface != nullptr;
}

void KGraphicD3D::freePicture() {
    if (_surface == nullptr)
        return;
    // A later texture may be given the same address: forget the binding so it is bound afresh.
    if (_oldBindedText == _surface)
        _oldBindedText = nullptr;
    RenderDevice::destroyTexture(_surface);
    _surface = nullptr;
}

long KGraphicD3D::getWidth() {
    return truncToLong(_ftextureWIDTH);
}
long KGraphicD3D::getHeight() {
    return truncToLong(_ftextureHEIGHT);
}

void KGraphicD3D::setTextureQuality(bool highquality) {
    _textureQuality = highquality;
    _textureQualityD3D = highquality ? D3DTFG_LINEAR : D3DTFG_POINT;
}

void KGraphicD3D::allowTextureWrap(bool texwRap) {
    _textureWrap = texwRap;
    _textureWrapD3D = texwRap ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP;
}

void KGraphicD3D::setAlphaMode(bool alphaMode) {
    _sourceAlpha = D3DBLEND_SRCALPHA;
    _destAlpha = alphaMode ? D3DBLEND_INVSRCALPHA : D3DBLEND_DESTALPHA;
}

void KGraphicD3D::zyk_bindTexture() {
    if (_oldBindedText != _surface) {
        RenderDevice::bindTexture(_surface);
        _oldBindedText = _surface;
    }
}

bool KGraphicD3D::surfaceLost() const {
    return _surface != nullptr && _surfaceGeneration != platform::Display::generation();
}

bool KGraphicD3D::reloadSurface() {
    // Copy the name first: loading starts by clearing it.
    char name[sizeof(imageFileName)];
    std::memcpy(name, imageFileName, sizeof(name));
    freePicture();
    return loadPicture(name, _hidef, _hasAlpha);
}

bool KGraphicD3D::grabBackBuffer() {
    freePicture();
    if (_d3d == nullptr)
        return false;
    std::vector<uint32_t> pixels;
    if (!platform::Display::readBackBuffer(pixels))
        return false;
    for (uint32_t &p : pixels)
        p |= 0xFF000000u; // the back buffer's picture is opaque
    _surface = RenderDevice::createTexture(_screenWidth, _screenHeight, pixels.data());
    if (_surface == nullptr)
        return false;
    _surfaceGeneration = platform::Display::generation();
    _ftextureWIDTH = fimageWidth = static_cast<float>(_screenWidth);
    _ftextureHEIGHT = fimageHeight = static_cast<float>(_screenHeight);
    return true;
}

void KGraphicD3D::blitRect(float x1, float y1, float x2, float y2, short destX, short destY, bool flipx,
                           bool flipy) {
    if (_surface == nullptr)
        return;
    RenderDevice::setBlending(false);
    GenericBlit(truncToLong(x1), truncToLong(y1), truncToLong(x2), truncToLong(y2), destX, destY, flipx,
                flipy);
}

void KGraphicD3D::blitAlphaRect(float x1, float y1, float x2, float y2, short destX, short destY, bool flipx,
                                bool flipy) {
    if (_surface == nullptr)
        return;
    RenderDevice::setBlending(true);
    GenericBlit(truncToLong(x1), truncToLong(y1), truncToLong(x2), truncToLong(y2), destX, destY, flipx,
                flipy);
}

void KGraphicD3D::GenericBlit(long x1, long y1, long x2, long y2, float destX, float destY, bool flipx,
                              bool flipy) {
    if (surfaceLost() && !reloadSurface())
        return; // the picture could not be rebuilt: nothing to show
    if (_surface == nullptr || _ftextureWIDTH <= 0 || _ftextureHEIGHT <= 0)
        return;
    RenderDevice::setAddress(_textureWrapD3D);
    RenderDevice::setFilter(_textureQualityD3D);
    RenderDevice::setBlendFactors(_sourceAlpha, _destAlpha);
    zyk_bindTexture();

    uint32_t color;
    if (!_blitColorChanged)
        color = argb(lowByte(_blend * 255.0f), 255, 255, 255);
    else
        color = argb(lowByte(_blend * _blitAlpha * 255.0f), lowByte(_blitRed * 255.0f),
                     lowByte(_blitGreen * 255.0f), lowByte(_blitBlue * 255.0f));

    const D3DMATRIX &kept = RenderDevice::world();
    if (blitsFrame != RenderDevice::frameNumber()) {
        blitsFrame = RenderDevice::frameNumber();
        nextBlit = 0;
    }
    RememberedBlit *remembered = nullptr;
    BlitInputs inputs;
    if (nextBlit < kRememberedBlits) {
        std::memset(&inputs, 0, sizeof inputs);
        inputs.world = kept;
        inputs.projection = RenderDevice::projection();
        inputs.x1 = x1;
        inputs.y1 = y1;
        inputs.x2 = x2;
        inputs.y2 = y2;
        inputs.destX = destX;
        inputs.destY = destY;
        inputs.textureWidth = _ftextureWIDTH;
        inputs.textureHeight = _ftextureHEIGHT;
        inputs.color = color;
        inputs.viewportWidth = RenderDevice::viewportWidth();
        inputs.viewportHeight = RenderDevice::viewportHeight();
        inputs.flipX = flipx;
        inputs.flipY = flipy;
        inputs.textureBound = RenderDevice::boundTexture() != nullptr;
        if (nextBlit == rememberedBlits.size())
            rememberedBlits.emplace_back().inputs.forgotten = 1;
        remembered = &rememberedBlits[nextBlit++];
        if (std::memcmp(&remembered->inputs, &inputs, sizeof inputs) == 0) {
            RenderDevice::addPlacedQuad(remembered->placed);
            return;
        }
    }

    const D3DMATRIX world = kept;
    D3DMATRIX offset;
    translate(offset, destX - 0.5f, -destY + 0.5f, 0.0f);
    RenderDevice::setWorld(multiply(world, offset));

    const float w = static_cast<float>(x2 - x1), h = static_cast<float>(y2 - y1);
    const float uLeft = x1 / _ftextureWIDTH, uRight = x2 / _ftextureWIDTH;
    const float vTop = y1 / _ftextureHEIGHT, vBottom = y2 / _ftextureHEIGHT;
    const float u0 = flipx ? uRight : uLeft, u1 = flipx ? uLeft : uRight;
    const float v0 = flipy ? vBottom : vTop, v1 = flipy ? vTop : vBottom;
    const platform::Vertex corners[4] = {
        {0.0f, 0.0f, 0.0f, color, u0, v0},
        {w, 0.0f, 0.0f, color, u1, v0},
        {0.0f, -h, 0.0f, color, u0, v1},
        {w, -h, 0.0f, color, u1, v1},
    };
    SDL_Vertex placed[4];
    if (RenderDevice::placeQuad(corners, placed)) {
        RenderDevice::addPlacedQuad(placed);
        if (remembered != nullptr) {
            remembered->inputs = inputs;
            std::memcpy(remembered->placed, placed, sizeof placed);
        }
    } else {
        RenderDevice::drawQuad(corners);
        if (remembered != nullptr)
            remembered->inputs.forgotten = 1;
    }
    RenderDevice::setWorld(world);
}

void KGraphicD3D::blitAlphaRectFx(float x1, float y1, float x2, float y2, short destX, short destY,
                                  float angle, float zoom, float blend, bool flipx, bool flipy) {
    if (!(blend > 0.0f) || _surface == nullptr || zoom == 0.0f)
        return;
    const float middlesizeX = (x2 - x1) / 2.0f, middlesizeY = (y2 - y1) / 2.0f;

    const D3DMATRIX kept = RenderDevice::world();
    D3DMATRIX centre, turn, zoomed;
    translate(centre, -middlesizeX, middlesizeY, 0.0f);
    rotatez(turn, angle);
    scale(zoomed, zoom, zoom, 0.0f);
    RenderDevice::setWorld(multiply(multiply(multiply(centre, turn), zoomed), kept));

    _blend = blend;
    blitAlphaRect(x1, y1, x2, y2, truncToShort(destX + middlesizeX), truncToShort(destY + middlesizeY), flipx,
                  flipy);
    _blend = 1.0f;
    RenderDevice::setWorld(kept);
}

void KGraphicD3D::setBlitColor(float r, float g, float b, float a) {
    if (r == 1.0f && g == 1.0f && b == 1.0f && a == 1.0f) {
        _blitColorChanged = false;
        return;
    }
    auto clamp01 = [](float v) { return v > 1.0f ? 1.0f : (v >= 0.0f ? v : 0.0f); }; // NaN becomes 0
    _blitRed = clamp01(r);
    _blitGreen = clamp01(g);
    _blitBlue = clamp01(b);
    _blitAlpha = clamp01(a);
    _blitColorChanged = true;
}

void KGraphicD3D::drawRect(float x1, float y1, float x2, float y2, float r, float g, float b, float blend) {
    if (_d3d == nullptr)
        return;
    RenderDevice::setBlending(true);
    const uint32_t color =
        argb(lowByte(blend * 255.0f), lowByte(r * 255.0f), lowByte(g * 255.0f), lowByte(b * 255.0f));
    RenderDevice::bindTexture(nullptr);
    _oldBindedText = nullptr;
    const platform::Vertex corners[6] = {
        {x1, -y1, 0.0f, color, 0.0f, 0.0f}, {x2, -y1, 0.0f, color, 0.0f, 0.0f},
        {x2, -y2, 0.0f, color, 0.0f, 0.0f}, {x2, -y2, 0.0f, color, 0.0f, 0.0f},
        {x1, -y2, 0.0f, color, 0.0f, 0.0f}, {x1, -y1, 0.0f, color, 0.0f, 0.0f},
    };
    RenderDevice::drawTriangles(corners, 6);
}
