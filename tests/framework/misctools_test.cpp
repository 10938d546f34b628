#include "framework/KMiscTools.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string exeFolder() {
    return fs::read_symlink("/proc/self/exe").parent_path().string();
}

class MiscToolsPaths : public ::testing::Test {
protected:
    void SetUp() override { KMiscTools::initMiscTools(); }
};

// Names resolve in the program's folder (or the data folder, for names under data) with either
// separator; one leading separator or colon is dropped, and a drive letter leaves the folder out.
TEST_F(MiscToolsPaths, NamesResolveInTheProgramsOrTheDataFolder) {
    const struct {
        const char *program, *data, *name, *expected; // "@" stands for the test program's own folder
    } cases[] = {
        {nullptr, nullptr, "data/music/a.ogg", "@/data/music/a.ogg"},
        {nullptr, nullptr, "/data/music/a.ogg", "@/data/music/a.ogg"},
        {nullptr, nullptr, "\\data\\music\\a.ogg", "@/data/music/a.ogg"},
        {nullptr, nullptr, "data\\music/a.ogg", "@/data/music/a.ogg"},
        {nullptr, nullptr, ":data/music/a.ogg", "@/data/music/a.ogg"},
        {nullptr, nullptr, "//data/a.bmp", "@//data/a.bmp"},
        {nullptr, nullptr, "C:/x.bmp", "/x.bmp"},
        {nullptr, nullptr, "C:\\tmp\\x.bmp", "/tmp/x.bmp"},
        {nullptr, nullptr, "d:x.bmp", "/x.bmp"},
        {nullptr, nullptr, "/C:/tmp/x.bmp", "/tmp/x.bmp"},
        {"/tmp/quorix-copy/", nullptr, "data/skin.stt", "/tmp/quorix-copy/data/skin.stt"},
        {"/tmp/quorix-copy", nullptr, "data/skin.stt", "/tmp/quorix-copy/data/skin.stt"},
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
        EXPECT_EQ(std::string(KMiscTools::makeFilePath(c.name)), expected) << c.name;
    }
    KMiscTools::setProgramFolder("/tmp/quorix-copy/");
    EXPECT_EQ(KMiscTools::dataFolder(), "/tmp/quorix-copy/data");
    KMiscTools::setDataFolder("/opt/q/share/quorix/");
    EXPECT_EQ(KMiscTools::dataFolder(), "/opt/q/share/quorix");
    KMiscTools::initMiscTools();
}

TEST_F(MiscToolsPaths, TheResultIsOneSharedBuffer) {
    char *first = KMiscTools::makeFilePath("first.tga");
    char *second = KMiscTools::makeFilePath("second.tga");
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, KMiscTools::builtPath);
    EXPECT_EQ(std::string(first), exeFolder() + "/second.tga");
    EXPECT_EQ(std::string(KMiscTools::makeFilePath("")), exeFolder() + "/");
    EXPECT_EQ(std::string(KMiscTools::makeFilePath(nullptr)), exeFolder() + "/");
}

TEST_F(MiscToolsPaths, OverlongNamesAreCutWithinTheBuffer) {
    std::string longName(3 * KMiscTools::kPathSize, 'n');
    char *path = KMiscTools::makeFilePath(longName.c_str());
    size_t length = std::strlen(path);
    EXPECT_EQ(length, static_cast<size_t>(KMiscTools::kPathSize - 1));
    EXPECT_EQ(std::string(path, exeFolder().size()), exeFolder());
    EXPECT_EQ(path[length - 1], 'n');

    std::string longDrive = "C:" + longName;
    EXPECT_EQ(std::strlen(KMiscTools::makeFilePath(longDrive.c_str())), length);

    std::string longFolder(2 * KMiscTools::kPathSize, 'f');
    KMiscTools::setProgramFolder(longFolder.c_str());
    EXPECT_EQ(std::strlen(KMiscTools::currentFilePath), length);
    EXPECT_EQ(std::strlen(KMiscTools::makeFilePath("a")), length);
}

TEST(MiscToolsClock, CountsMillisecondsMonotonically) {
    KMiscTools::initMiscTools();
    unsigned long start = KMiscTools::getMilliseconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    unsigned long later = KMiscTools::getTheTicks();
    EXPECT_GE(later - start, 49u);
    EXPECT_LE(later, 0xFFFFFFFFul);
}

