#include "platform/render_device.h"

#include "platform/display.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace platform {

RenderBatch RenderDevice::batch_;

void RenderDevice::reset(int viewportWidth, int viewportHeight) {
    batch_ = RenderBatch{};
    viewportWidth_ = viewportWidth;
    viewportHeight_ = viewportHeight;
    identity(world_);
    identity(projection_);
    blending_ = false;
    sourceBlend_ = kBlendSrcAlpha;
    destinationBlend_ = kBlendInvSrcAlpha;
    bound_ = nullptr;
    filter_ = kFilterPoint;
    address_ = kAddressClamp;
}

bool RenderDevice::ready() {
    return Display::isOpen();
}

SDL_Texture *RenderDevice::createTexture(int width, int height, const uint32_t *argb) {
    SDL_Renderer *renderer = Display::renderer();
    if (renderer == nullptr || width <= 0 || height <= 0 || argb == nullptr)
        return nullptr;
    SDL_Texture *texture =
        SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, width, height);
    if (texture == nullptr)
        return nullptr;
    if (SDL_UpdateTexture(texture, nullptr, argb, width * 4) != 0) {
        SDL_DestroyTexture(texture);
        return nullptr;
    }
    SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest);
    return texture;
}

void RenderDevice::destroyTexture(SDL_Texture *texture) {
    if (texture == nullptr)
        return;
    if (batch_.texture == texture)
        flush();
    if (bound_ == texture)
        bound_ = nullptr;
    SDL_DestroyTexture(texture);
}

void RenderDevice::setBlendFactors(int source, int destination) {
    sourceBlend_ = source;
    destinationBlend_ = destination;
}

static SDL_BlendFactor toSdlFactor(int factor) {
    switch (factor) {
    case kBlendZero:
        return SDL_BLENDFACTOR_ZERO;
    case kBlendOne:
        return SDL_BLENDFACTOR_ONE;
    case kBlendSrcColor:
        return SDL_BLENDFACTOR_SRC_COLOR;
    case kBlendInvSrcColor:
        return SDL_BLENDFACTOR_ONE_MINUS_SRC_COLOR;
    case kBlendSrcAlpha:
        return SDL_BLENDFACTOR_SRC_ALPHA;
    case kBlendInvSrcAlpha:
        return SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA;
    // The back buffer has no alpha channel of its own: its alpha reads as 1.
    case kBlendDestAlpha:
        return SDL_BLENDFACTOR_ONE;
    case kBlendInvDestAlpha:
        return SDL_BLENDFACTOR_ZERO;
    case kBlendDestColor:
        return SDL_BLENDFACTOR_DST_COLOR;
    case kBlendInvDestColor:
        return SDL_BLENDFACTOR_ONE_MINUS_DST_COLOR;
    default:
        return SDL_BLENDFACTOR_ONE;
    }
}

SDL_BlendMode RenderDevice::currentBlendMode() {
    if (!blending_)
        return SDL_BLENDMODE_NONE;
    return SDL_ComposeCustomBlendMode(toSdlFactor(sourceBlend_), toSdlFactor(destinationBlend_),
                                      SDL_BLENDOPERATION_ADD, SDL_BLENDFACTOR_ONE,
                                      SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA, SDL_BLENDOPERATION_ADD);
}

