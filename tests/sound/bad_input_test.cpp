// Files that are missing, empty, damaged or lying, a machine without a sound device, and a fuzz run
// of mutated WAV and Ogg files through every loader.
#include "sound/sound_test.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <random>
#include <sys/stat.h>

using namespace soundtest;

namespace {

class BadInputTest : public SoundTest {
protected:
    // 0.05 s of 16-bit mono: 2205 frames, 4410 bytes of PCM after a 44-byte header.
    std::vector<uint8_t> smallWav() { return wavImage(tone(44100, 1, 0.05, 1000, 0.5), 16); }

    // Replaces the 16-bit or 32-bit little-endian field at an offset of the canonical header.
    static void poke(std::vector<uint8_t> &bytes, size_t offset, uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }

    // Loads, plays and checks that a refused file left nothing behind.
    void expectRefused(const std::string &file, const char *why) {
        KSound sound;
        EXPECT_FALSE(sound.loadSample(file.c_str(), 100, false, 3)) << why;
        EXPECT_EQ(sound._wavData, nullptr) << why;
        EXPECT_EQ(sound._directSoundBuffer[0], nullptr) << why;
        sound.playSample();
        EXPECT_FALSE(sound.isPlaying()) << why;
    }
};

TEST_F(BadInputTest, UnusableWavFilesAreRefused) {
    KSound keeper; // keeps the device open between the many objects
    expectRefused(dir.path("missing.wav"), "missing");
    expectRefused(dir.write("empty.wav", {}), "empty");
    expectRefused(dir.write("tiny.wav", {'d', 'a', 't', 'a'}), "shorter than a tag and its length");
    expectRefused(dir.path(""), "a folder");

    std::vector<uint8_t> wav = smallWav();
    std::vector<uint8_t> noData = wav;
    noData[36] = 'D'; // "Data" is not the tag
    expectRefused(dir.write("nodata.wav", noData), "no data tag");

    std::vector<uint8_t> emptyData = wav;
    poke(emptyData, 40, 0, 4);
    expectRefused(dir.write("zerolength.wav", emptyData), "data length 0");

    // "data" first, then "fmt ": no format when the data is found.
    std::vector<uint8_t> dataFirst(wav.begin(), wav.begin() + 12);
    dataFirst.insert(dataFirst.end(), wav.begin() + 36, wav.end());
    dataFirst.insert(dataFirst.end(), wav.begin() + 12, wav.begin() + 36);
    expectRefused(dir.write("datafirst.wav", dataFirst), "data before fmt");

    struct Field {
        size_t offset;
        uint32_t value;
        int size;
        const char *why;
    };
    for (Field f :
         {Field{22, 0, 2, "zero channels"}, Field{22, 7, 2, "seven channels"}, Field{24, 0, 4, "rate 0"},
          Field{24, 4000000000u, 4, "absurd rate"}, Field{34, 24, 2, "24 bits"},
          Field{32, 3, 2, "block size not channels x bytes"}, Field{20, 0xfffe, 2, "not PCM"}}) {
        std::vector<uint8_t> bad = wav;
        poke(bad, f.offset, f.value, f.size);
        expectRefused(dir.write("bad.wav", bad), f.why);
    }

    // A "fmt " tag at the very end: its record would lie past the end of the file.
    std::vector<uint8_t> fmtAtEnd = {'R', 'I', 'F', 'F', 'd', 'a', 't', 'a', 4,   0, 0,
                                     0,   1,   2,   3,   4,   'f', 'm', 't', ' ', 0, 0};
    expectRefused(dir.write("fmtatend.wav", fmtAtEnd), "format record beyond the end");
    // A "data" tag whose length field is cut off by the end of the file.
    std::vector<uint8_t> cutTag(wav.begin(), wav.begin() + 38);
    expectRefused(dir.write("cuttag.wav", cutTag), "data length cut off");
}

TEST_F(BadInputTest, DataLongerThanTheFileIsCutToTheBytesPresent) {
    std::vector<uint8_t> wav = smallWav();
    poke(wav, 40, 1u << 30, 4); // a gigabyte declared, 4410 bytes there
    KSound sound;
    ASSERT_TRUE(sound.loadSample(dir.write("long.wav", wav).c_str(), 100, false, 2));
    EXPECT_EQ(sound._wavLength, 4410u);
    EXPECT_EQ(sound._directSoundBuffer[1]->size(), 4410u);
    sound.playSample();
    Output out = render(2205 + 100);
    EXPECT_FALSE(sound.isPlaying());
    EXPECT_GT(rms(out, 0, 0, 2205), 0.3);
    EXPECT_EQ(rms(out, 0, 2206, 2305), 0.0) << "nothing beyond the file is played";
}

// The file's own name says Ogg Vorbis (".ogg" anywhere in it, in lower case); the folders that lead
// to it say nothing. A FIFO or a device in a sound's place is refused without being read.
TEST_F(BadInputTest, TheFilesOwnNameSaysOggAndOnlyFilesLoad) {
    const std::vector<uint8_t> wav = smallWav();
    const std::vector<uint8_t> ogg = oggImage(tone(44100, 1, 0.2, 1000, 0.5));
    std::filesystem::create_directories(dir.path("tunes.ogg"));
    std::filesystem::create_directories(dir.path("a b#%?é.wav"));
    ASSERT_EQ(mkfifo(dir.path("fifo.wav").c_str(), 0644), 0);
    ASSERT_EQ(mkfifo(dir.path("fifo.ogg").c_str(), 0644), 0);
    std::filesystem::create_symlink("/dev/zero", dir.path("zero.wav"));
    std::filesystem::create_symlink("/dev/zero", dir.path("zero.ogg"));
    const struct {
        const char *name;
        const std::vector<uint8_t> *bytes; // null: already there
        bool loads;
        unsigned long length;
    } cases[] = {
        {"wave.OGG", &wav, true, 4410},            // read as WAV
        {"real.OGG", &ogg, false, 0},              // Ogg read as WAV
        {"real.ogg", &ogg, true, 8820 * 2},        // 0.2 s of 16-bit mono
        {"wave.ogg", &wav, false, 0},              // WAV read as Ogg
        {"tunes.ogg/click.wav", &wav, true, 4410}, // the folder's name does not count
        {"a b#%?é.wav/good.ogg", &ogg, true, 8820 * 2},
        {"fifo.wav", nullptr, false, 0},
        {"fifo.ogg", nullptr, false, 0},
        {"zero.wav", nullptr, false, 0},
        {"zero.ogg", nullptr, false, 0},
    };
    KSound sound;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = c.bytes ? dir.write(c.name, *c.bytes) : dir.path(c.name);
        EXPECT_EQ(sound.loadSample(file.c_str(), 100, false, 1), c.loads);
        if (c.loads) {
            EXPECT_EQ(sound._wavLength, c.length);
        }
        KSound stream;
        EXPECT_EQ(stream.loadStream(file.c_str()), c.bytes == &ogg);
    }
}

