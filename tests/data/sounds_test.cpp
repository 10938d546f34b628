// The sound effects and the music: every file decodes, has the length it stands for, never clips,
// starts and ends at silence; every tune loops without a jump.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "data_files.h"

namespace {

using datatest::Audio;

constexpr int kFullScale = 32767;
constexpr int kNearSilence = kFullScale / 100; // -40 dBFS
constexpr size_t kEdgeFrames = 16;

struct EffectCase {
    const char *file;
    double minSeconds, maxSeconds; // what the effect stands for: a tick is short, a fanfare longer
};

class Effects : public testing::TestWithParam<EffectCase> {};

Audio loadAudio(const std::string &file) {
    const auto path = datatest::dataDir() / "audio" / file;
    auto audio = file.ends_with(".wav") ? datatest::readWav(path) : datatest::readOgg(path);
    EXPECT_TRUE(audio.has_value()) << file;
    return audio.value_or(Audio{});
}

int peakOf(const std::vector<int16_t> &samples, size_t from, size_t to) {
    int peak = 0;
    for (size_t i = from; i < to && i < samples.size(); ++i) {
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    }
    return peak;
}

TEST_P(Effects, DecodesCleanlyToItsLength) {
    const Audio audio = loadAudio(GetParam().file);
    ASSERT_GT(audio.frames(), 0u);
    EXPECT_EQ(audio.rate, 44100);
    EXPECT_GE(audio.seconds(), GetParam().minSeconds);
    EXPECT_LE(audio.seconds(), GetParam().maxSeconds);
    const int peak = peakOf(audio.samples, 0, audio.samples.size());
    EXPECT_LT(peak, kFullScale * 0.9) << "too close to clipping";
    EXPECT_GT(peak, kFullScale / 10) << "too quiet to hear";
    const size_t edge = kEdgeFrames * static_cast<size_t>(audio.channels);
    EXPECT_LT(peakOf(audio.samples, 0, edge), kNearSilence) << "clicks at the start";
    EXPECT_LT(peakOf(audio.samples, audio.samples.size() - edge, audio.samples.size()), kNearSilence)
        << "clicks at the end";
}

INSTANTIATE_TEST_SUITE_P(AllEffects, Effects,
                         testing::Values(EffectCase{"click.wav", 0.01, 0.05},
                                         EffectCase{"nohint.wav", 0.1, 0.3}, EffectCase{"swap.ogg", 0.1, 0.4},
                                         EffectCase{"good.ogg", 0.2, 0.6}, EffectCase{"hint.ogg", 0.2, 1.0},
                                         EffectCase{"thunder.ogg", 0.4, 1.2},
                                         EffectCase{"bomb.ogg", 0.3, 1.0}, EffectCase{"lifeup.ogg", 0.5, 1.5},
                                         EffectCase{"gameover.ogg", 0.8, 2.0}),
                         [](const testing::TestParamInfo<EffectCase> &info) {
                             std::string name = info.param.file;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

TEST(EffectLevels, ClickIsQuieterThanBomb) {
    const Audio click = loadAudio("click.wav");
    const Audio bomb = loadAudio("bomb.ogg");
    EXPECT_LT(peakOf(click.samples, 0, click.samples.size()), peakOf(bomb.samples, 0, bomb.samples.size()));
}

std::vector<std::filesystem::path> tunes() {
    std::vector<std::filesystem::path> found;
    for (const auto &entry : std::filesystem::directory_iterator(datatest::dataDir() / "music")) {
        if (entry.path().extension() == ".ogg") {
            found.push_back(entry.path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

TEST(Music, AtLeastThreeDistinctTunesOfOneToTwoMinutes) {
    const auto files = tunes();
    ASSERT_GE(files.size(), 3u);
    std::vector<Audio> decoded;
    for (const auto &file : files) {
        auto audio = datatest::readOgg(file);
        ASSERT_TRUE(audio.has_value()) << file;
        EXPECT_GE(audio->seconds(), 60.0) << file;
        EXPECT_LE(audio->seconds(), 120.0) << file;
        EXPECT_LT(peakOf(audio->samples, 0, audio->samples.size()), kFullScale * 0.95) << file;
        // The tune name is drawn with the high-score font: lower case, digits, colon and space.
        for (char c : file.stem().string()) {
            EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' || c == ':') << file;
        }
        decoded.push_back(std::move(*audio));
    }
    for (size_t a = 0; a < decoded.size(); ++a) {
        for (size_t b = a + 1; b < decoded.size(); ++b) {
            EXPECT_NE(decoded[a].frames(), decoded[b].frames())
                << "tunes " << a << " and " << b << " look alike";
        }
    }
}

// Played as a loop, the last frame is followed by the first: the step between them must be no bigger
// than the steps the music itself takes around there.
TEST(Music, EveryTuneJoinsItsStartWithoutAJump) {
    for (const auto &file : tunes()) {
        const auto audio = datatest::readOgg(file);
        ASSERT_TRUE(audio.has_value()) << file;
        const size_t channels = static_cast<size_t>(audio->channels);
        const size_t frames = audio->frames();
        ASSERT_GT(frames, 4096u);
        for (size_t c = 0; c < channels; ++c) {
            auto at = [&](size_t frame) { return static_cast<int>(audio->samples[frame * channels + c]); };
            int largestStep = 0;
            for (size_t f = frames - 512; f + 1 < frames; ++f) {
                largestStep = std::max(largestStep, std::abs(at(f + 1) - at(f)));
            }
            for (size_t f = 0; f + 1 < 512; ++f) {
                largestStep = std::max(largestStep, std::abs(at(f + 1) - at(f)));
            }
            const int join = std::abs(at(0) - at(frames - 1));
            EXPECT_LE(join, 2 * largestStep + kNearSilence / 4) << file << " channel " << c;
        }
    }
}

} // namespace
