// The generator itself: the same bytes on every run, it leaves alone what it did not make, and no two
// boxes of text on one of its pictures overlap.
#include <gtest/gtest.h>

#include <sys/wait.h>

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
    for (const auto &entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), root).generic_string()] = entry.path();
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
};

TEST_F(GeneratorRun, SameBytesAsTheBuildAndForeignFilesSurvive) {
#ifdef QUORIX_SANITIZED
    GTEST_SKIP() << "the plain build compares the bytes; this build ran its generator already";
#endif
    // What the game writes into its data folder: scores, launcher settings.
    const std::map<std::string, std::string> foreign = {
        {"s60", "scores of a player"}, {"skin.stt", "\x04\0\0\0"}, {"skins/0/notes.txt", "mine"}};
    for (const auto &[name, content] : foreign)
        folder.write("data/" + name, support::Bytes(content.begin(), content.end()));
    ASSERT_EQ(runGenerator("'" + folder.path("data") + "'"), 0);

    const auto built = filesUnder(datatest::dataDir());
    int compared = 0;
    for (const auto &[name, path] : filesUnder(folder.root() / "data")) {
        const auto other = built.find(name);
        if (foreign.count(name) != 0) {
            const support::Bytes bytes = datatest::readBytes(path);
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), foreign.at(name)) << name << " was touched";
        } else if (other == built.end()) {
            ADD_FAILURE() << name << " is not in the build's data folder";
        } else {
            EXPECT_TRUE(datatest::readBytes(path) == datatest::readBytes(other->second))
                << name << " differs";
            ++compared;
        }
    }
    EXPECT_GT(compared, 100);
}

TEST_F(GeneratorRun, RefusesBadArgumentsAndWritesContactSheetsForReview) {
    for (const char *bad : {"", "--unknown", "a b c"})
        EXPECT_NE(runGenerator(bad), 0) << bad;
    ASSERT_EQ(runGenerator("--preview '" + folder.root().string() + "'"), 0);
    for (const char *name : {"skin0-menu.png", "skin6-play.png", "gem-sets.png", "highscalp.tga.png"})
        EXPECT_TRUE(folder.exists(name)) << name;
}

// A caption written over a button, or two lines run into each other, would be unreadable. A caption
// drawn again over itself (a lit control over the unlit one) is one box.
TEST_F(GeneratorRun, NoTwoTextBoxesOfAPictureOverlap) {
    ASSERT_EQ(runGenerator("--text-boxes '" + folder.path("boxes.txt") + "'"), 0);
    struct Box {
        int picture;
        double x1, y1, x2, y2;
        std::string text;
    };
    std::vector<Box> boxes;
    std::ifstream in(folder.path("boxes.txt"));
    for (Box b; in >> b.picture >> b.x1 >> b.y1 >> b.x2 >> b.y2 && std::getline(in, b.text);) {
        const bool overlap = std::any_of(boxes.begin(), boxes.end(), [&](const Box &q) {
            const bool same =
                q.text == b.text && q.x1 == b.x1 && q.y1 == b.y1 && q.x2 == b.x2 && q.y2 == b.y2;
            return q.picture == b.picture && !same && b.x1 < q.x2 && q.x1 < b.x2 && b.y1 < q.y2 &&
                   q.y1 < b.y2;
        });
        EXPECT_FALSE(overlap) << "picture " << b.picture << ":" << b.text << " (" << b.x1 << "," << b.y1
                              << ")-(" << b.x2 << "," << b.y2 << ") overlaps an earlier box";
        boxes.push_back(b);
    }
    EXPECT_GT(boxes.size(), 100u);
    EXPECT_TRUE(std::any_of(boxes.begin(), boxes.end(),
                            [](const Box &b) { return b.text == " Thanks for playing!"; }));
}

} // namespace
