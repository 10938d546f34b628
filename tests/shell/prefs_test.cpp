// The preferences record and the record files under it: what a file of any length holds is read field
// by field, difficulty and mode are corrected, and files the player cannot or should not write are
// left as they are.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <random>

#include "shell/files.h"
#include "shell/prefs.h"
#include "support/program_folder.h"

namespace fs = std::filesystem;
using support::Bytes;
using support::littleEndian;

namespace {

std::vector<int32_t> fieldsOf(const sPrefs &p) {
    return {p.volume, p.volumezik, p.gameMode, p.difficulty, p.scoretab, p.bubbleset, p.currentTune};
}

std::vector<int32_t> loaded() {
    prefs = kDefaultPrefs;
    loadPrefs();
    return fieldsOf(prefs);
}

} // namespace

TEST(Prefs, AFileOfAnyLengthIsReadFieldByFieldAndCorrected) {
    support::ProgramFolder folder;
    Bytes oversized = littleEndian({1, 2, 3, 3, 1, 2, 3});
    oversized.resize(4096, 0xAB);
    // No file, three fields, cut inside a field, too hard and an unknown mode, negative, the hardest relax
    // game, longer than the record.
    const std::pair<Bytes, std::vector<int32_t>> cases[] = {
        {{}, fieldsOf(kDefaultPrefs)},
        {littleEndian({40, 50, 2}), {40, 50, 2, 1, 0, 0, 0}},
        {{7, 0, 0, 0, 9}, {7, 9, 0, 1, 0, 0, 0}},
        {littleEndian({100, 100, 9, 7, 9, 4, 33}), {100, 100, 3, 2, 9, 4, 33}},
        {littleEndian({100, 100, -5, -1, 9, 4, 33}), {100, 100, 0, 0, 9, 4, 33}},
        {littleEndian({100, 100, 3, 3, 9, 4, 33}), {100, 100, 3, 3, 9, 4, 33}},
        {oversized, {1, 2, 3, 3, 1, 2, 3}},
    };
    for (const auto &c : cases) {
        fs::remove(folder.path("prefs.raw"));
        if (!c.first.empty())
            folder.write("prefs.raw", c.first);
        EXPECT_EQ(loaded(), c.second) << "case " << &c - cases;
    }
}

// Any record with a valid difficulty and mode is saved as the raw 28 bytes and read back unchanged.
TEST(Prefs, SavedRecordsRoundTrip) {
    support::ProgramFolder folder;
    std::mt19937 random(13);
    auto any = [&] { return int32_t(random()); };
    for (int i = 0; i < 200; i++) {
        prefs = {any(), any(), int32_t(random() % 4), int32_t(random() % 4), any(), any(), any()};
        const std::vector<int32_t> f = fieldsOf(prefs);
        savePrefs();
        ASSERT_EQ(folder.read("prefs.raw"), littleEndian({f[0], f[1], f[2], f[3], f[4], f[5], f[6]}));
        ASSERT_EQ(loaded(), f);
    }
}

TEST(SliderScale, PositionsToMasterVolumes) {
    const std::pair<int32_t, int32_t> cases[] = {{116, 99}, {100, 85},  {5, 4},           {0, 0},
                                                 {-40, 0},  {176, 100}, {INT32_MAX, 100}, {INT32_MIN, 0}};
    for (const auto &[position, percent] : cases)
        EXPECT_EQ(sliderToPercent(position), percent) << position;
}

