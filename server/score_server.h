// quorix-scored's pages: the four score pages the game calls, the world-table web pages, and the
// refusals, served by an HttpServer over a ScoreStore.
#pragma once

#include "server/http_server.h"
#include "server/rate_limit.h"
#include "server/replay_check.h"
#include "server/score_store.h"

#include <string>

namespace scored {

struct ServerSettings {
    HttpLimits http;
    // Submissions per client address and minute (a burst of as many is allowed); 0: no limit. A
    // player submits at most once per game.
    unsigned submissionsPerMinute = 30;
    // Refuse submissions without a replay (GET) with 403: every row is then verified.
    bool verifiedOnly = false;
    ReplayCheckSettings replays;
};

// The largest replay a submission may carry; an hour-long game takes a small part of it.
constexpr size_t kMaxReplayBytes = 256 * 1024;

class ScoreServer {
public:
    explicit ScoreServer(ScoreStore &store, const ServerSettings &settings = {});
    ScoreServer(const ScoreServer &) = delete;
    ScoreServer &operator=(const ScoreServer &) = delete;

    // Binds to the port (0: any free port) and returns the port bound, or -1 with the reason.
    int bind(const std::string &host, int port, std::string &error) { return _http.bind(host, port, error); }
    // Serves on threads of its own until stop().
    bool start(std::string &error) { return _http.start(error); }
    void stop() { _http.stop(); }
    HttpServer &http() { return _http; }

private:
    HttpResponse answerRankQuestion(const HttpRequest &request, bool descPage);
    HttpResponse answerSubmission(const HttpRequest &request, bool descPage);
    HttpResponse answerReplaySubmission(const HttpRequest &request);
    HttpResponse answerReplayDownload(const HttpRequest &request);
    // Takes one submission from the client's allowance; the 429 answer when none is left.
    std::optional<HttpResponse> rateLimited(const HttpRequest &request);
    // Runs a handler that reads or writes the store, turning its failures into 503 or 500.
    template <typename Answer> HttpResponse withStore(Answer answer);

    ScoreStore &_store;
    RateLimiter _limiter;
    bool _verifiedOnly;
    ReplayChecker _checker;
    HttpServer _http;
};

} // namespace scored
