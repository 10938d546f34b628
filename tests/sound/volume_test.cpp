// The volume and pan tables, and how volumes, masters and pans reach the sound buffers.
#include "sound/sound_test.h"

using namespace soundtest;

namespace {

class VolumeTest : public SoundTest {
protected:
    // A loaded one-second effect with the given number of buffers.
    std::unique_ptr<KSound> loadedEffect(short buffers = 1) {
        auto sound = std::make_unique<KSound>();
        std::string file = dir.write("tone.wav", wavImage(tone(44100, 1, 1.0, 1000, 0.5), 16));
        EXPECT_TRUE(sound->loadSample(file.c_str(), 100, false, buffers));
        return sound;
    }
};

// The volume table climbs from silence (-100 dB) to 0 dB; the pan table is silence on the far side,
// the same on both sides of the middle with opposite signs.
TEST_F(VolumeTest, TablesClimbFromSilenceAndPansMirror) {
    KSound sound; // the first object fills the tables
    EXPECT_EQ(KSound::fechnerTable[0], -10000);
    EXPECT_EQ(KSound::fechnerTable[100], 0);
    for (int i = 1; i <= 100; ++i)
        EXPECT_GT(KSound::fechnerTable[i], KSound::fechnerTable[i - 1]) << i;
    EXPECT_EQ(KSound::panningtable[0], -10000);
    EXPECT_EQ(KSound::panningtable[100], 0);
    for (int i = 1; i < 100; ++i) {
        EXPECT_EQ(KSound::panningtable[i], -KSound::panningtable[200 - i]) << i;
        EXPECT_LE(KSound::panningtable[i - 1], KSound::panningtable[i]) << i;
    }
}

TEST_F(VolumeTest, VolumeIsMasterTimesVolumeThroughTheTable) {
    auto sound = loadedEffect(3);
    ASSERT_TRUE(sound->_directSoundBuffer[2]);

    sound->setVolume(100);
    EXPECT_EQ(sound->_directSoundBuffer[0]->volume(), -12) << "full volume is index 99";

    KSound::setGlobalVolumes(-1, 50);
    sound->setVolume(80);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(sound->_directSoundBuffer[i]->volume(), KSound::fechnerTable[40]) << i;
    EXPECT_EQ(KSound::fechnerTable[40], -1098);

    KSound::setGlobalVolumes(-1, 0);
    sound->setVolume(80);
    EXPECT_EQ(sound->_directSoundBuffer[1]->volume(), -10000);

    KSound::setGlobalVolumes(-1, 150); // accepted, and the index is limited to 99
    sound->setVolume(80);
    EXPECT_EQ(sound->_directSoundBuffer[0]->volume(), -12);

    KSound::setGlobalVolumes(100, 100);
    sound->setVolume(150);
    EXPECT_EQ(sound->_channelVolume, 100);
    sound->setVolume(-5);
    EXPECT_EQ(sound->_channelVolume, 0);
    EXPECT_EQ(sound->_directSoundBuffer[0]->volume(), -10000);
}

TEST_F(VolumeTest, NegativeMasterLeavesItAndStreamsUseTheMusicMaster) {
    KSound::setGlobalVolumes(40, 60);
    KSound::setGlobalVolumes(-1, 70);
    EXPECT_EQ(KSound::_masterMUSICvolume, 40);
    EXPECT_EQ(KSound::_masterSFXvolume, 70);
    KSound::setGlobalVolumes(30, -1);
    EXPECT_EQ(KSound::_masterMUSICvolume, 30);
    EXPECT_EQ(KSound::_masterSFXvolume, 70);

    auto sound = loadedEffect();
    sound->_type = 1; // as a stream: the music master applies
    sound->setVolume(100);
    EXPECT_EQ(sound->_directSoundBuffer[0]->volume(), KSound::fechnerTable[30]);
    sound->_type = 0;
    sound->setVolume(100);
    EXPECT_EQ(sound->_directSoundBuffer[0]->volume(), KSound::fechnerTable[70]);
}

TEST_F(VolumeTest, PanIsLimitedAndReachesEveryBuffer) {
    auto sound = loadedEffect(2);
    EXPECT_EQ(sound->_directSoundBuffer[0]->pan(), 0) << "every load centres the pan";
    sound->setPan(-150);
    EXPECT_EQ(sound->_directSoundBuffer[0]->pan(), -10000);
    EXPECT_EQ(sound->_directSoundBuffer[1]->pan(), -10000);
    sound->setPan(50);
    EXPECT_EQ(sound->_directSoundBuffer[1]->pan(), 1505);
    sound->setPan(0);
    EXPECT_EQ(sound->_directSoundBuffer[0]->pan(), 0);
}

TEST_F(VolumeTest, BufferCountIsLimitedToOneToNine) {
    struct Case {
        short asked;
        short expected;
    };
    for (Case c : {Case{0, 1}, Case{-4, 1}, Case{1, 1}, Case{5, 5}, Case{9, 9}, Case{12, 9}}) {
        auto sound = loadedEffect(c.asked);
        EXPECT_EQ(sound->_soundBufferCount, c.expected) << c.asked;
        EXPECT_EQ(KSound::directSoundPtr->bufferCount(), c.expected) << c.asked;
        for (int i = 0; i < KSound::kMaxBuffers; ++i)
            EXPECT_EQ(sound->_directSoundBuffer[i] != nullptr, i < c.expected) << c.asked << " slot " << i;
    }
}

TEST_F(VolumeTest, ObjectsShareOneDeviceThatTheLastCloses) {
    {
        KSound first;
        ASSERT_NE(KSound::directSoundPtr, nullptr);
        audio::Device *device = KSound::directSoundPtr;
        EXPECT_EQ(KSound::_instanceCount, 1);
        {
            KSound second;
            EXPECT_EQ(KSound::_instanceCount, 2);
            EXPECT_EQ(KSound::directSoundPtr, device);
        }
        EXPECT_EQ(KSound::_instanceCount, 1);
        EXPECT_EQ(KSound::directSoundPtr, device);
    }
    EXPECT_EQ(KSound::_instanceCount, 0);
    EXPECT_EQ(KSound::directSoundPtr, nullptr);
}

} // namespace
