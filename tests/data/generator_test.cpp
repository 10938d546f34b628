// The generator itself: the same bytes on every run, and it leaves alone what it did not make.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "data_files.h"

namespace fs = std::filesystem;

namespace {

std::map<std::string, fs::path> filesUnder(const fs::path &root) {
    std::map<std::string, fs::path> files;
    for (const auto &entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), root).generic_string()] = entry.path();
        }
    }
    return files;
}

int runGenerator(const std::string &arguments) {
    const std::string command =
        std::string("ASAN_OPTIONS=detect_leaks=0 '") + QUORIX_ASSETGEN + "' " + arguments;
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class GeneratorRun : public testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("quorix-assetgen-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }
    fs::path root_;
};

TEST_F(GeneratorRun, SameBytesAsTheBuildAndForeignFilesSurvive) {
    const fs::path data = root_ / "data";
    // What the game writes into its data folder: scores, launcher settings.
    fs::create_directories(data / "skins" / "0");
    const std::map<std::string, std::string> foreign = {
        {"s60", "scores of a player"}, {"skin.stt", "\x04\0\0\0"}, {"skins/0/notes.txt", "mine"}};
    for (const auto &[name, content] : foreign) {
        std::ofstream(data / name, std::ios::binary) << content;
    }

    ASSERT_EQ(runGenerator("'" + data.string() + "'"), 0);

    for (const auto &[name, content] : foreign) {
        const auto bytes = datatest::readBytes(data / name);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content) << name << " was touched";
    }
    const auto fresh = filesUnder(data);
    const auto built = filesUnder(datatest::dataDir());
    int compared = 0;
    for (const auto &[name, path] : fresh) {
        if (foreign.count(name) != 0) {
            continue;
        }
        const auto other = built.find(name);
        ASSERT_NE(other, built.end()) << name << " is not in the build's data folder";
        EXPECT_TRUE(datatest::readBytes(path) == datatest::readBytes(other->second)) << name << " differs";
        ++compared;
    }
    EXPECT_GT(compared, 100);
}

TEST_F(GeneratorRun, RefusesBadArguments) {
    EXPECT_NE(runGenerator(""), 0);
    EXPECT_NE(runGenerator("--unknown"), 0);
    EXPECT_NE(runGenerator("a b c"), 0);
}

TEST_F(GeneratorRun, PreviewWritesContactSheets) {
    ASSERT_EQ(runGenerator("--preview '" + root_.string() + "'"), 0);
    const auto files = filesUnder(root_);
    for (const char *name : {"skin0-menu.png", "skin6-play.png", "gem-sets.png", "highscalp.tga.png"}) {
        EXPECT_EQ(files.count(name), 1u) << name;
    }
}

} // namespace
