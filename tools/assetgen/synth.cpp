#include "tools/assetgen/synth.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

int secondsToSamples(double seconds) {
    return static_cast<int>(std::lround(seconds * kSampleRate));
}

double noteFrequency(int midiNote) {
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

float Noise::next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(state_ / 2147483648.0 - 1.0);
}

void LowPass::setCutoff(double cutoffHz) {
    a_ = 1.0 - std::exp(-2.0 * M_PI * std::max(1.0, cutoffHz) / kSampleRate);
}

float LowPass::process(float x) {
    y_ += a_ * (x - y_);
    return static_cast<float>(y_);
}

double pluck(double t, double attack, double decay) {
    if (t < 0) {
        return 0;
    }
    if (t < attack) {
        return t / attack;
    }
    return std::exp(-(t - attack) / decay);
}

void fadeEdges(Samples &s, double fadeInSeconds, double fadeOutSeconds) {
    const size_t in = std::min(s.size(), static_cast<size_t>(secondsToSamples(fadeInSeconds)));
    const size_t out = std::min(s.size(), static_cast<size_t>(secondsToSamples(fadeOutSeconds)));
    for (size_t i = 0; i < in; ++i) {
        s[i] *= static_cast<float>(0.5 - 0.5 * std::cos(M_PI * i / in));
    }
    for (size_t i = 0; i < out; ++i) {
        s[s.size() - 1 - i] *= static_cast<float>(0.5 - 0.5 * std::cos(M_PI * i / out));
    }
}

void normalise(Samples &s, double peak) {
    float loudest = 0;
    for (float v : s) {
        loudest = std::max(loudest, std::fabs(v));
    }
    if (loudest <= 0) {
        return;
    }
    const float gain = static_cast<float>(peak / loudest);
    for (float &v : s) {
        v *= gain;
    }
}

void mixInto(Samples &dst, const Samples &src, size_t at, float gain) {
    if (dst.size() < at + src.size()) {
        dst.resize(at + src.size(), 0.0f);
    }
    for (size_t i = 0; i < src.size(); ++i) {
        dst[at + i] += src[i] * gain;
    }
}

} // namespace assetgen
