// The installed game, run from a read-only prefix whose folder names hold a space, '#', '%', '?' and a
// non-ASCII letter (root may write to read-only files, so the tree is compared before and after too).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
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

#include "framework/KMiscTools.h"
#include "frontend/menu.h"
#include "game/playscreen.h"
#include "game/rules.h"
#include "game/sheet_layout.h"
#include "scripted.h"
#include "shell/paths.h"
#include "shell/prefs.h"
#include "support/wait.h"

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
    const pid_t pid = fork();
    if (pid == 0) {
        for (const auto &[name, value] : extra)
            setenv(name.c_str(), value.c_str(), 1);
        const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
                  errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char *> argv;
        for (const std::string &word : arguments)
            argv.push_back(const_cast<char *>(word.c_str()));
        argv.push_back(nullptr);
        if (dup2(outFd, 1) >= 0 && dup2(errFd, 2) >= 0)
            execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// The exit status, or -1 when the program died of a signal or outlived two minutes (it is then killed).
int waitForProgram(pid_t pid) {
    int status = 0;
    if (!support::waitUntil([&] { return waitpid(pid, &status, WNOHANG) != 0; }, std::chrono::seconds(120))) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
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

} // namespace

// `cmake --install` of this build into a temporary root with /usr as the prefix, the prefix made
// read-only. A relax game at the hardest level (whose table starts empty, so any points earn a place),
// a name entered, and quit: the table lands in XDG_DATA_HOME, prefs.raw in XDG_CONFIG_HOME, both
// folders made on the way. Then the real program, whose settings folder cannot be made, starts headless,
// tells the player and plays on. Nothing under the prefix changes. (Where the files go, and the
// installed program's answers, are the package check's.)
TEST(InstalledGame, PlaysFromAReadOnlyPrefixAndKeepsThePlayersFilesInTheXdgFolders) {
    char pattern[] = "/tmp/quorix-install-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path base = pattern, root = base / "Jeux vidéo #1 50% ?", prefix = root / "usr",
                   xdg = base / "home";
    struct Cleanup { // the read-only folders get their write permission back so that they can be removed
        fs::path base;
        ~Cleanup() {
            std::error_code ignored;
            for (auto entry = fs::recursive_directory_iterator(base, ignored); entry != fs::end(entry);
                 entry.increment(ignored))
                if (entry->is_directory(ignored) && !entry->is_symlink(ignored))
                    fs::permissions(entry->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
            fs::remove_all(base, ignored);
        }
    } cleanup{base};
    fs::create_directories(xdg);
    ASSERT_EQ(
        waitForProgram(startProgram({QUORIX_CMAKE_COMMAND, "--install", QUORIX_BUILD_DIR, "--prefix", "/usr"},
                                    {{"DESTDIR", root.string()}}, base / "out", base / "err")),
        0)
        << readText(base / "out") << readText(base / "err");
    const fs::perms write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    for (const auto &entry : fs::recursive_directory_iterator(prefix))
        if (!entry.is_symlink())
            fs::permissions(entry.path(), write, fs::perm_options::remove);
    fs::permissions(prefix, write, fs::perm_options::remove);
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
                Picture colours = frame.pixels();
                std::sort(colours.begin(), colours.end());
                distinctColours = std::unique(colours.begin(), colours.end()) - colours.begin();
            })
            .click(centreX(layout::kModeRows[3]), centreY(layout::kModeRows[3]))
            .click(centreX(layout::kDifficultyButtons[3]), centreY(layout::kDifficultyButtons[3]));
        clickPlay(director)
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
    const std::vector<unsigned char> relaxBytes(relax.begin(), relax.end());
    EXPECT_EQ(tableRow(relaxBytes, 9).name, "ivy") << "ivy heads the difficulty-3 group of the relax table";
    for (const char *file : {"s60", "s5mn", "smil", "fullscreen.stt", "skin.stt", "gamepad.stt"})
        EXPECT_TRUE(fs::is_regular_file(tables / file)) << file;
    const std::string saved = readText(settings / "prefs.raw");
    ASSERT_EQ(saved.size(), 28u);
    EXPECT_EQ(saved[8], 3) << "the relax mode";
    EXPECT_EQ(saved[12], 3) << "the hardest level";
    EXPECT_EQ(fs::status(tables).permissions() & fs::perms::all, fs::perms::owner_all);

    // XDG_CONFIG_HOME below a plain file: the player is told, and the game plays on. In a sanitized
    // build the GL driver, loaded and unloaded at run time, leaves allocations that LeakSanitizer cannot
    // name and would turn into exit status 1 (the in-process runs never reach a leak check either).
    std::ofstream(xdg / "plain file") << "not a folder";
    const Environment unusable{{"XDG_DATA_HOME", (xdg / "data").string()},
                               {"XDG_CONFIG_HOME", (xdg / "plain file/config").string()},
                               {"ASAN_OPTIONS", "detect_leaks=0"}};
    const pid_t game = startProgram({(prefix / "games/quorix").string(), "--no-launcher", "--skin", "5"},
                                    unusable, base / "out", base / "err");
    ASSERT_GT(game, 0);
    // Waits for the window to be up; the limit only keeps a broken build from hanging the test run.
    bool windowUp = false;
    support::waitUntil(
        [&] { return (windowUp = catchesSignal(game, SIGTERM)) || waitpid(game, nullptr, WNOHANG) != 0; },
        std::chrono::seconds(120));
    if (!windowUp) {
        kill(game, SIGKILL);
        waitpid(game, nullptr, 0);
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
