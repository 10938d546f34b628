// Where the game's files live: the portable and the installed layout, the XDG folders, and what the
// player is told when a folder cannot be used.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
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

// Runs `body` with stderr going to a string.
std::string stderrOf(const std::function<void(std::FILE *)> &body) {
    std::FILE *capture = std::tmpfile();
    body(capture);
    std::fflush(capture);
    std::rewind(capture);
    std::string text;
    for (int c; (c = std::fgetc(capture)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(capture);
    return text;
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
        {"--data in an installed game",
         {"@/usr/games", "@/usr/share/quorix", "@/other"}, "@/usr/games", "@/other", {"@/x", "@/y", "@/h"},
         eFileLayout::installed, "@/other", "@/x/quorix", "@/y/quorix", true},
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
        EXPECT_EQ(got.dataFolder, at(root, c.data));
        EXPECT_EQ(got.dataFound, c.dataFound);
        EXPECT_EQ(got.playerDataFolder, at(root, c.playerData));
        EXPECT_EQ(got.configFolder, at(root, c.config));
    }
}

TEST_F(FileLocations, AProgramFolderThatCannotBeWrittenIsNotPortable) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write into any folder";
    for (const char *locked : {"p", "p/data"}) {
        SCOPED_TRACE(locked);
        const std::string root = folder.path(std::string("ro-") + (locked[1] ? "data" : "program"));
        fs::create_directories(root + "/p/data");
        chmod((root + "/" + locked).c_str(), 0555);
        const sFileLocations got = chooseFileLocations(root + "/p", "", {root + "/x", root + "/y", ""});
        chmod((root + "/" + locked).c_str(), 0755);
        EXPECT_EQ(got.layout, eFileLayout::installed);
        EXPECT_EQ(got.dataFolder, root + "/p/data") << "the data beside it is still read";
        EXPECT_EQ(got.playerDataFolder, root + "/x/quorix");
    }
}

TEST_F(FileLocations, EveryFileTheGameKeepsIsNamedByTheLayout) {
    // Before any choice: portable, following the program folder a test points at.
    EXPECT_EQ(preferencesFilePath(), folder.path("prefs.raw"));
    EXPECT_EQ(playerDataFilePath("s60"), folder.path("data/s60"));
    EXPECT_EQ(scoreServerSettingPaths(), std::vector<std::string>{folder.path("data/scoreserver.txt")});
    EXPECT_STREQ(KMiscTools::makeFilePath("data/mouse.tga"), folder.path("data/mouse.tga").c_str());

    sFileLocations installed;
    installed.layout = eFileLayout::installed;
    installed.programFolder = "/opt/q/games";
    installed.dataFolder = "/opt/q/share/quorix";
    installed.playerDataFolder = "/home/ann/.local/share/quorix";
    installed.configFolder = "/home/ann/.config/quorix";
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
    EXPECT_STREQ(KMiscTools::makeFilePath("C:/tmp/x.bmp"), "/tmp/x.bmp");

    // A folder nobody knows names no file, and nothing is written anywhere for it.
    installed.configFolder.clear();
    useFileLocations(installed);
    EXPECT_EQ(preferencesFilePath(), "");
    EXPECT_EQ(scoreServerSettingPaths(), std::vector<std::string>{"/opt/q/share/quorix/scoreserver.txt"});

    forgetFileLocations();
    EXPECT_EQ(playerDataFilePath("srelx"), folder.path("data/srelx"));
    EXPECT_STREQ(KMiscTools::makeFilePath("data/mouse.tga"), folder.path("data/mouse.tga").c_str());
}

TEST_F(FileLocations, PlayerFoldersAreCreatedOrThePlayerIsToldWhy) {
    std::ofstream(folder.path("plain-file")) << "not a folder";
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
        {"a folder under a plain file cannot be made", eFileLayout::installed, "@/ok/quorix", "@/plain-file/quorix",
         true, false, {"'@/plain-file/quorix'", "Not a directory", "preferences will not be saved"}},
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
        sFileLocations locations;
        locations.layout = c.layout;
        locations.programFolder = root + "/lonely";
        locations.dataFolder = root + "/lonely/data";
        locations.dataFound = c.dataFound;
        locations.playerDataFolder = at(root, c.playerData);
        locations.configFolder = at(root, c.config);
        bool fine = false;
        const std::string said =
            stderrOf([&](std::FILE *err) { fine = preparePlayerFolders(locations, err); });
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
