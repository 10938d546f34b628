// quorix-scored's HTTP side, built to face the open internet: GNU libmicrohttpd parses the requests
// on one epoll thread, where an idle or slow connection costs a few kilobytes and no thread, and this
// class adds what the library leaves to its user:
//
// - its own listening socket, never shared with another process (no SO_REUSEPORT), and its own
//   accept loop, which refuses a connection over the per-address or total cap at once with 503
//   instead of letting it wait in the queue;
// - a deadline for receiving a whole request (the library's timeout only measures silence, which a
//   client trickling one byte at a time never lets happen);
// - routes with their methods (405 for the others), a body cap per route (413), and HEAD only where
//   a request has no side effect;
// - a bounded pool of worker threads for handlers that touch the database: the connection is
//   suspended meanwhile, so the event thread never waits, and a full queue is refused with 503.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct MHD_Daemon;
struct MHD_Connection;

namespace scored {

struct HttpRequest {
    std::string method;
    std::string path;     // as sent, without the query
    std::string rawQuery; // as sent, before any decoding
    std::string clientAddress;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

// A one-line plain-text answer.
HttpResponse textResponse(int status, const std::string &line);

using HttpHandler = std::function<HttpResponse(const HttpRequest &)>;

struct HttpRoute {
    std::string method; // "GET", "POST", ...
    std::string path;   // exact, or every path under it when it ends with '/'
    HttpHandler handler;
    bool answersHead = false; // HEAD gets the GET answer without its body: only for requests that
                              // change nothing
    size_t maxBodyBytes = 0;  // larger bodies are refused with 413
    bool onWorker = true;     // false: cheap and never blocks, answered on the event thread
};

struct HttpLimits {
    unsigned maxConnections = 4096;
    unsigned maxConnectionsPerAddress = 64;   // per IPv4 address or IPv6 /64 network
    unsigned idleTimeoutSeconds = 5;          // a keep-alive connection that says nothing is closed
    unsigned requestTimeoutSeconds = 10;      // a request must have arrived whole by then
    size_t connectionMemoryBytes = 16 * 1024; // the request line and headers must fit in it
    unsigned workers = 8;
    unsigned maxQueuedRequests = 1024;
    // Take the client's address from X-Forwarded-For when the peer is loopback (a proxy on the same
    // machine); such peers are then not held to the per-address cap.
    bool behindProxy = false;
};

class HttpServer {
public:
    explicit HttpServer(HttpLimits limits);
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    void addRoute(HttpRoute route);
    // Binds and listens (port 0: any free port). Returns the port, or -1 with the reason in error.
    int bind(const std::string &host, int port, std::string &error);
    // Starts serving on threads of its own; false with the reason in error.
    bool start(std::string &error);
    // Stops accepting, answers what the workers hold, closes every connection. Idempotent.
    void stop();

    // Connections currently open (for tests and the log).
    unsigned openConnections();

private:
    using Clock = std::chrono::steady_clock;
    struct Exchange;
    struct Connection {
        int fd = -1;
        std::string peer;   // the peer's address bytes
        bool capped = true; // counted against the per-address cap
        Clock::time_point since;
        bool receiving = true; // waiting for (the rest of) a request
        bool cut = false;      // its deadline passed and it was shut down
        std::string rawUri;
        std::list<Connection *>::iterator position;
    };

    friend struct HttpCallbacks;

    bool handle(MHD_Connection *connection, const char *method, const char *uploadData, size_t *uploadSize,
                Exchange *&exchange);
    const HttpRoute *findRoute(const std::string &path, const std::string &method,
                               std::string &allowed) const;
    std::string clientAddress(MHD_Connection *connection, const Connection *record) const;
    void acceptLoop();
    void sweepLoop();
    void workerLoop();
    void release(const std::string &key, bool capped);

    HttpLimits _limits;
    std::vector<HttpRoute> _routes;
    int _listener = -1;
    MHD_Daemon *_daemon = nullptr;
    std::thread _acceptor;
    std::thread _sweeper;
    std::vector<std::thread> _workers;

    // Open connections: counts for the caps, and the list the deadline sweeper walks.
    std::mutex _connectionsLock;
    std::condition_variable _sweepWake;
    std::list<Connection *> _connections;
    std::map<std::string, unsigned> _perAddress;
    unsigned _total = 0;
    bool _stopping = false;

    // Requests waiting for a worker.
    std::mutex _queueLock;
    std::condition_variable _queueChanged;
    std::deque<Exchange *> _queue;
    bool _queueClosed = false;
};

} // namespace scored
