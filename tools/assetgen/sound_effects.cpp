#include "tools/assetgen/sound_effects.h"

#include <cmath>

namespace assetgen {

namespace {

// Peak levels balance the effects against each other: a click is quiet, a bomb is loud (about -3 dBFS).
constexpr double kClickPeak = 0.30;
constexpr double kNoHintPeak = 0.50;
constexpr double kSwapPeak = 0.42;
constexpr double kGoodPeak = 0.55;
constexpr double kHintPeak = 0.45;
constexpr double kThunderPeak = 0.66;
constexpr double kBombPeak = 0.70;
constexpr double kLifeUpPeak = 0.58;
constexpr double kGameOverPeak = 0.58;

// Every effect begins and ends at silence so it never clicks.
constexpr double kFadeIn = 0.005;
constexpr double kFadeOut = 0.02;

constexpr double kTwoPi = 2.0 * M_PI;

Samples blank(double seconds) {
    return Samples(static_cast<size_t>(secondsToSamples(seconds)), 0.0f);
}

double timeOf(size_t i) {
    return static_cast<double>(i) / kSampleRate;
}

// A struck bell: inharmonic partials that die away at their own rates.
void addBell(Samples &s, double start, double frequency, double decay, float gain) {
    const double partials[][3] = {{1.0, 1.0, 1.0}, {2.76, 0.45, 0.45}, {5.40, 0.25, 0.2}, {8.93, 0.12, 0.1}};
    const size_t from = static_cast<size_t>(secondsToSamples(start));
    for (size_t i = from; i < s.size(); ++i) {
        const double t = timeOf(i - from);
        double v = 0;
        for (const auto &p : partials) {
            v += p[1] * std::sin(kTwoPi * frequency * p[0] * t) * pluck(t, 0.002, decay * p[2]);
        }
        s[i] += static_cast<float>(v * gain);
    }
}

Samples click() {
    Samples s = blank(0.02);
    Noise noise(11);
    HighPass hp(1800);
    LowPass lp(7000);
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = timeOf(i);
        const double tick = lp.process(hp.process(noise.next())) + 0.6 * std::sin(kTwoPi * 2900 * t);
        s[i] = static_cast<float>(tick * pluck(t, 0.0008, 0.0035));
    }
    return s;
}

Samples noHint() {
    // A low "bonk" falling from 110 to 90 Hz.
    Samples s = blank(0.15);
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = timeOf(i);
        const double f = t < 0.07 ? 110.0 : 90.0;
        phase += kTwoPi * f / kSampleRate;
        const double env = t < 0.07 ? pluck(t, 0.003, 0.05) : pluck(t - 0.07, 0.003, 0.06);
        s[i] = static_cast<float>((std::sin(phase) + 0.5 * std::sin(2 * phase) + 0.2 * std::sin(3 * phase)) *
                                  env);
    }
    return s;
}

Samples swap() {
    // A rising whoosh: noise through a filter that opens.
    Samples s = blank(0.2);
    Noise noise(23);
    LowPass lp(300);
    HighPass hp(200);
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = timeOf(i);
        const double x = t / 0.2;
        lp.setCutoff(400 + 5200 * x * x);
        const double env = std::sin(M_PI * x);
        s[i] = static_cast<float>(hp.process(lp.process(noise.next())) * env * env);
    }
    return s;
}

Samples good() {
    Samples s = blank(0.35);
    addBell(s, 0.00, noteFrequency(84), 0.25, 0.8f); // C6
    addBell(s, 0.06, noteFrequency(88), 0.25, 0.8f); // E6
    addBell(s, 0.12, noteFrequency(91), 0.22, 0.9f); // G6
    return s;
}

Samples hint() {
    // A soft glockenspiel ping with its echoes.
    Samples s = blank(0.62);
    for (int echo = 0; echo < 4; ++echo) {
        addBell(s, echo * 0.12, noteFrequency(93), 0.12, static_cast<float>(std::pow(0.45, echo)));
    }
    return s;
}

