#include "server/http_server.h"

#include <microhttpd.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace scored {

namespace {

const char *statusReason(int status) {
    switch (status) {
    case 404:
        return "not found";
    case 405:
        return "method not allowed";
    case 413:
        return "request body too large";
    default:
        return "request refused";
    }
}

// The peer's address as bytes: IPv4 and IPv4-mapped IPv6 agree.
std::string addressBytes(const sockaddr *address) {
    if (address && address->sa_family == AF_INET) {
        const auto *v4 = reinterpret_cast<const sockaddr_in *>(address);
        return std::string(reinterpret_cast<const char *>(&v4->sin_addr), 4);
    }
    if (address && address->sa_family == AF_INET6) {
        const auto *v6 = reinterpret_cast<const sockaddr_in6 *>(address);
        if (IN6_IS_ADDR_V4MAPPED(&v6->sin6_addr))
            return std::string(reinterpret_cast<const char *>(&v6->sin6_addr) + 12, 4);
        return std::string(reinterpret_cast<const char *>(&v6->sin6_addr), 16);
    }
    return {};
}

// The key of the per-address cap: the address, or for IPv6 its /64 network, which one subscriber
// usually holds whole.
std::string capKey(const std::string &bytes) {
    return bytes.size() == 16 ? bytes.substr(0, 8) : bytes;
}

bool isLoopback(const std::string &key) {
    static const std::string ipv6Loopback("\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\1", 16);
    return (key.size() == 4 && key[0] == 127) || key == ipv6Loopback;
}

std::string keyToText(const std::string &key) {
    char text[INET6_ADDRSTRLEN] = "";
    inet_ntop(key.size() == 4 ? AF_INET : AF_INET6, key.data(), text, sizeof(text));
    return text;
}

// The address a proxy appended last to X-Forwarded-For (the ones before it are the client's word).
std::string lastForwardedAddress(const char *header) {
    if (!header)
        return {};
    std::string value = header;
    size_t comma = value.rfind(',');
    std::string last = comma == std::string::npos ? value : value.substr(comma + 1);
    size_t start = last.find_first_not_of(" \t");
    size_t end = last.find_last_not_of(" \t");
    if (start == std::string::npos)
        return {};
    last = last.substr(start, end - start + 1);
    unsigned char bytes[16];
    if (inet_pton(AF_INET, last.c_str(), bytes) == 1)
        return std::string(reinterpret_cast<char *>(bytes), 4);
    if (inet_pton(AF_INET6, last.c_str(), bytes) == 1)
        return std::string(reinterpret_cast<char *>(bytes), 16);
    return {};
}

// A refusal written straight to a socket that will not be served.
void refuseSocket(int fd) {
    static const char kAnswer[] = "HTTP/1.1 503 Service Unavailable\r\n"
                                  "Content-Type: text/plain; charset=utf-8\r\n"
                                  "Content-Length: 21\r\n"
                                  "Connection: close\r\n\r\n"
                                  "too many connections\n";
    char discard[4096];
    while (recv(fd, discard, sizeof(discard), MSG_DONTWAIT) > 0) {
    }
    (void)!send(fd, kAnswer, sizeof(kAnswer) - 1, MSG_DONTWAIT | MSG_NOSIGNAL);
    shutdown(fd, SHUT_WR);
    close(fd);
}

MHD_Result queue(MHD_Connection *connection, const HttpResponse &answer) {
    MHD_Response *response = MHD_create_response_from_buffer(
        answer.body.size(), const_cast<char *>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.contentType.c_str());
    for (const auto &[name, value] : answer.headers)
        MHD_add_response_header(response, name.c_str(), value.c_str());
    MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
    MHD_destroy_response(response);
    return queued;
}

MHD_Result collectHeader(void *cls, MHD_ValueKind, const char *key, const char *value) {
    auto *headers = static_cast<std::vector<std::pair<std::string, std::string>> *>(cls);
    headers->emplace_back(key ? key : "", value ? value : "");
    return MHD_YES;
}

} // namespace

HttpResponse textResponse(int status, const std::string &line) {
    HttpResponse response;
    response.status = status;
    response.body = line + "\n";
    return response;
}

// One request from its first handler call to its completion.
struct HttpServer::Exchange {
    enum class Phase { Receiving, Waiting, Answered };
    Phase phase = Phase::Receiving;
    const HttpRoute *route = nullptr;
    MHD_Connection *connection = nullptr;
    HttpRequest request;
    HttpResponse response;
    Clock::time_point queued;
};

