#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include <sys/stat.h>

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

// What the player made read-only keeps its contents; a folder closed to the player still lets its own
// files be written in place; something that is no readable file is never replaced, and a FIFO in a
// file's place never holds the game.
TEST(RecordFiles, PermissionsAndStrangeFilesAreRespected) {
    TempProgramFolder folder;
    namespace fs = std::filesystem;
    const std::string root = folder.root();
    const bool superuser = geteuid() == 0;
    const uid_t player = playerUid();
    auto place = [&](const std::string &name, std::vector<unsigned char> bytes, mode_t mode, bool players) {
        folder.write(name, bytes);
        if (superuser && chown(folder.path(name).c_str(), players ? player : 0, players ? player : 0) != 0)
            ADD_FAILURE() << "chown " << name;
        chmod(folder.path(name).c_str(), mode);
    };
    chmod(root.c_str(), 0755);
    fs::create_directories(root + "/open");
    chmod((root + "/open").c_str(), 0777);
    fs::create_directories(root + "/closed");
    place("closed/record", {1, 1, 1, 1}, 0644, true);
    chmod((root + "/closed").c_str(), 0555);
    place("open/readonly", {2, 2, 2, 2}, 0444, true);
    place("open/writable", {3, 3, 3, 3}, 0644, true);
    place("open/theirs", {4, 4, 4, 4}, superuser ? 0600 : 0000, false);
    ASSERT_EQ(mkfifo((root + "/open/fifo").c_str(), 0666), 0);

    const struct {
        const char *name;
        long read;  // what reading answers
        bool write; // whether writing succeeds
        std::vector<unsigned char> after;
    } cases[] = {
        {"open/readonly", 4, false, {2, 2, 2, 2}},
        {"open/writable", 4, true, {9, 8, 7, 6}},
        {"closed/record", 4, true, {9, 8, 7, 6}},
        {"closed/new", kRecordMissing, false, {}},
        {"open/theirs", kRecordUnreadable, false, {4, 4, 4, 4}},
        {"open/fifo", kRecordUnreadable, false, {}},
    };
    asPlayer([&] {
        for (const auto &c : cases) {
            SCOPED_TRACE(c.name);
            const std::string path = folder.path(c.name);
            unsigned char bytes[4] = {};
            EXPECT_EQ(readRecordFile(path.c_str(), bytes, sizeof(bytes)), c.read);
            const unsigned char record[4] = {9, 8, 7, 6};
            EXPECT_EQ(writeRecordFile(path.c_str(), record, sizeof(record)), c.write);
        }
    });
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (std::string(c.name) != "open/fifo") {
            EXPECT_EQ(folder.read(c.name), c.after);
        }
    }
    // The superuser may write anything, yet what was made read-only stays so for it too.
    const unsigned char record[4] = {5, 5, 5, 5};
    EXPECT_FALSE(writeRecordFile(folder.path("open/readonly").c_str(), record, sizeof(record)));
    EXPECT_EQ(folder.read("open/readonly"), (std::vector<unsigned char>{2, 2, 2, 2}));
    EXPECT_TRUE(fs::is_fifo(folder.path("open/fifo")));
    EXPECT_FALSE(fs::exists(folder.path("closed/new")));
    for (const char *sub : {"/open", "/closed"})
        for (const auto &entry : fs::directory_iterator(root + sub))
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << "left behind";
    chmod((root + "/closed").c_str(), 0755);
}

// A prefs.raw that is there but cannot be read (left by another user) keeps the defaults in force,
// is said once on stderr, and is left as it is at the end.
TEST(RecordFiles, AnUnreadablePrefsFileIsLeftAlone) {
    TempProgramFolder folder;
    chmod(folder.root().c_str(), 0777);
    const std::vector<unsigned char> theirs = littleEndian({1, 2, 3, 3, 1, 2, 3});
    folder.write("prefs.raw", theirs);
    chmod(folder.path("prefs.raw").c_str(), geteuid() == 0 ? 0600 : 0000);
    asPlayer([&] {
        KMiscTools::setProgramFolder(folder.root().c_str());
        prefs = kDefaultPrefs;
        testing::internal::CaptureStderr();
        loadPrefs();
        prefs.volume = 50;
        savePrefs();
        savePrefs();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(prefs.difficulty, kDefaultPrefs.difficulty);
        EXPECT_NE(said.find("prefs.raw exists but cannot be read"), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    });
    chmod(folder.path("prefs.raw").c_str(), 0600);
    EXPECT_EQ(folder.read("prefs.raw"), theirs);
}
