// KWeb against servers that misbehave (silence, refusals, empty, huge, cut and odd bodies).
#include "framework/KMiscTools.h"
#include "framework/KWeb.h"
#include "game/onlinescores.h"
#include "game/rules.h"
#include "server/score_rules.h"
#include "shell/launcher.h"
#include "support/program_folder.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace {

// A deliberately badly behaved HTTP server on a loopback port: for each connection it reads the
// request head, then does what the test asks (answer raw bytes, send without end, trickle) until the
// client hangs up; connections are served one after another on a thread of its own.
class RawServer {
public:
    explicit RawServer(std::function<void(int fd)> behaviour) : _behaviour(std::move(behaviour)) {
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t length = sizeof(address);
        bind(_listener, reinterpret_cast<sockaddr *>(&address), length);
        listen(_listener, 8);
        getsockname(_listener, reinterpret_cast<sockaddr *>(&address), &length);
        port = ntohs(address.sin_port);
        _thread = std::thread([this] {
            for (pollfd watch{_listener, POLLIN, 0}; !_stopping;) {
                const int fd = poll(&watch, 1, 20) > 0 ? accept(_listener, nullptr, nullptr) : -1;
                if (fd < 0)
                    continue;
                ++connections;
                std::string head; // read up to the end of the request's head
                char buffer[1024];
                for (ssize_t n = 1; n > 0 && head.find("\r\n\r\n") == std::string::npos;)
                    head.append(buffer,
                                size_t(std::max<ssize_t>(n = recv(fd, buffer, sizeof(buffer), 0), 0)));
                _behaviour(fd);
                close(fd);
            }
        });
    }
    // A server that answers every request with the same raw bytes.
    explicit RawServer(const std::string &raw) : RawServer([raw](int fd) { sendAll(fd, raw); }) {}
    ~RawServer() {
        _stopping = true;
        _thread.join();
        close(_listener);
    }
    std::string url(const std::string &target = "/") const {
        return "http://127.0.0.1:" + std::to_string(port) + target;
    }
    static bool sendAll(int fd, const std::string &bytes) {
        ssize_t n = 1;
        for (size_t sent = 0; sent < bytes.size() && n > 0; sent += size_t(n))
            n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        return n > 0;
    }
    int port = -1;
    std::atomic<int> connections{0};

private:
    std::function<void(int fd)> _behaviour;
    int _listener = socket(AF_INET, SOCK_STREAM, 0);
    std::atomic<bool> _stopping{false};
    std::thread _thread;
};