// What the player made read-only keeps its contents; a folder closed to the player still lets its own
// files be written in place; something that is no readable file is never replaced, and a FIFO in a
// file's place never holds the game. A prefs.raw left by another user keeps the defaults in force, is
// said once on stderr, and is left as it is.
TEST(RecordFiles, PermissionsAndStrangeFilesAreRespected) {
    support::ProgramFolder folder;
    const bool superuser = geteuid() == 0;
    auto place = [&](const std::string &name, Bytes bytes, mode_t mode, bool players) {
        folder.write(name, bytes);
        const uid_t owner = players ? 65534 : 0; // the player of asPlayer, or the superuser
        EXPECT_TRUE(!superuser || chown(folder.path(name).c_str(), owner, owner) == 0) << name;
        chmod(folder.path(name).c_str(), mode);
    };
    chmod(folder.root().c_str(), 0755);
    fs::create_directories(folder.root() / "open");
    chmod(folder.path("open").c_str(), 0777);
    place("closed/record", {1, 1, 1, 1}, 0644, true);
    chmod(folder.path("closed").c_str(), 0555);
    place("open/readonly", {2, 2, 2, 2}, 0444, true);
    place("open/writable", {3, 3, 3, 3}, 0644, true);
    place("open/theirs", {4, 4, 4, 4}, superuser ? 0600 : 0000, false);
    place("open/prefs.raw", littleEndian({1, 2, 3, 3, 1, 2, 3}), superuser ? 0600 : 0000, false);
    ASSERT_EQ(mkfifo(folder.path("open/fifo").c_str(), 0666), 0);
    const struct {
        const char *name;
        long read;  // what reading answers
        bool write; // whether writing succeeds
        Bytes after;
    } cases[] = {
        {"open/readonly", 4, false, {2, 2, 2, 2}},
        {"open/writable", 4, true, {9, 8, 7, 6}},
        {"closed/record", 4, true, {9, 8, 7, 6}},
        {"closed/new", kRecordMissing, false, {}},
        {"missing/record", kRecordMissing, false, {}},
        {"open/theirs", kRecordUnreadable, false, {4, 4, 4, 4}},
        {"open/fifo", kRecordUnreadable, false, {}},
    };
    const unsigned char record[4] = {9, 8, 7, 6};
    support::asPlayer([&] {
        for (const auto &c : cases) {
            SCOPED_TRACE(c.name);
            unsigned char bytes[6] = {0, 0, 0, 0, 5, 5};
            EXPECT_EQ(readRecordFile(folder.path(c.name).c_str(), bytes, sizeof(bytes)), c.read);
            EXPECT_EQ(bytes[4], 5) << "bytes past the file's end are left alone";
            EXPECT_EQ(writeRecordFile(folder.path(c.name).c_str(), record, sizeof(record)), c.write);
        }
        KMiscTools::setProgramFolder(folder.path("open").c_str());
        testing::internal::CaptureStderr();
        EXPECT_EQ(loaded(), fieldsOf(kDefaultPrefs));
        savePrefs();
        savePrefs();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("prefs.raw exists but cannot be read"), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    });
    for (const auto &c : cases)
        EXPECT_TRUE(std::string(c.name) == "open/fifo" || folder.read(c.name) == c.after) << c.name;
    // The superuser may write anything, yet what was made read-only stays so for it too.
    EXPECT_FALSE(writeRecordFile(folder.path("open/readonly").c_str(), record, sizeof(record)));
    EXPECT_EQ(folder.read("open/readonly"), (Bytes{2, 2, 2, 2}));
    EXPECT_TRUE(fs::is_fifo(folder.path("open/fifo")));
    EXPECT_EQ(folder.read("open/prefs.raw"), littleEndian({1, 2, 3, 3, 1, 2, 3}));
    EXPECT_EQ(folder.entries("open"),
              (std::vector<std::string>{"fifo", "prefs.raw", "readonly", "theirs", "writable"}));
    EXPECT_EQ(folder.entries("closed"), std::vector<std::string>{"record"});
}

// A record that already holds the bytes is not written again (the same file stays, nothing waits on the
// disk); any other bytes, a longer or a shorter record replace it.
TEST(RecordFiles, OnlyChangedBytesAreWritten) {
    support::ProgramFolder folder;
    const std::string path = folder.path("skin.stt");
    const auto fileId = [&] {
        struct stat info {};
        return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
    };
    const unsigned char record[5] = {3, 0, 0, 0, 1};
    ASSERT_TRUE(writeRecordFile(path.c_str(), record, 4));
    const ino_t first = fileId();
    ASSERT_TRUE(writeRecordFile(path.c_str(), record, 4));
    EXPECT_EQ(fileId(), first);
    for (const size_t size : {5, 4, 3}) {
        ASSERT_TRUE(writeRecordFile(path.c_str(), record + 5 - size, size));
        EXPECT_EQ(folder.read("skin.stt"), Bytes(record + 5 - size, record + 5));
        if (size == 5) {
            EXPECT_NE(fileId(), first) << "a new file takes the old one's place";
        }
    }
}
