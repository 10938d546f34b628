#include "framework/KMiscTools.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::string exeFolder() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

// Names resolve in the program's folder with either separator; one leading separator or colon is
// dropped, and a drive letter leaves the folder out. (The data folder's moves: the shell's file tests.)
TEST(MiscToolsPaths, NamesResolveInTheProgramsFolder) {
    const std::pair<const char *, const char *> cases[] = {
        {"data/music/a.ogg", "@/data/music/a.ogg"},
        {"\\data\\music\\a.ogg", "@/data/music/a.ogg"},
        {":data/music/a.ogg", "@/data/music/a.ogg"},
        {"//data/a.bmp", "@//data/a.bmp"},
        {nullptr, "@/"},
        {"C:\\tmp\\x.bmp", "/tmp/x.bmp"},
        {"/C:/tmp/x.bmp", "/tmp/x.bmp"},
    };
    KMiscTools::initMiscTools();
    for (const auto &[name, expected] : cases)
        EXPECT_EQ(KMiscTools::makeFilePath(name),
                  expected[0] == '@' ? exeFolder() + (expected + 1) : expected)
            << (name ? name : "(null)");
    KMiscTools::setProgramFolder("/tmp/quorix-copy/");
    EXPECT_STREQ(KMiscTools::makeFilePath("data/skin.stt"), "/tmp/quorix-copy/data/skin.stt");
    EXPECT_EQ(KMiscTools::dataFolder(), "/tmp/quorix-copy/data");
    KMiscTools::initMiscTools();
}

TEST(MiscToolsPaths, OverlongNamesAreCutWithinTheBuffer) {
    KMiscTools::initMiscTools();
    const std::string longName(3 * KMiscTools::kPathSize, 'n'), cut = exeFolder() + "/" + longName;
    EXPECT_EQ(KMiscTools::makeFilePath(longName.c_str()), cut.substr(0, KMiscTools::kPathSize - 1));
    EXPECT_EQ(std::strlen(KMiscTools::makeFilePath(("C:" + longName).c_str())), KMiscTools::kPathSize - 1u);
    KMiscTools::setProgramFolder(std::string(2 * KMiscTools::kPathSize, 'f').c_str());
    EXPECT_EQ(std::strlen(KMiscTools::makeFilePath("a")), KMiscTools::kPathSize - 1u);
    KMiscTools::initMiscTools();
}

} // namespace
