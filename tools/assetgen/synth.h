// Building blocks for the game's sounds: oscillators, envelopes, filters and noise on float buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace assetgen {

inline constexpr int kSampleRate = 44100;

using Samples = std::vector<float>;

int secondsToSamples(double seconds);
double noteFrequency(int midiNote);

// Deterministic white noise in -1..1.
class Noise {
public:
    explicit Noise(uint32_t seed) : state_(seed | 1u) {}
    float next();

private:
    uint32_t state_;
};

// One-pole low-pass and high-pass filters.
class LowPass {
public:
    explicit LowPass(double cutoffHz) { setCutoff(cutoffHz); }
    void setCutoff(double cutoffHz);
    float process(float x);

private:
    double a_ = 0, y_ = 0;
};

class HighPass {
public:
    explicit HighPass(double cutoffHz) : low_(cutoffHz) {}
    float process(float x) { return x - low_.process(x); }

private:
    LowPass low_;
};

// Attack-decay envelope: rises linearly over `attack` seconds, then falls exponentially.
double pluck(double t, double attack, double decay);

// Short raised-cosine fades at both ends so a sound starts and stops at silence.
void fadeEdges(Samples &s, double fadeInSeconds, double fadeOutSeconds);
// Scales the buffer so its peak is `peak` (0..1).
void normalise(Samples &s, double peak);
// Adds `src` into `dst` at sample offset `at`, scaled, growing `dst` if needed.
void mixInto(Samples &dst, const Samples &src, size_t at, float gain);

} // namespace assetgen
