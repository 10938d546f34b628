// Online scores through the whole program, against the real score server on a loopback port, and
// against servers that never answer.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

#include "../server/server_process.h"
#include "framework/KWeb.h"
#include "frontend/menu.h"
#include "game/gameover.h"
#include "game/playscreen.h"
#include "game/replay_playback.h"
#include "game/rules.h"
#include "game/sheet_layout.h"
#include "scripted.h"
#include "support/temp_folder.h"

using namespace e2e;

namespace {

// Every request the game makes asks first whether there is a network: count them there.
std::atomic<int> requests{0};
bool countRequest() {
    requests++;
    return true;
}

// Consent given in the launcher, and the server's address.
void allowOnlineScores(const ProgramFolder &folder, const std::string &server) {
    folder.write("data/gamepad.stt", {1});
    folder.write("data/scoreserver.txt", std::vector<unsigned char>(server.begin(), server.end()));
}

// A 60-second game cut short, or a relax game left with Escape: a few points by playing, then (60
// seconds) a result worth a place everywhere and the clock brought to its end, the name typed (Return
// alone keeps the name of the last entry); or (relax) too little for the table, so Escape leaves at once.
Director &playShortGame(Director &director, const std::string &name, bool relax = false) {
    const layout::Box &mode = layout::kModeRows[relax ? 3 : 0];
    clickPlay(director.click(centreX(mode), centreY(mode)))
        .playUntil(
            "a few points", [] { return score >= 40; }, 3000)
        .waitUntil("the board at rest", boardStill)
        .act([relax](const platform::Frame &) {
            score = relax ? 1 : 5000;
            gameTimer = relax ? gameTimer : 0;
        });
    if (!relax)
        director
            .waitUntil(
                "the name entry", [] { return gameOver && gameOverFade >= 1.0f; }, 400)
            .type(name)
            .key(SDLK_RETURN)
            .waitUntil("the entry to close", nameEntryClosed, 100);
    return director.key(SDLK_ESCAPE).waitUntil("the menu", menuReady, 145);
}

std::string fetch(int port, const std::string &target) {
    KWeb web;
    const char *body = web.callURL(("http://127.0.0.1:" + std::to_string(port) + target).c_str(), false);
    return body ? body : "";
}

class OnlineScores : public ::testing::Test {
protected:
    support::TempFolder database{"online"};
    ProgramFolder folder;
};

} // namespace

// An empty name arrives as "chicken", a name with a space whole; each game asks once (the panel asks in
// none of its frames), submits once and sends its replay; the relax mode never asks.
TEST_F(OnlineScores, ResultsReachTheWorldTableUnderTheTypedName) {
    ServerProcess server({"--port", "0", "--db", database.path("scores.sqlite")});
    ASSERT_GT(server.port(), 0);
    allowOnlineScores(folder, "http://127.0.0.1:" + std::to_string(server.port()));
    playScript(
        folder.root(),
        [&](Director &director) {
            KWeb::_connectedState = countRequest;
            director.waitUntil("the menu", menuShown);
            // The third sends "al bo" again; the relax game asks nothing.
            for (const auto &[name, relax, asked] :
                 {std::tuple{"", false, 3}, {"al bo", false, 6}, {"", false, 9}, {"", true, 9}})
                playShortGame(director, name, relax).act([asked](auto &) { EXPECT_EQ(requests, asked); });
            director.key(SDLK_ESCAPE, 1000);
        },
        30000);
    const std::string table = fetch(server.port(), "/game/quorix0dif1");
    EXPECT_NE(table.find("chicken"), std::string::npos) << table;
    EXPECT_NE(table.find("al bo"), std::string::npos) << table;
    // The local table took the empty name first, at the top of the difficulty-1 group.
    const TableRow top = tableRow(folder.read("data/s60"), 3);
    EXPECT_EQ(top.name, "");
    EXPECT_EQ(top.value, 5000u);
}

