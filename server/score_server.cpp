#include "server/score_server.h"

#include "server/score_pages.h"

#include <chrono>
#include <map>

namespace scored {

namespace {

constexpr const char *kHtml = "text/html; charset=utf-8";

int64_t secondsSince1970() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

HttpResponse htmlResponse(std::string body) {
    HttpResponse response;
    response.contentType = kHtml;
    response.body = std::move(body);
    return response;
}

} // namespace

ScoreServer::ScoreServer(ScoreStore &store, const ServerSettings &settings)
    : _store(store), _limiter(settings.submissionsPerMinute), _verifiedOnly(settings.verifiedOnly),
      _checker(settings.replays), _http(settings.http) {
    auto page = [this](std::string path, bool answersHead, auto answer) {
        _http.addRoute(HttpRoute{"GET", std::move(path), std::move(answer), answersHead});
    };
    page("/universe/ishighscore.php", true,
         [this](const HttpRequest &rq) { return answerRankQuestion(rq, false); });
    page("/universe/ishighscoredesc.php", true,
         [this](const HttpRequest &rq) { return answerRankQuestion(rq, true); });
    // HEAD must never store anything: these two pages answer GET only.
    page("/universe/scoresubmitter.php", false,
         [this](const HttpRequest &rq) { return answerSubmission(rq, false); });
    page("/universe/scoresubmitterdesc.php", false,
         [this](const HttpRequest &rq) { return answerSubmission(rq, true); });
    // A game with its replay: the same fields as a submission in the query, the replay as the body.
    _http.addRoute(HttpRoute{"POST", "/universe/replay",
                             [this](const HttpRequest &rq) { return answerReplaySubmission(rq); }, false,
                             kMaxReplayBytes});
    page("/replay/", true, [this](const HttpRequest &rq) { return answerReplayDownload(rq); });
    page("/", true, [this](const HttpRequest &) {
        return withStore([&] { return htmlResponse(renderIndexPage(_store)); });
    });
    page("/game/", true, [this](const HttpRequest &request) {
        std::optional<GameId> game = parseRankedGameName(request.path.substr(std::string("/game/").size()));
        if (!game)
            return textResponse(404, "no such game");
        return withStore([&] { return htmlResponse(renderGamePage(_store, *game)); });
    });
}

template <typename Answer> HttpResponse ScoreServer::withStore(Answer answer) {
    try {
        return answer();
    } catch (const StoreUnavailable &error) {
        HttpResponse response = textResponse(503, error.what());
        response.headers.emplace_back("Retry-After", "5");
        return response;
    } catch (const StoreError &) {
        return textResponse(500, "the score store failed");
    }
}

HttpResponse ScoreServer::answerRankQuestion(const HttpRequest &request, bool descPage) {
    std::map<std::string, std::string> query;
    RankQuestion question;
    Refusal refusal = parseQuery(request.rawQuery, query);
    if (refusal.empty())
        refusal = readRankQuestion(query, descPage, question);
    if (!refusal.empty())
        return textResponse(400, refusal);
    return withStore([&] {
        HttpResponse response;
        response.body = _store.wouldRank(question.game, question.score) ? "yes" : "no";
        return response;
    });
}

HttpResponse ScoreServer::answerSubmission(const HttpRequest &request, bool descPage) {
    std::map<std::string, std::string> query;
    Submission submission;
    Refusal refusal = parseQuery(request.rawQuery, query);
    if (refusal.empty())
        refusal = readSubmission(query, descPage, submission);
    if (!refusal.empty())
        return textResponse(400, refusal);
    if (_verifiedOnly)
        return textResponse(403, "this server ranks verified games only: send the game's replay");
    if (std::optional<HttpResponse> refused = rateLimited(request))
        return *refused;
    return withStore([&] {
        // add() returns only once the row is committed, so the "ok" below is a promise.
        _store.add(submission, secondsSince1970());
        HttpResponse response;
        response.body = "ok";
        return response;
    });
}

std::optional<HttpResponse> ScoreServer::rateLimited(const HttpRequest &request) {
    int retryAfter = 0;
    if (_limiter.allow(request.clientAddress, retryAfter))
        return std::nullopt;
    HttpResponse response = textResponse(429, "too many submissions from your address; try again later");
    response.headers.emplace_back("Retry-After", std::to_string(retryAfter));
    return response;
}

HttpResponse ScoreServer::answerReplaySubmission(const HttpRequest &request) {
    std::map<std::string, std::string> query;
    Submission submission;
    Refusal refusal = parseQuery(request.rawQuery, query);
    // The game's name says which family of pages it belongs to: the race to a million is the "desc" one.
    if (refusal.empty()) {
        const auto name = query.find("gamename");
        const std::optional<GameId> game =
            name == query.end() ? std::nullopt : parseRankedGameName(name->second);
        refusal = readSubmission(query, game && game->lowerIsBetter(), submission);
    }
    if (!refusal.empty())
        return textResponse(400, refusal);
    if (request.body.empty())
        return textResponse(400, "the replay is missing");
    if (std::optional<HttpResponse> refused = rateLimited(request))
        return *refused;

    bool busy = false;
    const ReplayVerdict verdict = _checker.check(request.body, busy);
    if (busy) {
        HttpResponse response = textResponse(503, verdict.reason);
        response.headers.emplace_back("Retry-After", "5");
        return response;
    }
    if (!verdict.replayed)
        return textResponse(422, "the replay does not play back: " + verdict.reason);
    const GameId played{verdict.mode, verdict.difficulty};
    if (!(played == submission.game))
        return textResponse(422,
                            "the replay is a game of " + played.name() + ", not " + submission.game.name());
    if (!verdict.gameOver)
        return textResponse(422, "the replay ends before the game is over");
    if (verdict.result != static_cast<int64_t>(submission.score))
        return textResponse(422, "the replay ends with " + std::to_string(verdict.result) + ", not " +
                                     std::to_string(submission.score));
    const ProvenReplay proven{verdict.seed, request.body};
    return withStore([&] {
        if (_store.add(submission, secondsSince1970(), &proven) == AddOutcome::alreadyStored)
            return textResponse(409, "this game was submitted already");
        HttpResponse response;
        response.body = "ok";
        return response;
    });
}

HttpResponse ScoreServer::answerReplayDownload(const HttpRequest &request) {
    // "/replay/<id>.qrp", the id in plain digits.
    const std::string name = request.path.substr(std::string("/replay/").size());
    const size_t dot = name.find('.');
    const std::string digits = name.substr(0, dot);
    if (dot == std::string::npos || name.substr(dot) != ".qrp" || digits.empty() || digits.size() > 18 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return textResponse(404, "no such replay");
    return withStore([&] {
        std::optional<std::string> bytes = _store.replay(std::stoll(digits));
        if (!bytes)
            return textResponse(404, "no such replay");
        HttpResponse response;
        response.contentType = "application/octet-stream";
        response.body = std::move(*bytes);
        response.headers.emplace_back("Content-Disposition",
                                      "attachment; filename=\"quorix-" + digits + ".qrp\"");
        return response;
    });
}

} // namespace scored
