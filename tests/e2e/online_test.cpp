// Online scores through the whole program, against the real score server on a loopback port.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>

#include "../server/server_process.h"
#include "framework/KMiscTools.h"
#include "framework/KWeb.h"
#include "frontend/menu.h"
#include "game/playscreen.h"
#include "game/replay_playback.h"
#include "game/rules.h"
#include "game/sheet_layout.h"
#include "harness.h"

using namespace e2e;

namespace {

// Every request the game makes asks first whether there is a network: count them there.
std::atomic<int> requests{0};
bool countRequest() {
    requests++;
    return true;
}

// A folder for the server's database, removed with the test.
struct DatabaseFolder {
    DatabaseFolder() {
        char pattern[] = "/tmp/quorix-online-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~DatabaseFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string database() const { return path + "/scores.sqlite"; }
    std::string path;
};

// Consent given in the launcher, and the server's address.
void allowOnlineScores(const ProgramFolder &folder, const std::string &server) {
    folder.write("data/gamepad.stt", {1});
    folder.write("data/scoreserver.txt", std::vector<unsigned char>(server.begin(), server.end()));
}

std::string fetch(const std::string &url) {
    KWeb web;
    const char *body = web.callURL(url.c_str(), false);
    return body ? body : "";
}

// A 60-second game cut short: a few points by playing, then a result worth a place everywhere and the
// clock brought to its end; the name is typed (Return alone keeps the name of the last entry) and the
// player leaves with Escape.
void playShortGame(Director &director, const std::string &name) {
    director.click(centreX(layout::kModeRows[0]), centreY(layout::kModeRows[0]))
        .click(489, 364)
        .waitUntil("the game", gameRunning, 200)
        .playUntil(
            "a few points", [] { return score >= 40; }, 3000)
        .waitUntil("the board at rest", boardStill)
        .act([](const platform::Frame &) {
            score = 5000;
            gameTimer = 0;
        })
        .waitUntil(
            "the name entry", [] { return gameOver && gameOverFade >= 1.0f; }, 400)
        .type(name)
        .key(SDLK_RETURN)
        .waitUntil("the entry to close", nameEntryClosed, 100)
        .key(SDLK_ESCAPE)
        .waitUntil("the menu", menuReady, 145);
}

// A relax game left with Escape: its result earns no place, so the game returns to the menu.
void playRelaxGame(Director &director) {
    director.click(centreX(layout::kModeRows[3]), centreY(layout::kModeRows[3]))
        .click(489, 364)
        .waitUntil("the game", gameRunning, 200)
        .playUntil(
            "a few points", [] { return score >= 40; }, 3000)
        .waitUntil("the board at rest", boardStill)
        .act([](const platform::Frame &) { score = 1; }) // too little for the relax table
        .key(SDLK_ESCAPE)
        .waitUntil("the menu", menuReady, 145);
}

} // namespace

TEST(OnlineScores, ResultsReachTheWorldTableUnderTheTypedName) {
    const DatabaseFolder databaseFolder;
    ServerProcess server({"--port", "0", "--db", databaseFolder.database()});
    const int port = server.port();
    ASSERT_GT(port, 0);
    const std::string base = "http://127.0.0.1:" + std::to_string(port);

    ProgramFolder folder;
    allowOnlineScores(folder, base);
    runInChild([&] {
        KMiscTools::setProgramFolder(folder.root().c_str());
        KWeb::_connectedState = countRequest;
        Director director;
        int questionsAfterFirstGame = 0;
        director.waitUntil("the menu", menuShown);
        playShortGame(director, "al bo");
        director.act([&](const platform::Frame &) {
            // One question, one submission and its replay: the panel asked only once in all its frames.
            questionsAfterFirstGame = requests;
            EXPECT_EQ(requests, 3);
        });
        playShortGame(director, ""); // Return alone sends the last name again
        director.act([&](const platform::Frame &) { EXPECT_EQ(requests, questionsAfterFirstGame + 3); });
        playRelaxGame(director);
        director.act([&](const platform::Frame &) {
            EXPECT_EQ(requests, questionsAfterFirstGame + 3) << "the relax mode never asks the server";
        });
        director.key(SDLK_ESCAPE, 1000);
        director.run(20000);
        for (const std::string &failure : director.failures())
            ADD_FAILURE() << failure;
    });

    const std::string table = fetch(base + "/game/quorix0dif1");
    EXPECT_NE(table.find("al bo"), std::string::npos) << "a name with a space arrives whole";
    EXPECT_EQ(table.find("quorix3"), std::string::npos);
    const std::string world = fetch(base + "/");
    EXPECT_NE(world.find("quorix0dif1"), std::string::npos);
}

TEST(OnlineScores, AnEmptyNameArrivesAsChicken) {
    const DatabaseFolder databaseFolder;
    ServerProcess server({"--port", "0", "--db", databaseFolder.database()});
    const int port = server.port();
    ASSERT_GT(port, 0);
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    ProgramFolder folder;
    allowOnlineScores(folder, base);
    runInChild([&] {
        KMiscTools::setProgramFolder(folder.root().c_str());
        Director director;
        director.waitUntil("the menu", menuShown);
        playShortGame(director, "");
        director.key(SDLK_ESCAPE, 1000);
        director.run(8000);
        for (const std::string &failure : director.failures())
            ADD_FAILURE() << failure;
    });
    EXPECT_NE(fetch(base + "/game/quorix0dif1").find("chicken"), std::string::npos);
    // The local table took the empty name, at the top of the difficulty-1 group.
    const std::vector<unsigned char> local = folder.read("data/s60");
    ASSERT_EQ(local.size(), 468u);
    EXPECT_EQ(local[36 * 3], 0);
    uint32_t value = 0;
    std::memcpy(&value, local.data() + 36 * 3 + 32, 4);
    EXPECT_EQ(value, 5000u);
}

TEST(OnlineScores, ASilentServerNeverStopsTheGame) {
    // A server that accepts connections and never answers.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(listener, 8), 0);
    socklen_t length = sizeof(address);
    getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
    const std::string base = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    ProgramFolder folder;
    allowOnlineScores(folder, base);
    runInChild([&] {
        KMiscTools::setProgramFolder(folder.root().c_str());
        KWeb::_totalTimeoutMs = 800; // the real bound is 15 s; the behaviour is the same
        Director director;
        director.waitUntil("the menu", menuShown);
        playShortGame(director, "kit");
        director.key(SDLK_ESCAPE, 1000);
        director.run(8000);
        for (const std::string &failure : director.failures())
            ADD_FAILURE() << failure;
    });
    close(listener);
    const std::vector<unsigned char> local = folder.read("data/s60");
    ASSERT_EQ(local.size(), 468u);
    bool found = false;
    for (int row = 3; row < 6; row++)
        found =
            found || std::strncmp(reinterpret_cast<const char *>(local.data()) + 36 * row, "kit", 32) == 0;
    EXPECT_TRUE(found) << "without an answer the local table still takes the result";
}

// A name server that never answers must not freeze the game: the whole request, name lookup
// included, ends within its bound. The game runs in a private mount namespace whose resolv.conf
// points at a loopback address where a socket takes the questions and answers none.
TEST(OnlineScores, ANameServerThatNeverAnswersNeverFreezesTheGame) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs a mount namespace and port 53: run as root (CI does)";
    const int silent = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(53);
    // A loopback address of its own (127.0.0.77 or the next free one): another run of this test on the
    // machine may hold one.
    bool bound = false;
    for (uint32_t host = 0x7F00004D; !bound && host < 0x7F0000FE; host++) {
        address.sin_addr.s_addr = htonl(host);
        bound = bind(silent, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    }
    ASSERT_TRUE(bound) << "no free loopback address for the silent name server";

    ProgramFolder folder;
    allowOnlineScores(folder, "http://scores.quorix.test:7717");
    // Without a bound on the lookup, each request would wait for the resolver's 2 x 10 s.
    char nameServer[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, nameServer, sizeof(nameServer));
    const std::string resolver =
        std::string("nameserver ") + nameServer + "\noptions timeout:10 attempts:2\n";
    folder.write("resolv.conf", std::vector<unsigned char>(resolver.begin(), resolver.end()));
    runInChild([&] {
        ASSERT_EQ(unshare(CLONE_NEWNS), 0);
        ASSERT_EQ(mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
        ASSERT_EQ(mount(folder.path("resolv.conf").c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr),
                  0);
        KMiscTools::setProgramFolder(folder.root().c_str());
        KWeb::_connectedState = countRequest;
        KWeb::_connectTimeoutMs = 2000; // the lookup's share of the bound; the whole stays 15 s
        Director director;
        director.waitUntil("the menu", menuShown);
        playShortGame(director, "dee");
        director.key(SDLK_ESCAPE, 1000);
        director.run(8000);
        for (const std::string &failure : director.failures())
            ADD_FAILURE() << failure;
        EXPECT_EQ(requests, 2) << "the question and the submission were both tried, the replay not";
        EXPECT_LT(director.longestFrameGap(), KWeb::kDefaultTotalTimeoutMs / 1000.0)
            << "a request held the game past its bound";
    });
    close(silent);
    const std::vector<unsigned char> local = folder.read("data/s60");
    ASSERT_EQ(local.size(), 468u);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(local.data()) + 36 * 3), "dee");
}

