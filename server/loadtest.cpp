// Load and hostile-client measurements of quorix-scored. Not part of the test run.
//
//   quorix-scored-load [--db sqlite|postgresql] [--servers N] [--clients 16] [--requests 20000]
//                      [--no-kill] [--time-limit 120]
//       N server processes (SQLite: 1) on one database, the clients spread over them; one process is
//       killed with SIGKILL halfway and started again. Prints requests per second, latency
//       percentiles and the check of the tables against the acknowledged submissions.
//   quorix-scored-load --compare
//       The same load without the kill against SQLite with one process, then PostgreSQL with one
//       and with four: one line each.
//   quorix-scored-load --hostile [--slow 500] [--idle 500] [--settle 8]
//       Holds slow-loris connections (a header line a second, never finished) and idle keep-alive
//       connections from 127.0.0.2 and up (loopback: all of 127/8 is), a few dozen per address, while
//       the clients run from 127.0.0.1; then opens more than the per-address cap from one more
//       address. The clients start --settle seconds after the crowd is in place, so that the server
//       closes and the crowd reopens connections (idle timeout 5 s, request deadline 10 s) while they
//       run. Prints the clients' latencies and losses, the connections held, the refusals and the
//       server's peak memory.
//
// Exit status 0 only when every request was answered and the tables are right.
#include "server/testkit/load_generator.h"
#include "server/testkit/local_postgres.h"
#include "server/testkit/server_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    std::string db = "sqlite";
    int servers = 1;
    int clients = 16;
    int requests = 20000;
    bool kill = true;
    bool compare = false;
    bool hostile = false;
    int slow = 500;
    int idle = 500;
    int settleSeconds = 8;
    int timeLimitSeconds = 120;
};

bool parse(int argc, char **argv, Settings &settings) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        int *number = arg == "--clients"      ? &settings.clients
                      : arg == "--requests"   ? &settings.requests
                      : arg == "--servers"    ? &settings.servers
                      : arg == "--slow"       ? &settings.slow
                      : arg == "--idle"       ? &settings.idle
                      : arg == "--settle"     ? &settings.settleSeconds
                      : arg == "--time-limit" ? &settings.timeLimitSeconds
                                              : nullptr;
        if (number && i + 1 < argc && std::atoi(argv[i + 1]) >= 0) {
            *number = std::atoi(argv[++i]);
        } else if (arg == "--db" && i + 1 < argc &&
                   (std::string(argv[i + 1]) == "sqlite" || std::string(argv[i + 1]) == "postgresql")) {
            settings.db = argv[++i];
        } else if (arg == "--no-kill") {
            settings.kill = false;
        } else if (arg == "--compare") {
            settings.compare = true;
        } else if (arg == "--hostile") {
            settings.hostile = true;
        } else {
            std::fprintf(stderr,
                         "usage: quorix-scored-load [--db sqlite|postgresql] [--servers N] [--clients N] "
                         "[--requests N] [--no-kill] [--time-limit S] | --compare | --hostile [--slow N] "
                         "[--idle N] [--settle S]\n");
            return false;
        }
    }
    return settings.clients > 0 && settings.requests > 0 && settings.servers > 0;
}

// A database for one run: a temporary SQLite file or a fresh PostgreSQL database of its own.
struct Database {
    explicit Database(const std::string &kind) {
        char pattern[] = "/tmp/quorix-scored-load-XXXXXX";
        folder = mkdtemp(pattern);
        if (kind == "sqlite") {
            location = folder + "/scores.sqlite";
            return;
        }
        postgres = std::make_unique<LocalPostgres>(true);
        if (!postgres->ok() || !postgres->createDatabase("scores")) {
            std::fprintf(stderr, "cannot start PostgreSQL: %s\n", postgres->reason().c_str());
            std::exit(1);
        }
        location = postgres->location("scores");
    }
    ~Database() { std::filesystem::remove_all(folder); }
    std::string folder;
    std::string location;
    std::unique_ptr<LocalPostgres> postgres;
};

