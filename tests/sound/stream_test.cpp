// Streamed music measured in the mixer's output: the silent start, repeats, the end of a song that
// does not repeat, master volume changes, restarts and a decoder fault.
#include "sound/sound_test.h"
#include "support/wait.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

using namespace soundtest;

namespace {

constexpr size_t kHalfFrames = KSound::kStreamHalfBytes / 4; // 16-bit stereo at 44.1 kHz
constexpr size_t kSongFrames = 44100;
constexpr size_t kQuietFrames = kSongFrames / 4;

// One second of 1 kHz: a quiet first quarter (amplitude 0.2), then loud (0.6), so that the start of
// the song can be told from the rest.
Pcm song() {
    return tone(44100, 2, 1.0, 1000, [](size_t frame) { return frame < kQuietFrames ? 0.2 : 0.6; });
}

bool silentFrame(const Output &out, size_t frame) {
    return out.samples[frame * 2] == 0 && out.samples[frame * 2 + 1] == 0;
}

struct SilentRun {
    size_t from, to;
};

// Runs of exact silence of at least 64 frames (a sine's own zero crossings are single samples).
std::vector<SilentRun> silentRuns(const Output &out, size_t from) {
    std::vector<SilentRun> runs;
    size_t start = from;
    bool inRun = false;
    for (size_t f = from; f <= out.frames(); ++f) {
        bool silent = f < out.frames() && silentFrame(out, f);
        if (silent && !inRun) {
            start = f;
            inRun = true;
        } else if (!silent && inRun) {
            if (f - start >= 64)
                runs.push_back({start, f});
            inRun = false;
        }
    }
    return runs;
}

size_t firstSound(const Output &out) {
    for (size_t f = 0; f < out.frames(); ++f)
        if (!silentFrame(out, f))
            return f;
    return out.frames();
}

class StreamTest : public SoundTest {
protected:
    std::string songFile() { return dir.write("song.ogg", oggImage(song())); }