Samples thunder() {
    // Electric crackle over a low rumble.
    Samples s = blank(0.7);
    Noise noise(37);
    Noise sparks(41);
    LowPass rumbleFilter(140);
    HighPass crackleFilter(2500);
    double spark = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = timeOf(i);
        if (sparks.next() > 0.985f) {
            spark = 1.0;
        }
        spark *= 0.995;
        const double crackle = crackleFilter.process(noise.next()) * spark * pluck(t, 0.004, 0.18);
        const double rumble = rumbleFilter.process(noise.next()) * 6.0 * pluck(t, 0.03, 0.25);
        s[i] = static_cast<float>(crackle + rumble);
    }
    return s;
}

Samples bomb() {
    // A noise burst with a boom whose pitch drops.
    Samples s = blank(0.6);
    Noise noise(53);
    LowPass lp(2500);
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = timeOf(i);
        lp.setCutoff(200 + 3000 * std::exp(-t / 0.06));
        phase += kTwoPi * (38 + 110 * std::exp(-t / 0.08)) / kSampleRate;
        const double boom = std::sin(phase) * pluck(t, 0.003, 0.22);
        const double burst = lp.process(noise.next()) * 1.6 * pluck(t, 0.002, 0.12);
        s[i] = static_cast<float>(boom + burst);
    }
    return s;
}

Samples lifeUp() {
    // A rising arpeggio fanfare ending on a bright chord.
    Samples s = blank(0.9);
    const int notes[] = {72, 76, 79, 84, 88, 91};
    for (size_t n = 0; n < std::size(notes); ++n) {
        const double start = n * 0.075;
        const double f = noteFrequency(notes[n]);
        const size_t from = static_cast<size_t>(secondsToSamples(start));
        for (size_t i = from; i < s.size(); ++i) {
            const double t = timeOf(i - from);
            const double square = std::sin(kTwoPi * f * t) + std::sin(3 * kTwoPi * f * t) / 3 +
                                  std::sin(5 * kTwoPi * f * t) / 5;
            const double decay = n + 1 == std::size(notes) ? 0.35 : 0.12;
            s[i] += static_cast<float>(0.35 * square * pluck(t, 0.004, decay));
        }
    }
    addBell(s, 0.45, noteFrequency(96), 0.3, 0.6f);
    return s;
}

Samples gameOver() {
    // A falling three-note phrase, G4 E4 C4, on a soft organ.
    Samples s = blank(1.2);
    const int notes[] = {67, 64, 60};
    const double starts[] = {0.0, 0.3, 0.6};
    const double lengths[] = {0.3, 0.3, 0.6};
    for (int n = 0; n < 3; ++n) {
        const double f = noteFrequency(notes[n]);
        const size_t from = static_cast<size_t>(secondsToSamples(starts[n]));
        for (size_t i = from; i < s.size(); ++i) {
            const double t = timeOf(i - from);
            const double release = t > lengths[n] ? std::exp(-(t - lengths[n]) / 0.06) : 1.0;
            const double env = std::min(1.0, t / 0.02) * release * (0.75 + 0.25 * std::exp(-t / 0.2));
            const double tone = std::sin(kTwoPi * f * t) + 0.4 * std::sin(kTwoPi * 2 * f * t) +
                                0.15 * std::sin(kTwoPi * 3 * f * t);
            s[i] += static_cast<float>(tone * env * 0.5);
        }
    }
    return s;
}

SoundEffect finish(const char *name, Samples s, double peak) {
    normalise(s, peak);
    fadeEdges(s, kFadeIn, kFadeOut);
    return {name, std::move(s)};
}

} // namespace

std::vector<SoundEffect> synthesiseEffects() {
    std::vector<SoundEffect> effects;
    effects.push_back(finish("click.wav", click(), kClickPeak));
    effects.push_back(finish("nohint.wav", noHint(), kNoHintPeak));
    effects.push_back(finish("swap.ogg", swap(), kSwapPeak));
    effects.push_back(finish("good.ogg", good(), kGoodPeak));
    effects.push_back(finish("hint.ogg", hint(), kHintPeak));
    effects.push_back(finish("thunder.ogg", thunder(), kThunderPeak));
    effects.push_back(finish("bomb.ogg", bomb(), kBombPeak));
    effects.push_back(finish("lifeup.ogg", lifeUp(), kLifeUpPeak));
    effects.push_back(finish("gameover.ogg", gameOver(), kGameOverPeak));
    return effects;
}

} // namespace assetgen
