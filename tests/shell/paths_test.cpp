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
std::string at(const std::string &root, const std::string &path) {
    std::string expanded = path;
    for (size_t found; (found = expanded.find('@')) != std::string::npos;)
        expanded.replace(found, 1, root);
    return expanded;
}

class FileLocations : public ::testing::Test {
protected:
    support::ProgramFolder folder; // its own data/ is not used: each case builds its layout under it
    void TearDown() override { forgetFileLocations(); }
};

} // namespace

TEST_F(FileLocations, LayoutDataAndPlayerFoldersFollowWhatIsBesideTheProgram) {
    struct Case {
        const char *what;
        std::vector<std::string> folders; // made before the decision
        std::string program, dataOverride;
        sUserEnvironment environment;
        eFileLayout layout;
        std::string data, playerData, config;
        bool dataFound;
    } cases[] = {
        // clang-format off
        {"a writable program folder with data/: everything beside it, as always",
         {"@/p/data"}, "@/p", "", {"@/x", "@/y", "@/h"},
         eFileLayout::portable, "@/p/data", "@/p/data", "@/p", true},
        {"installed in games/: data in ../share/quorix, player files in the XDG folders",
         {"@/usr/games", "@/usr/share/quorix"}, "@/usr/games", "", {"@/x", "@/y", "@/h"},
         eFileLayout::installed, "@/usr/share/quorix", "@/x/quorix", "@/y/quorix", true},
        {"installed in bin/, XDG unset: the home folder's defaults",
         {"@/opt/q/bin", "@/opt/q/share/quorix"}, "@/opt/q/bin", "", {"", "", "@/h/"},
         eFileLayout::installed, "@/opt/q/share/quorix", "@/h/.local/share/quorix", "@/h/.config/quorix", true},
        {"relative XDG folders are ignored",
         {"@/usr/games", "@/usr/share/quorix"}, "@/usr/games", "", {"rel/data", "rel/config", "@/h"},
         eFileLayout::installed, "@/usr/share/quorix", "@/h/.local/share/quorix", "@/h/.config/quorix", true},
        {"no XDG folder and no home: no place for the player's files",
         {"@/usr/games", "@/usr/share/quorix"}, "@/usr/games", "", {"", "", ""},
         eFileLayout::installed, "@/usr/share/quorix", "", "", true},
        {"--data in a portable game reads elsewhere but keeps the player's files beside it",
         {"@/p/data", "@/other"}, "@/p", "@/other/", {"@/x", "@/y", "@/h"},
         eFileLayout::portable, "@/other", "@/p/data", "@/p", true},
        {"no data anywhere: the place it was expected, and the player's files in the XDG folders",
         {"@/lonely"}, "@/lonely", "", {"@/x", "@/y", "@/h"},
         eFileLayout::installed, "@/lonely/data", "@/x/quorix", "@/y/quorix", false},
        // clang-format on
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string root = folder.path(std::to_string(&c - cases));
        for (const std::string &made : c.folders)
            fs::create_directories(at(root, made));
        const sUserEnvironment environment{at(root, c.environment.xdgDataHome),
                                           at(root, c.environment.xdgConfigHome),
                                           at(root, c.environment.home)};
        const sFileLocations got =
            chooseFileLocations(at(root, c.program), at(root, c.dataOverride), environment);
        EXPECT_EQ(got.layout, c.layout);
        EXPECT_EQ(got.dataFound, c.dataFound);
        EXPECT_EQ(got.dataFolder + " " + got.playerDataFolder + " " + got.configFolder,
                  at(root, c.data + " " + c.playerData + " " + c.config));
    }
}

TEST_F(FileLocations, EveryFileTheGameKeepsIsNamedByTheLayout) {
    // Before any choice: portable, following the program folder a test points at.
    EXPECT_EQ(preferencesFilePath(), folder.path("prefs.raw"));
    EXPECT_EQ(playerDataFilePath("s60"), folder.path("data/s60"));
    EXPECT_EQ(scoreServerSettingPaths(), std::vector<std::string>{folder.path("data/scoreserver.txt")});
    EXPECT_STREQ(KMiscTools::makeFilePath("data/mouse.tga"), folder.path("data/mouse.tga").c_str());

    sFileLocations installed{eFileLayout::installed,          "/opt/q/games",
                             "/opt/q/share/quorix",           true,
                             "/home/ann/.local/share/quorix", "/home/ann/.config/quorix"};
    useFileLocations(installed);
    EXPECT_EQ(preferencesFilePath(), "/home/ann/.config/quorix/prefs.raw");
    EXPECT_EQ(playerDataFilePath("skin.stt"), "/home/ann/.local/share/quorix/skin.stt");
    EXPECT_EQ(scoreServerSettingPaths(), (std::vector<std::string>{"/home/ann/.config/quorix/scoreserver.txt",
                                                                   "/opt/q/share/quorix/scoreserver.txt"}));
    EXPECT_STREQ(KMiscTools::makeFilePath("data\\skins/3/menu3.tga"),
                 "/opt/q/share/quorix/skins/3/menu3.tga");
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
    struct Case {
        const char *what;
        eFileLayout layout;
        std::string playerData, config;
        bool dataFound;
        bool fine;
        std::vector<std::string> said; // in the message, in any order
    } cases[] = {
        // clang-format off
        {"missing nested folders are made", eFileLayout::installed, "@/new/a/b/quorix", "@/new/c/quorix",
         true, true, {}},
        {"no home folder", eFileLayout::installed, "", "@/ok/quorix",
         true, false, {"no home folder", "XDG_DATA_HOME", "high scores and launcher settings will not be saved"}},
        {"data not found", eFileLayout::installed, "@/ok/quorix", "@/ok/quorix",
         false, false, {"data was not found", "'@/lonely/data'", "--data DIR"}},
        {"a portable game makes nothing", eFileLayout::portable, "@/never/data", "@/never",
         true, true, {}},
        // clang-format on
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string root = folder.root();
        const sFileLocations locations{c.layout,    root + "/lonely",       root + "/lonely/data",
                                       c.dataFound, at(root, c.playerData), at(root, c.config)};
        testing::internal::CaptureStderr();
        const bool fine = preparePlayerFolders(locations, stderr);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(fine, c.fine) << said;
        EXPECT_EQ(said.empty(), c.said.empty()) << said;
        for (const std::string &words : c.said)
            EXPECT_NE(said.find(at(root, words)), std::string::npos)
                << "missing \"" << words << "\" in: " << said;
        if (c.fine && c.layout == eFileLayout::installed) {
            for (const std::string &made : {locations.playerDataFolder, locations.configFolder}) {
                struct stat info {};
                ASSERT_EQ(stat(made.c_str(), &info), 0) << made;
                EXPECT_EQ(info.st_mode & 0777, 0700u) << "the player's folders are the player's alone";
            }
        }
    }
    EXPECT_FALSE(fs::exists(folder.path("never"))) << "a portable game creates no folder";
}
