// Clients that try to take the server down: connections that hold on, trickle or flood, requests that
// ask for too much, and more connections from one address than it may have. Hostile connections come
// from 127.0.0.2 and up (all of 127/8 is loopback), the honest client from 127.0.0.1.
#include "support/http_request_server.h"
#include "support/scored.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>

using namespace scored;

namespace {

// A raw connection from 127.0.0.host.
class RawClient {
public:
    RawClient(int port, int host) {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in from{}, to{};
        from.sin_family = to.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(0x7F000000u | static_cast<uint32_t>(host));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(static_cast<uint16_t>(port));
        connected = bind(fd, reinterpret_cast<sockaddr *>(&from), sizeof(from)) == 0 &&
                    connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof(to)) == 0;
    }
    ~RawClient() { close(fd); }
    bool send(const std::string &text) {
        return ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) == ssize_t(text.size());
    }
    // Reads until the server closes or the answer is complete (or waitMs passes): what it said.
    std::string readAnswer(int waitMs = 10000) {
        std::string text;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        for (char buffer[65536];;) {
            const size_t headEnd = text.find("\r\n\r\n"), length = text.find("Content-Length: ");
            if (headEnd != std::string::npos && length != std::string::npos &&
                text.size() >= headEnd + 4 + std::stoul(text.substr(length + 16)))
                return text;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd watch{fd, POLLIN, 0};
            if (left.count() <= 0 || poll(&watch, 1, static_cast<int>(left.count())) <= 0)
                return text;
            const ssize_t got = recv(fd, buffer, sizeof(buffer), 0);
            if ((closedByServer = got <= 0))
                return text;
            text.append(buffer, static_cast<size_t>(got));
        }
    }
    int fd = -1;
    bool connected = false;
    bool closedByServer = false;
};

const std::string kQuestion = "GET /universe/ishighscore.php?gamename=quorix0dif0&submtdscore=1 HTTP/1.1\r\n"
                              "Host: 127.0.0.1\r\n";

ServerSettings smallLimits() {
    ServerSettings settings;
    settings.http = {.maxConnectionsPerAddress = 8, .idleTimeoutSeconds = 3, .requestTimeoutSeconds = 2};
    return settings;
}

class Hostile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_GT(server.port, 0); }
    // An honest question from 127.0.0.1, with its status (-1 when unanswered).
    int honestQuestion() {
        return support::request(server.port, "/universe/ishighscore.php?gamename=quorix0dif0&submtdscore=1")
            .status;
    }
    RunningServer server{Backend::Sqlite, smallLimits()};
};

} // namespace

// Far more than the old server's 32 threads: each one trickles a header line or sits idle after its
// answer, spread over addresses so that none reaches the per-address cap. A trickle never lets its
// connection fall silent, yet the request never ends: it is closed once the deadline (2 s here) has
// passed, long before 20 s of trickling; a keep-alive connection that says nothing is closed too.
TEST_F(Hostile, SlowTricklingAndIdleConnectionsAreClosedAndDenyNoService) {
    std::vector<std::unique_ptr<RawClient>> crowd;
    for (int i = 0; i < 120; ++i) {
        crowd.push_back(std::make_unique<RawClient>(server.port, 2 + i / 6));
        ASSERT_TRUE(crowd.back()->connected);
        const bool slow = i % 2 == 0;
        ASSERT_TRUE(crowd.back()->send(slow ? kQuestion + "X-A: b\r\n" : kQuestion + "\r\n"));
        if (!slow) {
            ASSERT_NE(crowd.back()->readAnswer().find("200 OK"), std::string::npos);
        }
    }
    for (int round = 0; round < 3; ++round)
        EXPECT_EQ(honestQuestion(), 200);
    crowd.clear();

    RawClient slow(server.port, 30);
    ASSERT_TRUE(slow.send(kQuestion));
    int linesSent = 0;
    for (; linesSent < 200; ++linesSent) {
        slow.readAnswer(100);
        if (slow.closedByServer || !slow.send("X-Trickle: " + std::to_string(linesSent) + "\r\n"))
            break;
    }
    EXPECT_LT(linesSent, 200) << "the trickling connection was never closed";
    RawClient idle(server.port, 31);
    ASSERT_TRUE(idle.send(kQuestion + "\r\n"));
    EXPECT_NE(idle.readAnswer().find("200 OK"), std::string::npos);
    idle.readAnswer(20000);
    EXPECT_TRUE(idle.closedByServer);
}

TEST_F(Hostile, HeadsAndBodiesBeyondTheirCapsAreRefusedWithoutReadingOn) {
    // What is sent first, then again and again (up to 4 MB) while the server reads on, and the answer.
    const std::vector<std::tuple<const char *, std::string, std::string, const char *>> cases = {
        {"endless header lines", kQuestion, "X-Filler: " + std::string(100, 'f') + "\r\n", "431"},
        {"one endless header", kQuestion + "X-Long: ", std::string(1000, 'l'), "431"},
        {"an endless address", "GET /universe/ishighscore.php?gamename=", std::string(1000, 'q'), "414"},
        {"a body announced too large",
         "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 100000000\r\n\r\n", std::string(1000, 'b'),
         "413"},
    };
    for (const auto &[what, head, repeat, status] : cases) {
        RawClient client(server.port, 2);
        ASSERT_TRUE(client.send(head)) << what;
        size_t sent = head.size();
        while (sent < 4u << 20 && client.send(repeat)) {
            sent += repeat.size();
            pollfd watch{client.fd, POLLIN, 0};
            if (poll(&watch, 1, 0) > 0)
                break; // the server has answered
        }
        // The server answers as soon as the head outgrows its room (16 KiB) and closes the
        // connection: it neither buffers the rest nor waits for the end of the head.
        std::string answer = client.readAnswer();
        EXPECT_EQ(answer.rfind(std::string("HTTP/1.1 ") + status, 0), 0u)
            << what << ": " << answer.substr(0, 80);
        client.readAnswer();
        EXPECT_TRUE(client.closedByServer) << what;
    }
    EXPECT_EQ(honestQuestion(), 200);
}

TEST_F(Hostile, ConnectionsOverTheAddressCapAreRefusedAtOnce) {
    // The cap is 8 here: the ninth and tenth connection from 127.0.0.5 are told so and closed, while
    // the first eight (still open) and every other address are served.
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < 10; ++i) {
        clients.push_back(std::make_unique<RawClient>(server.port, 5));
        ASSERT_TRUE(clients.back()->connected);
    }
    int served = 0, refused = 0;
    for (auto &client : clients) {
        client->send(kQuestion + "\r\n");
        std::string answer = client->readAnswer();
        served += answer.rfind("HTTP/1.1 200", 0) == 0;
        refused +=
            answer.rfind("HTTP/1.1 503", 0) == 0 && answer.find("too many connections") != std::string::npos;
    }
    EXPECT_EQ(served, 8);
    EXPECT_EQ(refused, 2);
    EXPECT_EQ(honestQuestion(), 200);
    clients.clear();
    // Closed connections give their places back.
    ASSERT_TRUE(support::waitUntil([&] { return server.server->http().openConnections() == 0; }));
    RawClient again(server.port, 5);
    again.send(kQuestion + "\r\n");
    EXPECT_EQ(again.readAnswer().rfind("HTTP/1.1 200", 0), 0u);
}