// A name server that never answers (as root, in a private mount namespace whose resolv.conf points at a
// loopback socket that takes the questions and answers none): the game never stands past a request's
// bound, and the local table still takes the result. (A score server that never answers is KWeb's test.)
TEST_F(OnlineScores, ANameServerThatNeverAnswersNeverStopsTheGame) {
    if (geteuid() != 0)
        GTEST_SKIP() << "a silent name server needs a mount namespace and port 53: run as root (CI does)";
    const int silent = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{AF_INET, htons(53), {}, {}};
    // A loopback address of its own for port 53: another run of this test on the machine may hold one.
    bool bound = false;
    for (uint32_t host = 0x7F00004D; !bound && host < 0x7F0000FE; host++) {
        address.sin_addr.s_addr = htonl(host);
        bound = bind(silent, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    }
    ASSERT_TRUE(bound);
    allowOnlineScores(folder, "http://scores.quorix.test:7717");
    // Without a bound on the lookup, each request would wait for the resolver's 2 x 10 s.
    const std::string resolver = "nameserver 127.0.0." +
                                 std::to_string(ntohl(address.sin_addr.s_addr) & 0xFF) +
                                 "\noptions timeout:10 attempts:2\n";
    folder.write("resolv.conf", std::vector<unsigned char>(resolver.begin(), resolver.end()));
    playScript(
        folder.root(),
        [&](Director &director) {
            ASSERT_EQ(unshare(CLONE_NEWNS), 0);
            ASSERT_EQ(mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
            ASSERT_EQ(
                mount(folder.path("resolv.conf").c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr), 0);
            KWeb::_connectTimeoutMs = 2000; // the lookup's share of the bound; the whole stays 15 s
            KWeb::_connectedState = countRequest;
            playShortGame(director.waitUntil("the menu", menuShown), "dee");
            director.key(SDLK_ESCAPE, 1000);
        },
        8000,
        [&](const Director &director) {
            EXPECT_EQ(requests, 2) << "the question and the submission were both tried, the replay not";
            EXPECT_LT(director.longestFrameGap(), KWeb::kDefaultTotalTimeoutMs / 1000.0)
                << "a request held the game past its bound";
        });
    close(silent);
    EXPECT_EQ(tableRow(folder.read("data/s60"), 3).name, "dee");
}

// A whole 60-second game, played and entered as a player does: the server plays its replay back and
// marks the row proved; the game kept it as last.qrp and behind its table row, and a press on that row
// plays it again in the play screen up to the same final score.
TEST_F(OnlineScores, ARecordedGameIsProvedOnTheServerAndWatchedFromItsRow) {
    // The bound is for a machine of its own; a test machine may be busy and the build sanitized.
    ServerProcess server({"--port", "0", "--db", database.path("scores.sqlite"), "--verify-ms", "60000"});
    ASSERT_GT(server.port(), 0);
    allowOnlineScores(folder, "http://127.0.0.1:" + std::to_string(server.port()));
    uint32_t finalScore = 0;
    long result = 0;
    playScript(
        folder.root(),
        [&](Director &director) {
            director.seed(31)
                .waitUntil("the menu", menuShown)
                .click(centreX(layout::kModeRows[0]), centreY(layout::kModeRows[0]));
            clickPlay(director)
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
                    // The game-over panel, never the name entry: no name is asked of a game watched.
                    EXPECT_EQ(gameOverPanelPicture(), surf_gameover);
                    EXPECT_NE(surf_gameover, nullptr);
                    EXPECT_EQ(score, finalScore);
                    EXPECT_EQ(_realScore, result);
                })
                .key(SDLK_ESCAPE)
                .waitUntil("the menu after the replay", menuReady, 345)
                .key(SDLK_ESCAPE, 1000);
        },
        20000);

    const std::string table = fetch(server.port(), "/game/quorix0dif1");
    ASSERT_NE(table.find("rex"), std::string::npos);
    EXPECT_NE(table.find("/replay/1.qrp"), std::string::npos) << "the row is proved:\n" << table;
    std::string answer;
    EXPECT_TRUE(verifyReplay(folder.read("data/last.qrp"), answer)) << answer;
    EXPECT_NE(answer.find("over=yes"), std::string::npos) << answer;
    // The row's replay ends where the result was taken, and proves it.
    const uint32_t entered = tableRow(folder.read("data/s60"), 3).value;
    EXPECT_TRUE(
        verifyReplay(folder.read("data/replays/m0-d1-" + std::to_string(entered) + "-726578.qrp"), answer))
        << answer;
    EXPECT_NE(answer.find("result=" + std::to_string(entered) + " over=yes"), std::string::npos) << answer;
}
