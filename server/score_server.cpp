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
    : _store(store), _limiter(settings.submissionsPerMinute), _http(settings.http) {
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
    int retryAfter = 0;
    if (!_limiter.allow(request.clientAddress, retryAfter)) {
        HttpResponse response = textResponse(429, "too many submissions from your address; try again later");
        response.headers.emplace_back("Retry-After", std::to_string(retryAfter));
        return response;
    }
    return withStore([&] {
        // add() returns only once the row is committed, so the "ok" below is a promise.
        _store.add(submission, secondsSince1970());
        HttpResponse response;
        response.body = "ok";
        return response;
    });
}

} // namespace scored
