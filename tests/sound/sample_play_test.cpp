// Samples measured in the mixer's output: levels, pan, overlapping plays, formats, lost buffers.
#include "sound/sound_test.h"

#include <cmath>

using namespace soundtest;

namespace {

constexpr double kToneAmplitude = 0.5;
const double kToneRms = kToneAmplitude / std::sqrt(2.0);

Pcm constantLevel(int rate, int channels, double seconds, double value) {
    Pcm pcm;
    pcm.rate = rate;
    pcm.channels = channels;
    pcm.samples.assign(static_cast<size_t>(seconds * rate) * channels, static_cast<float>(value));
    return pcm;
}

double gainOfIndex(int index) {
    return std::pow(10.0, KSound::fechnerTable[index] / 2000.0);
}

class SamplePlayTest : public SoundTest {
protected:
    // Plays a one-second 1 kHz tone at the given volume and returns the left channel's level in dB
    // relative to the tone's own level, measured away from the ends.
    double playedLevel(const std::string &file, int volume) {
        KSound sound;
        EXPECT_TRUE(sound.loadSample(file.c_str(), 100, false, 1)) << file;
        sound.setVolume(volume);
        sound.playSample();
        Output out = render(44100);
        EXPECT_DOUBLE_EQ(rms(out, 0, 0, 44100), rms(out, 1, 0, 44100)) << "mono sounds alike on both sides";
        return decibels(rms(out, 0, 4410, 39690) / kToneRms);
    }
};

TEST_F(SamplePlayTest, WavAndOggToneComeOutAtTheTableLevel) {
    Pcm pcm = tone(44100, 1, 1.0, 1000, kToneAmplitude);
    std::string wav = dir.write("tone.wav", wavImage(pcm, 16));
    std::string ogg = dir.write("tone.ogg", oggImage(pcm));
    KSound keeper; // fills the tables and keeps the device open
    for (const std::string &file : {wav, ogg}) {
        SCOPED_TRACE(file);
        // Volume 100 with master 100 is index 99; the others are their own index.
        struct Case {
            int volume;
            int index;
        };
        for (Case c : {Case{100, 99}, Case{50, 50}, Case{10, 10}}) {
            double expected = KSound::fechnerTable[c.index] / 100.0;
            EXPECT_NEAR(playedLevel(file, c.volume), expected, 0.2) << "volume " << c.volume;
        }
    }
}

TEST_F(SamplePlayTest, MasterChangesReachASampleAtItsNextPlay) {
    std::string wav = dir.write("tone.wav", wavImage(tone(44100, 1, 0.5, 1000, kToneAmplitude), 16));
    KSound sound;
    ASSERT_TRUE(sound.loadSample(wav.c_str(), 100, false, 1));
    KSound::setGlobalVolumes(100, 0);
    sound.playSample();
    EXPECT_TRUE(sound.isPlaying()) << "silent, but playing";
    EXPECT_EQ(rms(render(4410), 0, 0, 4410), 0.0) << "master 0 is silence";
    KSound::setGlobalVolumes(100, 100);
    sound.playSample();
    Output before = render(4410);
    KSound::setGlobalVolumes(-1, 50);
    Output same = render(4410);
    EXPECT_NEAR(decibels(rms(same, 0, 0, 4410) / rms(before, 0, 0, 4410)), 0.0, 0.01);
    sound.playSample();
    Output after = render(4410);
    EXPECT_NEAR(decibels(rms(after, 0, 0, 4410) / rms(before, 0, 0, 4410)),
                (KSound::fechnerTable[50] - KSound::fechnerTable[99]) / 100.0, 0.05);
}

TEST_F(SamplePlayTest, PanAttenuatesTheFarChannelByTheTableAmount) {
    std::string wav = dir.write("tone.wav", wavImage(tone(44100, 1, 0.5, 1000, kToneAmplitude), 16));
    KSound sound;
    ASSERT_TRUE(sound.loadSample(wav.c_str(), 100, false, 1));
    struct Case {
        long pan;
        int quietChannel;
    };
    for (Case c : {Case{-50, 1}, Case{50, 0}, Case{-20, 1}}) {
        sound.setPan(c.pan);
        sound.playSample();
        Output out = render(11025);
        double loud = rms(out, 1 - c.quietChannel, 1000, 11000);
        double quiet = rms(out, c.quietChannel, 1000, 11000);
        EXPECT_NEAR(decibels(loud / kToneRms), -0.12, 0.05) << c.pan;
        EXPECT_NEAR(decibels(quiet / loud), -std::labs(KSound::panningtable[c.pan + 100]) / 100.0, 0.05)
            << c.pan;
    }
    sound.setPan(100);
    sound.playSample();
    Output right = render(11025);
    EXPECT_EQ(rms(right, 0, 0, 11025), 0.0) << "fully right silences the left";
    EXPECT_GT(rms(right, 1, 0, 11025), 0.3);
}

TEST_F(SamplePlayTest, PlaysOverlapInRotationWhileOneBufferRestarts) {
    const double level = 0.1;
    std::string wav = dir.write("flat.wav", wavImage(constantLevel(44100, 1, 1.0, level), 16));
    KSound keeper; // fills the tables and keeps the device open
    const double one = level * gainOfIndex(99);
    auto at = [](const Output &out, size_t frame) { return out.samples[frame * 2] / 32768.0; };

    for (short buffers : {3, 1}) {
        SCOPED_TRACE(buffers);
        KSound sound;
        ASSERT_TRUE(sound.loadSample(wav.c_str(), 100, false, buffers));
        Output out;
        for (int play = 0; play < 3; ++play) {
            sound.playSample();
            EXPECT_EQ(sound._currentBeingPlayed, buffers == 3 ? (play + 1) % 3 : 0);
            Output piece = render(1000);
            out.samples.insert(out.samples.end(), piece.samples.begin(), piece.samples.end());
        }
        Output tail = render(44100 + 1000);
        out.samples.insert(out.samples.end(), tail.samples.begin(), tail.samples.end());

        for (int play = 0; play < 3; ++play) {
            double expected = buffers == 3 ? one * (play + 1) : one;
            EXPECT_NEAR(at(out, play * 1000 + 500), expected, 2e-4) << "after play " << play + 1;
        }
        if (buffers == 3) {
            // The first play ends a second after it began, the others follow 1000 frames apart.
            EXPECT_NEAR(at(out, 44100 + 500), 2 * one, 2e-4);
            EXPECT_NEAR(at(out, 45100 + 500), one, 2e-4);
            EXPECT_EQ(at(out, 46100 + 10), 0.0);
        } else {
            // Each play restarted the sound: it ends a second after the last play.
            EXPECT_NEAR(at(out, 46100 - 10), one, 2e-4);
            EXPECT_EQ(at(out, 46100 + 10), 0.0);
        }
        EXPECT_FALSE(sound.isPlaying());
    }
}

TEST_F(SamplePlayTest, IsPlayingFollowsTheSound) {
    std::string wav = dir.write("short.wav", wavImage(tone(44100, 1, 0.1, 1000, kToneAmplitude), 16));
    KSound sound;
    EXPECT_FALSE(sound.isPlaying());
    ASSERT_TRUE(sound.loadSample(wav.c_str(), 100, false, 2));
    EXPECT_FALSE(sound.isPlaying());
    sound.playSample();
    EXPECT_TRUE(sound.isPlaying());
    render(3000);
    sound.playSample(); // the second buffer
    render(4410 - 3000 + 10);
    EXPECT_TRUE(sound.isPlaying()) << "the first play ended, the second still sounds";
    render(3000);
    EXPECT_FALSE(sound.isPlaying());
}

TEST_F(SamplePlayTest, LoopingSampleKeepsPlaying) {
    // 0.1 s of 100 Hz: whole periods, so the loop joins without a seam.
    std::string wav = dir.write("loop.wav", wavImage(tone(44100, 1, 0.1, 100, kToneAmplitude), 16));
    KSound sound;
    ASSERT_TRUE(sound.loadSample(wav.c_str(), 100, true, 1));
    sound.playSample();
    Output out = render(44100);
    EXPECT_TRUE(sound.isPlaying());
    EXPECT_TRUE(sound._directSoundBuffer[0]->status().looping);
    for (size_t from = 0; from < 44100; from += 4410)
        EXPECT_NEAR(decibels(rms(out, 0, from, from + 4410) / kToneRms), -0.12, 0.05) << from;
}

TEST_F(SamplePlayTest, EightBitStereoAtHalfRateIsResampled) {
    // Left at full tone level, right 6 dB lower; 0.5 s at 22050 Hz lasts 22050 output frames.
    Pcm pcm = tone(22050, 2, 0.5, 440, kToneAmplitude);
    for (size_t f = 0; f < pcm.frames(); ++f)
        pcm.samples[f * 2 + 1] *= 0.5f;
    std::string wav = dir.write("stereo8.wav", wavImage(pcm, 8));
    KSound sound;
    ASSERT_TRUE(sound.loadSample(wav.c_str(), 100, false, 1));
    sound.playSample();
    Output out = render(22000);
    EXPECT_TRUE(sound.isPlaying());
    EXPECT_NEAR(decibels(rms(out, 0, 2000, 20000) / kToneRms), -0.12, 0.3);
    EXPECT_NEAR(decibels(rms(out, 1, 2000, 20000) / rms(out, 0, 2000, 20000)), -6.02, 0.3);
    render(100);
    EXPECT_FALSE(sound.isPlaying());
}

TEST_F(SamplePlayTest, LostBufferIsRestoredForTheNextPlay) {
    const double level = 0.1;
    std::string wav = dir.write("flat.wav", wavImage(constantLevel(44100, 1, 0.2, level), 16));
    KSound sound;
    ASSERT_TRUE(sound.loadSample(wav.c_str(), 100, false, 1));
    sound._directSoundBuffer[0]->loseMemory();
    sound.playSample(); // refused: the buffer is restored and refilled, this play is lost
    EXPECT_FALSE(sound.isPlaying());
    EXPECT_EQ(rms(render(1000), 0, 0, 1000), 0.0);
    sound.playSample();
    Output out = render(1000);
    EXPECT_NEAR(rms(out, 0, 0, 1000), level * gainOfIndex(99), 2e-4);
}

} // namespace
