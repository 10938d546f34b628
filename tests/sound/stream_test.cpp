// Streamed music measured in the mixer's output, as the game plays it (repeating, at full volume): the
// silent start, repeats, master volume changes and restarts.
#include "sound/sound_test.h"
#include "support/wait.h"

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

class StreamTest : public SoundTest {
protected:
    void start(KSound &music, const std::string &name, const Pcm &pcm = song()) {
        ASSERT_TRUE(music.loadStream(file(name, pcm, 0).c_str()));
        music.setVolume(100);
        music.playStream(true);
    }
};

TEST_F(StreamTest, ARepeatingStreamStartsSilentPassesItsEndWithAShortGapAndRestartsOnRequest) {
    KSound music;
    start(music, "song.ogg");
    const Output out = render(3 * 44100);
    // Both halves start silent: the song begins after the first half.
    ASSERT_TRUE(music.isPlaying() && !silentRuns(out, 0).empty());
    const size_t begin = silentRuns(out, 0).front().second;
    EXPECT_TRUE(begin >= kHalfFrames && begin <= kHalfFrames + 8) << begin;
    const auto gaps = silentRuns(out, begin);
    ASSERT_GE(gaps.size(), 2u) << "three seconds pass the end of a one-second song twice";
    size_t previousStart = begin;
    for (auto [from, to] : gaps) {
        SCOPED_TRACE(from);
        // No longer than the rest of one half, after the whole song, which ended loud.
        EXPECT_TRUE(to - from <= kHalfFrames && from - previousStart >= kSongFrames - 64 &&
                    rms(out, 0, from - 2000, from) > 0.35)
            << to - from << " frames after " << from - previousStart;
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

TEST_F(StreamTest, TheMusicMasterReachesAPlayingStreamWithinOnePassAndTheEffectsMasterDoesNot) {
    KSound music;
    start(music, "steady.ogg", tone(44100, 2, 1.0, 1000, 0.5));
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

TEST_F(StreamTest, PlaysInRealTimeOnTheDevicesOwnThread) {
    audio::Device::setPulledByHand(false); // SDL's audio thread pulls the mixer, as in the game
    KSound music, click;
    start(music, "long.ogg", tone(44100, 2, 5.0, 1000, 0.5));
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
