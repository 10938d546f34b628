// KGraphicD3D: one picture loaded into a texture, and the drawing of rectangles of it (plain,
// alpha-blended, turned and zoomed) through the game window's view.
#pragma once

#include "platform/matrices.h"
#include "platform/render_device.h"

#include <SDL.h>

#include <climits>

// Blend factors, filters and addressing modes, numbered as the device takes them.
enum _D3DBLEND {
    D3DBLEND_ZERO = 1,
    D3DBLEND_ONE = 2,
    D3DBLEND_SRCCOLOR = 3,
    D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5,
    D3DBLEND_INVSRCALPHA = 6,
    D3DBLEND_DESTALPHA = 7,
    D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9,
    D3DBLEND_INVDESTCOLOR = 10,
};
enum _D3DTEXTUREMAGFILTER { D3DTFG_POINT = 1, D3DTFG_LINEAR = 2 };
enum _D3DTEXTUREADDRESS { D3DTADDRESS_WRAP = 1, D3DTADDRESS_CLAMP = 3 };

class KGraphicD3D {
public:
    KGraphicD3D();
    ~KGraphicD3D();
    KGraphicD3D(const KGraphicD3D &) = delete;
    KGraphicD3D &operator=(const KGraphicD3D &) = delete;

    // Hands the device to every image; the window calls this once its back buffer exists.
    static void setDirectX(void *dd7, void *d3dPtr, SDL_Texture *backbuffer, long width, long height);

    // Loads a picture; the type comes from ".tga", ".jpg", ".bmp", ".png", ".pcx" or ".tif" in the
    // name (case-sensitive, the last in that order wins). hidef keeps 32 bits per texel; otherwise the
    // channels are reduced as a 16-bit texture would (4444 with alpha, 555 without).
    bool loadPicture(const char *filename, bool hidef, bool hasAlpha);
    void freePicture();
    long getWidth();
    long getHeight();
    void setTextureQuality(bool highquality);
    void allowTextureWrap(bool texwRap);
    // true: ordinary transparency; false: the picture, weighted by its alpha, is added.
    void setAlphaMode(bool alphaMode);
    // Copies the back buffer's current picture into this image.
    bool grabBackBuffer();

    void blitRect(float x1, float y1, float x2, float y2, short destX, short destY, bool flipx = false,
                  bool flipy = false);
    void blitAlphaRect(float x1, float y1, float x2, float y2, short destX, short destY, bool flipx = false,
                       bool flipy = false);
    void blitAlphaRectFx(float x1, float y1, float x2, float y2, short destX, short destY, float angle,
                         float zoom, float blend, bool flipx = false, bool flipy = false);
    void GenericBlit(long x1, long y1, long x2, long y2, float destX, float destY, bool flipx, bool flipy);
    void setBlitColor(float r, float g, float b, float a);
    void drawRect(float x1, float y1, float x2, float y2, float r, float g, float b, float blend);

    // Fields in the order the game knows them.
    char imageFileName[PATH_MAX];
    _D3DBLEND _sourceAlpha;
    _D3DBLEND _destAlpha;
    SDL_Texture *_surface;
    bool _blitColorChanged;
    float _blitRed, _blitGreen, _blitBlue, _blitAlpha;
    float _blend;
    _D3DTEXTUREMAGFILTER _textureQualityD3D;
    _D3DTEXTUREADDRESS _textureWrapD3D;
    bool _hidef;
    bool _hasAlpha;
    float _ftextureWIDTH, _ftextureHEIGHT;
    float fimageHeight, fimageWidth;
    bool _ckActive;
    bool _textureWrap;
    bool _textureQuality;
    unsigned char _ckr, _ckg, _ckb;
    // The device generation the texture was made in: an older one means the texture was lost.
    unsigned _surfaceGeneration;

    // Shared by every image.
    static void *_directX;
    static void *_d3d;
    static SDL_Texture *_backBuffer;
    static SDL_Texture *_oldBindedText;
    static int _screenWidth, _screenHeight;

private:
    bool loadPicture32(const char *filename, bool hidef, bool hasAlpha);
    bool loadPicture16(const char *filename, bool hidef, bool hasAlpha);
    bool loadCommon(const char *filename, bool sixteenBits, bool hasAlpha);
    bool reloadSurface();
    void zyk_bindTexture();
    bool surfaceLost() const;
};

// The 16-bit texel layouts, and how a texel of each reads back as 32 bits (each channel's bits
// repeated to fill eight, as the display device expands them).
uint16_t packTexel4444(uint8_t a, uint8_t r, uint8_t g, uint8_t b);
uint16_t packTexel555(uint8_t r, uint8_t g, uint8_t b);
uint32_t expandTexel4444(uint16_t texel);
uint32_t expandTexel555(uint16_t texel);