// The library's callbacks, with the exact signatures it expects.
struct HttpCallbacks {
    static MHD_Result request(void *cls, MHD_Connection *connection, const char *, const char *method,
                              const char *, const char *uploadData, size_t *uploadSize, void **context) {
        auto *server = static_cast<HttpServer *>(cls);
        auto *exchange = static_cast<HttpServer::Exchange *>(*context);
        bool carryOn = server->handle(connection, method, uploadData, uploadSize, exchange);
        *context = exchange;
        return carryOn ? MHD_YES : MHD_NO;
    }

    static void completed(void *cls, MHD_Connection *connection, void **context, MHD_RequestTerminationCode) {
        auto *server = static_cast<HttpServer *>(cls);
        delete static_cast<HttpServer::Exchange *>(*context);
        *context = nullptr;
        // The next request on this connection has the whole deadline again.
        const MHD_ConnectionInfo *info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        if (info && info->socket_context) {
            auto *record = static_cast<HttpServer::Connection *>(info->socket_context);
            std::lock_guard guard(server->_connectionsLock);
            record->receiving = true;
            record->since = HttpServer::Clock::now();
        }
    }

    static void connection(void *cls, MHD_Connection *connection, void **socketContext,
                           MHD_ConnectionNotificationCode change) {
        auto *server = static_cast<HttpServer *>(cls);
        if (change == MHD_CONNECTION_NOTIFY_STARTED) {
            auto *record = new HttpServer::Connection;
            const MHD_ConnectionInfo *fd =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
            const MHD_ConnectionInfo *peer =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
            record->fd = fd ? fd->connect_fd : -1;
            record->peer = addressBytes(peer ? peer->client_addr : nullptr);
            record->capped = !(server->_limits.behindProxy && isLoopback(record->peer));
            record->since = HttpServer::Clock::now();
            std::lock_guard guard(server->_connectionsLock);
            record->position = server->_connections.insert(server->_connections.end(), record);
            *socketContext = record;
        } else if (*socketContext) {
            // Called before the library closes the socket, so the sweeper never touches a number
            // that already belongs to a newer connection.
            auto *record = static_cast<HttpServer::Connection *>(*socketContext);
            {
                std::lock_guard guard(server->_connectionsLock);
                server->_connections.erase(record->position);
            }
            server->release(capKey(record->peer), record->capped);
            delete record;
            *socketContext = nullptr;
        }
    }

    // The request line as it arrived, before the library decodes it in place.
    static void *uri(void *, const char *uri, MHD_Connection *connection) {
        const MHD_ConnectionInfo *info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        if (info && info->socket_context)
            static_cast<HttpServer::Connection *>(info->socket_context)->rawUri = uri ? uri : "";
        return nullptr;
    }
};

HttpServer::HttpServer(HttpLimits limits) : _limits(limits) {}

HttpServer::~HttpServer() {
    stop();
}

void HttpServer::addRoute(HttpRoute route) {
    _routes.push_back(std::move(route));
}

unsigned HttpServer::openConnections() {
    std::lock_guard guard(_connectionsLock);
    return _total;
}

int HttpServer::bind(const std::string &host, int port, std::string &error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    std::string service = std::to_string(port);
    if (int failure = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); failure != 0) {
        error = "cannot use the address " + host + ": " + gai_strerror(failure);
        return -1;
    }
    int fd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // SO_REUSEADDR lets a restarted server bind while old connections linger in TIME_WAIT; it does not
    // let a second server bind a port that one is listening on (SO_REUSEPORT would, and is not set).
    int on = 1;
    bool bound = fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) == 0 &&
                 ::bind(fd, found->ai_addr, found->ai_addrlen) == 0 && listen(fd, SOMAXCONN) == 0;
    int bindError = errno;
    freeaddrinfo(found);
    if (!bound) {
        if (fd >= 0)
            close(fd);
        error = bindError == EADDRINUSE ? "port " + std::to_string(port) + " on " + host +
                                              " is already in use (is another server running there?)"
                                        : "cannot listen on " + host + " port " + std::to_string(port) +
                                              ": " + std::strerror(bindError);
        return -1;
    }
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    _listener = fd;
    return ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6 *>(&address)->sin6_port
                                               : reinterpret_cast<sockaddr_in *>(&address)->sin_port);
}

