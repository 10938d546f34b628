// The drawing device under KGraphicD3D and KWindowD3D: a small state machine in the manner of a
// fixed-function 3D device (world and projection transforms, blending switch and factors, the bound
// texture, filter and addressing) drawn through SDL_RenderGeometry into the back buffer. Positions
// are transformed on the CPU; pixel centres lie on whole numbers as the game expects, and SDL's
// half-pixel offset is added at the end.
#pragma once

#include "framework/matrices.h"

#include <SDL.h>

#include <cstdint>
#include <vector>

namespace platform {

// Blend factors, numbered as the game's images store them.
enum BlendFactor : int {
    kBlendZero = 1,
    kBlendOne = 2,
    kBlendSrcColor = 3,
    kBlendInvSrcColor = 4,
    kBlendSrcAlpha = 5,
    kBlendInvSrcAlpha = 6,
    kBlendDestAlpha = 7,
    kBlendInvDestAlpha = 8,
    kBlendDestColor = 9,
    kBlendInvDestColor = 10,
};

enum FilterMode : int { kFilterPoint = 1, kFilterLinear = 2 };
enum AddressMode : int { kAddressWrap = 1, kAddressClamp = 3 };

// A vertex as the game builds it: world position (y up), ARGB colour, texture coordinates.
struct Vertex {
    float x, y, z;
    uint32_t color;
    float tu, tv;
};

// Draws waiting to be handed to the renderer, and the state they were gathered under.
struct RenderBatch {
    SDL_Texture *texture = nullptr;
    SDL_BlendMode blendMode = SDL_BLENDMODE_NONE;
    SDL_ScaleMode scaleMode = SDL_ScaleModeNearest;
    std::vector<SDL_Vertex> vertices;
    std::vector<int> indices;
};

class RenderDevice {
public:
    // Called when the back buffer exists; resets every state to its initial value.
    static void reset(int viewportWidth, int viewportHeight);
    static bool ready();

    // A static ARGB8888 texture filled from pixels (top row first); null when it cannot be made.
    static SDL_Texture *createTexture(int width, int height, const uint32_t *argb);
    static void destroyTexture(SDL_Texture *texture);

    static void setWorld(const D3DMATRIX &world) { world_ = world; }
    static const D3DMATRIX &world() { return world_; }
    static void setProjection(const D3DMATRIX &projection) { projection_ = projection; }
    static const D3DMATRIX &projection() { return projection_; }

    static void setBlending(bool enabled) { blending_ = enabled; }
    static bool blending() { return blending_; }
    static void setBlendFactors(int source, int destination);
    static int sourceBlend() { return sourceBlend_; }
    static int destinationBlend() { return destinationBlend_; }
    static void bindTexture(SDL_Texture *texture) { bound_ = texture; }
    static SDL_Texture *boundTexture() { return bound_; }
    static void setFilter(int filter) { filter_ = filter; }
    static void setAddress(int address) { address_ = address; }

    // Four vertices in strip order: top-left, top-right, bottom-left, bottom-right of a parallelogram
    // whose texture coordinates vary along its two sides. Coordinates beyond the texture repeat or
    // clamp as the addressing mode says.
    static void drawQuad(const Vertex corners[4]);
    // A list of triangles, three vertices each.
    static void drawTriangles(const Vertex *vertices, int count);
    // Fills the whole viewport with an ARGB colour, alpha included.
    static void clear(uint32_t argb);

    // Hands the draws gathered so far to the renderer. Runs by itself when the drawing state changes;
    // whoever reads, presents or clears the back buffer calls it first.
    static void flush();

    // Number of SDL geometry calls so far: consecutive draws with the same texture, blending and
    // filter go out as one.
    static uint64_t drawCalls() { return drawCalls_; }

private:
    static void submit(const Vertex *vertices, const int *indices, int indexCount, int vertexCount);
    static SDL_BlendMode currentBlendMode();

    static inline D3DMATRIX world_{};
    static inline D3DMATRIX projection_{};
    static inline int viewportWidth_ = 0, viewportHeight_ = 0;
    static inline bool blending_ = false;
    static inline int sourceBlend_ = kBlendSrcAlpha, destinationBlend_ = kBlendInvSrcAlpha;
    static inline SDL_Texture *bound_ = nullptr;
    static inline int filter_ = kFilterPoint;
    static inline int address_ = kAddressClamp;
    static inline uint64_t drawCalls_ = 0;

    static RenderBatch batch_;
};

} // namespace platform
