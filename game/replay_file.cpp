#include "game/replay_file.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace replay {

namespace {

constexpr std::array<uint8_t, 4> kMark = {'Q', 'R', 'P', 'Y'};
// mark, format, rules, mode, difficulty, unit score, seed, frames, final score, result, runs
constexpr size_t kHeaderBytes = 4 + 2 + 2 + 1 + 1 + 2 + 4 + 4 + 4 + 4 + 4;

// The first byte of a run: its button and keys, and whether the pointer moved from the run before.
enum : uint8_t {
    kLeftButton = 1 << 0,
    kKeyP = 1 << 1,
    kKeyF1 = 1 << 2,
    kKeyEscape = 1 << 3,
    kPointerMoved = 1 << 4,
    kWorthAPlace = 1 << 5,
    kKnownBits = (1 << 6) - 1,
};

class Writer {
public:
    void u8(uint8_t value) { bytes_.push_back(value); }
    void u16(uint16_t value) { little(value, 2); }
    void u32(uint32_t value) { little(value, 4); }
    // Seven bits a byte, the lowest first; the high bit says another byte follows.
    void varint(uint32_t value) {
        while (value >= 0x80) {
            bytes_.push_back(static_cast<uint8_t>(value | 0x80));
            value >>= 7;
        }
        bytes_.push_back(static_cast<uint8_t>(value));
    }
    // A signed step as an unsigned number: 0, -1, 1, -2, 2...
    void step(int32_t value) {
        varint(value < 0 ? (static_cast<uint32_t>(-(value + 1)) << 1) | 1u
                         : static_cast<uint32_t>(value) << 1);
    }
    std::vector<uint8_t> take() { return std::move(bytes_); }

private:
    void little(uint32_t value, int count) {
        for (int i = 0; i < count; ++i)
            bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    std::vector<uint8_t> bytes_;
};

class Reader {
public:
    explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool u8(uint8_t &value) { return little(value); }
    bool u16(uint16_t &value) { return little(value); }
    bool u32(uint32_t &value) { return little(value); }
    bool varint(uint32_t &value) {
        value = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            if (at_ >= bytes_.size())
                return false;
            const uint8_t byte = bytes_[at_++];
            // The fifth byte may only carry the top four bits of a 32-bit number.
            if (shift == 28 && byte > 0x0f)
                return false;
            value |= static_cast<uint32_t>(byte & 0x7f) << shift;
            if (!(byte & 0x80))
                return true;
        }
        return false;
    }
    bool step(int32_t &value) {
        uint32_t coded = 0;
        if (!varint(coded))
            return false;
        value = (coded & 1u) ? -static_cast<int32_t>(coded >> 1) - 1 : static_cast<int32_t>(coded >> 1);
        return true;
    }
    bool atEnd() const { return at_ == bytes_.size(); }
    size_t left() const { return bytes_.size() - at_; }

private:
    template <typename T> bool little(T &value) {
        if (bytes_.size() - at_ < sizeof(T))
            return false;
        uint32_t gathered = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            gathered |= static_cast<uint32_t>(bytes_[at_ + i]) << (8 * i);
        at_ += sizeof(T);
        value = static_cast<T>(gathered);
        return true;
    }
    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
};

uint8_t flagsOf(const FrameRecord &frame) {
    return static_cast<uint8_t>((frame.leftButton ? kLeftButton : 0) | (frame.keyP ? kKeyP : 0) |
                                (frame.keyF1 ? kKeyF1 : 0) | (frame.keyEscape ? kKeyEscape : 0) |
                                (frame.worthAPlace ? kWorthAPlace : 0));
}

bool refuse(std::string &why, std::string reason) {
    why = std::move(reason);
    return false;
}

} // namespace

