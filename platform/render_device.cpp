#include "platform/render_device.h"

#include "platform/display.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace platform {

FrameRecord RenderDevice::frame_;
FrameRecord RenderDevice::backBuffer_;
bool RenderDevice::backBufferKnown_ = false;
SDL_BlendMode RenderDevice::factorsBlendMode_ = RenderDevice::blendModeFor(kBlendSrcAlpha, kBlendInvSrcAlpha);

namespace {

// Every texture made here carries a serial number of its own, so that a picture is never mistaken
// for another one that happens to get the same address after the first was freed.
uint64_t nextTextureSerial = 1;

// An ARGB colour as the renderer's red, green, blue and alpha bytes.
SDL_Color colorOf(uint32_t argb) {
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
    // One word: the red and blue bytes change places.
    const uint32_t rgba = (argb & 0xff00ff00u) | ((argb >> 16) & 0xffu) | ((argb & 0xffu) << 16);
    SDL_Color color;
    std::memcpy(&color, &rgba, sizeof color);
    return color;
#else
    return SDL_Color{static_cast<Uint8>(argb >> 16), static_cast<Uint8>(argb >> 8), static_cast<Uint8>(argb),
                     static_cast<Uint8>(argb >> 24)};
#endif
}

uint64_t serialOf(SDL_Texture *texture) {
    return texture == nullptr ? 0 : reinterpret_cast<uintptr_t>(SDL_GetTextureUserData(texture));
}

} // namespace

bool DrawCommand::drawsLike(const DrawCommand &other) const {
    return kind == other.kind && textureSerial == other.textureSerial && blendMode == other.blendMode &&
           scaleMode == other.scaleMode && clearColor == other.clearColor &&
           vertexCount == other.vertexCount && indexCount == other.indexCount;
}

bool FrameRecord::drawsLike(const FrameRecord &other) const {
    if (commands.size() != other.commands.size() || vertices.size() != other.vertices.size() ||
        indices != other.indices)
        return false;
    for (size_t i = 0; i < commands.size(); ++i)
        if (!commands[i].drawsLike(other.commands[i]))
            return false;
    static_assert(sizeof(SDL_Vertex) == 5 * sizeof(float), "vertices are compared as bytes");
    return vertices.empty() ||
           std::memcmp(vertices.data(), other.vertices.data(), vertices.size() * sizeof(SDL_Vertex)) == 0;
}

void FrameRecord::clear() {
    commands.clear();
    vertices.clear();
    indices.clear();
    coversBackBuffer = false;
    unknownTexture = false;
    executed = 0;
}

void RenderDevice::reset(int viewportWidth, int viewportHeight) {
    frame_.clear();
    backBuffer_.clear();
    backBufferKnown_ = false;
    viewportWidth_ = viewportWidth;
    viewportHeight_ = viewportHeight;
    identity(world_);
    identity(projection_);
    blending_ = false;
    sourceBlend_ = kBlendSrcAlpha;
    destinationBlend_ = kBlendInvSrcAlpha;
    factorsBlendMode_ = blendModeFor(sourceBlend_, destinationBlend_);
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
    SDL_SetTextureUserData(texture, reinterpret_cast<void *>(static_cast<uintptr_t>(nextTextureSerial++)));
    return texture;
}

void RenderDevice::destroyTexture(SDL_Texture *texture) {
    if (texture == nullptr)
        return;
    // Draws recorded with it must reach the renderer while it exists.
    for (size_t i = frame_.executed; i < frame_.commands.size(); ++i) {
        if (frame_.commands[i].texture == texture) {
            flush();
            break;
        }
    }
    if (bound_ == texture)
        bound_ = nullptr;
    SDL_DestroyTexture(texture);
}