// A whole 60-second game, played and entered as a player does: the server plays its replay back and
// marks the row proved; the game kept it as last.qrp and behind its table row, and a press on that row
// plays it again in the play screen up to the same final score.
TEST(OnlineScores, ARecordedGameIsProvedOnTheServerAndWatchedFromItsRow) {
    const DatabaseFolder databaseFolder;
    // The bound is for a machine of its own; a test machine may be busy and the build sanitized.
    ServerProcess server({"--port", "0", "--db", databaseFolder.database(), "--verify-ms", "60000"});
    ASSERT_GT(server.port(), 0);
    const std::string base = "http://127.0.0.1:" + std::to_string(server.port());
    ProgramFolder folder;
    allowOnlineScores(folder, base);
    runInChild([&] {
        KMiscTools::setProgramFolder(folder.root().c_str());
        Director director;
        uint32_t finalScore = 0;
        long result = 0;
        director.seed(31).waitUntil("the menu", menuShown);
        director.click(centreX(layout::kModeRows[0]), centreY(layout::kModeRows[0]))
            .click(489, 364)
            .waitUntil("the game", gameRunning, 200)
            .playUntil(
                "the end of the 60 seconds", [] { return gameOver; }, 6000)
            .waitUntil(
                "the name entry", [] { return gameOverFade >= 1.0f; }, 200)
            .type("rex")
            .key(SDLK_RETURN)
            .waitUntil("the entry to close", nameEntryClosed, 100)
            .act([&](const platform::Frame &) {
                finalScore = score;
                result = _realScore;
            })
            .click(centreX(layout::kPlayButtons[2].area), centreY(layout::kPlayButtons[2].area)) // exit
            .waitUntil("the menu again", menuReady, 345)
            .click(centreX(layout::kPageButtons[3]), centreY(layout::kPageButtons[3]))
            .click(centreX(layout::kHighScoreTabs[0]), centreY(layout::kHighScoreTabs[0]))
            .click(layout::kHighScoreNameX + 10, layout::kHighScoreRowY[3] + 5) // Normal's best: rex
            .waitUntil("the replay played out", watchedReplayPlayedOut, 6000)
            .act([&](const platform::Frame &) {
                EXPECT_TRUE(gameOver);
                EXPECT_EQ(score, finalScore);
                EXPECT_EQ(_realScore, result);
            })
            .key(SDLK_ESCAPE)
            .waitUntil("the menu after the replay", menuReady, 345)
            .key(SDLK_ESCAPE, 1000);
        director.run(20000);
        for (const std::string &failure : director.failures())
            ADD_FAILURE() << failure;
    });

    const std::string table = fetch(base + "/game/quorix0dif1");
    ASSERT_NE(table.find("rex"), std::string::npos);
    EXPECT_NE(table.find("/replay/1.qrp"), std::string::npos) << "the row is proved:\n" << table;
    std::string answer;
    const std::vector<unsigned char> last = folder.read("data/last.qrp");
    EXPECT_TRUE(verifyReplay(last, answer)) << answer;
    EXPECT_NE(answer.find("over=yes"), std::string::npos) << answer;
    // The row's replay ends where the result was taken, and proves it.
    const std::vector<unsigned char> s60 = folder.read("data/s60");
    ASSERT_EQ(s60.size(), 468u);
    uint32_t entered = 0;
    std::memcpy(&entered, s60.data() + 36 * 3 + 32, 4);
    const std::vector<unsigned char> row =
        folder.read("data/replays/m0-d1-" + std::to_string(entered) + "-726578.qrp");
    EXPECT_TRUE(verifyReplay(row, answer)) << answer;
    EXPECT_NE(answer.find("result=" + std::to_string(entered) + " over=yes"), std::string::npos) << answer;
}
