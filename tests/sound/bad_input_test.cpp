// Files that are missing, empty, damaged or lying, a machine without a sound device, and a fuzz run of
// mutated WAV and Ogg files through every loader.
#include "sound/sound_test.h"

#include <filesystem>
#include <random>
#include <sys/stat.h>

using namespace soundtest;

namespace {

using Bytes = std::vector<uint8_t>;

// 0.05 s of 16-bit mono: 2205 frames, 4410 bytes of PCM after a 44-byte header.
Bytes smallWav() {
    return wavImage(tone(44100, 1, 0.05, 1000, 0.5), 16);
}

// The bytes with a little-endian field of `size` bytes at `offset` replaced.
Bytes poked(Bytes bytes, size_t offset, uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    return bytes;
}
Bytes part(const Bytes &bytes, size_t from, size_t to) {
    return Bytes(bytes.begin() + from, bytes.begin() + std::min(to, bytes.size()));
}
Bytes operator+(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

using BadInputTest = SoundTest;

// The file's own name says Ogg Vorbis (".ogg" anywhere in it, in lower case); the folders that lead to it
// say nothing. Damaged or lying files, and a FIFO or a device in a sound's place, are refused without
// being read and leave nothing behind; a WAV longer than its file keeps the length of the file. Only a
// file that is there but not Ogg Vorbis is reported when music is loaded.
TEST_F(BadInputTest, EachFileLoadsAsWhatItsNameAndBytesSayOrIsRefused) {
    const Bytes wav = smallWav(), ogg = oggImage(tone(44100, 1, 0.2, 1000, 0.5));
    Bytes garbage(4000);
    std::mt19937 random(7);
    std::generate(garbage.begin(), garbage.end(), [&random] { return uint8_t(random()); });
    std::filesystem::create_directories(dir.path("tunes.ogg"));
    std::filesystem::create_directories(dir.path("a b#%?é.wav"));
    for (const char *name : {"fifo.wav", "fifo.ogg"})
        ASSERT_EQ(mkfifo(dir.path(name).c_str(), 0644), 0);
    for (const char *name : {"zero.wav", "zero.ogg"})
        std::filesystem::create_symlink("/dev/zero", dir.path(name));
    const Bytes none = {'-'};                                         // the file is already there, or missing
    const std::string beyond("RIFFdata\4\0\0\0\1\2\3\4fmt \0\0", 22); // a format record past the end
    struct Case {
        const char *name;
        Bytes bytes;
        unsigned long length; // as an effect; 0: refused
        bool music, reported;
    };
    std::vector<Case> cases = {
        {"wave.OGG", wav, 4410, false, true},
        {"real.OGG", ogg, 0, true, false},
        {"real.ogg", ogg, 8820 * 2, true, false},
        {"wave.ogg", wav, 0, false, true},
        {"tunes.ogg/click.wav", wav, 4410, false, true},
        {"a b#%?é.wav/good.ogg", ogg, 8820 * 2, true, false},
        {"long.wav", poked(wav, 40, 1u << 30, 4), 4410, false, true}, // declares a gigabyte
        {"empty.wav", {}, 0, false, false},
        {"tiny.wav", {'d', 'a', 't', 'a'}, 0, false, true},
        {"no data tag.wav", poked(wav, 36, 'D', 1), 0, false, true},
        {"data length 0.wav", poked(wav, 40, 0, 4), 0, false, true},
        {"late fmt.wav", part(wav, 0, 12) + part(wav, 36, wav.size()) + part(wav, 12, 36), 0, false, true},
        {"zero channels.wav", poked(wav, 22, 0, 2), 0, false, true},
        {"seven channels.wav", poked(wav, 22, 7, 2), 0, false, true},
        {"rate 0.wav", poked(wav, 24, 0, 4), 0, false, true},
        {"absurd rate.wav", poked(wav, 24, 4000000000u, 4), 0, false, true},
        {"24 bits.wav", poked(wav, 34, 24, 2), 0, false, true},
        {"block size not channels x bytes.wav", poked(wav, 32, 3, 2), 0, false, true},
        {"not PCM.wav", poked(wav, 20, 0xfffe, 2), 0, false, true},
        {"format record beyond the end.wav", Bytes(beyond.begin(), beyond.end()), 0, false, true},
        {"data length cut off.wav", part(wav, 0, 38), 0, false, true},
        {"empty.ogg", {}, 0, false, false},
        {"garbage.ogg", garbage, 0, false, true},
        {"cut in the headers.ogg", part(ogg, 0, 60), 0, false, true},
        {"three channels.ogg", oggImage(tone(44100, 3, 0.2, 1000, 0.5)), 0, false, false},
    };
    for (const char *name :
         {"fifo.wav", "fifo.ogg", "zero.wav", "zero.ogg", "missing.ogg", "missing.wav", ""})
        cases.push_back({name, none, 0, false, false});
    KSound keeper; // keeps the device open between the many objects
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = c.bytes == none ? dir.path(c.name) : dir.write(c.name, c.bytes);
        KSound sound, music;
        EXPECT_EQ(sound.loadSample(file.c_str(), 100, false, 3), c.length != 0);
        EXPECT_EQ(sound._wavLength, c.length);
        EXPECT_EQ(sound._wavData == nullptr && sound._directSoundBuffer[0] == nullptr, c.length == 0);
        testing::internal::CaptureStderr();
        EXPECT_EQ(music.loadStream(file.c_str()), c.music);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  c.reported ? "error: error could not detect ogg file\n" : "");
        sound.playSample(); // nothing loaded: nothing happens
        music.playStream(true);
        EXPECT_EQ(sound.isPlaying(), c.length != 0);
        EXPECT_EQ(music.hThread == nullptr, !c.music);
    }
}

