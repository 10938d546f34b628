// The fixture of the sound tests: the mixer is pulled by the test, never by SDL's audio thread, so
// every rendered sample is deterministic; and measurements of what it mixed.
#pragma once

#include "framework/KSound.h"
#include "platform/audio.h"
#include "sound/sound_files.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace soundtest {

// Stereo output of the mixer, interleaved.
struct Output {
    std::vector<int16_t> samples;
    size_t frames() const { return samples.size() / 2; }
    double at(size_t frame) const { return samples[frame * 2] / 32768.0; }
    bool silentAt(size_t frame) const { return samples[frame * 2] == 0 && samples[frame * 2 + 1] == 0; }
};

// RMS of one channel (0 left, 1 right) over frames [from, to), relative to full scale.
inline double rms(const Output &out, int channel, size_t from, size_t to) {
    double sum = 0;
    to = std::min(to, out.frames());
    for (size_t f = from; f < to; ++f)
        sum += std::pow(out.samples[f * 2 + channel] / 32768.0, 2);
    return to <= from ? 0 : std::sqrt(sum / static_cast<double>(to - from));
}

inline const auto decibels = [](double ratio) { return 20.0 * std::log10(ratio); };

} // namespace soundtest

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        // No sound card needed: SDL's dummy driver, whose device we pull by hand.
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        audio::Device::setPulledByHand(true);
        KSound::setGlobalVolumes(100, 100);
    }
    void TearDown() override { KSound::setGlobalVolumes(100, 100); }

    // Renders output in pieces of at most 1024 frames (a quarter of a stream half at 44.1 kHz), each
    // followed by the feeding threads' refills, as a sound card would pull it. Appends to `into` if given.
    static soundtest::Output render(size_t frames, soundtest::Output *into = nullptr) {
        soundtest::Output out;
        out.samples.assign(frames * 2, 0);
        for (size_t done = 0; KSound::directSoundPtr && done < frames; done += 1024)
            KSound::directSoundPtr->render(out.samples.data() + done * 2,
                                           int(std::min<size_t>(1024, frames - done)));
        if (into)
            into->samples.insert(into->samples.end(), out.samples.begin(), out.samples.end());
        return out;
    }
    // A file of the scratch folder holding a WAV (bits 8 or 16) or, with bits 0, an Ogg image of the sound.
    std::string file(const std::string &name, const soundtest::Pcm &pcm, int bits = 16) {
        return dir.write(name, bits ? soundtest::wavImage(pcm, bits) : soundtest::oggImage(pcm));
    }

    soundtest::ScratchDir dir;
};
