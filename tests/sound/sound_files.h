// Sounds made on the spot for the sound tests and benchmarks: tones, WAV images, Ogg Vorbis
// encoding, a scratch folder, and measurements of mixed output.
#pragma once

#include "tests/support/temp_folder.h"
#include "tools/assetgen/ogg_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace soundtest {

// Interleaved samples in -1..1.
struct Pcm {
    int rate = 44100;
    int channels = 1;
    std::vector<float> samples;
    size_t frames() const { return samples.size() / channels; }
};

// A sine of the given frequency; the amplitude may change along the sound (envelope of the frame).
template <typename Envelope>
inline Pcm tone(int rate, int channels, double seconds, double frequency, Envelope amplitude) {
    Pcm pcm;
    pcm.rate = rate;
    pcm.channels = channels;
    size_t frames = static_cast<size_t>(seconds * rate);
    pcm.samples.resize(frames * channels);
    for (size_t f = 0; f < frames; ++f) {
        double value = amplitude(f) * std::sin(2.0 * M_PI * frequency * static_cast<double>(f) / rate);
        for (int c = 0; c < channels; ++c)
            pcm.samples[f * channels + c] = static_cast<float>(value);
    }
    return pcm;
}

inline Pcm tone(int rate, int channels, double seconds, double frequency, double amplitude) {
    return tone(rate, channels, seconds, frequency, [amplitude](size_t) { return amplitude; });
}

inline void putLe(std::vector<uint8_t> &out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline std::vector<uint8_t> pcmBytes(const Pcm &pcm, int bits) {
    std::vector<uint8_t> out;
    for (float s : pcm.samples) {
        if (bits == 8) {
            out.push_back(static_cast<uint8_t>(std::lround(128.0 + std::clamp(s, -1.0f, 1.0f) * 127.0)));
        } else {
            long v = std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0);
            putLe(out, static_cast<uint32_t>(static_cast<int16_t>(v)) & 0xffff, 2);
        }
    }
    return out;
}

// A canonical RIFF/WAVE image: "fmt " (16 bytes) then "data".
inline std::vector<uint8_t> wavImage(const Pcm &pcm, int bits) {
    std::vector<uint8_t> data = pcmBytes(pcm, bits);
    std::vector<uint8_t> out;
    int block = pcm.channels * bits / 8;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    putLe(out, static_cast<uint32_t>(36 + data.size()), 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    putLe(out, 16, 4);
    putLe(out, 1, 2);
    putLe(out, pcm.channels, 2);
    putLe(out, pcm.rate, 4);
    putLe(out, pcm.rate * block, 4);
    putLe(out, block, 2);
    putLe(out, bits, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    putLe(out, static_cast<uint32_t>(data.size()), 4);
    out.insert(out.end(), data.begin(), data.end());
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

// Stereo output of the mixer, interleaved.
struct Output {
    std::vector<int16_t> samples;
    size_t frames() const { return samples.size() / 2; }
};

// RMS of one channel (0 left, 1 right) over frames [from, to), relative to full scale.
inline double rms(const Output &out, int channel, size_t from, size_t to) {
    double sum = 0;
    to = std::min(to, out.frames());
    if (to <= from)
        return 0;
    for (size_t f = from; f < to; ++f) {
        double v = out.samples[f * 2 + channel] / 32768.0;
        sum += v * v;
    }
    return std::sqrt(sum / static_cast<double>(to - from));
}

inline double decibels(double ratio) {
    return 20.0 * std::log10(ratio);
}

} // namespace soundtest
