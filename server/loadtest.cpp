// Load test of quorix-scored: concurrent clients on loopback, a kill -9 and restart midway, and a
// final check that every submission answered 200 is in the database.
//
//   quorix-scored-load [--clients 16] [--requests 20000] [--no-kill] [--time-limit 120]
//
// Half of the requests are submissions, half ranking questions, spread over the sixteen games. It
// prints requests per second, latency percentiles and the number of acknowledged rows missing
// (which must be 0). Exit status 0 only when nothing was lost and every request was answered.
#include "server/score_store.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    int clients = 16;
    int requests = 20000;
    bool killMidway = true;
    int timeLimitSeconds = 120;
};

// The server as a child process; its first line on stdout gives the port.
struct ServerProcess {
    pid_t pid = -1;
    int port = -1;

    bool start(const std::string &db, int wantedPort) {
        int out[2];
        if (pipe(out) != 0)
            return false;
        pid = fork();
        if (pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            std::string portText = std::to_string(wantedPort);
            execl(QUORIX_SCORED_PATH, QUORIX_SCORED_PATH, "--port", portText.c_str(), "--db", db.c_str(),
                  static_cast<char *>(nullptr));
            _exit(127);
        }
        close(out[1]);
        std::string line;
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n')
            line += c;
        close(out[0]);
        size_t colon = line.rfind(':');
        if (colon == std::string::npos)
            return false;
        port = std::atoi(line.c_str() + colon + 1);
        return port > 0;
    }
    void signal(int number) {
        if (pid > 0) {
            kill(pid, number);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }
};

struct Acknowledged {
    scored::GameId game;
    std::string name;
    uint32_t score;
};

struct ClientResult {
    std::vector<double> latenciesMs;
    std::vector<Acknowledged> acknowledged;
    long failedAttempts = 0;
    long unanswered = 0;
};

double percentile(const std::vector<double> &sorted, double fraction) {
    if (sorted.empty())
        return 0;
    size_t index = static_cast<size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(index, sorted.size() - 1)];
}

