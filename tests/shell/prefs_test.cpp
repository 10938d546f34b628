#include <gtest/gtest.h>

#include <cstring>

#include "shell/files.h"
#include "shell/prefs.h"
#include "temp_folder.h"

class PrefsTest : public ::testing::Test {
protected:
    TempProgramFolder folder;
    void SetUp() override { prefs = kDefaultPrefs; }
};

TEST_F(PrefsTest, MissingFileKeepsTheDefaults) {
    loadPrefs();
    EXPECT_EQ(0, std::memcmp(&prefs, &kDefaultPrefs, sizeof(prefs)));
}

TEST_F(PrefsTest, ShortFileReplacesOnlyTheBytesItHolds) {
    folder.write("prefs.raw", littleEndian({40, 50, 2}));
    loadPrefs();
    EXPECT_EQ(prefs.volume, 40);
    EXPECT_EQ(prefs.volumezik, 50);
    EXPECT_EQ(prefs.gameMode, 2);
    EXPECT_EQ(prefs.difficulty, 1);
    EXPECT_EQ(prefs.scoretab, 0);
    EXPECT_EQ(prefs.bubbleset, 0);

    // A file cut inside a field changes only that field's low bytes.
    prefs = kDefaultPrefs;
    folder.write("prefs.raw", {7, 0, 0, 0, 9});
    loadPrefs();
    EXPECT_EQ(prefs.volume, 7);
    EXPECT_EQ(prefs.volumezik, 9);
}

TEST_F(PrefsTest, DifficultyAndModeAreCorrected) {
    struct Case {
        int32_t difficulty, mode, wantDifficulty, wantMode;
    } cases[] = {{7, 9, 2, 3}, {-1, -5, 0, 0}, {3, 3, 3, 3}, {4, 0, 2, 0}};
    for (const Case &c : cases) {
        folder.write("prefs.raw", littleEndian({100, 100, c.mode, c.difficulty, 9, 4, 33}));
        loadPrefs();
        EXPECT_EQ(prefs.difficulty, c.wantDifficulty);
        EXPECT_EQ(prefs.gameMode, c.wantMode);
        EXPECT_EQ(prefs.scoretab, 9) << "taken as read";
        EXPECT_EQ(prefs.currentTune, 33);
    }
}

TEST_F(PrefsTest, OversizedFileReadsOnlyTheRecord) {
    std::vector<unsigned char> bytes = littleEndian({1, 2, 3, 3, 1, 2, 3});
    bytes.resize(4096, 0xAB);
    folder.write("prefs.raw", bytes);
    loadPrefs();
    EXPECT_EQ(prefs.currentTune, 3);
}

TEST_F(PrefsTest, SavedFileIsTheRawRecord) {
    prefs = {116, 5, 2, 3, 1, 4, 6};
    savePrefs();
    EXPECT_EQ(folder.read("prefs.raw"), littleEndian({116, 5, 2, 3, 1, 4, 6}));
    prefs = kDefaultPrefs;
    loadPrefs();
    EXPECT_EQ(prefs.volume, 116);
    EXPECT_EQ(prefs.currentTune, 6);
}

TEST_F(PrefsTest, UnreadableOrUnwritablePlaces) {
    // prefs.raw is a folder: nothing is read, and saving leaves it in place.
    std::filesystem::create_directory(folder.path("prefs.raw"));
    loadPrefs();
    EXPECT_EQ(0, std::memcmp(&prefs, &kDefaultPrefs, sizeof(prefs)));
    savePrefs();
    EXPECT_TRUE(std::filesystem::is_directory(folder.path("prefs.raw")));
    for (const auto &entry : std::filesystem::directory_iterator(folder.root()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
            << "a temporary file was left behind";
}

TEST(SliderScale, PositionsToMasterVolumes) {
    EXPECT_EQ(sliderToPercent(116), 99);
    EXPECT_EQ(sliderToPercent(100), 85);
    EXPECT_EQ(sliderToPercent(5), 4);
    EXPECT_EQ(sliderToPercent(0), 0);
    EXPECT_EQ(sliderToPercent(-40), 0);
    EXPECT_EQ(sliderToPercent(176), 100);
    EXPECT_EQ(sliderToPercent(INT32_MAX), 100);
    EXPECT_EQ(sliderToPercent(INT32_MIN), 0);
}

TEST(RecordFiles, WriteReplacesWholeOrNotAtAll) {
    TempProgramFolder folder;
    const std::string path = folder.path("data/record");
    const unsigned char first[4] = {1, 2, 3, 4};
    ASSERT_TRUE(writeRecordFile(path.c_str(), first, sizeof(first)));
    EXPECT_EQ(folder.read("data/record"), std::vector<unsigned char>({1, 2, 3, 4}));

    // A folder that does not exist: the write fails and reports it.
    const std::string nowhere = folder.path("missing/record");
    EXPECT_FALSE(writeRecordFile(nowhere.c_str(), first, sizeof(first)));

    unsigned char back[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_EQ(readRecordFile(path.c_str(), back, sizeof(back)), 4);
    EXPECT_EQ(back[3], 4);
    EXPECT_EQ(back[4], 9) << "bytes past the file's end are left alone";
    EXPECT_EQ(readRecordFile(nowhere.c_str(), back, sizeof(back)), -1);
}