void RenderDevice::setBlendFactors(int source, int destination) {
    if (source == sourceBlend_ && destination == destinationBlend_)
        return; // every blit sets them, nearly always to what they were
    sourceBlend_ = source;
    destinationBlend_ = destination;
    factorsBlendMode_ = blendModeFor(source, destination);
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

SDL_BlendMode RenderDevice::blendModeFor(int source, int destination) {
    return SDL_ComposeCustomBlendMode(toSdlFactor(source), toSdlFactor(destination), SDL_BLENDOPERATION_ADD,
                                      SDL_BLENDFACTOR_ONE, SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA,
                                      SDL_BLENDOPERATION_ADD);
}

SDL_BlendMode RenderDevice::currentBlendMode() {
    return blending_ ? factorsBlendMode_ : SDL_BLENDMODE_NONE;
}

// An axis-aligned quad (corners top-left, top-right, bottom-left, bottom-right) over every pixel
// centre of the back buffer.
bool RenderDevice::coversBackBuffer(const SDL_Vertex *quad) {
    const SDL_FPoint &tl = quad[0].position, &tr = quad[1].position, &bl = quad[2].position,
                     &br = quad[3].position;
    if (tl.y != tr.y || bl.y != br.y || tl.x != bl.x || tr.x != br.x)
        return false;
    const float left = std::min(tl.x, tr.x), right = std::max(tl.x, tr.x);
    const float top = std::min(tl.y, bl.y), bottom = std::max(tl.y, bl.y);
    return left < 0.5f && top < 0.5f && right > viewportWidth_ - 0.5f && bottom > viewportHeight_ - 0.5f;
}

bool RenderDevice::toScreen(const Vertex *vertices, int count, SDL_Vertex *out) {
    const D3DMATRIX transform = multiply(world_, projection_);
    const float halfWidth = viewportWidth_ / 2.0f, halfHeight = viewportHeight_ / 2.0f;
    for (int i = 0; i < count; ++i) {
        const Vertex &v = vertices[i];
        float p[4];
        transformPoint(transform, v.x, v.y, v.z, p);
        float w = p[3] != 0.0f ? p[3] : 1.0f;
        // Viewport mapping with pixel centres on whole numbers, then SDL's half-pixel offset.
        out[i].position.x = (p[0] / w + 1.0f) * halfWidth + 0.5f;
        out[i].position.y = (1.0f - p[1] / w) * halfHeight + 0.5f;
        out[i].color = colorOf(v.color);
        out[i].tex_coord = SDL_FPoint{v.tu, v.tv};
        // A position beyond any float (an absurd zoom, say) cannot be rasterised: draw nothing.
        if (!std::isfinite(out[i].position.x) || !std::isfinite(out[i].position.y))
            return false;
    }
    return true;
}

void RenderDevice::append(const SDL_Vertex *out, int vertexCount, const int *indices, int indexCount) {
    const SDL_BlendMode mode = currentBlendMode();
    const SDL_ScaleMode scaleMode = filter_ == kFilterLinear ? SDL_ScaleModeLinear : SDL_ScaleModeNearest;
    DrawCommand *last = frame_.commands.size() > frame_.executed ? &frame_.commands.back() : nullptr;
    const bool sameState = last != nullptr && last->kind == DrawCommand::Kind::Triangles &&
                           last->texture == bound_ && last->blendMode == mode &&
                           (bound_ == nullptr || last->scaleMode == scaleMode) && last->vertexCount <= 4096;
    if (!sameState) {
        DrawCommand command;
        command.texture = bound_;
        command.textureSerial = serialOf(bound_);
        frame_.unknownTexture = frame_.unknownTexture || (bound_ != nullptr && command.textureSerial == 0);
        command.blendMode = mode;
        command.scaleMode = bound_ != nullptr ? scaleMode : SDL_ScaleModeNearest;
        command.firstVertex = static_cast<uint32_t>(frame_.vertices.size());
        command.firstIndex = static_cast<uint32_t>(frame_.indices.size());
        frame_.commands.push_back(command);
        last = &frame_.commands.back();
    }
    const int base = static_cast<int>(last->vertexCount);
    frame_.vertices.insert(frame_.vertices.end(), out, out + vertexCount);
    last->vertexCount += static_cast<uint32_t>(vertexCount);
    int corners[8];
    int cornerCount = 0;
    if (indices == nullptr) {
        for (int i = 0; i < vertexCount; ++i)
            corners[cornerCount++] = base + i;
    } else {
        // The callers' index lists are constants that name vertices of the list they come with.
        for (int i = 0; i < indexCount && i < 8; ++i)
            corners[cornerCount++] = base + indices[i];
    }
    frame_.indices.insert(frame_.indices.end(), corners, corners + cornerCount);
    last->indexCount += static_cast<uint32_t>(cornerCount);
    if (mode == SDL_BLENDMODE_NONE && vertexCount == 4 && indexCount == 6 && coversBackBuffer(out))
        frame_.coversBackBuffer = true;
}

void RenderDevice::submit(const Vertex *vertices, const int *indices, int indexCount, int vertexCount) {
    if (Display::renderer() == nullptr || vertexCount <= 0 || vertexCount > 8)
        return; // quads and pairs of triangles only
    SDL_Vertex out[8];
    if (toScreen(vertices, vertexCount, out))
        append(out, vertexCount, indices, indexCount);
}

void RenderDevice::execute(const DrawCommand &command) {
    SDL_Renderer *renderer = Display::renderer();
    if (command.kind == DrawCommand::Kind::Clear) {
        const uint32_t argb = command.clearColor;
        SDL_SetRenderDrawColor(renderer, static_cast<Uint8>(argb >> 16), static_cast<Uint8>(argb >> 8),
                               static_cast<Uint8>(argb), static_cast<Uint8>(argb >> 24));
        SDL_RenderClear(renderer);
        return;
    }
    if (command.indexCount == 0)
        return;
    if (command.texture != nullptr) {
        SDL_ScaleMode current = SDL_ScaleModeNearest;
        SDL_GetTextureScaleMode(command.texture, &current);
        if (current != command.scaleMode) {
            // The renderer applies a scale mode at once, not in its queue: finish queued draws first.
            SDL_RenderFlush(renderer);
            SDL_SetTextureScaleMode(command.texture, command.scaleMode);
        }
        SDL_SetTextureBlendMode(command.texture, command.blendMode);
    } else {
        SDL_SetRenderDrawBlendMode(renderer, command.blendMode);
    }
    SDL_RenderGeometry(renderer, command.texture, frame_.vertices.data() + command.firstVertex,
                       static_cast<int>(command.vertexCount), frame_.indices.data() + command.firstIndex,
                       static_cast<int>(command.indexCount));
    ++drawCalls_;
}

void RenderDevice::flush() {
    if (Display::renderer() != nullptr)
        for (; frame_.executed < frame_.commands.size(); ++frame_.executed)
            execute(frame_.commands[frame_.executed]);
    frame_.executed = frame_.commands.size();
}

bool RenderDevice::frameRedrawsBackBuffer() {
    return backBufferKnown_ && frame_.executed == 0 && frame_.coversBackBuffer && !frame_.unknownTexture &&
           frame_.drawsLike(backBuffer_);
}

namespace {

// Grows a box by one triangle's corners.
void addTriangle(const SDL_Vertex *vertices, const int *corners, float box[4]) {
    for (int i = 0; i < 3; ++i) {
        const SDL_FPoint &p = vertices[corners[i]].position;
        box[0] = std::min(box[0], p.x);
        box[1] = std::min(box[1], p.y);
        box[2] = std::max(box[2], p.x);
        box[3] = std::max(box[3], p.y);
    }
}

} // namespace

bool RenderDevice::changedArea(SDL_Rect &area) {
    const FrameRecord &now = frame_, &before = backBuffer_;
    if (!backBufferKnown_ || now.executed != 0 || !now.coversBackBuffer || now.unknownTexture ||
        now.commands.size() != before.commands.size() || now.vertices.size() != before.vertices.size() ||
        now.indices != before.indices)
        return false;
    float box[4] = {1e9f, 1e9f, -1e9f, -1e9f}; // left, top, right, bottom
    for (size_t c = 0; c < now.commands.size(); ++c) {
        const DrawCommand &command = now.commands[c];
        // Another texture or blending is no small change; a clear ignores clipping and so forbids it.
        if (!command.drawsLike(before.commands[c]) || command.kind == DrawCommand::Kind::Clear)
            return false;
        const SDL_Vertex *newVertices = now.vertices.data() + command.firstVertex;
        const SDL_Vertex *oldVertices = before.vertices.data() + command.firstVertex;
        const int *corners = now.indices.data() + command.firstIndex;
        for (uint32_t t = 0; t + 3 <= command.indexCount; t += 3) {
            bool same = true;
            for (int i = 0; i < 3; ++i)
                same = same && std::memcmp(&newVertices[corners[t + i]], &oldVertices[corners[t + i]],
                                           sizeof(SDL_Vertex)) == 0;
            if (!same) {
                addTriangle(newVertices, corners + t, box);
                addTriangle(oldVertices, corners + t, box);
            }
        }
    }
    if (box[0] > box[2])
        return false; // nothing differs: the frame is the back buffer's picture itself
    // Whole pixels, one more on each side, within the back buffer.
    const int left = std::max(0, static_cast<int>(std::floor(box[0])) - 1);
    const int top = std::max(0, static_cast<int>(std::floor(box[1])) - 1);
    const int right = std::min(viewportWidth_, static_cast<int>(std::ceil(box[2])) + 1);
    const int bottom = std::min(viewportHeight_, static_cast<int>(std::ceil(box[3])) + 1);
    if (right <= left || bottom <= top ||
        (right - left) * (bottom - top) * 2 > viewportWidth_ * viewportHeight_)
        return false;
    area = SDL_Rect{left, top, right - left, bottom - top};
    return true;
}

void RenderDevice::endFrame(bool draw) {
    ++frameNumber_;
    if (draw) {
        flush();
        std::swap(frame_, backBuffer_);
        backBufferKnown_ = backBuffer_.coversBackBuffer && !backBuffer_.unknownTexture;
    }
    frame_.clear();
}

void RenderDevice::forgetBackBuffer() {
    backBufferKnown_ = false;
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

// The two triangles of a quad given in strip order.
static const int kQuadIndices[6] = {0, 1, 3, 0, 3, 2};

bool RenderDevice::drawnWhole(const Vertex corners[4]) {
    auto inside = [](float value) { return value >= 0.0f && value <= 1.0f; };
    bool allInside = true;
    for (int i = 0; i < 4; ++i)
        allInside = allInside && inside(corners[i].tu) && inside(corners[i].tv);
    return bound_ == nullptr || allInside;
}

bool RenderDevice::placeQuad(const Vertex corners[4], SDL_Vertex placed[4]) {
    return Display::renderer() != nullptr && drawnWhole(corners) && toScreen(corners, 4, placed);
}

void RenderDevice::addPlacedQuad(const SDL_Vertex placed[4]) {
    if (Display::renderer() != nullptr)
        append(placed, 4, kQuadIndices, 6);
}

void RenderDevice::drawQuad(const Vertex corners[4]) {
    if (drawnWhole(corners)) {
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
    if (Display::renderer() == nullptr)
        return;
    DrawCommand command;
    command.kind = DrawCommand::Kind::Clear;
    command.clearColor = argb;
    command.firstVertex = static_cast<uint32_t>(frame_.vertices.size());
    command.firstIndex = static_cast<uint32_t>(frame_.indices.size());
    frame_.commands.push_back(command);
    frame_.coversBackBuffer = true;
}

} // namespace platform