void RenderDevice::submit(const Vertex *vertices, const int *indices, int indexCount, int vertexCount) {
    SDL_Renderer *renderer = Display::renderer();
    if (renderer == nullptr || vertexCount <= 0)
        return;
    const D3DMATRIX transform = multiply(world_, projection_);
    const float halfWidth = viewportWidth_ / 2.0f, halfHeight = viewportHeight_ / 2.0f;

    SDL_Vertex out[8];
    if (vertexCount > 8)
        return; // quads and pairs of triangles only
    for (int i = 0; i < vertexCount; ++i) {
        const Vertex &v = vertices[i];
        float p[4];
        transformPoint(transform, v.x, v.y, v.z, p);
        float w = p[3] != 0.0f ? p[3] : 1.0f;
        // Viewport mapping with pixel centres on whole numbers, then SDL's half-pixel offset.
        out[i].position.x = (p[0] / w + 1.0f) * halfWidth + 0.5f;
        out[i].position.y = (1.0f - p[1] / w) * halfHeight + 0.5f;
        out[i].color = SDL_Color{static_cast<Uint8>(v.color >> 16), static_cast<Uint8>(v.color >> 8),
                                 static_cast<Uint8>(v.color), static_cast<Uint8>(v.color >> 24)};
        out[i].tex_coord = SDL_FPoint{v.tu, v.tv};
        // A position beyond any float (an absurd zoom, say) cannot be rasterised: draw nothing.
        if (!std::isfinite(out[i].position.x) || !std::isfinite(out[i].position.y))
            return;
    }

    const SDL_BlendMode mode = currentBlendMode();
    const SDL_ScaleMode scaleMode = filter_ == kFilterLinear ? SDL_ScaleModeLinear : SDL_ScaleModeNearest;
    const bool sameState = bound_ == batch_.texture && mode == batch_.blendMode &&
                           (bound_ == nullptr || scaleMode == batch_.scaleMode);
    if (!sameState || batch_.vertices.size() > 4096) {
        flush();
        batch_.texture = bound_;
        batch_.blendMode = mode;
        batch_.scaleMode = scaleMode;
        if (bound_ != nullptr) {
            SDL_ScaleMode current = SDL_ScaleModeNearest;
            SDL_GetTextureScaleMode(bound_, &current);
            if (current != scaleMode) {
                // The renderer applies a scale mode at once, not in its queue: finish queued draws first.
                SDL_RenderFlush(renderer);
                SDL_SetTextureScaleMode(bound_, scaleMode);
            }
        }
    }
    const int base = static_cast<int>(batch_.vertices.size());
    batch_.vertices.insert(batch_.vertices.end(), out, out + vertexCount);
    if (indices == nullptr) {
        for (int i = 0; i < vertexCount; ++i)
            batch_.indices.push_back(base + i);
    } else {
        for (int i = 0; i < indexCount; ++i)
            if (indices[i] >= 0 && indices[i] < vertexCount)
                batch_.indices.push_back(base + indices[i]);
    }
}

void RenderDevice::flush() {
    SDL_Renderer *renderer = Display::renderer();
    if (renderer != nullptr && !batch_.indices.empty()) {
        if (batch_.texture != nullptr)
            SDL_SetTextureBlendMode(batch_.texture, batch_.blendMode);
        else
            SDL_SetRenderDrawBlendMode(renderer, batch_.blendMode);
        SDL_RenderGeometry(renderer, batch_.texture, batch_.vertices.data(),
                           static_cast<int>(batch_.vertices.size()), batch_.indices.data(),
                           static_cast<int>(batch_.indices.size()));
        ++drawCalls_;
    }
    batch_.vertices.clear();
    batch_.indices.clear();
}

static Vertex pointOnQuad(const Vertex c[4], float s, float t, float u, float v) {
    Vertex out = c[0];
    out.x = c[0].x + s * (c[1].x - c[0].x) + t * (c[2].x - c[0].x);
    out.y = c[0].y + s * (c[1].y - c[0].y) + t * (c[2].y - c[0].y);
    out.z = c[0].z + s * (c[1].z - c[0].z) + t * (c[2].z - c[0].z);
    out.tu = u;
    out.tv = v;
    return out;
}

// Splits the range of a texture coordinate into pieces that each lie within one repeat of the
// texture: the cut points in quad parameter space and the coordinate shift of each piece.
struct Pieces {
    std::vector<float> cuts;   // parameter values, from 0 to 1
    std::vector<float> starts; // coordinate at the start of each piece, already shifted or clamped
    std::vector<float> ends;
};