bool HttpServer::start(std::string &error) {
    if (_listener < 0) {
        error = "not bound";
        return false;
    }
    _daemon = MHD_start_daemon(
        MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_NO_LISTEN_SOCKET | MHD_ALLOW_SUSPEND_RESUME, 0, nullptr,
        nullptr, &HttpCallbacks::request, this, MHD_OPTION_CONNECTION_LIMIT, _limits.maxConnections + 16,
        MHD_OPTION_CONNECTION_TIMEOUT, _limits.idleTimeoutSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        _limits.connectionMemoryBytes, MHD_OPTION_NOTIFY_COMPLETED, &HttpCallbacks::completed, this,
        MHD_OPTION_NOTIFY_CONNECTION, &HttpCallbacks::connection, this, MHD_OPTION_URI_LOG_CALLBACK,
        &HttpCallbacks::uri, this, MHD_OPTION_END);
    if (!_daemon) {
        error = "cannot start the HTTP service";
        return false;
    }
    for (unsigned i = 0; i < std::max(1u, _limits.workers); ++i)
        _workers.emplace_back([this] { workerLoop(); });
    _sweeper = std::thread([this] { sweepLoop(); });
    _acceptor = std::thread([this] { acceptLoop(); });
    return true;
}

void HttpServer::stop() {
    {
        std::lock_guard guard(_connectionsLock);
        if (_stopping)
            return;
        _stopping = true;
    }
    _sweepWake.notify_all();
    if (_listener >= 0)
        shutdown(_listener, SHUT_RDWR); // wakes the accept loop
    if (_acceptor.joinable())
        _acceptor.join();
    if (_sweeper.joinable())
        _sweeper.join();
    // Workers answer what they hold (resuming those connections) before the library closes them all.
    {
        std::lock_guard guard(_queueLock);
        _queueClosed = true;
    }
    _queueChanged.notify_all();
    for (std::thread &worker : _workers)
        worker.join();
    _workers.clear();
    if (_daemon)
        MHD_stop_daemon(_daemon);
    _daemon = nullptr;
    if (_listener >= 0)
        close(_listener);
    _listener = -1;
}

void HttpServer::release(const std::string &key, bool capped) {
    std::lock_guard guard(_connectionsLock);
    --_total;
    if (capped) {
        auto found = _perAddress.find(key);
        if (found != _perAddress.end() && --found->second == 0)
            _perAddress.erase(found);
    }
}

void HttpServer::acceptLoop() {
    for (;;) {
        sockaddr_storage address{};
        socklen_t length = sizeof(address);
        int fd =
            accept4(_listener, reinterpret_cast<sockaddr *>(&address), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            {
                std::lock_guard guard(_connectionsLock);
                if (_stopping)
                    return;
            }
            // Out of descriptors or memory: give the open connections a moment to end.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        std::string peer = addressBytes(reinterpret_cast<sockaddr *>(&address));
        std::string key = capKey(peer);
        bool capped = !(_limits.behindProxy && isLoopback(peer));
        bool admitted;
        {
            std::lock_guard guard(_connectionsLock);
            unsigned &fromPeer = _perAddress[key];
            admitted =
                _total < _limits.maxConnections && (!capped || fromPeer < _limits.maxConnectionsPerAddress);
            if (admitted) {
                ++_total;
                if (capped)
                    ++fromPeer;
            } else if (fromPeer == 0) {
                _perAddress.erase(key);
            }
        }
        if (!admitted) {
            refuseSocket(fd);
            continue;
        }
        // The library owns the socket from here on, and closes it itself when it cannot take it.
        if (MHD_add_connection(_daemon, fd, reinterpret_cast<sockaddr *>(&address), length) != MHD_YES)
            release(key, capped);
    }
}

void HttpServer::sweepLoop() {
    const auto deadline = std::chrono::seconds(_limits.requestTimeoutSeconds);
    std::unique_lock guard(_connectionsLock);
    while (!_stopping) {
        _sweepWake.wait_for(guard, std::chrono::milliseconds(200));
        Clock::time_point now = Clock::now();
        for (Connection *record : _connections) {
            if (record->receiving && !record->cut && now - record->since > deadline && record->fd >= 0) {
                // The event thread sees the end of the stream and closes the connection itself.
                shutdown(record->fd, SHUT_RDWR);
                record->cut = true;
            }
        }
    }
}

const HttpRoute *HttpServer::findRoute(const std::string &path, const std::string &method,
                                       std::string &allowed) const {
    for (const HttpRoute &route : _routes) {
        bool prefix = route.path.size() > 1 && route.path.back() == '/';
        bool matches =
            prefix ? path.size() > route.path.size() && path.rfind(route.path, 0) == 0 : path == route.path;
        if (!matches)
            continue;
        if (route.method == method || (method == "HEAD" && route.method == "GET" && route.answersHead))
            return &route;
        allowed += (allowed.empty() ? "" : ", ") + route.method;
        if (route.method == "GET" && route.answersHead)
            allowed += ", HEAD";
    }
    return nullptr;
}

std::string HttpServer::clientAddress(MHD_Connection *connection, const Connection *record) const {
    if (!record)
        return {};
    if (_limits.behindProxy && isLoopback(record->peer)) {
        std::string forwarded =
            lastForwardedAddress(MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "X-Forwarded-For"));
        if (!forwarded.empty())
            return keyToText(forwarded);
    }
    return keyToText(record->peer);
}

