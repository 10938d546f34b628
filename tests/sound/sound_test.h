// The fixture of the sound tests: the mixer is pulled by the test, never by SDL's audio thread, so
// every rendered sample is deterministic.
#pragma once

#include "framework/KSound.h"
#include "platform/audio.h"
#include "sound/sound_files.h"

#include <gtest/gtest.h>

#include <cstdlib>

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
    // followed by the feeding threads' refills, as a sound card would pull it.
    static soundtest::Output render(size_t frames) {
        soundtest::Output out;
        out.samples.assign(frames * 2, 0);
        if (!KSound::directSoundPtr)
            return out;
        for (size_t done = 0; done < frames;) {
            size_t piece = std::min<size_t>(1024, frames - done);
            KSound::directSoundPtr->render(out.samples.data() + done * 2, static_cast<int>(piece));
            done += piece;
        }
        return out;
    }

    soundtest::ScratchDir dir;
};
