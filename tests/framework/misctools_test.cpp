#include "framework/KMiscTools.h"
#include "platform/file_reader.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

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

// A file holds what it held when measured, or more: a file of the kernel's measures 0 bytes and is still
// read whole, and past the limit it is refused.
TEST(WholeFiles, AreReadToTheirEndWithinTheLimit) {
    support::TempFolder folder;
    const std::string sheet = (folder.root() / "sheet").string();
    std::string written(200000, '\0');
    for (size_t i = 0; i < written.size(); ++i)
        written[i] = static_cast<char>(i * 7 + i / 251);
    std::ofstream(sheet, std::ios::binary) << written;
    std::ifstream status("/proc/self/status", std::ios::binary);
    const std::string grown{std::istreambuf_iterator<char>(status), {}};
    for (const auto &[path, content] :
         {std::pair{sheet, written}, std::pair{std::string("/proc/self/status"), grown}}) {
        SCOPED_TRACE(path);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(platform::readRegularFile(path.c_str(), content.size() + 100, bytes));
        // The kernel's own file may change between two reads by a line or so; the start stays.
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), 40)),
                  content.substr(0, 40));
        if (path == sheet) {
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content);
        }
        EXPECT_FALSE(platform::readRegularFile(path.c_str(), 30, bytes));
        EXPECT_TRUE(bytes.empty());
    }
}

} // namespace
