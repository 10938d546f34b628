#include "data_files.h"

#include <vorbis/vorbisfile.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace datatest {

namespace {

uint32_t le16(const std::vector<uint8_t> &d, size_t at) {
    return d[at] | (d[at + 1] << 8);
}
uint32_t le32(const std::vector<uint8_t> &d, size_t at) {
    return le16(d, at) | (le16(d, at + 2) << 16);
}

} // namespace

std::filesystem::path dataDir() {
    return QUORIX_DATA_DIR;
}

std::vector<uint8_t> readBytes(const std::filesystem::path &path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::optional<Picture> readTga(const std::filesystem::path &path) {
    const std::vector<uint8_t> d = readBytes(path);
    if (d.size() < 18 || d[2] != 2 || d[1] != 0) {
        return std::nullopt;
    }
    const size_t idLength = d[0];
    const int width = static_cast<int>(le16(d, 12));
    const int height = static_cast<int>(le16(d, 14));
    const int bytesPerPixel = d[16] / 8;
    const bool topFirst = (d[17] & 0x20) != 0;
    if ((bytesPerPixel != 3 && bytesPerPixel != 4) || width == 0 || height == 0) {
        return std::nullopt;
    }
    const size_t start = 18 + idLength;
    if (d.size() < start + static_cast<size_t>(width) * height * bytesPerPixel) {
        return std::nullopt;
    }
    Picture p{width, height, std::vector<Pixel>(static_cast<size_t>(width) * height)};
    for (int row = 0; row < height; ++row) {
        const int y = topFirst ? row : height - 1 - row;
        for (int x = 0; x < width; ++x) {
            const size_t at = start + (static_cast<size_t>(row) * width + x) * bytesPerPixel;
            p.pixels[static_cast<size_t>(y) * width + x] = {d[at + 2], d[at + 1], d[at],
                                                            bytesPerPixel == 4 ? d[at + 3] : uint8_t{255}};
        }
    }
    return p;
}

std::optional<Picture> readBmp(const std::filesystem::path &path) {
    const std::vector<uint8_t> d = readBytes(path);
    if (d.size() < 54 || d[0] != 'B' || d[1] != 'M' || le16(d, 28) != 24 || le32(d, 30) != 0) {
        return std::nullopt;
    }
    const size_t start = le32(d, 10);
    const int width = static_cast<int>(le32(d, 18));
    const int rawHeight = static_cast<int32_t>(le32(d, 22));
    const int height = std::abs(rawHeight);
    const size_t rowBytes = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    if (width <= 0 || height == 0 || d.size() < start + rowBytes * height) {
        return std::nullopt;
    }
    Picture p{width, height, std::vector<Pixel>(static_cast<size_t>(width) * height)};
    for (int row = 0; row < height; ++row) {
        const int y = rawHeight > 0 ? height - 1 - row : row;
        for (int x = 0; x < width; ++x) {
            const size_t at = start + row * rowBytes + static_cast<size_t>(x) * 3;
            p.pixels[static_cast<size_t>(y) * width + x] = {d[at + 2], d[at + 1], d[at], 255};
        }
    }
    return p;
}

std::optional<Audio> readWav(const std::filesystem::path &path) {
    const std::vector<uint8_t> d = readBytes(path);
    if (d.size() < 12 || std::memcmp(d.data(), "RIFF", 4) != 0 || std::memcmp(d.data() + 8, "WAVE", 4) != 0) {
        return std::nullopt;
    }
    Audio audio;
    int bits = 0;
    size_t at = 12;
    while (at + 8 <= d.size()) {
        const uint32_t size = le32(d, at + 4);
        const size_t body = at + 8;
        if (body + size > d.size()) {
            return std::nullopt;
        }
        if (std::memcmp(d.data() + at, "fmt ", 4) == 0 && size >= 16) {
            if (le16(d, body) != 1) {
                return std::nullopt; // not PCM
            }
            audio.channels = static_cast<int>(le16(d, body + 2));
            audio.rate = static_cast<int>(le32(d, body + 4));
            bits = static_cast<int>(le16(d, body + 14));
        } else if (std::memcmp(d.data() + at, "data", 4) == 0) {
            if (bits != 16 || audio.channels == 0) {
                return std::nullopt;
            }
            for (size_t i = 0; i + 1 < size; i += 2) {
                audio.samples.push_back(static_cast<int16_t>(le16(d, body + i)));
            }
            return audio;
        }
        at = body + size + (size & 1);
    }
    return std::nullopt;
}

std::optional<Audio> readOgg(const std::filesystem::path &path) {
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) {
        return std::nullopt;
    }
    const vorbis_info *info = ov_info(&file, -1);
    Audio audio;
    audio.channels = info->channels;
    audio.rate = static_cast<int>(info->rate);
    char buffer[16384];
    int section = 0;
    for (;;) {
        const long got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section);
        if (got < 0) {
            ov_clear(&file);
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        const size_t old = audio.samples.size();
        audio.samples.resize(old + static_cast<size_t>(got) / 2);
        std::memcpy(audio.samples.data() + old, buffer, static_cast<size_t>(got) / 2 * 2);
    }
    ov_clear(&file);
    return audio;
}

int differingPixels(const Picture &a, layout::Point atA, const Picture &b, layout::Point atB, int w, int h,
                    int tolerance) {
    int count = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Pixel &p = a.at(atA.x + x, atA.y + y);
            const Pixel &q = b.at(atB.x + x, atB.y + y);
            if (std::abs(p.r - q.r) > tolerance || std::abs(p.g - q.g) > tolerance ||
                std::abs(p.b - q.b) > tolerance || std::abs(p.a - q.a) > tolerance) {
                ++count;
            }
        }
    }
    return count;
}

} // namespace datatest
