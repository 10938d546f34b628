// Where the game's files live: the portable and the installed layout, the XDG folders, and what the
// player is told when a folder cannot be used.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "framework/KMiscTools.h"
#include "shell/paths.h"
#include "support/program_folder.h"

namespace fs = std::filesystem;

namespace {

// "@" in a path stands for the test's own folder.
std::string at(const std::string &root, std::string path) {
    for (size_t found; (found = path.find('@')) != std::string::npos;)
        path.replace(found, 1, root);
    return path;
}

class FileLocations : public ::testing::Test {
protected:
    support::ProgramFolder folder; // its own data/ is not used: each case builds its layout under it
    void TearDown() override { forgetFileLocations(); }
};

} // namespace

// The layout follows what is beside the program; "@" is the test's folder, and the expected folders are
// the data, the player's data and the configuration, in that order.
TEST_F(FileLocations, LayoutDataAndPlayerFoldersFollowWhatIsBesideTheProgram) {
    const sUserEnvironment xdg{"@/x", "@/y", "@/h"};
    const struct {
        const char *what;
        std::vector<std::string> folders; // made before the decision; the first is the program's
        std::string dataOverride;
        sUserEnvironment environment;
        eFileLayout layout;
        std::string expected;
    } cases[] = {
        // clang-format off
        {"a program folder with data/: everything beside it", {"@/p", "@/p/data"}, "", xdg,
         eFileLayout::portable, "@/p/data @/p/data @/p"},
        {"installed in games/: data in ../share/quorix, player files in the XDG folders",
         {"@/usr/games", "@/usr/share/quorix"}, "", xdg, eFileLayout::installed, "@/usr/share/quorix @/x/quorix @/y/quorix"},
        {"installed in bin/, relative XDG folders: the home folder's defaults", {"@/o/bin", "@/o/share/quorix"}, "",
         {"rel/data", "", "@/h/"}, eFileLayout::installed, "@/o/share/quorix @/h/.local/share/quorix @/h/.config/quorix"},
        {"no XDG folder and no home: no place for the player's files", {"@/usr/games", "@/usr/share/quorix"}, "",
         {"", "", ""}, eFileLayout::installed, "@/usr/share/quorix  "},
        {"--data in a portable game reads elsewhere but keeps the player's files beside it",
         {"@/p", "@/p/data", "@/other"}, "@/other/", xdg, eFileLayout::portable, "@/other @/p/data @/p"},
        {"no data anywhere: where it was expected, and the XDG folders", {"@/lonely"}, "", xdg,
         eFileLayout::installed, "@/lonely/data @/x/quorix @/y/quorix"},
        // clang-format on
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string root = folder.path(std::to_string(&c - cases));
        for (const std::string &made : c.folders)
            fs::create_directories(at(root, made));
        const sFileLocations got =
            chooseFileLocations(at(root, c.folders[0]), at(root, c.dataOverride),
                                {at(root, c.environment.xdgDataHome), at(root, c.environment.xdgConfigHome),
                                 at(root, c.environment.home)});
        EXPECT_EQ(got.layout, c.layout);
        EXPECT_EQ(got.dataFound, std::string(c.what).find("no data") == std::string::npos);
        EXPECT_EQ(got.dataFolder + " " + got.playerDataFolder + " " + got.configFolder, at(root, c.expected));
    }
}

TEST_F(FileLocations, EveryFileTheGameKeepsIsNamedByTheLayout) {
    // (Before any choice the files follow the program folder: every test with a program folder uses them.)
    sFileLocations installed{eFileLayout::installed,          "/opt/q/games",
                             "/opt/q/share/quorix",           true,
                             "/home/ann/.local/share/quorix", "/home/ann/.config/quorix"};
    useFileLocations(installed);
    EXPECT_EQ(preferencesFilePath(), "/home/ann/.config/quorix/prefs.raw");
    EXPECT_EQ(playerDataFilePath("skin.stt"), "/home/ann/.local/share/quorix/skin.stt");
    EXPECT_EQ(scoreServerSettingPaths(), (std::vector<std::string>{"/home/ann/.config/quorix/scoreserver.txt",
                                                                   "/opt/q/share/quorix/scoreserver.txt"}));
    EXPECT_STREQ(KMiscTools::makeFilePath("data\\skins/3/m.tga"), "/opt/q/share/quorix/skins/3/m.tga");
    EXPECT_STREQ(KMiscTools::makeFilePath("/data"), "/opt/q/share/quorix");
    EXPECT_STREQ(KMiscTools::makeFilePath("database.txt"), folder.path("database.txt").c_str())
        << "only the data folder itself moves";

    // A folder nobody knows names no file, and nothing is written anywhere for it.
    installed.configFolder.clear();
    useFileLocations(installed);
    EXPECT_EQ(preferencesFilePath(), "");
    EXPECT_EQ(scoreServerSettingPaths(), std::vector<std::string>{"/opt/q/share/quorix/scoreserver.txt"});
}

TEST_F(FileLocations, PlayerFoldersAreCreatedOrThePlayerIsToldWhy) {
    const struct {
        const char *what;
        eFileLayout layout;
        std::string playerData, config;
        bool dataFound;
        std::vector<std::string> said; // in the message, in any order; none: all is well
    } cases[] = {
        // clang-format off
        {"missing nested folders are made", eFileLayout::installed, "@/new/a/b/quorix", "@/new/c/quorix", true, {}},
        {"no home folder", eFileLayout::installed, "", "@/ok/quorix", true,
         {"no home folder", "XDG_DATA_HOME", "high scores and launcher settings will not be saved"}},
        {"data not found", eFileLayout::installed, "@/ok/quorix", "@/ok/quorix", false,
         {"data was not found", "'@/lonely/data'", "--data DIR"}},
        {"a portable game makes nothing", eFileLayout::portable, "@/never/data", "@/never", true, {}},
        // clang-format on
    };
    const std::string root = folder.root();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const sFileLocations locations{c.layout,    root + "/lonely",       root + "/lonely/data",
                                       c.dataFound, at(root, c.playerData), at(root, c.config)};
        testing::internal::CaptureStderr();
        EXPECT_EQ(preparePlayerFolders(locations, stderr), c.said.empty());
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.empty(), c.said.empty()) << said;
        for (const std::string &words : c.said)
            EXPECT_NE(said.find(at(root, words)), std::string::npos) << "no \"" << words << "\" in: " << said;
    }
    for (const std::string made : {"new/a/b/quorix", "new/c/quorix"}) {
        struct stat info {};
        ASSERT_EQ(stat(folder.path(made).c_str(), &info), 0) << made;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << "the player's folders are the player's alone";
    }
    EXPECT_FALSE(fs::exists(folder.path("never"))) << "a portable game creates no folder";
}
