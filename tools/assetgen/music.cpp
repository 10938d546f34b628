#include "tools/assetgen/music.h"

#include <array>
#include <cmath>

#include "tools/assetgen/paint.h"

namespace assetgen {

namespace {

constexpr double kTwoPi = 2.0 * M_PI;
constexpr int kBeatsPerBar = 4;
constexpr int kStepsPerBeat = 4; // sixteenth notes
constexpr double kTunePeak = 0.68;

enum class Style { Bossa, Arcade, Ambient };

struct Chord {
    int root;                 // MIDI note of the root in the bass octave
    std::array<int, 4> tones; // intervals above the root
};

struct TuneSpec {
    const char *fileName;
    Style style;
    int bpm; // chosen so that one beat is a whole number of samples
    int repeats;
    std::vector<Chord> progression; // one chord per bar
    std::array<int, 7> scale;       // semitones above the key note
    int keyNote;                    // MIDI note the melody centres on
    uint32_t seed;
};

constexpr std::array<int, 4> kMaj7 = {0, 4, 7, 11};
constexpr std::array<int, 4> kMin7 = {0, 3, 7, 10};
constexpr std::array<int, 4> kDom7 = {0, 4, 7, 10};
constexpr std::array<int, 4> kTriadMaj = {0, 4, 7, 12};
constexpr std::array<int, 4> kTriadMin = {0, 3, 7, 12};
constexpr std::array<int, 7> kMajorScale = {0, 2, 4, 5, 7, 9, 11};
constexpr std::array<int, 7> kMinorScale = {0, 2, 3, 5, 7, 8, 10};

const std::vector<TuneSpec> &tuneSpecs() {
    static const std::vector<TuneSpec> specs = {
        {"sunny bossa.ogg",
         Style::Bossa,
         105,
         4,
         {{48, kMaj7},
          {45, kMin7},
          {50, kMin7},
          {43, kDom7},
          {52, kMin7},
          {45, kDom7},
          {50, kMin7},
          {43, kDom7}},
         kMajorScale,
         72,
         101},
        {"arcade skies.ogg",
         Style::Arcade,
         140,
         6,
         {{45, kTriadMin},
          {41, kTriadMaj},
          {48, kTriadMaj},
          {43, kTriadMaj},
          {45, kTriadMin},
          {41, kTriadMaj},
          {43, kTriadMaj},
          {40, kTriadMaj}},
         kMinorScale,
         69,
         202},
        {"still water.ogg",
         Style::Ambient,
         84,
         3,
         {{41, kMaj7},
          {40, kMin7},
          {38, kMin7},
          {48, kMaj7},
          {46, kMaj7},
          {45, kMin7},
          {43, kDom7},
          {43, kDom7}},
         kMajorScale,
         72,
         303},
    };
    return specs;
}

// A stereo buffer that wraps round: what is written past the end lands at the start, so the loop
// point carries the tails of the last notes exactly as the middle of the tune would.
class LoopBuffer {
public:
    explicit LoopBuffer(size_t frames) : left_(frames, 0.0f), right_(frames, 0.0f) {}
    size_t frames() const { return left_.size(); }
    void add(size_t frame, double value, double pan) {
        const size_t i = frame % left_.size();
        left_[i] += static_cast<float>(value * (1.0 - pan) * 0.5 * 1.4);
        right_[i] += static_cast<float>(value * (1.0 + pan) * 0.5 * 1.4);
    }
    Samples &left() { return left_; }
    Samples &right() { return right_; }

private:
    Samples left_, right_;
};

enum class Voice { Rhodes, Bass, SoftBass, Square, Arp, Bell, Pad, Flute };

double voiceSample(Voice voice, double f, double t, double length) {
    const double release = t > length ? std::exp(-(t - length) / 0.08) : 1.0;
    switch (voice) {
    case Voice::Rhodes:
        return (std::sin(kTwoPi * f * t) + 0.3 * std::sin(kTwoPi * 2 * f * t) * std::exp(-t / 0.25) +
                0.12 * std::sin(kTwoPi * 4 * f * t) * std::exp(-t / 0.08)) *
               pluck(t, 0.004, 0.9) * release;
    case Voice::Bass:
        return (std::sin(kTwoPi * f * t) + 0.35 * std::sin(kTwoPi * 2 * f * t) * std::exp(-t / 0.2)) *
               pluck(t, 0.006, 0.7) * release;
    case Voice::SoftBass:
        return std::sin(kTwoPi * f * t) * std::min(1.0, t / 0.08) * release;
    case Voice::Square: {
        const double vibrato = 1.0 + 0.004 * std::sin(kTwoPi * 5.5 * t) * std::min(1.0, t / 0.3);
        const double p = kTwoPi * f * vibrato * t;
        return (std::sin(p) + std::sin(3 * p) / 3 + std::sin(5 * p) / 5 + std::sin(7 * p) / 7) *
               std::min(1.0, t / 0.01) * (0.6 + 0.4 * std::exp(-t / 0.12)) * release;
    }
    case Voice::Arp: {
        const double p = kTwoPi * f * t;
        return (std::sin(p) + std::sin(3 * p) / 3 + std::sin(5 * p) / 5) * pluck(t, 0.002, 0.07);
    }
    case Voice::Bell:
        return (std::sin(kTwoPi * f * t) * pluck(t, 0.002, 1.4) +
                0.4 * std::sin(kTwoPi * 2.76 * f * t) * pluck(t, 0.002, 0.5) +
                0.15 * std::sin(kTwoPi * 5.4 * f * t) * pluck(t, 0.002, 0.2));
    case Voice::Pad: {
        const double attack = std::min(1.0, t / 0.6);
        const double padRelease = t > length ? std::exp(-(t - length) / 0.5) : 1.0;
        double v = 0;
        for (int h = 1; h <= 4; ++h) {
            v += (std::sin(kTwoPi * f * h * t) + std::sin(kTwoPi * f * 1.004 * h * t)) / (h * h);
        }
        return v * 0.5 * attack * padRelease;
    }
    case Voice::Flute:
        return (std::sin(kTwoPi * f * t * (1.0 + 0.003 * std::sin(kTwoPi * 5 * t))) +
                0.1 * std::sin(kTwoPi * 2 * f * t)) *
               std::min(1.0, t / 0.04) * release;
    }
    return 0;
}

// How long a voice keeps sounding after its note ends.
double tailOf(Voice voice) {
    switch (voice) {
    case Voice::Bell:
        return 2.5;
    case Voice::Pad:
        return 2.0;
    case Voice::Rhodes:
        return 1.5;
    default:
        return 0.5;
    }
}

void playNote(LoopBuffer &out, Voice voice, size_t start, double seconds, int midi, double gain, double pan) {
    const double f = noteFrequency(midi);
    const size_t total = static_cast<size_t>(secondsToSamples(seconds + tailOf(voice)));
    for (size_t i = 0; i < total; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        out.add(start + i, gain * voiceSample(voice, f, t, seconds), pan);
    }
}

enum class Drum { Kick, Snare, Hat, Brush, Shaker };

void playDrum(LoopBuffer &out, Drum drum, size_t start, double gain, double pan, Noise &noise) {
    const double seconds = drum == Drum::Kick ? 0.25 : drum == Drum::Brush ? 0.3 : 0.12;
    const size_t total = static_cast<size_t>(secondsToSamples(seconds));
    HighPass hp(drum == Drum::Hat || drum == Drum::Shaker ? 6000 : 1200);
    LowPass lp(drum == Drum::Brush ? 5000 : 12000);
    double phase = 0;
    for (size_t i = 0; i < total; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        double v = 0;
        switch (drum) {
        case Drum::Kick:
            phase += kTwoPi * (45 + 100 * std::exp(-t / 0.03)) / kSampleRate;
            v = std::sin(phase) * pluck(t, 0.002, 0.09);
            break;
        case Drum::Snare:
            v = 0.7 * hp.process(noise.next()) * pluck(t, 0.001, 0.05) +
                0.4 * std::sin(kTwoPi * 190 * t) * pluck(t, 0.001, 0.03);
            break;
        case Drum::Hat:
            v = hp.process(noise.next()) * pluck(t, 0.0005, 0.018);
            break;
        case Drum::Brush:
            v = lp.process(hp.process(noise.next())) * pluck(t, 0.02, 0.08);
            break;
        case Drum::Shaker:
            v = hp.process(noise.next()) * pluck(t, 0.01, 0.03);
            break;
        }
        v *= std::min(1.0, static_cast<double>(total - i) / 64.0); // no click at the end of a hit
        out.add(start + i, gain * v, pan);
    }
}

// Melody: rhythm patterns in sixteenths per bar, pitches walking through the scale and landing on
// chord tones on strong beats. Four-bar phrases make an A A' B A form over sixteen bars.
struct MelodyNote {
    int step;   // sixteenth within the bar
    int length; // sixteenths
    int degree; // scale degree above the key note
};
using Bar = std::vector<MelodyNote>;

struct Rhythm {
    std::vector<std::pair<int, int>> notes; // (step, length)
};

const std::vector<Rhythm> &rhythmsFor(Style style) {
    static const std::vector<Rhythm> lively = {
        {{{0, 3}, {3, 3}, {6, 2}, {8, 4}, {12, 4}}},
        {{{0, 2}, {2, 2}, {4, 4}, {10, 2}, {12, 4}}},
        {{{0, 6}, {6, 2}, {8, 8}}},
        {{{2, 2}, {4, 2}, {6, 2}, {8, 3}, {11, 5}}},
        {{{0, 4}, {4, 4}, {8, 4}, {12, 4}}},
    };
    static const std::vector<Rhythm> calm = {
        {{{0, 8}, {8, 8}}},
        {{{0, 12}, {12, 4}}},
        {{{4, 4}, {8, 8}}},
        {{{0, 16}}},
    };
    return style == Style::Ambient ? calm : lively;
}

int pitchOf(const TuneSpec &spec, int degree) {
    const int octave = degree >= 0 ? degree / 7 : -((-degree + 6) / 7);
    const int inScale = degree - octave * 7;
    return spec.keyNote + spec.scale[static_cast<size_t>(inScale)] + 12 * octave;
}

bool isChordTone(const Chord &chord, int midi) {
    for (int tone : chord.tones) {
        if (((midi - chord.root - tone) % 12 + 12) % 12 == 0) {
            return true;
        }
    }
    return false;
}

int nearestChordDegree(const TuneSpec &spec, const Chord &chord, int degree) {
    for (int distance = 0; distance < 4; ++distance) {
        for (int sign : {-1, 1}) {
            if (isChordTone(chord, pitchOf(spec, degree + sign * distance))) {
                return degree + sign * distance;
            }
        }
    }
    return degree;
}

Bar composeBar(const TuneSpec &spec, const Chord &chord, Random &random, int &degree) {
    const auto &rhythms = rhythmsFor(spec.style);
    const Rhythm &rhythm = rhythms[random.next() % rhythms.size()];
    Bar bar;
    for (const auto &[step, length] : rhythm.notes) {
        degree += static_cast<int>(random.next() % 5) - 2;
        degree = std::max(-2, std::min(9, degree));
        if (step % 8 == 0) {
            degree = nearestChordDegree(spec, chord, degree);
        }
        bar.push_back({step, length, degree});
    }
    return bar;
}

// Sixteen bars of melody: A, A with a new ending, B, A.
std::vector<Bar> composeMelody(const TuneSpec &spec, Random &random) {
    const size_t bars = spec.progression.size();
    auto chordAt = [&spec, bars](size_t bar) { return spec.progression[bar % bars]; };
    int degree = 2;
    std::vector<Bar> a, b;
    for (size_t i = 0; i < 4; ++i) {
        a.push_back(composeBar(spec, chordAt(i), random, degree));
    }
    std::vector<Bar> aEnding = a;
    aEnding[3] = composeBar(spec, chordAt(7), random, degree);
    degree = 5;
    for (size_t i = 0; i < 4; ++i) {
        b.push_back(composeBar(spec, chordAt(8 + i), random, degree));
    }
    std::vector<Bar> form;
    for (const auto *part : {&a, &aEnding, &b, &a}) {
        form.insert(form.end(), part->begin(), part->end());
    }
    // Strong beats follow the chord actually under them.
    for (size_t i = 0; i < form.size(); ++i) {
        for (MelodyNote &note : form[i]) {
            if (note.step % 8 == 0) {
                note.degree = nearestChordDegree(spec, chordAt(i), note.degree);
            }
        }
    }
    return form;
}

struct Timing {
    size_t samplesPerStep;
    size_t barStart(size_t bar) const { return bar * samplesPerStep * kBeatsPerBar * kStepsPerBeat; }
    double seconds(int steps) const { return static_cast<double>(steps * samplesPerStep) / kSampleRate; }
};

void arrangeBar(LoopBuffer &out, const TuneSpec &spec, const Timing &timing, size_t bar, Noise &noise) {
    const Chord &chord = spec.progression[bar % spec.progression.size()];
    const size_t at = timing.barStart(bar);
    auto step = [&](int s) { return at + static_cast<size_t>(s) * timing.samplesPerStep; };
    const int bassRoot = chord.root > 47 ? chord.root - 12 : chord.root;
    switch (spec.style) {
    case Style::Bossa: {
        const std::pair<int, int> bassLine[] = {{0, 0}, {6, 7}, {8, 7}, {14, 0}};
        for (const auto &[s, interval] : bassLine) {
            playNote(out, Voice::Bass, step(s), timing.seconds(s == 0 || s == 8 ? 5 : 2), bassRoot + interval,
                     0.55, 0);
        }
        for (int s : {0, 3, 6, 10, 12}) {
            for (size_t t = 0; t < chord.tones.size(); ++t) {
                playNote(out, Voice::Rhodes, step(s), timing.seconds(2), chord.root + 12 + chord.tones[t],
                         0.09, -0.3 + 0.2 * static_cast<double>(t));
            }
        }
        for (int s = 0; s < 16; s += 2) {
            playDrum(out, Drum::Brush, step(s), s % 4 == 0 ? 0.10 : 0.06, 0.3, noise);
        }
        for (int s : {3, 6, 10, 12}) {
            playDrum(out, Drum::Snare, step(s), 0.07, -0.2, noise);
        }
        playDrum(out, Drum::Kick, step(0), 0.35, 0, noise);
        playDrum(out, Drum::Kick, step(8), 0.25, 0, noise);
        break;
    }
    case Style::Arcade: {
        for (int s = 0; s < 16; s += 2) {
            playNote(out, Voice::Bass, step(s), timing.seconds(1), bassRoot + ((s / 2) % 2 == 0 ? 0 : 12),
                     0.4, 0);
        }
        for (int s = 0; s < 16; ++s) {
            const int tone = chord.tones[static_cast<size_t>(s % 4 == 3 ? 1 : s % 4)];
            playNote(out, Voice::Arp, step(s), timing.seconds(1), chord.root + 24 + tone, 0.06,
                     (s % 2) ? 0.4 : -0.4);
        }
        for (int s : {0, 8, 10}) {
            playDrum(out, Drum::Kick, step(s), 0.45, 0, noise);
        }
        for (int s : {4, 12}) {
            playDrum(out, Drum::Snare, step(s), 0.22, 0, noise);
        }
        for (int s = 0; s < 16; s += 2) {
            playDrum(out, Drum::Hat, step(s), 0.08, 0.35, noise);
        }
        break;
    }
    case Style::Ambient: {
        playNote(out, Voice::SoftBass, step(0), timing.seconds(15), bassRoot, 0.3, 0);
        for (size_t t = 0; t < chord.tones.size(); ++t) {
            playNote(out, Voice::Pad, step(0), timing.seconds(14), chord.root + 12 + chord.tones[t], 0.05,
                     -0.45 + 0.3 * static_cast<double>(t));
        }
        for (int s : {4, 12}) {
            playDrum(out, Drum::Shaker, step(s), 0.03, 0.5, noise);
        }
        break;
    }
    }
}

void playMelody(LoopBuffer &out, const TuneSpec &spec, const Timing &timing, const std::vector<Bar> &melody,
                size_t bars) {
    const Voice voice = spec.style == Style::Bossa    ? Voice::Flute
                        : spec.style == Style::Arcade ? Voice::Square
                                                      : Voice::Bell;
    const double gain = spec.style == Style::Arcade ? 0.16 : spec.style == Style::Bossa ? 0.22 : 0.2;
    for (size_t bar = 0; bar < bars; ++bar) {
        // The first eight bars of each pass are heard without the lead in the calm tune.
        if (spec.style == Style::Ambient && bar % 16 < 4) {
            continue;
        }
        for (const MelodyNote &note : melody[bar % melody.size()]) {
            playNote(out, voice,
                     timing.barStart(bar) + static_cast<size_t>(note.step) * timing.samplesPerStep,
                     timing.seconds(note.length) * 0.9, pitchOf(spec, note.degree), gain, 0.1);
        }
    }
}

// A dotted-eighth ping-pong echo, applied round the loop.
void addEcho(LoopBuffer &out, size_t delay) {
    const Samples dryLeft = out.left();
    const Samples dryRight = out.right();
    const size_t n = dryLeft.size();
    const double taps[] = {0.28, 0.14, 0.07};
    for (size_t i = 0; i < n; ++i) {
        for (size_t k = 0; k < std::size(taps); ++k) {
            const size_t from = (i + n * 4 - delay * (k + 1)) % n;
            const Samples &source = (k % 2 == 0) ? dryRight : dryLeft;
            Samples &target = (k % 2 == 0) ? out.left() : out.right();
            target[i] += static_cast<float>(taps[k] * source[from]);
        }
    }
}

} // namespace

int tuneCount() {
    return static_cast<int>(tuneSpecs().size());
}

Tune composeTune(int index) {
    const TuneSpec &spec = tuneSpecs().at(static_cast<size_t>(index));
    const size_t samplesPerBeat = static_cast<size_t>(kSampleRate * 60 / spec.bpm);
    const Timing timing{samplesPerBeat / kStepsPerBeat};
    const size_t bars = spec.progression.size() * static_cast<size_t>(spec.repeats);
    LoopBuffer out(timing.barStart(bars));
    Random random(spec.seed);
    Noise noise(spec.seed);
    for (size_t bar = 0; bar < bars; ++bar) {
        arrangeBar(out, spec, timing, bar, noise);
    }
    playMelody(out, spec, timing, composeMelody(spec, random), bars);
    addEcho(out, timing.samplesPerStep * 3);

    Tune tune{spec.fileName, {}};
    tune.stereo.resize(out.frames() * 2);
    for (size_t i = 0; i < out.frames(); ++i) {
        tune.stereo[2 * i] = out.left()[i];
        tune.stereo[2 * i + 1] = out.right()[i];
    }
    normalise(tune.stereo, kTunePeak);
    return tune;
}

} // namespace assetgen
