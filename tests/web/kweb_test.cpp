// KWeb against servers that misbehave (silence, refusals, empty, huge, cut and odd bodies) and against
// the real score server.
#include "framework/KWeb.h"
#include "game/onlinescores.h"
#include "game/rules.h"
#include "server/score_rules.h"
#include "shell/launcher.h"
#include "support/program_folder.h"
#include "support/scored.h"

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
        _thread = std::thread([this] { serve(); });
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
    void serve() {
        while (!_stopping) {
            pollfd watch{_listener, POLLIN, 0};
            const int fd = poll(&watch, 1, 20) > 0 ? accept(_listener, nullptr, nullptr) : -1;
            if (fd < 0)
                continue;
            ++connections;
            std::string head;
            char buffer[1024];
            for (ssize_t n = 1; n > 0 && head.find("\r\n\r\n") == std::string::npos;)
                if ((n = recv(fd, buffer, sizeof(buffer), 0)) > 0)
                    head.append(buffer, size_t(n));
            _behaviour(fd);
            close(fd);
        }
    }
    std::function<void(int fd)> _behaviour;
    int _listener = socket(AF_INET, SOCK_STREAM, 0);
    std::atomic<bool> _stopping{false};
    std::thread _thread;
};

std::string answer(const std::string &body, const std::string &status = "200 OK") {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

class Web : public ::testing::Test {
protected:
    // Loopback requests must not be sent to a proxy from the environment.
    void SetUp() override { setenv("no_proxy", "127.0.0.1,localhost", 1); }
    void TearDown() override {
        KWeb::_connectTimeoutMs = KWeb::kDefaultConnectTimeoutMs;
        KWeb::_totalTimeoutMs = KWeb::kDefaultTotalTimeoutMs;
    }
};

// Whatever text comes back is the answer, status and zero bytes included, up to 1 MiB; a longer or
// cut body, a refusal, a redirect away from the web or no address at all is a failure that leaves no
// stale answer behind. One KWeb makes every request in turn: each replaces the last body.
TEST_F(Web, EveryAnswerReplacesTheLastAndFailuresLeaveNone) {
    const size_t bound = KWeb::kDefaultMaxBodyBytes;
    const std::string over(bound + 1, 'y'), zero("no\0yes, really", 14),
        page = "<html>yesterday's cache</html>";
    RawServer target(answer("yes"));
    const struct {
        const char *what;
        std::string raw;
        std::optional<std::string> body; // unset: a failure
        const char *url = nullptr;       // instead of the server's
    } cases[] = {
        {"plain", answer("first answer"), "first answer"},
        {"empty", answer(""), ""},
        {"zero byte inside", answer(zero), zero},
        {"error page", answer(page, "500 Internal Server Error"), page},
        {"longer than the first buffer", answer(std::string(40000, 'z')), std::string(40000, 'z')},
        {"just under the bound", answer(std::string(bound - 1, 'y')), std::string(bound - 1, 'y')},
        {"refused", "", std::nullopt, "http://127.0.0.1:1/"},
        {"at the bound", answer(std::string(bound, 'y')), std::string(bound, 'y')},
        {"over the bound, announced", answer(over), std::nullopt},
        {"over the bound, found out", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + over, std::nullopt},
        {"cut short", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nyes, this answer stops here",
         std::nullopt},
        {"redirected",
         "HTTP/1.1 302 Found\r\nLocation: " + target.url("/moved") + "\r\nContent-Length: 0\r\n\r\n", "yes"},
        {"redirected to a file",
         "HTTP/1.1 302 Found\r\nLocation: file:///etc/hostname\r\nContent-Length: 0\r\n\r\n", std::nullopt},
        {"a file", "", std::nullopt, "file:///etc/hostname"},
        {"no address", "", std::nullopt, "not a url at all"},
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
        if (c.body) {
            EXPECT_EQ(std::memcmp(text, c.body->c_str(), c.body->size() + 1), 0) << "terminator included";
        } else {
            EXPECT_EQ(web._dataBuffer, nullptr);
        }
    }
}

// Each bound ends a request that nothing else would: a server that never stops sending (the body's)
// and one that trickles a byte now and then (the total timeout's). Should a bound fail, the test runs
// into its own time limit.
TEST_F(Web, EachBoundEndsTheRequestsOnlyItCouldEnd) {
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
}

// A score-server address too long for the game's request buffer would have the request cut into a
// wrong score or a submission without its game: nothing is sent, and it is said once on stderr.
TEST_F(Web, AnAddressTooLongForTheRequestSendsNothing) {
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

// Every byte survives the game's encoding and the server's decoding, and nothing in an encoded value
// could end or split a query value: a name of spaces and symbols reaches the table whole.
TEST_F(Web, EveryByteOfANameSurvivesEncodingAndTheServersDecoding) {
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += char(c);
    const std::string encoded = KWeb::encodeQueryValue(all);
    EXPECT_EQ(
        encoded.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~%"),
        std::string::npos);
    EXPECT_EQ(scored::percentDecode(encoded), all);
    EXPECT_EQ(KWeb::encodeQueryValue("Ann Lee+1&x=y%"), "Ann%20Lee%2B1%26x%3Dy%25");

    RunningServer server;
    ASSERT_GT(server.port, 0);
    const std::string name = "Ann & Bo #1 100% + <3";
    KWeb web;
    EXPECT_STREQ(web.callURL((server.baseURL() + "/universe/scoresubmitter.php?name=" +
                              KWeb::encodeQueryValue(name) + "&score=900&computer=M&gamename=quorix1dif2")
                                 .c_str(),
                             false),
                 "ok");
    const std::vector<scored::ScoreRow> rows = server.store->top(scored::GameId{1, 2}, 10);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, name);
    EXPECT_EQ(rows[0].score, 900u);
}

} // namespace