std::string answer(const std::string &body, const std::string &status = "200 OK") {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

// Loopback requests must not be sent to a proxy from the environment.
[[maybe_unused]] const int noProxy = setenv("no_proxy", "127.0.0.1,localhost", 1);

// Whatever text comes back is the answer, status and zero bytes included, up to 1 MiB; a longer or
// cut body, a refusal, a redirect away from the web or no address at all is a failure that leaves no
// stale answer behind. One KWeb makes every request in turn: each replaces the last body.
TEST(Web, EveryAnswerReplacesTheLastAndFailuresLeaveNone) {
    const size_t bound = KWeb::kDefaultMaxBodyBytes;
    const std::string over(bound + 1, 'y'), zero("no\0yes, really", 14);
    RawServer target(answer("yes"));
    const std::string moved = "HTTP/1.1 302 Found\r\nContent-Length: 0\r\nLocation: ";
    const struct {
        const char *what;
        std::string raw;
        std::optional<std::string> body; // unset: a failure
        const char *url = nullptr;       // instead of the server's
    } cases[] = {
        {"empty", answer(""), ""},
        {"zero byte inside", answer(zero), zero},
        {"error page", answer("<html>oops</html>", "500 Internal Server Error"), "<html>oops</html>"},
        {"refused", "", std::nullopt, "http://127.0.0.1:1/"},
        {"at the bound", answer(std::string(bound, 'y')), std::string(bound, 'y')},
        {"over the bound, announced", answer(over), std::nullopt},
        {"cut short", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nthis answer stops here", std::nullopt},
        {"redirected", moved + target.url("/moved") + "\r\n\r\n", "yes"},
        {"redirected to a file", moved + "file:///etc/hostname\r\n\r\n", std::nullopt},
        {"a file", "", std::nullopt, "file:///etc/hostname"},
    };
    KWeb web;
    EXPECT_EQ(web.callURL(nullptr, false), nullptr);
    for (const auto &c : cases) {
        EXPECT_EQ(web.hInternet, nullptr) << "no handle stays open between requests";
        SCOPED_TRACE(c.what);
        RawServer server(c.raw);
        const char *text = web.callURL(c.url ? c.url : server.url().c_str(), false);
        ASSERT_EQ(text != nullptr, c.body.has_value());
        EXPECT_EQ(web._dataBufferSize, c.body ? c.body->size() : 0);
        EXPECT_TRUE(c.body
                        ? std::memcmp(text, c.body->c_str(), c.body->size() + 1) == 0 // with the terminator
                        : web._dataBuffer == nullptr);
    }
}

// Each bound ends a request that nothing else would: a server that never stops sending (the body's)
// and one that trickles a byte now and then (the total timeout's). Should a bound fail, the test runs
// into its own time limit.
TEST(Web, EachBoundEndsTheRequestsOnlyItCouldEnd) {
    KWeb::_connectTimeoutMs = KWeb::_totalTimeoutMs = 3600 * 1000;
    RawServer endless([](int fd) {
        for (bool on = RawServer::sendAll(fd, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"); on;)
            on = RawServer::sendAll(fd, std::string(65536, 'y'));
    });
    KWeb web;
    EXPECT_EQ(web.callURL(endless.url().c_str(), false), nullptr);

    KWeb::_totalTimeoutMs = 700;
    RawServer trickling([](int fd) {
        RawServer::sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
        while (RawServer::sendAll(fd, "y"))
            std::this_thread::sleep_for(std::chrono::milliseconds(50)); // 50 s for the whole body
    });
    EXPECT_EQ(web.callURL(trickling.url().c_str(), false), nullptr);
    KWeb::_connectTimeoutMs = KWeb::kDefaultConnectTimeoutMs;
    KWeb::_totalTimeoutMs = KWeb::kDefaultTotalTimeoutMs;
}

// A score-server address too long for the game's request buffer would have the request cut into a
// wrong score or a submission without its game: nothing is sent, and it is said once on stderr.
TEST(Web, AnAddressTooLongForTheRequestSendsNothing) {
    RawServer server(answer("yes"));
    support::ProgramFolder folder;
    const std::string address = server.url("/" + std::string(200, 'a'));
    folder.write("data/scoreserver.txt", std::vector<unsigned char>(address.begin(), address.end()));
    gOnlineScores = true;
    _onlineProcessed = false;
    _gameMode = 0;
    _realScore = 5000;
    std::strcpy(gameDescription, "quorix0dif1");
    char name[] = "sam";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(isOnlineScore(gameDescription));
    submitOnlineScore(name, gameDescription);
    submitOnlineScore(name, gameDescription);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(server.connections, 0);
    EXPECT_NE(said.find("too long"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

// Every byte survives the game's encodings and the server's decoding, and nothing in an encoded value
// could end or split a query value (the end-to-end tests send a typed name to a real server). A local
// file opens through its file:// address with its folders' separators kept and everything else encoded.
TEST(Web, EveryByteSurvivesTheGamesEncodings) {
    std::string all(1, '\0');
    for (int c = 1; c < 256; ++c)
        all += char(c);
    const std::string safe = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~%";
    const std::string encoded = KWeb::encodeQueryValue(all);
    EXPECT_EQ(encoded.find_first_not_of(safe), std::string::npos);
    EXPECT_EQ(scored::percentDecode(encoded), all);
    EXPECT_EQ(KWeb::encodeQueryValue("Ann Lee+1&x=y%"), "Ann%20Lee%2B1%26x%3Dy%25");
    const std::string path = "/" + all.substr(1), url = KMiscTools::makeFileURL(path.c_str());
    ASSERT_EQ(url.substr(0, 7), "file://");
    EXPECT_EQ(url.find_first_not_of(safe + "/", 7), std::string::npos);
    EXPECT_EQ(scored::percentDecode(url.substr(7)), path);
}

} // namespace