TEST_F(BadInputTest, DamagedOggEffectsAreRefusedOrPlayWhatIsThere) {
    std::vector<uint8_t> ogg = oggImage(tone(44100, 2, 2.0, 1000, 0.5));
    expectRefused(dir.path("missing.ogg"), "missing");
    expectRefused(dir.write("empty.ogg", {}), "empty");
    std::vector<uint8_t> garbage(4000);
    std::mt19937 random(7);
    for (uint8_t &b : garbage)
        b = static_cast<uint8_t>(random());
    expectRefused(dir.write("garbage.ogg", garbage), "garbage");
    expectRefused(dir.write("headers.ogg", std::vector<uint8_t>(ogg.begin(), ogg.begin() + 60)),
                  "cut in the headers");
    expectRefused(dir.write("surround.ogg", oggImage(tone(44100, 3, 0.2, 1000, 0.5))), "three channels");

    // Cut in the middle of the audio pages (after the headers): what decodes is played.
    size_t audioStart = 0;
    for (size_t at = 0; at + 14 <= ogg.size() && !audioStart; ++at) {
        bool page = std::memcmp(&ogg[at], "OggS", 4) == 0;
        if (page && std::any_of(&ogg[at + 6], &ogg[at + 14], [](uint8_t b) { return b != 0; }))
            audioStart = at; // the first page with a sample position
    }
    ASSERT_GT(audioStart, 0u);
    std::vector<uint8_t> half(ogg.begin(), ogg.begin() + (audioStart + ogg.size()) / 2);
    KSound sound;
    ASSERT_TRUE(sound.loadSample(dir.write("half.ogg", half).c_str(), 100, false, 1));
    EXPECT_GT(sound._wavLength, 0u);
    EXPECT_LT(sound._wavLength, 88200u * 4);
    sound.playSample();
    EXPECT_GT(rms(render(2000), 0, 0, 2000), 0.1);
}

