// Streamed music measured in the mixer's output: the silent start, repeats, the end of a song that does
// not repeat, master volume changes and restarts.
#include "sound/sound_test.h"
#include "support/wait.h"

#include <cmath>

using namespace soundtest;

namespace {

constexpr size_t kHalfFrames = KSound::kStreamHalfBytes / 4; // 16-bit stereo at 44.1 kHz
constexpr size_t kSongFrames = 44100;
constexpr size_t kQuietFrames = kSongFrames / 4;

// One second of 1 kHz: a quiet first quarter (amplitude 0.2), then loud (0.6), so that the start of the
// song can be told from the rest.
Pcm song() {
    return tone(44100, 2, 1.0, 1000, [](size_t frame) { return frame < kQuietFrames ? 0.2 : 0.6; });
}

// Runs of exact silence of at least 64 frames (a sine's own zero crossings are single samples).
std::vector<std::pair<size_t, size_t>> silentRuns(const Output &out, size_t from) {
    std::vector<std::pair<size_t, size_t>> runs;
    for (size_t f = from, start = from; f <= out.frames(); ++f) {
        if (f < out.frames() && out.silentAt(f))
            continue;
        if (f - start >= 64)
            runs.emplace_back(start, f);
        start = f + 1;
    }
    return runs;
}

size_t firstSound(const Output &out) {
    size_t f = 0;
    while (f < out.frames() && out.silentAt(f))
        ++f;
    return f;
}

class StreamTest : public SoundTest {
protected:
    void start(KSound &music, const std::string &name, bool loop, const Pcm &pcm = song()) {
        ASSERT_TRUE(music.loadStream(file(name, pcm, 0).c_str()));
        music.setVolume(100);
        music.playStream(loop);
    }
};

TEST_F(StreamTest, ARepeatingStreamStartsSilentPassesItsEndWithAShortGapAndRestartsOnRequest) {
    KSound music;
    start(music, "song.ogg", true);
    const Output out = render(3 * 44100);
    EXPECT_TRUE(music.isPlaying());
    // Both halves start silent: the song begins after the first half.
    const size_t begin = firstSound(out);
    EXPECT_TRUE(begin >= kHalfFrames && begin <= kHalfFrames + 8) << begin;
    const auto gaps = silentRuns(out, begin);
    ASSERT_GE(gaps.size(), 2u) << "three seconds pass the end of a one-second song twice";
    size_t previousStart = begin;
    for (auto [from, to] : gaps) {
        SCOPED_TRACE(from);
        EXPECT_LE(to - from, kHalfFrames) << "no longer than the rest of one half";
        // The whole song was heard before the gap, and it ended loud.
        EXPECT_GE(from - previousStart, kSongFrames - 64);
        EXPECT_GT(rms(out, 0, from - 2000, from), 0.35);
        // After the gap the song starts again: its quiet beginning, then the loud part.
        if (to + 20000 <= out.frames()) {
            EXPECT_LT(rms(out, 0, to, to + 2000), 0.2);
            EXPECT_GT(rms(out, 0, to + kQuietFrames + 1000, to + kQuietFrames + 5000), 0.35);
        }
        previousStart = to;
    }
    // Played again in the middle of the song, it starts from the beginning: the same samples, the old
    // content of the buffer unheard.
    music.playStream(true);
    const Output again = render(kHalfFrames + 8000);
    EXPECT_TRUE(std::equal(again.samples.begin(), again.samples.end(), out.samples.begin()));
    EXPECT_TRUE(music.isPlaying() && music.hThread != nullptr);
}

TEST_F(StreamTest, ANonRepeatingStreamStopsAtTheEndAndPlaysAgainFromSilence) {
    KSound music;
    start(music, "song.ogg", false);
    Output out;
    size_t stoppedAt = 0;
    for (size_t done = 1024; done <= 2 * 44100; done += 1024) {
        render(1024, &out);
        stoppedAt = stoppedAt || music.isPlaying() ? stoppedAt : done;
    }
    ASSERT_NE(stoppedAt, 0u) << "the stream never stopped";
    EXPECT_TRUE(music._oggCompleted);
    // It stops as soon as the decoder reaches the end: up to two halves of the song are not heard.
    EXPECT_LE(stoppedAt, kHalfFrames + kSongFrames + 1024);
    EXPECT_GE(stoppedAt, kHalfFrames + kSongFrames - 2 * kHalfFrames);
    EXPECT_EQ(silentRuns(out, firstSound(out)).size(), 1u) << "no gap before the end";
    for (size_t f = stoppedAt; f < out.frames(); ++f)
        ASSERT_TRUE(out.silentAt(f)) << f;
    // The buffer was left silent, so playing the song again starts with silence, then the song.
    music.playStream(false);
    EXPECT_EQ(firstSound(render(kHalfFrames + 2000)), firstSound(out));
    EXPECT_TRUE(music.isPlaying());
}

TEST_F(StreamTest, TheMusicMasterReachesAPlayingStreamWithinOnePassAndTheEffectsMasterDoesNot) {
    KSound music;
    start(music, "steady.ogg", true, tone(44100, 2, 1.0, 1000, 0.5));
    render(2 * kHalfFrames);
    const double before = rms(render(kHalfFrames), 0, 0, kHalfFrames);
    KSound::setGlobalVolumes(-1, 0);
    render(2 * kHalfFrames + 1024);
    EXPECT_NEAR(decibels(rms(render(kHalfFrames), 0, 0, kHalfFrames) / before), 0.0, 0.05);
    KSound::setGlobalVolumes(50, -1);
    render(2 * kHalfFrames + 1024); // a pass of the feeding loop refills both halves
    EXPECT_NEAR(decibels(rms(render(kHalfFrames), 0, 0, kHalfFrames) / before),
                (KSound::fechnerTable[50] - KSound::fechnerTable[99]) / 100.0, 0.1);
}

TEST_F(StreamTest, AMonoStreamAtAnotherRateIsResampled) {
    KSound music;
    start(music, "mono.ogg", true, tone(22050, 1, 1.0, 500, 0.5));
    const Output out = render(44100);
    // One half of mono 22.05 kHz lasts twice as many output frames.
    EXPECT_GE(firstSound(out), 2 * 8192u - 1) << "(the last silent frame leans towards the next)";
    EXPECT_NEAR(decibels(rms(out, 0, 20000, 40000) / (0.5 / std::sqrt(2.0))), -0.12, 0.2);
    EXPECT_DOUBLE_EQ(rms(out, 0, 20000, 40000), rms(out, 1, 20000, 40000));
}

TEST_F(StreamTest, ReloadingAPlayingObjectAsAnEffectStopsItsThread) {
    KSound music;
    start(music, "song.ogg", true);
    render(kHalfFrames * 3);
    ASSERT_NE(music.hThread, nullptr);
    ASSERT_TRUE(music.loadSample(file("click.wav", tone(44100, 1, 0.1, 1000, 0.5)).c_str(), 100, false, 1));
    EXPECT_TRUE(music.hThread == nullptr && music._type == 0);
    music.playSample();
    EXPECT_TRUE(music.isPlaying());
    render(4410 + 10);
    EXPECT_FALSE(music.isPlaying());
}

TEST_F(StreamTest, PlaysInRealTimeOnTheDevicesOwnThread) {
    audio::Device::setPulledByHand(false); // SDL's audio thread pulls the mixer, as in the game
    KSound music, click;
    start(music, "long.ogg", true, tone(44100, 2, 5.0, 1000, 0.5));
    ASSERT_TRUE(click.loadSample(file("click.wav", tone(44100, 1, 0.15, 1000, 0.5)).c_str(), 100, false, 3));
    click.playSample();
    EXPECT_TRUE(click.isPlaying());
    EXPECT_TRUE(support::waitUntil([&] { return !click.isPlaying(); }))
        << "the device plays the click to its end";
    EXPECT_TRUE(music.isPlaying());
    for (int change = 0; change < 2; ++change) { // the music moves on, also after a change of the masters
        const uint32_t position = music._directSoundBuffer[0]->position();
        EXPECT_TRUE(support::waitUntil([&] { return music._directSoundBuffer[0]->position() != position; }));
        KSound::setGlobalVolumes(30, 30); // changed while the device thread mixes
    }
}

} // namespace
