// The installed game, run from a read-only prefix whose folder names hold a space, '#', '%', '?' and a
// non-ASCII letter (root may write to read-only files, so the tree is compared before and after too).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "support/wait.h"

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
// read-only. The installed program starts headless twice, is ended as a desktop session ends it
// (SIGTERM) and saves: with usable XDG folders its tables land in XDG_DATA_HOME and prefs.raw in
// XDG_CONFIG_HOME, both folders made on the way; with a settings folder that cannot be made it tells the
// player and plays on. Nothing under the prefix changes. (Which folder is which is the shell's test; the
// installed layout and the program's answers are the package check's.)
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
    std::ofstream(xdg / "plain file") << "not a folder";

    for (const fs::path &config : {xdg / "config", xdg / "plain file/config"}) {
        const bool usable = config == xdg / "config";
        SCOPED_TRACE(config);
        const fs::path data = xdg / (usable ? "data home" : "data"), tables = data / "quorix";
        // In a sanitized build the GL driver, loaded and unloaded at run time, leaves allocations that
        // LeakSanitizer cannot name and would turn into exit status 1.
        const Environment environment{{"XDG_DATA_HOME", data.string()},
                                      {"XDG_CONFIG_HOME", config.string()},
                                      {"ASAN_OPTIONS", "detect_leaks=0"}};
        const pid_t game = startProgram({(prefix / "games/quorix").string(), "--no-launcher", "--skin", "5"},
                                        environment, base / "out", base / "err");
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
        kill(game, SIGTERM);
        EXPECT_EQ(waitForProgram(game), 0) << readText(base / "err");
        const std::string err = readText(base / "err");
        EXPECT_EQ(err.find("data was not found"), std::string::npos) << err;
        EXPECT_EQ(err.find("cannot use the folder '" + (config / "quorix").string() + "'") !=
                      std::string::npos,
                  !usable)
            << err;
        for (const char *file : {"s60", "s5mn", "smil", "srelx"})
            EXPECT_EQ(fs::file_size(tables / file), 468u) << file;
        EXPECT_EQ(fs::status(tables).permissions() & fs::perms::all, fs::perms::owner_all);
        EXPECT_FALSE(fs::exists(tables / "fullscreen.stt")) << "--no-launcher stores no launcher choice";
        if (usable) {
            EXPECT_EQ(fs::file_size(config / "quorix/prefs.raw"), 28u);
        }
    }
    EXPECT_EQ(snapshot(root), before) << "the game wrote under its prefix";
}
