// KWeb against servers that misbehave: silence, refusals, empty, huge, cut and odd bodies.
#include "framework/KWeb.h"
#include "game/onlinescores.h"
#include "game/rules.h"
#include "shell/launcher.h"
#include "support/program_folder.h"
#include "web/raw_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

std::string answer(const std::string &body, const std::string &status = "200 OK") {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

// A server that answers every request with the same raw bytes.
RawServer replying(std::string raw) {
    return RawServer([raw](int fd, RawServer &) { RawServer::sendAll(fd, raw); });
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class Web : public ::testing::Test {
protected:
    void SetUp() override {
        // Loopback requests must not be sent to a proxy from the environment.
        setenv("no_proxy", "127.0.0.1,localhost", 1);
    }
    void TearDown() override {
        KWeb::_connectTimeoutMs = KWeb::kDefaultConnectTimeoutMs;
        KWeb::_totalTimeoutMs = KWeb::kDefaultTotalTimeoutMs;
        KWeb::_maxBodyBytes = KWeb::kDefaultMaxBodyBytes;
        KWeb::_connectedState = savedConnectedState;
    }
    bool (*savedConnectedState)() = KWeb::_connectedState;
};

} // namespace

TEST_F(Web, SendsTheQueryAsWrittenWithTheFrameworkUserAgent) {
    RawServer server = replying(answer("yes"));
    KWeb web;
    const char *text = web.callURL(
        server.url("/universe/ishighscore.php?gamename=quorix0dif1&submtdscore=42").c_str(), false);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "yes");
    EXPECT_EQ(web._dataBufferSize, 3u);
    std::string request = server.lastRequest();
    EXPECT_EQ(
        request.rfind("GET /universe/ishighscore.php?gamename=quorix0dif1&submtdscore=42 HTTP/1.1\r\n", 0),
        0u)
        << request;
    EXPECT_NE(request.find("\r\nUser-Agent: ZYK - " + std::string(KWeb::_homePage) + "\r\n"),
              std::string::npos)
        << request;
    EXPECT_EQ(web.hInternet, nullptr) << "no handle stays open between requests";
    EXPECT_EQ(web.hIurl, nullptr);
}

TEST_F(Web, EmptyBodiesZeroBytesAndErrorPagesAreAnswers) {
    {
        RawServer server = replying(answer(""));
        KWeb web;
        const char *text = web.callURL(server.url("/").c_str(), false);
        ASSERT_NE(text, nullptr) << "an empty body is an empty text, not a failure";
        EXPECT_STREQ(text, "");
        EXPECT_EQ(web._dataBufferSize, 0u);
    }
    {
        RawServer server = replying(answer(std::string("no\0yes, really", 14)));
        KWeb web;
        const char *text = web.callURL(server.url("/").c_str(), false);
        ASSERT_NE(text, nullptr);
        EXPECT_STREQ(text, "no") << "the text ends at the zero byte";
        EXPECT_EQ(web._dataBufferSize, 14u) << "the size counts every byte";
        EXPECT_EQ(std::memcmp(text + 3, "yes, really", 12), 0) << "terminator included";
    }
    {
        // Status codes are not examined: the game reads whatever text comes back.
        RawServer server = replying(answer("<html><body>Internal error: yesterday's cache</body></html>",
                                           "500 Internal Server Error"));
        KWeb web;
        const char *text = web.callURL(server.url("/").c_str(), false);
        ASSERT_NE(text, nullptr);
        EXPECT_NE(std::strstr(text, "yes"), nullptr);
    }
}

TEST_F(Web, TheBufferStartsAt16KAndDoublesBeforeItRunsShort) {
    for (auto [size, capacity] : {std::pair{16127ul, 16384ul}, {16128ul, 32768ul}, {40000ul, 65536ul}}) {
        std::string body(size, 'a');
        body.back() = 'z';
        RawServer server = replying(answer(body));
        KWeb web;
        const char *text = web.callURL(server.url("/").c_str(), false);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(web._dataBufferSize, size);
        EXPECT_EQ(web._dataBufferCapacity, capacity) << size;
        EXPECT_EQ(text, body);
    }
}