static bool splitRange(float from, float to, int address, Pieces &out) {
    constexpr int kMaxPieces = 256;
    float low = std::min(from, to), high = std::max(from, to);
    std::vector<float> cuts{0.0f};
    if (high > low && address != kAddressWrap) {
        // Clamped: the texture itself, and the edge texels stretched on either side.
        for (float edge : {0.0f, 1.0f})
            if (edge > low && edge < high)
                cuts.push_back((edge - from) / (to - from));
    } else if (high > low) {
        // Counted in double: at large float values adding one would not move on.
        const double first = std::floor(static_cast<double>(low)) + 1.0;
        if (static_cast<double>(high) - first > kMaxPieces)
            return false; // hundreds of repeats: a damaged request, not a picture
        for (double k = first; k < high; k += 1.0)
            cuts.push_back(static_cast<float>((k - from) / (static_cast<double>(to) - from)));
    }
    cuts.push_back(1.0f);
    std::sort(cuts.begin(), cuts.end());
    out.cuts = cuts;
    for (size_t i = 0; i + 1 < cuts.size(); ++i) {
        float a = from + cuts[i] * (to - from), b = from + cuts[i + 1] * (to - from);
        float tile = std::floor((a + b) / 2.0f);
        if (address == kAddressWrap) {
            out.starts.push_back(std::clamp(a - tile, 0.0f, 1.0f));
            out.ends.push_back(std::clamp(b - tile, 0.0f, 1.0f));
        } else {
            out.starts.push_back(std::clamp(a, 0.0f, 1.0f));
            out.ends.push_back(std::clamp(b, 0.0f, 1.0f));
        }
    }
    return true;
}

void RenderDevice::drawQuad(const Vertex corners[4]) {
    static const int kQuadIndices[6] = {0, 1, 3, 0, 3, 2};
    auto inside = [](float value) { return value >= 0.0f && value <= 1.0f; };
    bool allInside = true;
    for (int i = 0; i < 4; ++i)
        allInside = allInside && inside(corners[i].tu) && inside(corners[i].tv);
    if (bound_ == nullptr || allInside) {
        submit(corners, kQuadIndices, 6, 4);
        return;
    }
    // The renderer only takes coordinates within the texture: cut the quad where the texture
    // repeats (or where clamping starts) and draw each piece with coordinates inside.
    Pieces across, down;
    if (!splitRange(corners[0].tu, corners[1].tu, address_, across) ||
        !splitRange(corners[0].tv, corners[2].tv, address_, down))
        return;
    for (size_t j = 0; j + 1 < down.cuts.size(); ++j) {
        for (size_t i = 0; i + 1 < across.cuts.size(); ++i) {
            float s0 = across.cuts[i], s1 = across.cuts[i + 1];
            float t0 = down.cuts[j], t1 = down.cuts[j + 1];
            if (s1 <= s0 || t1 <= t0)
                continue;
            Vertex piece[4] = {pointOnQuad(corners, s0, t0, across.starts[i], down.starts[j]),
                               pointOnQuad(corners, s1, t0, across.ends[i], down.starts[j]),
                               pointOnQuad(corners, s0, t1, across.starts[i], down.ends[j]),
                               pointOnQuad(corners, s1, t1, across.ends[i], down.ends[j])};
            submit(piece, kQuadIndices, 6, 4);
        }
    }
}

void RenderDevice::drawTriangles(const Vertex *vertices, int count) {
    if (vertices == nullptr)
        return;
    for (int first = 0; first + 3 <= count; first += 6)
        submit(vertices + first, nullptr, 0, std::min(6, (count - first) / 3 * 3));
}

void RenderDevice::clear(uint32_t argb) {
    SDL_Renderer *renderer = Display::renderer();
    if (renderer == nullptr)
        return;
    flush();
    SDL_SetRenderDrawColor(renderer, static_cast<Uint8>(argb >> 16), static_cast<Uint8>(argb >> 8),
                           static_cast<Uint8>(argb), static_cast<Uint8>(argb >> 24));
    SDL_RenderClear(renderer);
}

} // namespace platform
