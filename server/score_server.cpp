#include "server/score_server.h"

#include "server/score_pages.h"

#include <chrono>
#include <map>
#include <sys/socket.h>

namespace scored {

namespace {

constexpr const char *kText = "text/plain; charset=utf-8";
constexpr const char *kHtml = "text/html; charset=utf-8";
// Enough worker threads for a few dozen players at once; keep-alive connections hold one each.
constexpr size_t kWorkerThreads = 32;

void refuse(httplib::Response &response, int status, const std::string &reason) {
    response.status = status;
    response.set_content(reason + "\n", kText);
}

// The query exactly as it arrived, before any decoding, so that malformed escapes can be refused.
std::string_view rawQuery(const httplib::Request &request) {
    std::string_view target = request.target;
    size_t question = target.find('?');
    if (question == std::string_view::npos)
        return {};
    std::string_view query = target.substr(question + 1);
    return query.substr(0, query.find('#'));
}

const char *statusReason(int status) {
    switch (status) {
    case 400:
        return "bad request";
    case 404:
        return "not found";
    case 405:
        return "method not allowed";
    case 413:
        return "request too large";
    case 414:
        return "address too long";
    case 500:
        return "server error";
    default:
        return "request refused";
    }
}

int64_t secondsSince1970() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

ScoreServer::ScoreServer(ScoreStore &store) : _store(store) {
    _http.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
    // Without it every keep-alive answer waits for the delayed-ACK timer (about 40 ms).
    _http.set_tcp_nodelay(true);
    _http.set_keep_alive_max_count(1000);
    _http.set_payload_max_length(4096);
    // The library listens with a queue of only 5 connections: a burst of players connecting at once
    // would see some attempts dropped and retried a second later. Remember the listening socket so
    // that bind() can lengthen its queue.
    _http.set_socket_options([this](socket_t socket) {
        httplib::default_socket_options(socket);
        _listeningSocket = socket;
    });

    _http.Get("/universe/ishighscore.php", [this](const httplib::Request &rq, httplib::Response &rs) {
        answerRankQuestion(rq, rs, false);
    });
    _http.Get("/universe/ishighscoredesc.php", [this](const httplib::Request &rq, httplib::Response &rs) {
        answerRankQuestion(rq, rs, true);
    });
    _http.Get("/universe/scoresubmitter.php",
              [this](const httplib::Request &rq, httplib::Response &rs) { answerSubmission(rq, rs, false); });
    _http.Get("/universe/scoresubmitterdesc.php",
              [this](const httplib::Request &rq, httplib::Response &rs) { answerSubmission(rq, rs, true); });
    _http.Get("/", [this](const httplib::Request &, httplib::Response &response) {
        response.set_content(renderIndexPage(_store), kHtml);
    });
    _http.Get(R"(/game/([^/]+))", [this](const httplib::Request &request, httplib::Response &response) {
        std::optional<GameId> game = parseGameName(request.matches[1].str());
        if (!game)
            return refuse(response, 404, "no such game");
        response.set_content(renderGamePage(_store, *game), kHtml);
    });

    // Answers that carry no text of their own (unknown path, request too long, ...) get a one-line
    // reason as well.
    _http.set_error_handler([](const httplib::Request &, httplib::Response &response) {
        if (response.body.empty())
            refuse(response, response.status, statusReason(response.status));
    });
    _http.set_exception_handler([](const httplib::Request &, httplib::Response &response,
                                   std::exception_ptr) { refuse(response, 500, "the score store failed"); });
}

int ScoreServer::bind(const std::string &host, int port) {
    int bound = port == 0 ? _http.bind_to_any_port(host) : (_http.bind_to_port(host, port) ? port : -1);
    if (bound > 0 && _listeningSocket >= 0)
        ::listen(_listeningSocket, SOMAXCONN);
    return bound;
}

bool ScoreServer::serve() {
    return _http.listen_after_bind();
}

void ScoreServer::stop() {
    _http.stop();
}

void ScoreServer::answerRankQuestion(const httplib::Request &request, httplib::Response &response,
                                     bool descPage) {
    std::map<std::string, std::string> query;
    RankQuestion question;
    Refusal refusal = parseQuery(rawQuery(request), query);
    if (refusal.empty())
        refusal = readRankQuestion(query, descPage, question);
    if (!refusal.empty())
        return refuse(response, 400, refusal);
    response.set_content(_store.wouldRank(question.game, question.score) ? "yes" : "no", kText);
}

void ScoreServer::answerSubmission(const httplib::Request &request, httplib::Response &response,
                                   bool descPage) {
    std::map<std::string, std::string> query;
    Submission submission;
    Refusal refusal = parseQuery(rawQuery(request), query);
    if (refusal.empty())
        refusal = readSubmission(query, descPage, submission);
    if (!refusal.empty())
        return refuse(response, 400, refusal);
    // add() returns only once the row is on disk, so the 200 below is a promise.
    _store.add(submission, secondsSince1970());
    response.set_content("ok", kText);
}

} // namespace scored