bool HttpServer::handle(MHD_Connection *connection, const char *method, const char *uploadData,
                        size_t *uploadSize, Exchange *&exchange) {
    const MHD_ConnectionInfo *info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    Connection *record = info ? static_cast<Connection *>(info->socket_context) : nullptr;

    if (!exchange) {
        // The request line and headers are in: find what answers them.
        exchange = new Exchange;
        exchange->connection = connection;
        HttpRequest &request = exchange->request;
        request.method = method ? method : "";
        std::string target = record ? std::exchange(record->rawUri, {}) : "";
        target = target.substr(0, target.find('#'));
        size_t question = target.find('?');
        request.path = target.substr(0, question);
        request.rawQuery = question == std::string::npos ? "" : target.substr(question + 1);

        std::string allowed;
        exchange->route = findRoute(request.path, request.method, allowed);
        if (!exchange->route) {
            exchange->phase = Exchange::Phase::Answered;
            HttpResponse refusal =
                textResponse(allowed.empty() ? 404 : 405, statusReason(allowed.empty() ? 404 : 405));
            if (!allowed.empty())
                refusal.headers.emplace_back("Allow", allowed);
            return queue(connection, refusal) == MHD_YES;
        }
        const char *length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Content-Length");
        if (length && std::strtoull(length, nullptr, 10) > exchange->route->maxBodyBytes) {
            exchange->phase = Exchange::Phase::Answered;
            return queue(connection, textResponse(413, statusReason(413))) == MHD_YES;
        }
        return true;
    }

    switch (exchange->phase) {
    case Exchange::Phase::Receiving:
        break;
    case Exchange::Phase::Waiting:
        // Back from the worker.
        exchange->phase = Exchange::Phase::Answered;
        return queue(connection, exchange->response) == MHD_YES;
    case Exchange::Phase::Answered:
        return false; // more body after the answer: drop the connection
    }

    if (*uploadSize != 0) {
        // A body larger than announced (or sent in chunks): it cannot be refused politely any more.
        if (exchange->request.body.size() + *uploadSize > exchange->route->maxBodyBytes)
            return false;
        exchange->request.body.append(uploadData, *uploadSize);
        *uploadSize = 0;
        return true;
    }

    // The whole request is in.
    if (record) {
        std::lock_guard guard(_connectionsLock);
        record->receiving = false;
    }
    HttpRequest &request = exchange->request;
    request.clientAddress = clientAddress(connection, record);
    MHD_get_connection_values(connection, MHD_HEADER_KIND, &collectHeader, &request.headers);

    if (!exchange->route->onWorker) {
        exchange->phase = Exchange::Phase::Answered;
        HttpResponse response;
        try {
            response = exchange->route->handler(request);
        } catch (const std::exception &) {
            response = textResponse(500, "the server failed");
        }
        return queue(connection, response) == MHD_YES;
    }
    std::unique_lock guard(_queueLock);
    if (_queueClosed || _queue.size() >= _limits.maxQueuedRequests) {
        guard.unlock();
        exchange->phase = Exchange::Phase::Answered;
        return queue(connection, textResponse(503, "the server is busy; try again later")) == MHD_YES;
    }
    // Suspended before a worker can see it, so that its resume always finds it suspended.
    MHD_suspend_connection(connection);
    exchange->phase = Exchange::Phase::Waiting;
    exchange->queued = Clock::now();
    _queue.push_back(exchange);
    guard.unlock();
    _queueChanged.notify_one();
    return true;
}

void HttpServer::workerLoop() {
    const auto longestWait = std::chrono::seconds(_limits.requestTimeoutSeconds);
    for (;;) {
        Exchange *exchange;
        {
            std::unique_lock guard(_queueLock);
            _queueChanged.wait(guard, [&] { return _queueClosed || !_queue.empty(); });
            if (_queue.empty())
                return;
            exchange = _queue.front();
            _queue.pop_front();
        }
        if (Clock::now() - exchange->queued > longestWait) {
            exchange->response = textResponse(503, "the server is busy; try again later");
        } else {
            try {
                exchange->response = exchange->route->handler(exchange->request);
            } catch (const std::exception &) {
                exchange->response = textResponse(500, "the server failed");
            }
        }
        // The exchange belongs to the event thread again from here on.
        MHD_resume_connection(exchange->connection);
    }
}

} // namespace scored
