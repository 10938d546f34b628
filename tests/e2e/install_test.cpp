// The installed game: `cmake --install` with DESTDIR into a throw-away root whose folder names hold a
// space, '#', '%', '?' and a non-ASCII letter, the installed tree made read-only, and the game run from
// it. The scripted game runs in-process with the program's folder set to the installed games/ folder,
// so every path rule is the installed one; the real installed program answers its command line and
// starts headless. Neither may write anything under the prefix (root may write to read-only files, so
// the tree is compared before and after as well).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "framework/KMiscTools.h"
#include "frontend/menu.h"
#include "game/playscreen.h"
#include "game/rules.h"
#include "game/sheet_layout.h"
#include "harness.h"
#include "shell/paths.h"
#include "shell/prefs.h"

extern char **environ;

using namespace e2e;
namespace fs = std::filesystem;

namespace {

using Environment = std::map<std::string, std::string>;

std::string readText(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Starts a program with extra environment variables, its output going to two files.
pid_t startProgram(const std::vector<std::string> &arguments, const Environment &extra, const fs::path &out,
                   const fs::path &err) {
    std::vector<std::string> variables;
    for (char **variable = environ; *variable; ++variable) {
        const std::string text = *variable;
        if (!extra.count(text.substr(0, text.find('='))))
            variables.push_back(text);
    }
    for (const auto &[name, value] : extra)
        variables.push_back(name + "=" + value);
    std::vector<char *> envp, argv;
    for (std::string &variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::vector<std::string> words = arguments;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The exit status, or -1 when the program died of a signal or outlived the limit (it is then killed).
int waitForProgram(pid_t pid, int limitSeconds = 120) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Whether the process has a handler for the signal: the game's window layer turns SIGTERM into a
// request to close the window once it is up.
bool catchesSignal(pid_t pid, int signal) {
    std::istringstream status(readText("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

// Every entry under a folder with what would show a change: type and mode, size, modification time.
std::map<std::string, std::string> snapshot(const fs::path &folder) {
    std::map<std::string, std::string> entries;
    for (const auto &entry : fs::recursive_directory_iterator(folder)) {
        struct stat info {};
        lstat(entry.path().c_str(), &info);
        entries[entry.path().string()] = std::to_string(info.st_mode) + " " + std::to_string(info.st_size) +
                                         " " + std::to_string(info.st_mtim.tv_sec) + "." +
                                         std::to_string(info.st_mtim.tv_nsec);
    }
    return entries;
}

// `cmake --install` of this build into a temporary root, with /usr as the prefix.
class InstalledGame : public ::testing::Test {
protected:
    fs::path base, root, prefix, xdg;

    void SetUp() override {
        char pattern[] = "/tmp/quorix-install-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        base = pattern;
        root = base / "Jeux vidéo #1 50% ?";
        prefix = root / "usr";
        xdg = base / "home";
        fs::create_directories(xdg);
        const int status = waitForProgram(
            startProgram({QUORIX_CMAKE_COMMAND, "--install", QUORIX_BUILD_DIR, "--prefix", "/usr"},
                         {{"DESTDIR", root.string()}}, base / "install.out", base / "install.err"));
        ASSERT_EQ(status, 0) << readText(base / "install.out") << readText(base / "install.err");
    }

    void TearDown() override {
        // Give the read-only folders back their write permission so that they can be removed.
        std::error_code ignored;
        for (auto entry = fs::recursive_directory_iterator(base, ignored); entry != fs::end(entry);
             entry.increment(ignored))
            if (entry->is_directory(ignored) && !entry->is_symlink(ignored))
                fs::permissions(entry->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::permissions(base, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(base, ignored);
    }

    void makePrefixReadOnly() {
        const fs::perms write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
        for (const auto &entry : fs::recursive_directory_iterator(prefix))
            if (!entry.is_symlink())
                fs::permissions(entry.path(), write, fs::perm_options::remove);
        fs::permissions(prefix, write, fs::perm_options::remove);
    }
};

// Where the install put things: the program, its data without any player's file, and what the
// desktop looks for (menu entry, metadata, icons, manual page).
void expectInstalledLayout(const fs::path &prefix) {
    const struct {
        const char *path;
        bool executable;
    } expected[] = {
        {"games/quorix", true},
        {"share/quorix/help/index.html", false},
        {"share/quorix/skins/6/menu6.tga", false},
        {"share/quorix/icons/quorix-64.png", false},
        {"share/applications/org.quorix.Quorix.desktop", false},
        {"share/metainfo/org.quorix.Quorix.metainfo.xml", false},
        {"share/icons/hicolor/32x32/apps/org.quorix.Quorix.png", false},
        {"share/icons/hicolor/64x64/apps/org.quorix.Quorix.png", false},
        {"share/icons/hicolor/128x128/apps/org.quorix.Quorix.png", false},
        {"share/icons/hicolor/256x256/apps/org.quorix.Quorix.png", false},
        {"share/man/man6/quorix.6", false},
    };
    for (const auto &file : expected) {
        SCOPED_TRACE(file.path);
        EXPECT_TRUE(fs::is_regular_file(prefix / file.path));
        EXPECT_EQ(access((prefix / file.path).c_str(), X_OK) == 0, file.executable);
    }
    EXPECT_EQ(readText(prefix / "share/icons/hicolor/256x256/apps/org.quorix.Quorix.png"),
              readText(fs::path(QUORIX_DATA_DIR) / "icons/quorix-256.png"));
    // A game run from the build folder keeps its scores and settings in build/data: none is installed.
    for (const auto &entry : fs::recursive_directory_iterator(prefix / "share/quorix")) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name != "s60" && name != "s5mn" && name != "smil" && name != "srelx" &&
                    name.find(".stt") == std::string::npos && name != "scoreserver.txt" &&
                    name.find(".tmp") == std::string::npos)
            << entry.path();
    }
}

} // namespace

// A relax game at the hardest level (whose table starts empty, so any points earn a place), a name
// entered, and quit: the table lands in XDG_DATA_HOME, prefs.raw in XDG_CONFIG_HOME, both folders made
// on the way, and nothing under the prefix changes.
TEST_F(InstalledGame, ScriptedGameKeepsThePlayersFilesInTheXdgFolders) {
    makePrefixReadOnly();
    const auto before = snapshot(root);
    const fs::path dataHome = xdg / "data home", configHome = xdg / "config";
    const fs::path tables = dataHome / "quorix", settings = configHome / "quorix";

    runInChild([&] {
        setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
        setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
        KMiscTools::setProgramFolder((prefix / "games").c_str());
        Director director;
        std::string tableOnEntry;
        long distinctColours = 0;
        director.waitUntil("the menu", menuShown)
            .wait(2)
            .act([&](const platform::Frame &frame) {
                const Picture picture = frame.pixels();
                std::vector<uint32_t> colours(picture.begin(), picture.end());
                std::sort(colours.begin(), colours.end());
                distinctColours = std::unique(colours.begin(), colours.end()) - colours.begin();
            })
            .click(centreX(layout::kModeRows[3]), centreY(layout::kModeRows[3]))
            .click(centreX(layout::kDifficultyButtons[3]), centreY(layout::kDifficultyButtons[3]))
            .click(489, 364)
            .waitUntil("the game", gameRunning, 200)
            .playUntil(
                "some points", [] { return score > 0 && boardStill(); }, 3000)
            .waitUntil(
                "the points to count as the result", [] { return _realScore > 0; }, 200)
            .key(SDLK_ESCAPE)
            .waitUntil(
                "the name entry", [] { return gameOver && gameOverFade >= 1.0f; }, 200)
            .type("ivy")
            .key(SDLK_RETURN)
            .waitUntil("the entry to close", nameEntryClosed, 100)
            .act([&](const platform::Frame &) { tableOnEntry = readText(tables / "srelx"); })
            .click(centreX(layout::kPlayButtons[2].area), centreY(layout::kPlayButtons[2].area))
            .waitUntil("the menu again", menuReady, 345)
            .key(SDLK_ESCAPE, 1000);
        director.run(8000);
        for (const std::string &failure : director.failures())
            ADD_FAILURE() << failure;

        EXPECT_EQ(currentFileLocations().layout, eFileLayout::installed);
        EXPECT_EQ(KMiscTools::dataFolder(), (root / "usr/share/quorix").string());
        EXPECT_GT(distinctColours, 200) << "the menu's art was read from the installed data";
        EXPECT_EQ(tableOnEntry.size(), 468u) << "the table is saved as soon as the name is entered";
    });

    const std::string relax = readText(tables / "srelx");
    ASSERT_EQ(relax.size(), 468u);
    bool entered = false;
    for (int row = 9; row < 12; row++)
        entered = entered || std::strncmp(relax.data() + 36 * row, "ivy", 32) == 0;
    EXPECT_TRUE(entered) << "ivy is in the difficulty-3 group of the relax table";
    for (const char *file : {"s60", "s5mn", "smil", "fullscreen.stt", "skin.stt", "gamepad.stt"})
        EXPECT_TRUE(fs::is_regular_file(tables / file)) << file;
    const std::string saved = readText(settings / "prefs.raw");
    ASSERT_EQ(saved.size(), 28u);
    EXPECT_EQ(saved[8], 3) << "the relax mode";
    EXPECT_EQ(saved[12], 3) << "the hardest level";
    EXPECT_EQ(fs::status(tables).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(snapshot(root), before) << "the game wrote under its prefix";
}

// The installed tree, and the real program in it: its command line, and a headless start whose
// settings folder cannot be made.
TEST_F(InstalledGame, TheInstalledProgramAnswersAndStartsHeadless) {
    expectInstalledLayout(prefix);
    makePrefixReadOnly();
    const auto before = snapshot(root);
    const std::string program = (prefix / "games/quorix").string();
    const Environment home{{"XDG_DATA_HOME", (xdg / "data").string()},
                           {"XDG_CONFIG_HOME", (xdg / "config").string()}};

    const struct {
        std::vector<std::string> arguments;
        int status;
        const char *out, *err;
    } answers[] = {
        {{"--version"}, 0, "quorix 0.1\n", ""},
        {{"--help"}, 0, "--no-launcher", ""},
        {{"--skin", "9"}, 2, "", "quorix: --skin needs a skin number from 0 to 6, not '9'"},
        {{"--fullscreen", "--bogus"}, 2, "", "quorix: unknown option '--bogus'"},
    };
    for (const auto &answer : answers) {
        SCOPED_TRACE(answer.arguments.front());
        std::vector<std::string> arguments{program};
        arguments.insert(arguments.end(), answer.arguments.begin(), answer.arguments.end());
        EXPECT_EQ(waitForProgram(startProgram(arguments, home, base / "out", base / "err")), answer.status);
        const std::string out = readText(base / "out"), err = readText(base / "err");
        EXPECT_NE(out.find(answer.out), std::string::npos) << out;
        EXPECT_EQ(err.empty(), answer.err[0] == '\0') << err;
        EXPECT_NE(err.find(answer.err), std::string::npos) << err;
    }
    EXPECT_TRUE(fs::is_empty(xdg)) << "answering the command line makes no folder";

    // XDG_CONFIG_HOME below a plain file: the player is told, and the game plays on.
    std::ofstream(xdg / "plain file") << "not a folder";
    Environment unusable = home;
    unusable["XDG_CONFIG_HOME"] = (xdg / "plain file/config").string();
    // In a sanitized build: the GL driver, loaded and unloaded at run time, leaves allocations that
    // LeakSanitizer cannot name and would turn into exit status 1. (The in-process runs never reach a
    // leak check either; every other check of the sanitizers stays on.)
    unusable["ASAN_OPTIONS"] = "detect_leaks=0";
    const pid_t game =
        startProgram({program, "--no-launcher", "--skin", "5"}, unusable, base / "out", base / "err");
    ASSERT_GT(game, 0);
    // Waits for the window to be up; the limit only keeps a broken build from hanging the test run.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    int status = 0;
    bool ended = false, windowUp = false;
    while (!(windowUp = catchesSignal(game, SIGTERM)) && !(ended = waitpid(game, &status, WNOHANG) != 0) &&
           std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!windowUp && !ended) {
        kill(game, SIGKILL);
        waitpid(game, &status, 0);
    }
    ASSERT_TRUE(windowUp) << "the game's window never came up: " << readText(base / "err");
    kill(game, SIGTERM); // as a desktop session does when it ends
    EXPECT_EQ(waitForProgram(game), 0) << readText(base / "err");
    const std::string err = readText(base / "err");
    EXPECT_NE(err.find("quorix: cannot use the folder '" + (xdg / "plain file/config/quorix").string() + "'"),
              std::string::npos)
        << err;
    EXPECT_EQ(err.find("data was not found"), std::string::npos) << err;
    EXPECT_TRUE(fs::is_directory(xdg / "data/quorix"));
    EXPECT_FALSE(fs::exists(xdg / "data/quorix/fullscreen.stt")) << "--no-launcher stores no launcher choice";
    EXPECT_EQ(snapshot(root), before) << "the game wrote under its prefix";
}