std::vector<uint8_t> encode(const Replay &replay) {
    // The runs first: the header counts them.
    Writer runs;
    uint32_t runCount = 0;
    FrameRecord last; // the pointer starts at the picture's corner
    for (size_t i = 0; i < replay.frames.size();) {
        const FrameRecord &frame = replay.frames[i];
        size_t end = i + 1;
        while (end < replay.frames.size() && replay.frames[end] == frame)
            ++end;
        const bool moved = frame.mouseX != last.mouseX || frame.mouseY != last.mouseY;
        runs.u8(static_cast<uint8_t>(flagsOf(frame) | (moved ? kPointerMoved : 0)));
        if (moved) {
            runs.step(frame.mouseX - last.mouseX);
            runs.step(frame.mouseY - last.mouseY);
        }
        runs.varint(static_cast<uint32_t>(end - i));
        ++runCount;
        last = frame;
        i = end;
    }
    const std::vector<uint8_t> body = runs.take();

    Writer file;
    for (uint8_t byte : kMark)
        file.u8(byte);
    const Header &header = replay.header;
    file.u16(kFormatVersion);
    file.u16(header.rulesVersion);
    file.u8(header.gameMode);
    file.u8(header.difficulty);
    file.u16(header.unitScore);
    file.u32(header.randomSeed);
    file.u32(static_cast<uint32_t>(replay.frames.size()));
    file.u32(header.finalScore);
    file.u32(static_cast<uint32_t>(header.result));
    file.u32(runCount);
    std::vector<uint8_t> bytes = file.take();
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

bool decode(std::span<const uint8_t> bytes, Replay &replay, std::string &why) {
    if (bytes.size() > kMaxFileBytes)
        return refuse(why, "the file is larger than " + std::to_string(kMaxFileBytes) + " bytes");
    if (bytes.size() < kHeaderBytes || std::memcmp(bytes.data(), kMark.data(), kMark.size()) != 0)
        return refuse(why, "not a Quorix replay");
    Reader in(bytes.subspan(kMark.size()));
    uint16_t format = 0;
    uint32_t frameCount = 0;
    uint32_t runCount = 0;
    uint32_t result = 0;
    Header header;
    in.u16(format);
    in.u16(header.rulesVersion);
    in.u8(header.gameMode);
    in.u8(header.difficulty);
    in.u16(header.unitScore);
    in.u32(header.randomSeed);
    in.u32(frameCount);
    in.u32(header.finalScore);
    in.u32(result);
    in.u32(runCount);
    header.result = static_cast<int32_t>(result);
    if (format != kFormatVersion)
        return refuse(why, "replay format " + std::to_string(format) + " is not " +
                               std::to_string(kFormatVersion));
    if (header.rulesVersion != kRulesVersion)
        return refuse(why, "the game was played by rules " + std::to_string(header.rulesVersion) +
                               ", these are rules " + std::to_string(kRulesVersion));
    if (header.gameMode > 3 || header.difficulty > 3)
        return refuse(why, "no such mode or difficulty");
    if (header.unitScore != (header.gameMode == 2 ? 100 : 1))
        return refuse(why, "the unit score does not fit the mode");
    if (frameCount == 0 || frameCount > kMaxFrames)
        return refuse(why, std::to_string(frameCount) + " frames is not a game's length");
    // Every run takes two bytes at the least: a count of runs the file cannot hold is a lie.
    if (runCount == 0 || runCount > frameCount || runCount > in.left() / 2)
        return refuse(why, "the count of runs does not fit the file");

    std::vector<FrameRecord> frames;
    frames.reserve(frameCount);
    FrameRecord frame;
    for (uint32_t run = 0; run < runCount; ++run) {
        const std::string where = "frame " + std::to_string(frames.size()) + ": ";
        uint8_t flags = 0;
        if (!in.u8(flags))
            return refuse(why, where + "the file ends inside a run");
        if (flags & ~kKnownBits)
            return refuse(why, where + "unknown input");
        if (flags & kPointerMoved) {
            int32_t dx = 0;
            int32_t dy = 0;
            if (!in.step(dx) || !in.step(dy))
                return refuse(why, where + "the file ends inside a run");
            const int64_t x = int64_t{frame.mouseX} + dx;
            const int64_t y = int64_t{frame.mouseY} + dy;
            if (x < 0 || x >= kPictureWidth || y < 0 || y >= kPictureHeight)
                return refuse(why, where + "the pointer leaves the picture");
            frame.mouseX = static_cast<int16_t>(x);
            frame.mouseY = static_cast<int16_t>(y);
        }
        frame.leftButton = flags & kLeftButton;
        frame.keyP = flags & kKeyP;
        frame.keyF1 = flags & kKeyF1;
        frame.keyEscape = flags & kKeyEscape;
        frame.worthAPlace = flags & kWorthAPlace;
        uint32_t length = 0;
        if (!in.varint(length))
            return refuse(why, where + "the file ends inside a run");
        if (length == 0 || length > frameCount - frames.size())
            return refuse(why, where + "a run reaches past the last frame");
        frames.insert(frames.end(), length, frame);
    }
    if (frames.size() != frameCount)
        return refuse(why, "the runs hold " + std::to_string(frames.size()) + " of " +
                               std::to_string(frameCount) + " frames");
    if (!in.atEnd())
        return refuse(why, std::to_string(in.left()) + " bytes after the last frame");
    replay.header = header;
    replay.frames = std::move(frames);
    return true;
}

} // namespace replay
