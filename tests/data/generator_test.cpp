// The generator itself: the same bytes on every run, and it leaves alone what it did not make.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

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
    // Built with append rather than a chain of +: GCC 12 warns falsely (array-bounds) on the chain for
    // some lengths of the program's path, and warnings are errors in CI.
    std::string command = "ASAN_OPTIONS=detect_leaks=0 '";
    command.append(QUORIX_ASSETGEN).append("' ").append(arguments);
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class GeneratorRun : public testing::Test {
protected:
    support::TempFolder folder{"assetgen"};
    const fs::path root_ = folder.root();
};

TEST_F(GeneratorRun, SameBytesAsTheBuildAndForeignFilesSurvive) {
#ifdef QUORIX_SANITIZED
    GTEST_SKIP() << "the plain build compares the bytes; this build ran its generator already";
#endif
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

// No two boxes of text on one picture overlap: a caption written over a button, or two lines run into
// each other, would be unreadable.
TEST_F(GeneratorRun, NoTwoTextBoxesOfAPictureOverlap) {
    const fs::path list = root_ / "boxes.txt";
    ASSERT_EQ(runGenerator("--text-boxes '" + list.string() + "'"), 0);
    struct Box {
        int picture;
        double x1, y1, x2, y2;
        std::string text;
    };
    std::vector<Box> boxes;
    std::ifstream in(list);
    Box box;
    while (in >> box.picture >> box.x1 >> box.y1 >> box.x2 >> box.y2 && std::getline(in, box.text)) {
        // A caption drawn again over itself (a lit control over the unlit one) is one box.
        const bool again = std::any_of(boxes.begin(), boxes.end(), [&](const Box &seen) {
            return seen.picture == box.picture && seen.text == box.text && seen.x1 == box.x1 &&
                   seen.y1 == box.y1 && seen.x2 == box.x2 && seen.y2 == box.y2;
        });
        if (!again)
            boxes.push_back(box);
    }
    ASSERT_GT(boxes.size(), 100u);
    bool creditsSeen = false;
    for (size_t a = 0; a < boxes.size(); ++a) {
        creditsSeen = creditsSeen || boxes[a].text == " Thanks for playing!";
        for (size_t b = a + 1; b < boxes.size(); ++b) {
            const Box &p = boxes[a], &q = boxes[b];
            const bool overlap =
                p.picture == q.picture && p.x1 < q.x2 && q.x1 < p.x2 && p.y1 < q.y2 && q.y1 < p.y2;
            EXPECT_FALSE(overlap) << "picture " << p.picture << ":" << p.text << " (" << p.x1 << "," << p.y1
                                  << ")-(" << p.x2 << "," << p.y2 << ") and" << q.text << " (" << q.x1 << ","
                                  << q.y1 << ")-(" << q.x2 << "," << q.y2 << ")";
        }
    }
    EXPECT_TRUE(creditsSeen);
}