std::unique_ptr<ServerProcess> startServer(const std::string &db, int port,
                                           std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--port", std::to_string(port),       "--db",
                                     db,       "--submissions-per-minute", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    auto server = std::make_unique<ServerProcess>(args);
    if (server->port() <= 0) {
        std::fprintf(stderr, "cannot start quorix-scored: %s\n", server->errors().c_str());
        std::exit(1);
    }
    return server;
}

void printLoad(const char *label, const loadgen::Result &result, int requests) {
    std::printf("%s: %zu of %d requests answered in %.2f s: %.0f requests/s; latency ms p50 %.2f p90 %.2f "
                "p99 %.2f max %.2f\n",
                label, result.latenciesMs.size(), requests, result.seconds, result.perSecond(),
                result.percentile(0.5), result.percentile(0.9), result.percentile(0.99),
                result.latenciesMs.empty() ? 0.0 : result.latenciesMs.back());
}

// Runs the load against N processes on one database; returns the number of faults.
int runLoad(const Settings &settings, const std::string &kind, int servers, bool kill, const char *label) {
    Database database(kind);
    std::vector<std::unique_ptr<ServerProcess>> processes;
    loadgen::Settings load;
    for (int i = 0; i < servers; ++i) {
        processes.push_back(startServer(database.location, 0));
        load.ports.push_back(processes.back()->port());
    }
    load.clients = settings.clients;
    load.requests = settings.requests;
    load.timeLimitSeconds = settings.timeLimitSeconds;
    double downtimeMs = 0;
    if (kill) {
        load.midway = [&] {
            Clock::time_point killed = Clock::now();
            int port = processes[0]->port();
            processes[0]->kill9();
            processes[0] = startServer(database.location, port);
            downtimeMs = std::chrono::duration<double, std::milli>(Clock::now() - killed).count();
        };
    }
    loadgen::Result result = loadgen::run(load);
    processes.clear();
    printLoad(label, result, settings.requests);

    std::unique_ptr<scored::ScoreStore> store = scored::openScoreStore(database.location);
    std::vector<std::string> faults = loadgen::checkTables(*store, result, scored::rankedGames());
    if (kill)
        std::printf(
            "  kill -9 and restart midway: %.0f ms without that process; %ld attempts unanswered, %ld "
            "answered 503\n",
            downtimeMs, result.noAnswer, result.unavailable);
    std::printf("  acknowledged submissions %zu, uncertain %zu, unexpected answers %ld; table faults %zu\n",
                result.acknowledged.size(), result.uncertain.size(), result.unexpected, faults.size());
    for (size_t i = 0; i < faults.size() && i < 10; ++i)
        std::printf("    %s\n", faults[i].c_str());
    return static_cast<int>(faults.size()) + (result.outOfTime ? 1 : 0) + static_cast<int>(result.unexpected);
}

long peakMemoryKb(pid_t pid, const char *field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::strlen(field));
    return -1;
}

// Holds hostile connections to the port from 127.0.0.2 and up, reconnecting whatever the server
// closes, until stopped.
class HostileCrowd {
public:
    enum Kind { Slow, Idle };
    HostileCrowd(int port, int slow, int idle, int perAddress) : _port(port) {
        for (int i = 0; i < slow + idle; ++i)
            _members.push_back(Member{i < slow ? Slow : Idle, -1, static_cast<uint32_t>(2 + i / perAddress)});
        _thread = std::thread([this] { loop(); });
    }
    ~HostileCrowd() {
        _stop = true;
        _thread.join();
        for (Member &member : _members)
            if (member.fd >= 0)
                close(member.fd);
    }
    std::atomic<int> heldSlow{0}, heldIdle{0}, cut{0};
    std::atomic<int> minSlow{1 << 30}, minIdle{1 << 30};
    std::atomic<long> samples{0}, sumSlow{0}, sumIdle{0};
    std::atomic<bool> measuring{false};

private:
    struct Member {
        Kind kind;
        int fd;
        uint32_t host; // 127.0.0.host
        Clock::time_point next{};
        int linesSent = 0;
        bool answered = false;
    };

