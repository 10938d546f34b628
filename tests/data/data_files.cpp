#include "data_files.h"

#include <SDL.h>
#include <vorbis/vorbisfile.h>

#include <gtest/gtest.h>

#include <cstring>

#include "platform/image_decoder.h"

namespace datatest {

std::optional<Picture> readPicture(const std::filesystem::path &path) {
    platform::DecodedImage image;
    const std::string type = path.extension() == ".bmp" ? "BMP" : path.extension() == ".png" ? "PNG" : "TGA";
    if (!platform::decodeImageFile(path.c_str(), type.c_str(), image))
        return std::nullopt;
    return Picture{image.width, image.height, std::move(image.argb)};
}

Picture load(const std::filesystem::path &path) {
    auto picture = readPicture(path);
    EXPECT_TRUE(picture.has_value()) << path;
    return picture.value_or(Picture{});
}

std::optional<Audio> readAudio(const std::filesystem::path &path) {
    Audio audio;
    if (path.extension() == ".wav") {
        SDL_AudioSpec wav;
        Uint8 *buffer = nullptr;
        Uint32 length = 0;
        if (SDL_LoadWAV(path.c_str(), &wav, &buffer, &length) == nullptr)
            return std::nullopt;
        const bool pcm16 = wav.format == AUDIO_S16LSB;
        audio = {wav.channels, wav.freq, std::vector<int16_t>(length / 2)};
        std::memcpy(audio.samples.data(), buffer, length / 2 * 2);
        SDL_FreeWAV(buffer);
        return pcm16 ? std::optional(audio) : std::nullopt;
    }
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0)
        return std::nullopt;
    audio.channels = ov_info(&file, -1)->channels;
    audio.rate = static_cast<int>(ov_info(&file, -1)->rate);
    char buffer[16384];
    int section = 0;
    long got = 0;
    while ((got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section)) > 0) {
        const size_t old = audio.samples.size();
        audio.samples.resize(old + static_cast<size_t>(got) / 2);
        std::memcpy(audio.samples.data() + old, buffer, static_cast<size_t>(got) / 2 * 2);
    }
    ov_clear(&file);
    return got == 0 ? std::optional(audio) : std::nullopt;
}

int differingPixels(const Picture &a, layout::Point atA, const Picture &b, layout::Point atB, int w, int h,
                    int tolerance) {
    return support::differingPixels(a, b, {atA.x, atA.y, atA.x + w, atA.y + h}, atB.x, atB.y, tolerance,
                                    true);
}

int inkIn(const Picture &p, const layout::Rect &r) {
    int ink = 0;
    for (int y = r.y1; y < r.y2; ++y)
        for (int x = r.x1; x < r.x2; ++x)
            ink += p.pixel(x, y).a > 128 ? 1 : 0;
    return ink;
}

} // namespace datatest
