// Verified world scores: a game sent with its replay is played back by quorix-verify and ranked only
// when it ends as claimed; refusals store nothing; the replay of a verified row can be downloaded.
#include "recorded_game.h"
#include "support/http_request_server.h"
#include "support/scored.h"

#include <gtest/gtest.h>

using namespace scored;
using support::Answer;
using support::request;

namespace {

std::string bytesOf(const replay::Replay &game) {
    const std::vector<uint8_t> bytes = replay::encode(game);
    return std::string(bytes.begin(), bytes.end());
}

std::string target(const std::string &game, uint32_t score) {
    return "/universe/replay?name=Ann&score=" + std::to_string(score) + "&computer=M&gamename=" + game;
}

ServerSettings settingsWith(std::chrono::milliseconds bound = std::chrono::milliseconds(20000)) {
    ServerSettings settings;
    settings.submissionsPerMinute = 0;
    settings.replays.program = QUORIX_VERIFY_PATH;
    settings.replays.bound = bound;
    return settings;
}

// One 60-second game at Normal, played to its end, for every test of the program.
const Recorded &sixtySecondGame() {
    static const Recorded game = playAndRecord(0, 1, 4242, 6000);
    return game;
}

class VerifiedScores : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (GetParam() == Backend::Postgres && !postgresMissing().empty())
            GTEST_SKIP() << postgresMissing();
        ASSERT_GT(server.port, 0);
    }
    RunningServer server{GetParam(), settingsWith()};
};

TEST_P(VerifiedScores, AProvedGameIsRankedOnceMarkedAndItsReplayServed) {
    const replay::Replay &game = sixtySecondGame().game;
    ASSERT_TRUE(gameOver);
    const uint32_t claimed = static_cast<uint32_t>(game.header.result);
    // The game sends the plain submission, then the replay: the replay proves that row.
    const std::string plain = "/universe/scoresubmitter.php?name=Ann&score=" + std::to_string(claimed) +
                              "&computer=M&gamename=quorix0dif1";
    ASSERT_EQ(request(server.port, plain).status, 200);
    ASSERT_FALSE(server.store->top(GameId{0, 1}, 10).at(0).verified);
    const Answer stored = request(server.port, target("quorix0dif1", claimed), "POST", bytesOf(game));
    ASSERT_EQ(stored.status, 200) << stored.body;
    EXPECT_EQ(stored.body, "ok");
    const std::vector<ScoreRow> rows = server.store->top(GameId{0, 1}, 10);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0].verified);
    EXPECT_EQ(rows[0].score, claimed);

    // Sent again, it counts once.
    const Answer again = request(server.port, target("quorix0dif1", claimed), "POST", bytesOf(game));
    EXPECT_EQ(again.status, 409) << again.body;
    EXPECT_EQ(server.store->count(GameId{0, 1}), 1);

    // The page links the replay, which comes back byte for byte; a plain submission is not marked.
    request(server.port, "/universe/scoresubmitter.php?name=Bo&score=1&computer=M&gamename=quorix0dif1");
    const std::string link = "/replay/" + std::to_string(rows[0].id) + ".qrp";
    const Answer page = request(server.port, "/game/quorix0dif1");
    EXPECT_NE(page.body.find("<a href=\"" + link + "\""), std::string::npos) << page.body;
    EXPECT_EQ(page.body.find("/replay/" + std::to_string(rows[0].id + 1) + ".qrp"), std::string::npos);
    EXPECT_EQ(request(server.port, link).body, bytesOf(game));
    for (const std::string &missing : {std::string("/replay/999999.qrp"), std::string("/replay/1.txt"),
                                       std::string("/replay/-1.qrp"), std::string("/replay/.qrp")})
        EXPECT_EQ(request(server.port, missing).status, 404) << missing;
}

TEST_P(VerifiedScores, ReplaysThatDoNotProveTheClaimAreRefusedWithTheirReasonAndStoreNothing) {
    const replay::Replay &game = sixtySecondGame().game;
    const uint32_t claimed = static_cast<uint32_t>(game.header.result);
    replay::Replay unfinished = game; // honest about where it stops, but the game is not over there
    unfinished.frames.resize(1000);
    const PlaybackOutcome cut = playBack(unfinished);
    unfinished.header.finalScore = cut.score;
    unfinished.header.result = static_cast<int32_t>(cut.result);
    const std::string whole = bytesOf(game);

    struct Case {
        const char *name;
        std::string game;
        uint32_t score;
        std::string body;
        int status;
        std::string reason;
    };
    const Case cases[] = {
        {"a higher score claimed", "quorix0dif1", claimed + 5, whole, 422,
         "ends with " + std::to_string(claimed) + ", not " + std::to_string(claimed + 5)},
        {"another game's table", "quorix1dif1", claimed, whole, 422, "is a game of quorix0dif1"},
        {"not over yet", "quorix0dif1", static_cast<uint32_t>(cut.result), bytesOf(unfinished), 422,
         "before the game is over"},
        // (Games that do not hold together and damaged files are the replay's own tests.)
        {"no replay", "quorix0dif1", claimed, "", 400, "missing"},
        {"too large", "quorix0dif1", claimed, std::string(kMaxReplayBytes + 1, 'Q'), 413, ""},
        {"a relax game", "quorix3dif1", claimed, whole, 400, ""},
    };
    for (const Case &test : cases) {
        const Answer answer = request(server.port, target(test.game, test.score), "POST", test.body);
        EXPECT_EQ(answer.status, test.status) << test.name << ": " << answer.body;
        EXPECT_NE(answer.body.find(test.reason), std::string::npos) << test.name << ": " << answer.body;
    }
    for (GameId game : rankedGames())
        EXPECT_EQ(server.store->count(game), 0) << game.name();
}

INSTANTIATE_TEST_SUITE_P(Backends, VerifiedScores, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const auto &info) { return backendName(info.param); });

TEST(VerifiedOnly, PlainSubmissionsAreRefusedAndAReplayThatRunsTooLongIsStopped) {
    ServerSettings settings = settingsWith(std::chrono::milliseconds(30));
    settings.verifiedOnly = true;
    RunningServer server(Backend::Sqlite, settings);
    ASSERT_GT(server.port, 0);
    const Answer plain =
        request(server.port, "/universe/scoresubmitter.php?name=Bo&score=1&computer=M&gamename=quorix0dif1");
    EXPECT_EQ(plain.status, 403);
    EXPECT_NE(plain.body.find("verified games only"), std::string::npos) << plain.body;

    // An hour of a game standing still takes far longer than 30 ms to play back.
    replay::Replay hour;
    hour.header.gameMode = 3;
    hour.frames.assign(replay::kMaxFrames, replay::FrameRecord{});
    const Answer stopped = request(server.port, target("quorix0dif0", 0), "POST", bytesOf(hour));
    EXPECT_EQ(stopped.status, 422);
    EXPECT_NE(stopped.body.find("took longer than 30 ms"), std::string::npos) << stopped.body;
    EXPECT_EQ(server.store->count(GameId{0, 0}), 0);
}

} // namespace
