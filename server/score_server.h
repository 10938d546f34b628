// quorix-scored's HTTP side: the four score pages the game calls, the world-table web pages, and
// the refusals. The tables themselves live in a ScoreStore.
#pragma once

#include "server/score_store.h"

#include <httplib.h>

#include <string>

namespace scored {

class ScoreServer {
public:
    explicit ScoreServer(ScoreStore &store);
    ScoreServer(const ScoreServer &) = delete;
    ScoreServer &operator=(const ScoreServer &) = delete;

    // Binds to the port (0: any free port) and returns the port bound, or -1.
    int bind(const std::string &host, int port);
    // Serves until stop(); returns false when the server could not run.
    bool serve();
    void stop();
    bool isRunning() const { return _http.is_running(); }

private:
    void answerRankQuestion(const httplib::Request &request, httplib::Response &response, bool descPage);
    void answerSubmission(const httplib::Request &request, httplib::Response &response, bool descPage);

    ScoreStore &_store;
    httplib::Server _http;
    socket_t _listeningSocket = -1;
};

} // namespace scored