    void start(KSound &music, const std::string &file, bool loop) {
        ASSERT_TRUE(music.loadStream(file.c_str()));
        music.setVolume(100);
        music.playStream(loop);
    }
};

TEST_F(StreamTest, RepeatingStreamStartsSilentAndPassesItsEndWithAShortGap) {
    KSound music;
    start(music, songFile(), true);
    Output out = render(3 * 44100);
    EXPECT_TRUE(music.isPlaying());

    // Both halves start silent: the song begins after the first half.
    size_t begin = firstSound(out);
    EXPECT_GE(begin, kHalfFrames);
    EXPECT_LE(begin, kHalfFrames + 8);

    std::vector<SilentRun> gaps = silentRuns(out, begin);
    ASSERT_GE(gaps.size(), 2u) << "three seconds pass the end of a one-second song twice";
    size_t previousStart = begin;
    for (const SilentRun &gap : gaps) {
        SCOPED_TRACE(gap.from);
        EXPECT_LE(gap.to - gap.from, kHalfFrames) << "no longer than the rest of one half";
        // The whole song was heard before the gap, and it ended loud.
        EXPECT_GE(gap.from - previousStart, kSongFrames - 64);
        EXPECT_GT(rms(out, 0, gap.from - 2000, gap.from), 0.35);
        // After the gap the song starts again: its quiet beginning, then the loud part.
        if (gap.to + 20000 <= out.frames()) {
            EXPECT_LT(rms(out, 0, gap.to, gap.to + 2000), 0.2);
            EXPECT_GT(rms(out, 0, gap.to + kQuietFrames + 1000, gap.to + kQuietFrames + 5000), 0.35);
        }
        previousStart = gap.to;
    }
}

TEST_F(StreamTest, NonRepeatingStreamStopsAtTheEndAndReportsNotPlaying) {
    KSound music;
    start(music, songFile(), false);
    Output out;
    size_t stoppedAt = 0;
    for (size_t done = 0; done < 2 * 44100; done += 1024) {
        Output piece = render(1024);
        out.samples.insert(out.samples.end(), piece.samples.begin(), piece.samples.end());
        if (!stoppedAt && !music.isPlaying())
            stoppedAt = done + 1024;
    }
    ASSERT_NE(stoppedAt, 0u) << "the stream never stopped";
    EXPECT_TRUE(music._oggCompleted);
    // It stops as soon as the decoder reaches the end: up to two halves of the song are not heard.
    size_t songEnd = kHalfFrames + kSongFrames;
    EXPECT_LE(stoppedAt, songEnd + 1024);
    EXPECT_GE(stoppedAt, songEnd - 2 * kHalfFrames);
    EXPECT_TRUE(silentRuns(out, firstSound(out)).size() == 1) << "no gap before the end";
    for (size_t f = stoppedAt; f < out.frames(); ++f)
        ASSERT_TRUE(silentFrame(out, f)) << f;

    // The buffer was left silent, so playing the song again starts with silence, then the song.
    music.playStream(false);
    Output again = render(kHalfFrames + 2000);
    EXPECT_EQ(firstSound(again), firstSound(out));
    EXPECT_TRUE(music.isPlaying());
}

TEST_F(StreamTest, MusicMasterChangeReachesAPlayingStreamWithinOnePass) {
    Pcm steady = tone(44100, 2, 1.0, 1000, 0.5);
    KSound music;
    start(music, dir.write("steady.ogg", oggImage(steady)), true);
    render(2 * kHalfFrames);
    double before = rms(render(kHalfFrames), 0, 0, kHalfFrames);

    KSound::setGlobalVolumes(-1, 0); // the effects master does not touch music
    render(2 * kHalfFrames + 1024);
    EXPECT_NEAR(decibels(rms(render(kHalfFrames), 0, 0, kHalfFrames) / before), 0.0, 0.05);

    KSound::setGlobalVolumes(50, -1);
    render(2 * kHalfFrames + 1024); // a pass of the feeding loop refills both halves
    double after = rms(render(kHalfFrames), 0, 0, kHalfFrames);
    EXPECT_NEAR(decibels(after / before), (KSound::fechnerTable[50] - KSound::fechnerTable[99]) / 100.0, 0.1);
}

TEST_F(StreamTest, PlayStreamAgainRestartsFromTheBeginning) {
    KSound music;
    start(music, songFile(), true);
    Output first = render(kHalfFrames + 8000);
    render(20000); // well into the loud part

    music.playStream(true);
    Output again = render(kHalfFrames + 8000);
    EXPECT_EQ(firstSound(again), firstSound(first)) << "the old content of the buffer is not heard";
    // The same decoded beginning, sample for sample.
    EXPECT_TRUE(std::equal(first.samples.begin(), first.samples.end(), again.samples.begin()));
    EXPECT_TRUE(music.isPlaying());
    EXPECT_NE(music.hThread, nullptr);
}

TEST_F(StreamTest, MonoStreamAtAnotherRateIsResampled) {
    KSound music;
    start(music, dir.write("mono.ogg", oggImage(tone(22050, 1, 1.0, 500, 0.5))), true);
    Output out = render(44100);
    // One half of mono 22.05 kHz lasts twice as many output frames.
    EXPECT_GE(firstSound(out), 2 * 8192u - 1) << "(the last silent frame leans towards the next)";
    EXPECT_NEAR(decibels(rms(out, 0, 20000, 40000) / (0.5 / std::sqrt(2.0))), -0.12, 0.2);
    EXPECT_DOUBLE_EQ(rms(out, 0, 20000, 40000), rms(out, 1, 20000, 40000));
}

TEST_F(StreamTest, DecoderFaultSilencesAHalfAndRestartsTheSong) {
    std::vector<uint8_t> bytes = oggImage(song());
    // Spoil the body of a page in the middle: it fails its check and the decoder reports a hole.
    std::vector<size_t> pages;
    for (size_t i = 0; i + 4 <= bytes.size(); ++i)
        if (std::memcmp(&bytes[i], "OggS", 4) == 0)
            pages.push_back(i);
    ASSERT_GE(pages.size(), 5u);
    size_t spoilt = pages.size() / 2;
    for (size_t i = pages[spoilt] + 30; i < pages[spoilt + 1]; ++i)
        bytes[i] ^= 0x5a;
    KSound music;
    start(music, dir.write("spoilt.ogg", bytes), true);
    Output out = render(2 * 44100);
    EXPECT_TRUE(music.isPlaying());
    size_t begin = firstSound(out);
    std::vector<SilentRun> gaps = silentRuns(out, begin);
    ASSERT_FALSE(gaps.empty());
    EXPECT_LT(gaps[0].from - begin, kSongFrames / 2) << "the fault ended the pass early";
    // What the faulty half had decoded is dropped: the whole half is silent.
    EXPECT_GE(gaps[0].to - gaps[0].from, kHalfFrames);
    EXPECT_LE(gaps[0].to - gaps[0].from, 2 * kHalfFrames);
    // Then the song starts again from its beginning.
    EXPECT_LT(rms(out, 0, gaps[0].to, gaps[0].to + 2000), 0.2);
}

TEST_F(StreamTest, FilesThatAreNotOggVorbisAreRefused) {
    KSound music;
    std::string wav = dir.write("tune.wav", wavImage(tone(44100, 2, 0.2, 440, 0.5), 16));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(music.loadStream(wav.c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "error: error could not detect ogg file\n");

    testing::internal::CaptureStderr();
    EXPECT_FALSE(music.loadStream(dir.path("missing.ogg").c_str()));
    EXPECT_FALSE(music.loadStream(dir.write("empty.ogg", {}).c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "only a file that is there but not Ogg is shown";

    music.playStream(true); // nothing loaded: nothing happens
    EXPECT_FALSE(music.isPlaying());
    EXPECT_EQ(music.hThread, nullptr);
}

TEST_F(StreamTest, ReloadingAPlayingObjectStopsItsThread) {
    KSound music;
    start(music, songFile(), true);
    render(kHalfFrames * 3);
    ASSERT_NE(music.hThread, nullptr);
    std::string wav = dir.write("click.wav", wavImage(tone(44100, 1, 0.1, 1000, 0.5), 16));
    ASSERT_TRUE(music.loadSample(wav.c_str(), 100, false, 1));
    EXPECT_EQ(music.hThread, nullptr);
    EXPECT_EQ(music._type, 0);
    music.playSample();
    EXPECT_TRUE(music.isPlaying());
    render(4410 + 10);
    EXPECT_FALSE(music.isPlaying());
}

} // namespace

namespace {

TEST_F(StreamTest, PlaysInRealTimeOnTheDevicesOwnThread) {
    audio::Device::setPulledByHand(false); // SDL's audio thread pulls the mixer, as in the game
    KSound music, click;
    ASSERT_TRUE(music.loadStream(dir.write("long.ogg", oggImage(tone(44100, 2, 5.0, 1000, 0.5))).c_str()));
    ASSERT_TRUE(click.loadSample(
        dir.write("click.wav", wavImage(tone(44100, 1, 0.15, 1000, 0.5), 16)).c_str(), 100, false, 3));
    music.setVolume(100);
    music.playStream(true);
    click.playSample();
    EXPECT_TRUE(click.isPlaying());
    EXPECT_TRUE(support::waitUntil([&] { return !click.isPlaying(); }))
        << "the device plays the click to its end";
    EXPECT_TRUE(music.isPlaying());
    const uint32_t position = music._directSoundBuffer[0]->position();
    EXPECT_TRUE(support::waitUntil([&] { return music._directSoundBuffer[0]->position() != position; }))
        << "the music moves on";
    KSound::setGlobalVolumes(30, 30); // changed while the device thread mixes
    const uint32_t later = music._directSoundBuffer[0]->position();
    EXPECT_TRUE(support::waitUntil([&] { return music._directSoundBuffer[0]->position() != later; }));
}

} // namespace
