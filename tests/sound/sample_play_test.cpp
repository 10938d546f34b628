// Samples measured in the mixer's output: levels, formats, pan, loops and overlapping plays; the
// buffers of a sound and the device the sounds share.
#include "sound/sound_test.h"

#include <algorithm>
#include <random>

using namespace soundtest;

namespace {

constexpr double kToneAmplitude = 0.5;
const double kToneRms = kToneAmplitude / std::sqrt(2.0);

const auto tableDecibels = [](int index) { return KSound::fechnerTable[index] / 100.0; };

Pcm constantLevel(double seconds, double value) {
    return Pcm{44100, 1, std::vector<float>(static_cast<size_t>(seconds * 44100), static_cast<float>(value))};
}

using SamplePlayTest = SoundTest;

// WAV of 8 or 16 bits and Ogg, mono or stereo, at 44.1 or 22.05 kHz: each plays its length at the
// table's level for its volume (volume 100 with master 100 is index 99), the right channel of a stereo
// file on the right; a looping one plays on.
TEST_F(SamplePlayTest, EveryFormatPlaysItsLengthAtTheTableLevel) {
    const struct {
        int rate, channels, bits;
        bool loop;
    } formats[] = {{44100, 1, 16, false}, {44100, 1, 0, false}, {22050, 2, 8, false}, {44100, 1, 16, true}};
    KSound keeper; // fills the tables and keeps the device open
    for (const auto &f : formats) {
        // A second (a tenth when looping: whole periods of 100 Hz, so the loop joins without a seam).
        Pcm pcm = tone(f.rate, f.channels, f.loop ? 0.1 : 1.0, f.loop ? 100 : 440, kToneAmplitude);
        for (size_t i = 1; i < pcm.samples.size(); i += f.channels)
            pcm.samples[i] *= f.channels == 2 ? 0.5f : 1.0f; // the right channel 6 dB lower
        const std::string name = file(f.bits ? "tone.wav" : "tone.ogg", pcm, f.bits);
        for (auto [volume, index] : {std::pair{100, 99}, {150, 99}, {50, 50}, {10, 10}}) {
            SCOPED_TRACE(testing::Message() << f.rate << " Hz " << f.channels << " channels " << f.bits
                                            << " bits, volume " << volume << (f.loop ? " looping" : ""));
            KSound sound;
            ASSERT_TRUE(sound.loadSample(name.c_str(), 100, f.loop, 1));
            sound.setVolume(volume);
            sound.playSample();
            const Output out = render(44100 - 100);
            EXPECT_TRUE(sound.isPlaying());
            for (size_t from = 2000; from + 8000 < 44100; from += f.loop ? 4410 : 44100)
                EXPECT_NEAR(decibels(rms(out, 0, from, from + 8000) / kToneRms), tableDecibels(index), 0.3)
                    << from;
            EXPECT_NEAR(decibels(rms(out, 1, 2000, 40000) / rms(out, 0, 2000, 40000)),
                        f.channels == 2 ? -6.02 : 0, 0.3);
            render(200);
            EXPECT_EQ(sound.isPlaying(), f.loop);
        }
    }
}

// A looping sound played at another rate joins its last frame to its first: a flat sound whose first frame
// is its opposite passes through silence twice at each turn.
TEST_F(SamplePlayTest, AResampledLoopJoinsItsLastFrameToItsFirst) {
    Pcm pcm = constantLevel(0.05, 0.1); // 2205 frames, played at 22.05 kHz: 4410 output frames a turn
    pcm.rate = 22050;
    pcm.samples[0] = -0.1f;
    KSound sound;
    ASSERT_TRUE(sound.loadSample(file("loop.wav", pcm).c_str(), 100, true, 1));
    sound.playSample();
    const Output out = render(44100);
    long silent = 0;
    for (size_t f = 0; f < out.frames(); ++f)
        silent += std::fabs(out.at(f)) < 0.02;
    EXPECT_EQ(silent, 20) << "two for each of the ten turns";
}

// The effects master reaches a sample at its next play (0 is silence, but playing); pan attenuates the
// far channel by the table's amount, and fully right silences the left.
TEST_F(SamplePlayTest, TheMasterReachesASampleAtItsNextPlayAndPanAttenuatesTheFarChannel) {
    KSound sound;
    ASSERT_TRUE(
        sound.loadSample(file("tone.wav", tone(44100, 1, 0.5, 1000, kToneAmplitude)).c_str(), 100, false, 1));
    KSound::setGlobalVolumes(100, 0);
    sound.playSample();
    EXPECT_TRUE(sound.isPlaying() && rms(render(4410), 0, 0, 4410) == 0.0);
    KSound::setGlobalVolumes(100, 100);
    sound.playSample();
    const double before = rms(render(4410), 0, 0, 4410);
    KSound::setGlobalVolumes(-1, 50);
    EXPECT_NEAR(decibels(rms(render(4410), 0, 0, 4410) / before), 0.0, 0.01);
    sound.playSample();
    EXPECT_NEAR(decibels(rms(render(4410), 0, 0, 4410) / before), tableDecibels(50) - tableDecibels(99),
                0.05);
    KSound::setGlobalVolumes(-1, 100);
    for (auto [pan, quiet] : {std::pair{-50L, 1}, {50L, 0}, {-20L, 1}, {100L, 0}}) {
        sound.setPan(pan);
        sound.playSample();
        const Output out = render(11025);
        const double loud = rms(out, 1 - quiet, 1000, 11000), far = rms(out, quiet, 1000, 11000);
        EXPECT_NEAR(decibels(loud / kToneRms), tableDecibels(99), 0.05) << pan;
        EXPECT_NEAR(pan == 100 ? far : decibels(far / loud),
                    pan == 100 ? 0 : -std::labs(KSound::panningtable[pan + 100]) / 100.0, 0.05)
            << pan;
    }
}

// Each play takes the next buffer, so plays overlap; with one buffer each play restarts the sound. The
// device the sounds share closes with the last of them.
TEST_F(SamplePlayTest, PlaysOverlapInRotationWhileOneBufferRestarts) {
    const double level = 0.1;
    const std::string flat = file("flat.wav", constantLevel(1.0, level));
    for (short buffers : {3, 1}) {
        SCOPED_TRACE(buffers);
        KSound sound;
        ASSERT_TRUE(sound.loadSample(flat.c_str(), 100, false, buffers));
        const double one = level * std::pow(10.0, tableDecibels(99) / 20);
        Output out;
        for (int play = 0; play < 3; ++play) {
            sound.playSample();
            EXPECT_EQ(sound._currentBeingPlayed, buffers == 3 ? (play + 1) % 3 : 0);
            render(1000, &out);
            EXPECT_NEAR(out.at(play * 1000 + 500), buffers == 3 ? one * (play + 1) : one, 2e-4) << play;
        }
        render(44100 - 3000 - 10, &out);
        EXPECT_TRUE(sound.isPlaying());
        render(44100, &out);
        // The first play ends a second after it began, the others follow 1000 frames apart; with one
        // buffer the sound ends a second after the last play.
        for (auto [frame, plays] :
             {std::pair{44600, buffers == 3 ? 2 : 1}, {45600, 1}, {46090, 1}, {46110, 0}})
            EXPECT_NEAR(out.at(frame), one * plays, 2e-4) << frame;
        EXPECT_FALSE(sound.isPlaying());
    }
    EXPECT_TRUE(KSound::directSoundPtr == nullptr && KSound::_instanceCount == 0)
        << "the last object closes it";
}

// Whatever the sizes of the pieces of output asked for, a buffer's samples and its position
// notifications come out as if it were mixed frame by frame: a notification is signalled in the
// piece that reaches its frame (offset 0 at the start and at each wrap of a loop), also while the
// buffer is silent,
// and a buffer that does not loop stops at its end without passing offset 0.
TEST_F(SamplePlayTest, NotificationsComeInThePieceThatReachesTheirFrame) {
    constexpr uint64_t kFrames = 3000;
    const std::vector<uint64_t> watched = {0, 1, 1500, kFrames - 1};
    std::mt19937 random(20261207);
    std::unique_ptr<audio::Device> device = audio::Device::open();
    ASSERT_TRUE(device);
    for (uint32_t rate : {44100u, 22050u, 30000u})
        for (bool looping : {true, false})
            for (bool silent : {false, true}) {
                SCOPED_TRACE(testing::Message()
                             << rate << " Hz" << (looping ? " looping" : "") << (silent ? " silent" : ""));
                const audio::Format format{1, 2, rate, 4, 16};
                std::unique_ptr<audio::SoundBuffer> buffer = device->createBuffer(format, kFrames * 4, true);
                ASSERT_TRUE(buffer);
                uint32_t bytes = 0;
                auto *pcm = reinterpret_cast<int16_t *>(buffer->lock(0, 0, true, &bytes));
                for (uint64_t frame = 0; frame < kFrames; ++frame) {
                    pcm[2 * frame] = static_cast<int16_t>(frame);
                    pcm[2 * frame + 1] = static_cast<int16_t>(-static_cast<int>(frame));
                }
                buffer->unlock(reinterpret_cast<uint8_t *>(pcm));
                std::vector<std::unique_ptr<audio::Event>> events;
                std::vector<audio::Notification> positions;
                for (uint64_t frame : watched) {
                    events.push_back(std::make_unique<audio::Event>("at" + std::to_string(frame)));
                    positions.push_back({static_cast<uint32_t>(frame * 4), events.back().get()});
                }
                ASSERT_TRUE(buffer->setNotifications(positions));
                if (silent)
                    buffer->setVolume(audio::kVolumeMin);
                ASSERT_EQ(buffer->play(looping), audio::Result::ok);
                for (size_t i = 0; i < watched.size(); ++i) // starting on offset 0 reaches it
                    ASSERT_EQ(events[i]->wait(0), watched[i] == 0);

                // Source frames reached after `output` frames of output, counted on across wraps.
                const uint64_t step = (uint64_t{rate} << 32) / audio::kDeviceRate;
                const auto reached = [&](uint64_t output) { return (output * step) >> 32; };
                uint64_t output = 0;
                while (reached(output) < 3 * kFrames) {
                    // Every other piece ends just before, on or just after the next watched frame.
                    int piece = std::uniform_int_distribution<int>(1, 1500)(random);
                    if (random() % 2) {
                        int until = 1;
                        const auto watchedAt = [&](uint64_t frame) {
                            return std::find(watched.begin(), watched.end(), frame % kFrames) !=
                                   watched.end();
                        };
                        while (reached(output + until) == reached(output) ||
                               !watchedAt(reached(output + until)))
                            ++until;
                        piece = std::max(1, until + static_cast<int>(random() % 3) - 1);
                    }
                    std::vector<int16_t> out(2 * static_cast<size_t>(piece));
                    device->mix(out.data(), piece);
                    const uint64_t from = reached(output), to = reached(output + piece);
                    for (size_t i = 0; i < watched.size(); ++i) {
                        bool expected = false;
                        for (uint64_t frame = from + 1; frame <= to; ++frame)
                            expected = expected || (looping ? frame % kFrames == watched[i]
                                                            : frame < kFrames && frame == watched[i]);
                        ASSERT_EQ(events[i]->wait(0), expected) << "frame " << watched[i] << " in output ("
                                                                << output << ", " << output + piece << "]";
                    }
                    if (rate == audio::kDeviceRate)
                        for (int k = 0; k < piece; ++k) {
                            const uint64_t frame = output + k;
                            const bool sounds = !silent && (looping || frame < kFrames);
                            const int16_t left = sounds ? static_cast<int16_t>(frame % kFrames) : 0;
                            ASSERT_TRUE(out[2 * k] == left && out[2 * k + 1] == -left)
                                << "output frame " << frame;
                        }
                    output += piece;
                }
                EXPECT_EQ(buffer->status().playing, looping);
            }
}

} // namespace
