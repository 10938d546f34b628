// The sound effects and the music: every file decodes, has the length it stands for, never clips,
// starts and ends at silence; every tune loops without a jump.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "data_files.h"

namespace {

using datatest::Audio;

constexpr int kFullScale = 32767;
constexpr int kNearSilence = kFullScale / 100; // -40 dBFS
constexpr size_t kEdgeFrames = 16;

int peakOf(const std::vector<int16_t> &samples, size_t from, size_t to) {
    int peak = 0;
    for (size_t i = from; i < to && i < samples.size(); ++i)
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    return peak;
}

// Every effect decodes at 44.1 kHz, lasts from a tick to a short fanfare, is loud enough to hear without
// clipping, and starts and ends at silence. The click is quieter than the bomb.
TEST(Effects, DecodeCleanlyAndStartAndEndAtSilence) {
    std::map<std::string, int> peaks;
    for (const auto &entry : std::filesystem::directory_iterator(datatest::dataDir() / "audio")) {
        SCOPED_TRACE(entry.path());
        const auto audio = datatest::readAudio(entry.path());
        ASSERT_TRUE(audio.has_value());
        ASSERT_GT(audio->frames(), kEdgeFrames);
        EXPECT_EQ(audio->rate, 44100);
        EXPECT_GE(audio->seconds(), 0.01);
        EXPECT_LE(audio->seconds(), 2.0);
        const int peak = peaks[entry.path().filename()] = peakOf(audio->samples, 0, audio->samples.size());
        EXPECT_LT(peak, kFullScale * 0.9) << "too close to clipping";
        EXPECT_GT(peak, kFullScale / 10) << "too quiet to hear";
        const size_t edge = kEdgeFrames * static_cast<size_t>(audio->channels), end = audio->samples.size();
        EXPECT_LT(peakOf(audio->samples, 0, edge), kNearSilence) << "clicks at the start";
        EXPECT_LT(peakOf(audio->samples, end - edge, end), kNearSilence) << "clicks at the end";
    }
    EXPECT_GE(peaks.size(), 9u);
    EXPECT_LT(peaks["click.wav"], peaks["bomb.ogg"]);
}

// At least three distinct tunes of one to two minutes, named in the letters the high-score font draws.
// Played as a loop, the last frame is followed by the first: the step between them must be no bigger
// than the steps the music itself takes around there.
TEST(Music, DistinctTunesThatLoopWithoutAJump) {
    std::vector<size_t> lengths;
    for (const auto &entry : std::filesystem::directory_iterator(datatest::dataDir() / "music")) {
        const std::filesystem::path &file = entry.path();
        if (file.extension() != ".ogg")
            continue;
        SCOPED_TRACE(file);
        const auto audio = datatest::readAudio(file);
        ASSERT_TRUE(audio.has_value());
        EXPECT_GE(audio->seconds(), 60.0);
        EXPECT_LE(audio->seconds(), 120.0);
        EXPECT_LT(peakOf(audio->samples, 0, audio->samples.size()), kFullScale * 0.95);
        for (char c : file.stem().string())
            EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' || c == ':');
        EXPECT_EQ(std::count(lengths.begin(), lengths.end(), audio->frames()), 0) << "two tunes look alike";
        lengths.push_back(audio->frames());

        const size_t channels = static_cast<size_t>(audio->channels), frames = audio->frames();
        for (size_t c = 0; c < channels; ++c) {
            auto at = [&](size_t frame) { return static_cast<int>(audio->samples[frame * channels + c]); };
            int largestStep = 0;
            for (size_t f = 0; f + 1 < 512; ++f) {
                largestStep = std::max(largestStep, std::abs(at(f + 1) - at(f)));
                largestStep = std::max(largestStep, std::abs(at(frames - f - 1) - at(frames - f - 2)));
            }
            EXPECT_LE(std::abs(at(0) - at(frames - 1)), 2 * largestStep + kNearSilence / 4)
                << "channel " << c;
        }
    }
    EXPECT_GE(lengths.size(), 3u);
}

} // namespace