// Runs with the driver SDL is told to use; restores the setting afterwards.
class AudioDriver {
public:
    explicit AudioDriver(const char *name) {
        const char *old = std::getenv("SDL_AUDIODRIVER");
        _had = old != nullptr;
        if (old)
            _old = old;
        setenv("SDL_AUDIODRIVER", name, 1);
    }
    ~AudioDriver() {
        if (_had)
            setenv("SDL_AUDIODRIVER", _old.c_str(), 1);
        else
            unsetenv("SDL_AUDIODRIVER");
    }

private:
    bool _had;
    std::string _old;
};

TEST_F(BadInputTest, WithoutADeviceEveryLoadFailsSilently) {
    std::string wav = dir.write("tone.wav", smallWav());
    std::string ogg = dir.write("tone.ogg", oggImage(tone(44100, 2, 0.2, 1000, 0.5)));
    AudioDriver none("no-such-driver");
    KSound sound;
    ASSERT_EQ(KSound::directSoundPtr, nullptr);
    EXPECT_EQ(KSound::_instanceCount, 0);
    EXPECT_EQ(KSound::fechnerTable[50], -831) << "the tables are ready all the same";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(sound.loadSample(wav.c_str(), 100, false, 3));
    EXPECT_FALSE(sound.loadSample(ogg.c_str(), 100, true, 1));
    EXPECT_FALSE(sound.loadStream(ogg.c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "nothing is shown for a missing device";
    sound.playSample();
    sound.playStream(true);
    sound.setVolume(50);
    sound.setPan(10);
    EXPECT_FALSE(sound.isPlaying());
    EXPECT_EQ(sound.hThread, nullptr);
}

TEST_F(BadInputTest, AnObjectMadeWithoutADeviceDoesNotCloseALaterOne) {
    std::string wav = dir.write("tone.wav", smallWav());
    auto silent = std::make_unique<AudioDriver>("no-such-driver");
    auto early = std::make_unique<KSound>();
    ASSERT_EQ(KSound::directSoundPtr, nullptr);
    silent.reset();

    KSound later; // finds no device started and opens one
    ASSERT_NE(KSound::directSoundPtr, nullptr);
    EXPECT_EQ(KSound::_instanceCount, 1);
    early.reset();
    EXPECT_EQ(KSound::_instanceCount, 1);
    ASSERT_NE(KSound::directSoundPtr, nullptr) << "the device stays with the object that opened it";
    ASSERT_TRUE(later.loadSample(wav.c_str(), 100, false, 1));
    later.playSample();
    EXPECT_GT(rms(render(1000), 0, 0, 1000), 0.3);
}

// A driver that starts but cannot open its device (the disk driver with nowhere to write) is what a
// desktop without a sound card looks like. Giving the audio subsystem back must leave SDL's events to
// the window: the game's mouse clicks arrive as events.
TEST_F(BadInputTest, ADeviceThatFailsToOpenLeavesTheEventsAlone) {
    setenv("SDL_DISKAUDIOFILE", "/nonexistent-folder/quorix-audio.raw", 1);
    AudioDriver disk("disk");
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
    {
        KSound first;
        KSound second;
        ASSERT_EQ(KSound::directSoundPtr, nullptr);
    }
    unsetenv("SDL_DISKAUDIOFILE");
    EXPECT_NE(SDL_WasInit(SDL_INIT_EVENTS), 0u);
    SDL_Event pushed{};
    pushed.type = SDL_USEREVENT;
    ASSERT_EQ(SDL_PushEvent(&pushed), 1);
    SDL_Event received{};
    bool found = false;
    while (SDL_PollEvent(&received))
        found = found || received.type == SDL_USEREVENT;
    EXPECT_TRUE(found);
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

// Mutations of a valid file: flipped bytes, overwritten header fields, cuts, and tags planted at
// random places.
std::vector<uint8_t> mutate(const std::vector<uint8_t> &original, std::mt19937 &random) {
    std::vector<uint8_t> bytes = original;
    auto pick = [&random](size_t n) { return n ? static_cast<size_t>(random() % n) : 0; };
    int edits = 1 + static_cast<int>(random() % 6);
    for (int e = 0; e < edits && !bytes.empty(); ++e) {
        switch (random() % 5) {
        case 0:
            bytes[pick(bytes.size())] ^= static_cast<uint8_t>(1u << (random() % 8));
            break;
        case 1: { // a random 32-bit value into the first 64 bytes (the headers)
            size_t at = pick(std::min<size_t>(bytes.size(), 64));
            uint32_t value = random();
            for (size_t i = 0; i < 4 && at + i < bytes.size(); ++i)
                bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
            break;
        }
        case 2:
            bytes.resize(pick(bytes.size() + 1));
            break;
        case 3: {
            const char *tag = random() % 2 ? "data" : "fmt ";
            size_t at = pick(bytes.size());
            for (size_t i = 0; i < 4 && at + i < bytes.size(); ++i)
                bytes[at + i] = static_cast<uint8_t>(tag[i]);
            break;
        }
        case 4: { // a run of random bytes
            size_t at = pick(bytes.size());
            for (size_t i = at; i < std::min(bytes.size(), at + 32); ++i)
                bytes[i] = static_cast<uint8_t>(random());
            break;
        }
        }
    }
    return bytes;
}

TEST_F(BadInputTest, MutatedFilesNeverCrashTheLoaders) {
    KSound keeper; // keeps the device open between the many objects
    std::vector<uint8_t> wav8 = wavImage(tone(22050, 2, 0.03, 1000, 0.5), 8);
    std::vector<uint8_t> wav16 = smallWav();
    std::vector<uint8_t> ogg = oggImage(tone(44100, 2, 0.3, 1000, 0.5));
    std::mt19937 random(20261206);
    int loaded = 0, refused = 0;

    testing::internal::CaptureStderr(); // the non-Ogg message of loadStream
    for (int round = 0; round < 300; ++round) {
        std::string wavFile = dir.write("fuzz.wav", mutate(round % 2 ? wav8 : wav16, random));
        std::string oggFile = dir.write("fuzz.ogg", mutate(ogg, random));
        KSound sound;
        for (const std::string &file : {wavFile, oggFile}) {
            if (sound.loadSample(file.c_str(), 100, round % 3 == 0, static_cast<short>(round % 4))) {
                ++loaded;
                sound.playSample();
                sound.playSample();
                render(512);
            } else {
                ++refused;
            }
        }
        if (round % 3 == 0) {
            KSound music;
            if (music.loadStream(oggFile.c_str())) {
                music.playStream(round % 2 == 0);
                render(3 * 4096);
            }
        }
    }
    testing::internal::GetCapturedStderr();
    // Both outcomes happened, so the mutations reached the parsers and the players.
    EXPECT_GT(loaded, 50);
    EXPECT_GT(refused, 50);
}

} // namespace