class MiscToolsFolders : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(folder / "sub.dir");
        fs::create_directories(folder / "plain");
        for (const char *name : {"a.ogg", "b.OGG", "c.tga", "README"})
            std::ofstream(folder / name) << "x";
        seen.clear();
        stopAfter = 1000;
    }
    static bool collect(char *name, bool isFolder) {
        seen.insert(std::string(name) + (isFolder ? "/" : ""));
        return static_cast<int>(seen.size()) < stopAfter;
    }
    void enumerate(const std::string &pattern) {
        std::string copy = pattern;
        KMiscTools::enumerateFolder(copy.data(), collect);
    }

    support::TempFolder scratch{"enum"};
    const fs::path folder = scratch.root();
    static inline std::set<std::string> seen;
    static inline int stopAfter = 1000;
};

TEST_F(MiscToolsFolders, StarDotStarMatchesEveryEntryIncludingDots) {
    enumerate((folder / "*.*").string());
    EXPECT_EQ(seen, (std::set<std::string>{"./", "../", "a.ogg", "b.OGG", "c.tga", "README", "sub.dir/",
                                           "plain/"}));
}

TEST_F(MiscToolsFolders, PatternsMatchLikeWindowsWithBackslashes) {
    enumerate(folder.string() + "\\*.ogg");
    EXPECT_EQ(seen, (std::set<std::string>{"a.ogg", "b.OGG"}));
    seen.clear();
    enumerate((folder / "sub*").string());
    EXPECT_EQ(seen, (std::set<std::string>{"sub.dir/"}));
}

TEST_F(MiscToolsFolders, StopsAtTheFirstFalse) {
    stopAfter = 1;
    enumerate((folder / "*.*").string());
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(MiscToolsFolders, NothingHappensForNullsOrMissingFolders) {
    KMiscTools::enumerateFolder(nullptr, collect);
    std::string pattern = (folder / "*.*").string();
    KMiscTools::enumerateFolder(pattern.data(), nullptr);
    enumerate((folder / "missing" / "*.*").string());
    enumerate((folder / "*.wav").string());
    EXPECT_TRUE(seen.empty());
}

TEST(MiscToolsBrowser, OpensOnAnotherThread) {
    static std::mutex lock;
    static std::string openedUrl;
    static bool openedMaximised = false;
    static std::thread::id openerThread;
    static std::atomic<bool> opened{false};
    KMiscTools::_urlOpener = [](const char *url, bool maximised) {
        std::lock_guard<std::mutex> guard(lock);
        openedUrl = url;
        openedMaximised = maximised;
        openerThread = std::this_thread::get_id();
        opened = true;
    };
    std::string url = "https://example.org/quorix?" + std::string(3000, 'q');
    KMiscTools::launchURL(url.data(), true);
    while (!opened) // the opener runs on a thread of its own
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    KMiscTools::_urlOpener = nullptr;
    std::lock_guard<std::mutex> guard(lock);
    ASSERT_TRUE(opened);
    EXPECT_NE(openerThread, std::this_thread::get_id());
    EXPECT_TRUE(openedMaximised);
    EXPECT_EQ(openedUrl, url.substr(0, 2047)); // the record holds 2047 characters
    KMiscTools::launchURL(nullptr, false);     // nothing to open, nothing happens
}

} // namespace

// A local file opens through its file:// address with every component percent-encoded: a folder name
// holding a space, "#", "%", "?" or letters outside ASCII must lead to the same file.
TEST(MiscToolsBrowser, FileAddressesEncodeEveryComponent) {
    const struct {
        const char *path, *url;
    } cases[] = {
        {"/opt/quorix/data/help/index.html", "file:///opt/quorix/data/help/index.html"},
        {"/home/a b/#1/50%/what?/index.html", "file:///home/a%20b/%231/50%25/what%3F/index.html"},
        {"/home/zoë/jeux/Quorix ★/h&p=1;x/index.html",
         "file:///home/zo%C3%AB/jeux/Quorix%20%E2%98%85/h%26p%3D1%3Bx/index.html"},
        {"/tmp/a+b/it's/index.html", "file:///tmp/a%2Bb/it%27s/index.html"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(KMiscTools::makeFileURL(c.path), c.url);
    // Decoding gives the path back, byte for byte, for every byte a folder name may hold.
    std::string every = "/";
    for (int b = 1; b < 256; ++b)
        if (b != '/')
            every += static_cast<char>(b);
    const std::string url = KMiscTools::makeFileURL(every.c_str());
    std::string decoded;
    for (size_t i = 7; i < url.size(); ++i) {
        ASSERT_TRUE(std::isalnum(static_cast<unsigned char>(url[i])) || std::strchr("-._~/%", url[i]))
            << url[i];
        if (url[i] == '%') {
            decoded += static_cast<char>(std::stoi(url.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            decoded += url[i];
        }
    }
    EXPECT_EQ(decoded, every);
}
