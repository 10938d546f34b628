#include "data_files.h"

#include <vorbis/vorbisfile.h>

#include "platform/image_decoder.h"

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

namespace {

std::optional<Picture> decoded(const std::filesystem::path &path, const char *type) {
    platform::DecodedImage image;
    if (!platform::decodeImageFile(path.c_str(), type, image))
        return std::nullopt;
    return Picture{image.width, image.height, std::move(image.argb)};
}

} // namespace

std::optional<Picture> readTga(const std::filesystem::path &path) {
    return decoded(path, "TGA");
}

std::optional<Picture> readBmp(const std::filesystem::path &path) {
    return decoded(path, "BMP");
}

std::optional<Audio> readWav(const std::filesystem::path &path) {
    const support::Bytes d = readBytes(path);
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
    return support::differingPixels(a, b, {atA.x, atA.y, atA.x + w, atA.y + h}, atB.x, atB.y, tolerance,
                                    true);
}

} // namespace datatest
