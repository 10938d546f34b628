// Sounds made on the spot for the sound tests and benchmarks: tones, WAV images, Ogg Vorbis encoding
// and a scratch folder.
#pragma once

#include "tests/support/temp_folder.h"
#include "tools/assetgen/ogg_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

namespace soundtest {

// Interleaved samples in -1..1.
struct Pcm {
    int rate = 44100;
    int channels = 1;
    std::vector<float> samples;
    size_t frames() const { return samples.size() / channels; }
};

// A sine of the given frequency, the same on every channel; its amplitude may follow the frame.
inline Pcm tone(int rate, int channels, double seconds, double frequency,
                std::function<double(size_t)> amplitude) {
    Pcm pcm{rate, channels, std::vector<float>(static_cast<size_t>(seconds * rate) * channels)};
    for (size_t i = 0; i < pcm.samples.size(); ++i)
        pcm.samples[i] = static_cast<float>(amplitude(i / channels) *
                                            std::sin(2.0 * M_PI * frequency * double(i / channels) / rate));
    return pcm;
}
inline Pcm tone(int rate, int channels, double seconds, double frequency, double amplitude) {
    return tone(rate, channels, seconds, frequency, [amplitude](size_t) { return amplitude; });
}

// A canonical RIFF/WAVE image of 8-bit or 16-bit samples: "fmt " (16 bytes) then "data".
inline std::vector<uint8_t> wavImage(const Pcm &pcm, int bits) {
    std::vector<uint8_t> out;
    const auto put = [&out](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    const uint32_t block = pcm.channels * bits / 8, size = static_cast<uint32_t>(pcm.frames() * block);
    out = {'R', 'I', 'F', 'F'};
    put(36 + size, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0});
    put(pcm.channels, 2);
    put(pcm.rate, 4);
    put(pcm.rate * block, 4);
    put(block, 2);
    put(bits, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put(size, 4);
    for (float s : pcm.samples) {
        const double v = std::clamp(s, -1.0f, 1.0f);
        put(bits == 8 ? uint32_t(std::lround(128.0 + v * 127.0)) : uint32_t(std::lround(v * 32767.0)),
            bits / 8);
    }
    return out;
}

// Encodes with the data generator's encoder at the given quality (-0.1 .. 1.0), in pages of about a
// kilobyte so that even a short sound spans several pages.
inline std::vector<uint8_t> oggImage(const Pcm &pcm, float quality = 0.6f) {
    assetgen::OggSettings settings;
    settings.rate = pcm.rate;
    settings.quality = quality;
    settings.serialNumber = 1234;
    settings.pageBytes = 1024;
    return assetgen::encodeOgg(pcm.samples, pcm.channels, settings);
}

// A scratch folder, removed with everything in it at the end.
using ScratchDir = support::TempFolder;

} // namespace soundtest
