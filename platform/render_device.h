// The drawing device under KGraphicD3D and KWindowD3D: a small state machine in the manner of a
// fixed-function 3D device (world and projection transforms, blending switch and factors, the bound
// texture, filter and addressing) drawn through SDL_RenderGeometry into the back buffer. Positions
// are transformed on the CPU; pixel centres lie on whole numbers as the game expects, and SDL's
// half-pixel offset is added at the end.
//
// A frame's drawing is recorded first and handed to the renderer when the frame is shown (or earlier,
// when someone reads the back buffer or frees a texture it uses). A frame whose record equals the one
// of the picture in the back buffer would draw that very picture again, so it need not be drawn.
#pragma once

#include "platform/matrices.h"

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

// One step of a frame's drawing: a run of triangles drawn under one state, or a clear.
struct DrawCommand {
    enum class Kind : uint8_t { Triangles, Clear };
    Kind kind = Kind::Triangles;
    SDL_Texture *texture = nullptr;
    uint64_t textureSerial = 0; // what identifies the texture's picture; never reused
    SDL_BlendMode blendMode = SDL_BLENDMODE_NONE;
    SDL_ScaleMode scaleMode = SDL_ScaleModeNearest;
    uint32_t clearColor = 0; // ARGB
    uint32_t firstVertex = 0, vertexCount = 0;
    uint32_t firstIndex = 0, indexCount = 0; // indices count from the command's first vertex

    // Same picture: the texture pointer is left out, as a freed texture's address may come back.
    bool drawsLike(const DrawCommand &other) const;
};

// Everything a frame draws, in order.
struct FrameRecord {
    std::vector<DrawCommand> commands;
    std::vector<SDL_Vertex> vertices;
    std::vector<int> indices;
    // Some command paints every pixel of the back buffer without blending, so the picture owes
    // nothing to what the back buffer held before the frame.
    bool coversBackBuffer = false;
    // A texture of unknown origin was drawn: its picture cannot be told apart from another's.
    bool unknownTexture = false;
    size_t executed = 0; // commands already handed to the renderer

    // Would draw exactly the same picture.
    bool drawsLike(const FrameRecord &other) const;
    void clear();
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
    // drawQuad in two steps, so that a caller may keep the first step's result and add it again in a
    // later frame while nothing it depends on has changed (the corners, the world and projection
    // transforms and the viewport; the texture only in whether one is bound). The first step places
    // the corners in the back buffer; it fails when drawQuad would cut the quad where its texture
    // repeats, or draw nothing (a corner beyond any float): then call drawQuad. The second adds the
    // placed quad to the frame with the texture, blending and filter in force.
    static bool placeQuad(const Vertex corners[4], SDL_Vertex placed[4]);
    static void addPlacedQuad(const SDL_Vertex placed[4]);
    // A list of triangles, three vertices each.
    static void drawTriangles(const Vertex *vertices, int count);
    // Fills the whole viewport with an ARGB colour, alpha included.
    static void clear(uint32_t argb);

    // Hands the draws recorded so far to the renderer. Whoever reads or presents the back buffer calls
    // it first; freeing a texture that the record uses calls it too.
    static void flush();

    // True when the frame recorded since the last endFrame() would draw exactly the picture that the
    // back buffer already holds: the same commands with the same textures, vertices, blending and
    // filtering, covering the whole back buffer, and nothing handed to the renderer yet.
    static bool frameRedrawsBackBuffer();
    // When the frame differs from the back buffer's picture only in some of the same draws, moved or
    // changed (a clock's digits, a lit button): the rectangle of the back buffer those draws cover,
    // before and after. Drawing the whole frame clipped to it gives the frame's picture. False when the
    // frames differ in more than that, or the rectangle would be most of the back buffer.
    static bool changedArea(SDL_Rect &area);
    // Ends the frame: draws what is left of it (draw = true) or drops it, the back buffer already
    // holding its picture (draw = false).
    static void endFrame(bool draw);
    // The back buffer no longer holds the picture of the last frame drawn (it was lost or remade).
    static void forgetBackBuffer();

    // The blending of a blit with these factors, as the renderer takes it.
    static SDL_BlendMode blendModeFor(int source, int destination);

    // Number of SDL geometry calls so far: consecutive draws with the same texture, blending and
    // filter go out as one.
    static uint64_t drawCalls() { return drawCalls_; }
    // Counts the frames ended so far.
    static uint64_t frameNumber() { return frameNumber_; }
    static int viewportWidth() { return viewportWidth_; }
    static int viewportHeight() { return viewportHeight_; }

private:
    static void submit(const Vertex *vertices, const int *indices, int indexCount, int vertexCount);
    // The vertices' places in the back buffer; false when one lies beyond any float.
    static bool toScreen(const Vertex *vertices, int count, SDL_Vertex *out);
    // Adds placed vertices to the frame under the current state.
    static void append(const SDL_Vertex *out, int vertexCount, const int *indices, int indexCount);
    // Whether drawQuad draws the quad in one piece (its texture coordinates stay within the texture).
    static bool drawnWhole(const Vertex corners[4]);
    static SDL_BlendMode currentBlendMode();
    static void execute(const DrawCommand &command);
    static bool coversBackBuffer(const SDL_Vertex *quad);

    static inline D3DMATRIX world_{};
    static inline D3DMATRIX projection_{};
    static inline int viewportWidth_ = 0, viewportHeight_ = 0;
    static inline bool blending_ = false;
    static inline int sourceBlend_ = kBlendSrcAlpha, destinationBlend_ = kBlendInvSrcAlpha;
    static SDL_BlendMode factorsBlendMode_; // blendModeFor(the two above)
    static inline SDL_Texture *bound_ = nullptr;
    static inline int filter_ = kFilterPoint;
    static inline int address_ = kAddressClamp;
    static inline uint64_t drawCalls_ = 0;
    static inline uint64_t frameNumber_ = 0;

    static FrameRecord frame_;      // the frame being drawn
    static FrameRecord backBuffer_; // the last frame drawn: its picture is in the back buffer
    static bool backBufferKnown_;   // the back buffer holds backBuffer_'s picture and nothing else
};

} // namespace platform