    void open(Member &member) {
        member.fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in from{}, to{};
        from.sin_family = to.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(0x7F000000u | member.host);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(static_cast<uint16_t>(_port));
        if (bind(member.fd, reinterpret_cast<sockaddr *>(&from), sizeof(from)) != 0 ||
            connect(member.fd, reinterpret_cast<sockaddr *>(&to), sizeof(to)) != 0) {
            close(member.fd);
            member.fd = -1;
            member.next = Clock::now() + std::chrono::milliseconds(100);
            return;
        }
        std::string head = "GET /universe/ishighscore.php?gamename=quorix0dif0&submtdscore=1 HTTP/1.1\r\n"
                           "Host: 127.0.0.1\r\n";
        if (member.kind == Idle)
            head += "\r\n";
        (void)!send(member.fd, head.data(), head.size(), MSG_NOSIGNAL);
        member.linesSent = 0;
        member.answered = false;
        member.next = Clock::now() + std::chrono::seconds(1);
        (member.kind == Slow ? heldSlow : heldIdle)++;
    }

    void drop(Member &member) {
        close(member.fd);
        member.fd = -1;
        (member.kind == Slow ? heldSlow : heldIdle)--;
        ++cut;
        member.next = Clock::now(); // straight back
    }

    void loop() {
        std::vector<pollfd> watch;
        std::vector<Member *> owners;
        while (!_stop) {
            Clock::time_point now = Clock::now();
            watch.clear();
            owners.clear();
            for (Member &member : _members) {
                if (member.fd < 0 && now >= member.next)
                    open(member);
                if (member.fd < 0)
                    continue;
                if (member.kind == Slow && now >= member.next) {
                    // One more header line, never the blank line that would end the request.
                    std::string line = "X-Wait-" + std::to_string(member.linesSent++) + ": a\r\n";
                    if (send(member.fd, line.data(), line.size(), MSG_NOSIGNAL) < 0) {
                        drop(member);
                        continue;
                    }
                    member.next = now + std::chrono::seconds(1);
                }
                watch.push_back(pollfd{member.fd, POLLIN, 0});
                owners.push_back(&member);
            }
            if (measuring) {
                minSlow = std::min<int>(minSlow, heldSlow);
                minIdle = std::min<int>(minIdle, heldIdle);
                ++samples;
                sumSlow += heldSlow;
                sumIdle += heldIdle;
            }
            poll(watch.data(), watch.size(), 50);
            char buffer[4096];
            for (size_t i = 0; i < watch.size(); ++i) {
                if (!(watch[i].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                ssize_t got = recv(watch[i].fd, buffer, sizeof(buffer), MSG_DONTWAIT);
                if (got <= 0)
                    drop(*owners[i]);
                else
                    owners[i]->answered = true;
            }
        }
    }

    int _port;
    std::vector<Member> _members;
    std::atomic<bool> _stop{false};
    std::thread _thread;
};

// Opens count connections from one address and counts those the server refused at once.
int refusedFromOneAddress(int port, uint32_t host, int count) {
    std::vector<int> sockets;
    int refused = 0;
    for (int i = 0; i < count; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in from{}, to{};
        from.sin_family = to.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(0x7F000000u | host);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(static_cast<uint16_t>(port));
        if (bind(fd, reinterpret_cast<sockaddr *>(&from), sizeof(from)) != 0 ||
            connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof(to)) != 0) {
            close(fd);
            ++refused;
            continue;
        }
        sockets.push_back(fd);
    }
    // A refused connection gets its 503 at once; an admitted one hears nothing until it asks. Half a
    // second is far less than the idle timeout, which would close the admitted ones too.
    std::vector<pollfd> watch;
    for (int fd : sockets)
        watch.push_back(pollfd{fd, POLLIN, 0});
    Clock::time_point until = Clock::now() + std::chrono::milliseconds(500);
    while (Clock::now() < until) {
        poll(watch.data(), watch.size(), 50);
        for (pollfd &each : watch) {
            if (each.fd < 0 || !(each.revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[256];
            ssize_t got = recv(each.fd, buffer, sizeof(buffer), 0);
            if (got > 0 && std::string(buffer, static_cast<size_t>(got)).find(" 503 ") != std::string::npos)
                ++refused;
            each.fd = -1; // heard from: not watched any more
        }
    }
    for (int fd : sockets)
        close(fd);
    return refused;
}

int runHostile(const Settings &settings) {
    Database database("sqlite");
    std::unique_ptr<ServerProcess> server = startServer(database.location, 0);
    int port = server->port();
    constexpr int kPerAddress = 32; // under the default cap of 64 per address
    HostileCrowd crowd(port, settings.slow, settings.idle, kPerAddress);
    // Wait until the crowd is in place before the clients start.
    Clock::time_point gathering = Clock::now();
    while ((crowd.heldSlow < settings.slow || crowd.heldIdle < settings.idle) &&
           Clock::now() - gathering < std::chrono::seconds(30))
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::printf("hostile crowd: %d slow-loris and %d idle keep-alive connections from 127.0.0.2-127.0.0.%d "
                "(%d per address)\n",
                crowd.heldSlow.load(), crowd.heldIdle.load(),
                1 + (settings.slow + settings.idle + kPerAddress - 1) / kPerAddress, kPerAddress);

    std::this_thread::sleep_for(std::chrono::seconds(settings.settleSeconds));
    crowd.measuring = true;
    loadgen::Settings load;
    load.ports = {port};
    load.clients = settings.clients;
    load.requests = settings.requests;
    load.timeLimitSeconds = settings.timeLimitSeconds;
    loadgen::Result result = loadgen::run(load);
    crowd.measuring = false;
    printLoad("legitimate clients from 127.0.0.1", result, settings.requests);
    long samples = std::max(1L, crowd.samples.load());
    std::printf(
        "  held during the run: slow-loris %ld on average (%d at the least), idle %ld on average (%d at "
        "the least); %d connections closed by the server and reopened\n",
        crowd.sumSlow / samples, crowd.minSlow.load(), crowd.sumIdle / samples, crowd.minIdle.load(),
        crowd.cut.load());
    std::printf(
        "  answers other than 200: %ld unavailable, %ld unanswered, %ld unexpected; acknowledged %zu\n",
        result.unavailable, result.noAnswer, result.unexpected, result.acknowledged.size());
    int refused = refusedFromOneAddress(port, 250, 64 + 8);
    std::printf("  72 connections from 127.0.0.250 (cap 64): %d refused at once\n", refused);
    std::printf("  server memory: peak %ld kB (VmHWM), now %ld kB\n", peakMemoryKb(server->pid, "VmHWM:"),
                peakMemoryKb(server->pid, "VmRSS:"));
    bool lost = result.latenciesMs.size() != static_cast<size_t>(settings.requests) || result.unexpected > 0;
    return lost ? 1 : 0;
}

} // namespace

int main(int argc, char **argv) {
    Settings settings;
    if (!parse(argc, argv, settings))
        return 2;
    std::signal(SIGPIPE, SIG_IGN);
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    if (settings.hostile)
        return runHostile(settings);
    if (settings.compare) {
        int faults = runLoad(settings, "sqlite", 1, false, "SQLite, 1 process");
        faults += runLoad(settings, "postgresql", 1, false, "PostgreSQL, 1 process");
        faults += runLoad(settings, "postgresql", 4, false, "PostgreSQL, 4 processes");
        return faults == 0 ? 0 : 1;
    }
    int servers = settings.db == "sqlite" ? 1 : settings.servers;
    std::string label = settings.db + ", " + std::to_string(servers) + " process" + (servers > 1 ? "es" : "");
    return runLoad(settings, settings.db, servers, settings.kill, label.c_str()) == 0 ? 0 : 1;
}
