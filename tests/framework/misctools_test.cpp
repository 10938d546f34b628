#include "framework/KMiscTools.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>

namespace fs = std::filesystem;

namespace {

std::string exeFolder() {
    return fs::read_symlink("/proc/self/exe").parent_path().string();
}

// Names resolve in the program's folder (or the data folder, for names under data) with either
// separator; one leading separator or colon is dropped, and a drive letter leaves the folder out.
TEST(MiscToolsPaths, NamesResolveInTheProgramsOrTheDataFolder) {
    const struct {
        const char *program, *data, *name, *expected; // "@" stands for the test program's own folder
    } cases[] = {
        {nullptr, nullptr, "data/music/a.ogg", "@/data/music/a.ogg"},
        {nullptr, nullptr, "/data/music/a.ogg", "@/data/music/a.ogg"},
        {nullptr, nullptr, "\\data\\music\\a.ogg", "@/data/music/a.ogg"},
        {nullptr, nullptr, ":data/music/a.ogg", "@/data/music/a.ogg"},
        {nullptr, nullptr, "//data/a.bmp", "@//data/a.bmp"},
        {nullptr, nullptr, "", "@/"},
        {nullptr, nullptr, nullptr, "@/"},
        {nullptr, nullptr, "C:/x.bmp", "/x.bmp"},
        {nullptr, nullptr, "C:\\tmp\\x.bmp", "/tmp/x.bmp"},
        {nullptr, nullptr, "/C:/tmp/x.bmp", "/tmp/x.bmp"},
        {"/tmp/quorix-copy/", nullptr, "data/skin.stt", "/tmp/quorix-copy/data/skin.stt"},
        {"/tmp/quorix-copy", "/opt/q/share/quorix/", "\\data\\skins\\0/menu0.tga",
         "/opt/q/share/quorix/skins/0/menu0.tga"},
        {"/tmp/quorix-copy", "/opt/q/share/quorix/", "data2/x", "/tmp/quorix-copy/data2/x"},
        {"/tmp/quorix-copy", "/opt/q/share/quorix/", "prefs.raw", "/tmp/quorix-copy/prefs.raw"},
    };
    for (const auto &c : cases) {
        KMiscTools::initMiscTools();
        if (c.program)
            KMiscTools::setProgramFolder(c.program);
        if (c.data)
            KMiscTools::setDataFolder(c.data);
        std::string expected = c.expected;
        if (expected[0] == '@')
            expected.replace(0, 1, exeFolder());
        EXPECT_EQ(std::string(KMiscTools::makeFilePath(c.name)), expected) << (c.name ? c.name : "(null)");
        const fs::path program = c.program ? c.program : exeFolder();
        EXPECT_EQ(KMiscTools::dataFolder(), c.data ? "/opt/q/share/quorix" : (program / "data").string());
    }
    KMiscTools::initMiscTools();
}

TEST(MiscToolsPaths, OverlongNamesAreCutWithinTheBuffer) {
    KMiscTools::initMiscTools();
    const std::string longName(3 * KMiscTools::kPathSize, 'n');
    const char *path = KMiscTools::makeFilePath(longName.c_str());
    const size_t length = std::strlen(path);
    EXPECT_EQ(length, size_t(KMiscTools::kPathSize - 1));
    EXPECT_EQ(std::string(path, exeFolder().size()), exeFolder());
    EXPECT_EQ(path[length - 1], 'n');
    EXPECT_EQ(std::strlen(KMiscTools::makeFilePath(("C:" + longName).c_str())), length);
    KMiscTools::setProgramFolder(std::string(2 * KMiscTools::kPathSize, 'f').c_str());
    EXPECT_EQ(std::strlen(KMiscTools::currentFilePath), length);
    EXPECT_EQ(std::strlen(KMiscTools::makeFilePath("a")), length);
    KMiscTools::initMiscTools();
}

// A local file opens through its file:// address with every component percent-encoded: a folder name
// holding a space, "#", "%", "?" or letters outside ASCII must lead to the same file.
TEST(MiscToolsBrowser, FileAddressesEncodeEveryComponent) {
    EXPECT_EQ(KMiscTools::makeFileURL("/home/zoë/a b/#1/50%/what?/h&p=1;x/a+b/it's/index.html"),
              "file:///home/zo%C3%AB/a%20b/%231/50%25/what%3F/h%26p%3D1%3Bx/a%2Bb/it%27s/index.html");
    // Decoding gives the path back, byte for byte, for every byte a folder name may hold.
    std::string every = "/";
    for (int b = 1; b < 256; ++b)
        if (b != '/')
            every += char(b);
    const std::string url = KMiscTools::makeFileURL(every.c_str());
    ASSERT_EQ(url.rfind("file://", 0), 0u);
    std::string decoded;
    for (size_t i = 7; i < url.size(); ++i) {
        ASSERT_TRUE(std::isalnum(static_cast<unsigned char>(url[i])) || std::strchr("-._~/%", url[i]))
            << url[i];
        decoded += url[i] == '%' ? char(std::stoi(url.substr(i + 1, 2), nullptr, 16)) : url[i];
        i += url[i] == '%' ? 2 : 0;
    }
    EXPECT_EQ(decoded, every);
}

} // namespace