TEST_F(BadInputTest, WithoutADeviceEveryLoadFailsSilentlyAndALaterObjectOpensOne) {
    const std::string wav = file("tone.wav", tone(44100, 1, 0.05, 1000, 0.5));
    const std::string ogg = file("tone.ogg", tone(44100, 2, 0.2, 1000, 0.5), 0);
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1); // the fixture sets the dummy driver back
    auto early = std::make_unique<KSound>();
    ASSERT_TRUE(KSound::directSoundPtr == nullptr && KSound::_instanceCount == 0);
    EXPECT_EQ(KSound::fechnerTable[50], -831) << "the tables are ready all the same";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(early->loadSample(wav.c_str(), 100, false, 3) ||
                 early->loadSample(ogg.c_str(), 100, true, 1) || early->loadStream(ogg.c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "nothing is shown for a missing device";
    early->playSample();
    early->playStream(true);
    EXPECT_TRUE(!early->isPlaying() && early->hThread == nullptr);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    KSound later; // finds no device started and opens one, which the early object does not close
    early.reset();
    ASSERT_TRUE(KSound::directSoundPtr != nullptr && KSound::_instanceCount == 1);
    ASSERT_TRUE(later.loadSample(wav.c_str(), 100, false, 1));
    later.playSample();
    EXPECT_GT(rms(render(1000), 0, 0, 1000), 0.3);
}

// A driver that starts but cannot open its device (the disk driver with nowhere to write) is what a
// desktop without a sound card looks like. Giving the audio subsystem back must leave SDL's events to the
// window: the game's mouse clicks arrive as events.
TEST_F(BadInputTest, ADeviceThatFailsToOpenLeavesTheEventsAlone) {
    setenv("SDL_DISKAUDIOFILE", "/nonexistent-folder/quorix-audio.raw", 1);
    setenv("SDL_AUDIODRIVER", "disk", 1); // the fixture sets the dummy driver back
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
    {
        KSound first, second;
        ASSERT_EQ(KSound::directSoundPtr, nullptr);
    }
    unsetenv("SDL_DISKAUDIOFILE");
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_NE(SDL_WasInit(SDL_INIT_EVENTS), 0u);
    SDL_Event event{};
    event.type = SDL_USEREVENT;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    event.type = 0;
    while (event.type != SDL_USEREVENT && SDL_PollEvent(&event) == 1) {
    }
    EXPECT_EQ(event.type, uint32_t(SDL_USEREVENT));
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

// Mutations of a valid file: flipped bits, random values in the headers, cuts, "data" and "fmt " tags
// planted at random places, and runs of random bytes.
Bytes mutate(Bytes bytes, std::mt19937 &random) {
    for (int e = 0, edits = 1 + int(random() % 6); e < edits && !bytes.empty(); ++e) {
        const uint32_t kind = random() % 5, value = random();
        const size_t at = random() % (kind == 1 ? std::min<size_t>(bytes.size(), 64) : bytes.size());
        if (kind == 0)
            bytes[at] ^= uint8_t(1u << (value % 8));
        else if (kind == 2)
            bytes.resize(random() % (bytes.size() + 1));
        for (size_t i = 0; kind % 2 && i < (kind == 3 ? 4 : 32) && at + i < bytes.size(); ++i)
            bytes[at + i] = kind == 3 ? uint8_t("datafmt "[(value % 2) * 4 + i]) : uint8_t(random());
        for (size_t i = 0; kind == 4 && i < 4 && at + i < bytes.size(); ++i)
            bytes[at + i] = uint8_t(value >> (8 * i));
    }
    return bytes;
}

TEST_F(BadInputTest, MutatedFilesNeverCrashTheLoaders) {
    KSound keeper; // keeps the device open between the many objects
    const Bytes wav8 = wavImage(tone(22050, 2, 0.03, 1000, 0.5), 8), wav16 = smallWav();
    const Bytes ogg = oggImage(tone(44100, 2, 0.3, 1000, 0.5));
    std::mt19937 random(20261206);
    int loaded = 0, refused = 0;
    testing::internal::CaptureStderr(); // the non-Ogg message of loadStream
    for (int round = 0; round < 300; ++round) {
        const std::string wavFile = dir.write("fuzz.wav", mutate(round % 2 ? wav8 : wav16, random));
        const std::string oggFile = dir.write("fuzz.ogg", mutate(ogg, random));
        KSound sound;
        for (const std::string &name : {wavFile, oggFile}) {
            const bool loads = sound.loadSample(name.c_str(), 100, round % 3 == 0, short(round % 4));
            (loads ? loaded : refused)++;
            sound.playSample();
            sound.playSample();
            render(512);
        }
        KSound music;
        if (round % 3 == 0 && music.loadStream(oggFile.c_str())) {
            music.playStream(round % 2 == 0);
            render(3 * 4096);
        }
    }
    testing::internal::GetCapturedStderr();
    // Both outcomes happened, so the mutations reached the parsers and the players.
    EXPECT_GT(loaded, 50);
    EXPECT_GT(refused, 50);
}

} // namespace