TEST_F(Web, BodiesUpTo1MiBAreReadAndLongerOnesFail) {
    const size_t bound = KWeb::kDefaultMaxBodyBytes;
    for (size_t size : {bound - 1, bound}) {
        std::string body(size, 'y');
        RawServer server = replying(answer(body));
        KWeb web;
        const char *text = web.callURL(server.url("/").c_str(), false);
        ASSERT_NE(text, nullptr) << size;
        EXPECT_EQ(web._dataBufferSize, size);
        EXPECT_EQ(std::strlen(text), size);
    }
    // One byte over, announced by its length or only found out while reading.
    std::string over(bound + 1, 'y');
    for (const std::string &raw : {answer(over), "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + over}) {
        RawServer server = replying(raw);
        KWeb web;
        EXPECT_EQ(web.callURL(server.url("/").c_str(), false), nullptr);
        EXPECT_EQ(web._dataBuffer, nullptr);
        EXPECT_EQ(web._dataBufferSize, 0u);
    }
    // A server that never stops sending.
    RawServer endless([](int fd, RawServer &self) {
        RawServer::sendAll(fd, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
        std::string chunk(65536, 'y');
        while (!self.stopping && send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) > 0) {
        }
    });
    KWeb web;
    EXPECT_EQ(web.callURL(endless.url("/").c_str(), false), nullptr);
}

TEST_F(Web, ABodyCutShortIsAFailureNotAnAnswer) {
    RawServer server = replying("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nyes, this answer stops here");
    KWeb web;
    EXPECT_EQ(web.callURL(server.url("/").c_str(), false), nullptr);
}

TEST_F(Web, ASilentOrTricklingServerIsLeftWithinTheTotalTimeout) {
    KWeb::_totalTimeoutMs = 700;
    {
        RawServer silent([](int fd, RawServer &self) { self.holdOpen(fd); });
        KWeb web;
        Clock::time_point start = Clock::now();
        EXPECT_EQ(web.callURL(silent.url("/").c_str(), false), nullptr);
        EXPECT_GE(secondsSince(start), 0.6);
        EXPECT_LT(secondsSince(start), 20) << "ended by the timeout, however busy the machine";
    }
    {
        // Each byte comes in time, but the whole answer would take far too long.
        RawServer trickling([](int fd, RawServer &self) {
            RawServer::sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
            while (!self.stopping && send(fd, "y", 1, MSG_NOSIGNAL) == 1)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        });
        KWeb web;
        Clock::time_point start = Clock::now();
        EXPECT_EQ(web.callURL(trickling.url("/").c_str(), false), nullptr);
        EXPECT_LT(secondsSince(start), 20) << "the whole answer would take 50 s";
    }
}

TEST_F(Web, AConnectionThatIsNeverAcceptedIsGivenUpAtTheConnectTimeout) {
    // A listener whose queue is full: the kernel ignores further connection attempts, so the
    // client sees no answer at all, as from a dead host.
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = RawServer::loopback(0);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    socklen_t length = sizeof(address);
    getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        int filler = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        connect(filler, reinterpret_cast<sockaddr *>(&address), sizeof(address));
        fillers.push_back(filler);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    KWeb::_connectTimeoutMs = 600;
    KWeb::_totalTimeoutMs = 60000;
    KWeb web;
    Clock::time_point start = Clock::now();
    std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
    EXPECT_EQ(web.callURL(url.c_str(), false), nullptr);
    EXPECT_LT(secondsSince(start), 20) << "the connect timeout, not the total one, ended it";
    for (int filler : fillers)
        close(filler);
    close(listener);
}

TEST_F(Web, ARefusedConnectionFailsAtOnce) {
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = RawServer::loopback(0);
    ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    socklen_t length = sizeof(address);
    getsockname(probe, reinterpret_cast<sockaddr *>(&address), &length);
    close(probe); // nobody listens there now
    KWeb::_connectTimeoutMs = 60000;
    KWeb::_totalTimeoutMs = 60000;
    KWeb web;
    Clock::time_point start = Clock::now();
    std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
    EXPECT_EQ(web.callURL(url.c_str(), false), nullptr);
    EXPECT_LT(secondsSince(start), 20) << "no timeout was waited for";
}

TEST_F(Web, NoNetworkMeansNoRequestAtAll) {
    RawServer server = replying(answer("yes"));
    KWeb::_connectedState = [] { return false; };
    KWeb web;
    EXPECT_EQ(web.callURL(server.url("/").c_str(), false), nullptr);
    EXPECT_EQ(web.hInternet, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(Web, EachRequestReplacesTheLastBody) {
    RawServer first = replying(answer("first answer"));
    RawServer second = replying(answer("2nd"));
    KWeb web;
    ASSERT_NE(web.callURL(first.url("/").c_str(), false), nullptr);
    const char *text = web.callURL(second.url("/").c_str(), false);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "2nd");
    EXPECT_EQ(web._dataBufferSize, 3u);
    EXPECT_EQ(web.callURL("http://127.0.0.1:1/", false), nullptr);
    EXPECT_EQ(web._dataBuffer, nullptr) << "a failure leaves no stale answer behind";
    EXPECT_EQ(web._dataBufferSize, 0u);
}

TEST_F(Web, RedirectsAreFollowedOnlyToWebAddresses) {
    RawServer target = replying(answer("yes"));
    RawServer redirecting = replying("HTTP/1.1 302 Found\r\nLocation: " + target.url("/moved") +
                                     "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    KWeb web;
    const char *text = web.callURL(redirecting.url("/").c_str(), false);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "yes");

    RawServer toFile = replying("HTTP/1.1 302 Found\r\nLocation: file:///etc/hostname\r\nContent-Length: "
                                "0\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(web.callURL(toFile.url("/").c_str(), false), nullptr);
    EXPECT_EQ(web.callURL("file:///etc/hostname", false), nullptr);
    EXPECT_EQ(web.callURL("not a url at all", false), nullptr);
    EXPECT_EQ(web.callURL(nullptr, false), nullptr);
}

// A score-server address too long for the game's request buffer would have the request cut into a
// wrong score or a submission without its game: nothing is sent, and it is said once on stderr.
TEST_F(Web, AnAddressTooLongForTheRequestSendsNothing) {
    RawServer server = replying(answer("yes"));
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
    EXPECT_EQ(server.connections(), 0);
    EXPECT_NE(said.find("too long"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}
