// The generator itself: the same bytes on every run, it leaves alone what it did not make, and no two
// boxes of text on one of its pictures overlap. The sound effects and the music it makes: every file
// decodes, has the length it stands for, never clips, starts and ends at silence; every tune loops
// without a jump.
#include <gtest/gtest.h>

#include <SDL.h>
#include <sys/wait.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

std::map<std::string, fs::path> filesUnder(const fs::path &root) {
    std::map<std::string, fs::path> files;
    for (const auto &entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), root).generic_string()] = entry.path();
    return files;
}

int runGenerator(const std::string &arguments) {
    // Built with append rather than a chain of +: GCC 12 warns falsely (array-bounds) on the chain for
    // some lengths of the program's path, and warnings are errors in CI.
    std::string command = "ASAN_OPTIONS=detect_leaks=0 '";
    command.append(QUORIX_ASSETGEN).append("' ").append(arguments);
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class GeneratorRun : public testing::Test {
protected:
    support::TempFolder folder{"assetgen"};
};

TEST_F(GeneratorRun, SameBytesAsTheBuildAndForeignFilesSurvive) {
#ifdef QUORIX_SANITIZED
    GTEST_SKIP() << "the plain build compares the bytes; this build ran its generator already";
#endif
    // What the game writes into its data folder: scores, launcher settings.
    const std::map<std::string, std::string> foreign = {
        {"s60", "scores of a player"}, {"skin.stt", "\x04\0\0\0"}, {"skins/0/notes.txt", "mine"}};
    for (const auto &[name, content] : foreign)
        folder.write("data/" + name, support::Bytes(content.begin(), content.end()));
    ASSERT_EQ(runGenerator("'" + folder.path("data") + "'"), 0);

    const auto built = filesUnder(fs::path(QUORIX_DATA_DIR));
    int compared = 0;
    for (const auto &[name, path] : filesUnder(folder.root() / "data")) {
        const auto other = built.find(name);
        if (foreign.count(name) != 0) {
            const support::Bytes bytes = support::readBytes(path);
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), foreign.at(name)) << name << " was touched";
        } else if (other == built.end()) {
            ADD_FAILURE() << name << " is not in the build's data folder";
        } else {
            EXPECT_TRUE(support::readBytes(path) == support::readBytes(other->second)) << name << " differs";
            ++compared;
        }
    }
    EXPECT_GT(compared, 100);
}

// A caption written over a button, or two lines run into each other, would be unreadable. A caption
// drawn again over itself (a lit control over the unlit one) is one box.
TEST_F(GeneratorRun, NoTwoTextBoxesOfAPictureOverlap) {
    ASSERT_EQ(runGenerator("--text-boxes '" + folder.path("boxes.txt") + "'"), 0);
    struct Box {
        int picture;
        double x1, y1, x2, y2;
        std::string text;
    };
    std::vector<Box> boxes;
    std::ifstream in(folder.path("boxes.txt"));
    for (Box b; in >> b.picture >> b.x1 >> b.y1 >> b.x2 >> b.y2 && std::getline(in, b.text);) {
        const bool overlap = std::any_of(boxes.begin(), boxes.end(), [&](const Box &q) {
            const bool same =
                q.text == b.text && q.x1 == b.x1 && q.y1 == b.y1 && q.x2 == b.x2 && q.y2 == b.y2;
            return q.picture == b.picture && !same && b.x1 < q.x2 && q.x1 < b.x2 && b.y1 < q.y2 &&
                   q.y1 < b.y2;
        });
        EXPECT_FALSE(overlap) << "picture " << b.picture << ":" << b.text << " (" << b.x1 << "," << b.y1
                              << ")-(" << b.x2 << "," << b.y2 << ") overlaps an earlier box";
        boxes.push_back(b);
    }
    EXPECT_GT(boxes.size(), 100u);
    EXPECT_TRUE(std::any_of(boxes.begin(), boxes.end(),
                            [](const Box &b) { return b.text == " Thanks for playing!"; }));
}

struct Audio {
    int channels = 0;
    int rate = 0;
    std::vector<int16_t> samples; // interleaved
    size_t frames() const { return channels > 0 ? samples.size() / static_cast<size_t>(channels) : 0; }
    double seconds() const { return rate > 0 ? static_cast<double>(frames()) / rate : 0; }
};

// 16-bit PCM WAV, or Ogg Vorbis, decoded whole.
std::optional<Audio> readAudio(const std::filesystem::path &path) {
    Audio audio;
    if (path.extension() == ".wav") {
        SDL_AudioSpec wav;
        Uint8 *buffer = nullptr;
        Uint32 length = 0;
        if (SDL_LoadWAV(path.c_str(), &wav, &buffer, &length) == nullptr)
            return std::nullopt;
        const bool pcm16 = wav.format == AUDIO_S16LSB;
        audio = {wav.channels, wav.freq, std::vector<int16_t>(length / 2)};
        std::memcpy(audio.samples.data(), buffer, length / 2 * 2);
        SDL_FreeWAV(buffer);
        return pcm16 ? std::optional(audio) : std::nullopt;
    }
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0)
        return std::nullopt;
    audio.channels = ov_info(&file, -1)->channels;
    audio.rate = static_cast<int>(ov_info(&file, -1)->rate);
    char buffer[16384];
    int section = 0;
    long got = 0;
    while ((got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section)) > 0) {
        const size_t old = audio.samples.size();
        audio.samples.resize(old + static_cast<size_t>(got) / 2);
        std::memcpy(audio.samples.data() + old, buffer, static_cast<size_t>(got) / 2 * 2);
    }
    ov_clear(&file);
    return got == 0 ? std::optional(audio) : std::nullopt;
}

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
    for (const auto &entry : std::filesystem::directory_iterator(fs::path(QUORIX_DATA_DIR) / "audio")) {
        SCOPED_TRACE(entry.path());
        const auto audio = readAudio(entry.path());
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
    for (const auto &entry : std::filesystem::directory_iterator(fs::path(QUORIX_DATA_DIR) / "music")) {
        const std::filesystem::path &file = entry.path();
        if (file.extension() != ".ogg")
            continue;
        SCOPED_TRACE(file);
        const auto audio = readAudio(file);
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