bool parseSettings(int argc, char **argv, Settings &settings) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        int *number = arg == "--clients"      ? &settings.clients
                      : arg == "--requests"   ? &settings.requests
                      : arg == "--time-limit" ? &settings.timeLimitSeconds
                                              : nullptr;
        if (number && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
            *number = std::atoi(argv[++i]);
        } else if (arg == "--no-kill") {
            settings.killMidway = false;
        } else {
            std::fprintf(stderr, "usage: quorix-scored-load [--clients N] [--requests N] [--no-kill] "
                                 "[--time-limit SECONDS]\n");
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    Settings settings;
    if (!parseSettings(argc, argv, settings))
        return 2;
    std::signal(SIGPIPE, SIG_IGN);

    char pattern[] = "/tmp/quorix-scored-load-XXXXXX";
    std::string folder = mkdtemp(pattern);
    std::string db = folder + "/scores.sqlite";

    ServerProcess server;
    if (!server.start(db, 0)) {
        std::fprintf(stderr, "cannot start %s\n", QUORIX_SCORED_PATH);
        return 1;
    }
    std::atomic<int> port{server.port};

    Clock::time_point start = Clock::now();
    Clock::time_point deadline = start + std::chrono::seconds(settings.timeLimitSeconds);
    std::atomic<int> nextRequest{0};
    std::atomic<bool> outOfTime{false};
    std::vector<ClientResult> results(static_cast<size_t>(settings.clients));

    // The controller kills the server without warning halfway through and starts it again on the
    // same port and database; clients retry what went unanswered.
    double downtimeMs = 0;
    std::thread controller([&] {
        if (!settings.killMidway)
            return;
        while (nextRequest < settings.requests / 2 && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        Clock::time_point killed = Clock::now();
        server.signal(SIGKILL);
        if (!server.start(db, port)) {
            std::fprintf(stderr, "the server did not come back\n");
            std::exit(1);
        }
        downtimeMs = std::chrono::duration<double, std::milli>(Clock::now() - killed).count();
    });

    std::vector<std::thread> clients;
    for (int id = 0; id < settings.clients; ++id) {
        clients.emplace_back([&, id] {
            ClientResult &result = results[static_cast<size_t>(id)];
            std::mt19937 random(static_cast<unsigned>(id) * 7919u + 1u);
            std::unique_ptr<httplib::Client> client;
            int clientPort = -1;
            for (int request; (request = nextRequest++) < settings.requests;) {
                scored::GameId game{static_cast<int>(random() % 4), static_cast<int>(random() % 4)};
                uint32_t score = static_cast<uint32_t>(random() % 5000000);
                bool submission = request % 2 == 0;
                std::string desc = game.lowerIsBetter() ? "desc" : "";
                std::string name = "c" + std::to_string(id) + "r" + std::to_string(request);
                std::string target =
                    submission ? "/universe/scoresubmitter" + desc + ".php?name=" + name +
                                     "&score=" + std::to_string(score) + "&computer=M&gamename=" + game.name()
                               : "/universe/ishighscore" + desc + ".php?gamename=" + game.name() +
                                     "&submtdscore=" + std::to_string(score);
                for (;;) {
                    if (Clock::now() > deadline) {
                        outOfTime = true;
                        ++result.unanswered;
                        break;
                    }
                    if (!client || clientPort != port) {
                        clientPort = port;
                        client = std::make_unique<httplib::Client>("127.0.0.1", clientPort);
                        client->set_keep_alive(true);
                        client->set_connection_timeout(2);
                        client->set_read_timeout(5);
                    }
                    Clock::time_point sent = Clock::now();
                    httplib::Result answer = client->Get(target);
                    if (answer && answer->status == 200) {
                        result.latenciesMs.push_back(
                            std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
                        if (submission && answer->body == "ok")
                            result.acknowledged.push_back({game, name, score});
                        break;
                    }
                    // No answer (the server is down or restarting): try the same request again.
                    ++result.failedAttempts;
                    client.reset();
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
            }
        });
    }
    for (std::thread &client : clients)
        client.join();
    controller.join();
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    server.signal(SIGTERM);

    std::vector<double> latencies;
    std::vector<Acknowledged> acknowledged;
    long failedAttempts = 0, unanswered = 0;
    for (ClientResult &result : results) {
        latencies.insert(latencies.end(), result.latenciesMs.begin(), result.latenciesMs.end());
        acknowledged.insert(acknowledged.end(), result.acknowledged.begin(), result.acknowledged.end());
        failedAttempts += result.failedAttempts;
        unanswered += result.unanswered;
    }
    std::sort(latencies.begin(), latencies.end());

    // Every acknowledged submission must be in the database, under its game with its score.
    long lost = 0;
    {
        scored::ScoreStore store(db);
        std::set<std::tuple<std::string, std::string, uint32_t>> stored;
        for (int mode = 0; mode < 4; ++mode)
            for (int difficulty = 0; difficulty < 4; ++difficulty) {
                scored::GameId game{mode, difficulty};
                for (const scored::ScoreRow &row : store.top(game, 1 << 30))
                    stored.emplace(game.name(), row.name, row.score);
            }
        for (const Acknowledged &row : acknowledged)
            lost += stored.count({row.game.name(), row.name, row.score}) == 0;
    }
    std::filesystem::remove_all(folder);

    std::printf("clients %d, requests answered %zu of %d in %.2f s: %.0f requests/s\n", settings.clients,
                latencies.size(), settings.requests, seconds,
                static_cast<double>(latencies.size()) / seconds);
    std::printf("latency ms: p50 %.3f  p90 %.3f  p99 %.3f  p99.9 %.3f  max %.3f\n",
                percentile(latencies, 0.5), percentile(latencies, 0.9), percentile(latencies, 0.99),
                percentile(latencies, 0.999), latencies.empty() ? 0.0 : latencies.back());
    if (settings.killMidway)
        std::printf("kill -9 and restart midway: %.1f ms without a server, %ld attempts retried\n",
                    downtimeMs, failedAttempts);
    std::printf("acknowledged submissions %zu, missing from the database %ld\n", acknowledged.size(), lost);
    if (outOfTime)
        std::printf("stopped at the time limit of %d s: %ld requests unanswered\n", settings.timeLimitSeconds,
                    unanswered);
    return lost == 0 && !outOfTime ? 0 : 1;
}
