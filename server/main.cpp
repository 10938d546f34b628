// quorix-scored: the world-wide score server of Quorix. `quorix-scored --help` lists the options.
//
// Once listening it prints "listening on http://HOST:PORT" on stdout. SIGINT or SIGTERM stop it
// cleanly; a kill -9 loses nothing that was answered with "ok".
#include "server/score_server.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <pthread.h>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

struct Options {
    std::string host = "127.0.0.1";
    int port = 7717;
    std::string db = "scores.sqlite";
    scored::StoreSettings store;
    scored::ServerSettings server;
};

void printUsage(FILE *out) {
    std::fprintf(
        out,
        "usage: quorix-scored [OPTION]...\n"
        "Serves the world-wide score tables of Quorix over HTTP.\n"
        "\n"
        "  --port N            TCP port to listen on, 0 for any free port (default 7717)\n"
        "  --host ADDRESS      address to listen on (default 127.0.0.1; 0.0.0.0 or :: for every network)\n"
        "  --db LOCATION       where the tables live (default scores.sqlite):\n"
        "                        an SQLite file, or a PostgreSQL database given as\n"
        "                        postgresql://USER@HOST:PORT/DBNAME or \"host=/socket/dir dbname=NAME\"\n"
        "  --db-connections N  PostgreSQL connections per process (default 8)\n"
        "  --behind-proxy      take the client's address from X-Forwarded-For when the peer is this\n"
        "                      machine (a reverse proxy); such peers are not held to the per-address cap\n"
        "  --submissions-per-minute N\n"
        "                      submissions allowed per client address and minute, 0 for no limit\n"
        "                      (default 30)\n"
        "  --max-connections N total open connections (default 4096)\n"
        "  --max-connections-per-address N\n"
        "                      open connections per client address (default 64)\n"
        "  --idle-timeout S    close a connection silent for S seconds (default 5)\n"
        "  --request-timeout S close a connection whose request has not arrived whole after S seconds\n"
        "                      (default 10)\n"
        "  --workers N         threads answering requests that use the database (default 8)\n"
        "  --verified-only     rank only games sent with their replay and proved by playing it back;\n"
        "                      plain submissions are refused with 403\n"
        "  --verifier PROGRAM  the program that plays replays back (default: quorix-verify beside\n"
        "                      this program)\n"
        "  --verify-ms N       a replay still playing back after N milliseconds is refused (default 2000)\n"
        "  --verifiers N       replays played back at once; more are refused with 503 (default 2)\n"
        "  --help              show this help and exit\n"
        "  --version           show the version and exit\n");
}

// Reads a whole number from min to max; false when the text is anything else.
bool readNumber(const std::string &text, long min, long max, long &value) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::strtol(text.c_str(), nullptr, 10);
    return value >= min && value <= max;
}

enum class Parsed { Run, Help, Version, Bad };

Parsed parseOptions(int argc, char **argv, Options &options) {
    struct NumberOption {
        const char *name;
        long min, max;
        std::function<void(long)> set;
    };
    const std::vector<NumberOption> numbers = {
        {"--port", 0, 65535, [&](long v) { options.port = static_cast<int>(v); }},
        {"--db-connections", 1, 1000, [&](long v) { options.store.connections = static_cast<int>(v); }},
        {"--submissions-per-minute", 0, 1000000,
         [&](long v) { options.server.submissionsPerMinute = static_cast<unsigned>(v); }},
        {"--max-connections", 1, 1000000,
         [&](long v) { options.server.http.maxConnections = static_cast<unsigned>(v); }},
        {"--max-connections-per-address", 1, 1000000,
         [&](long v) { options.server.http.maxConnectionsPerAddress = static_cast<unsigned>(v); }},
        {"--idle-timeout", 1, 3600,
         [&](long v) { options.server.http.idleTimeoutSeconds = static_cast<unsigned>(v); }},
        {"--request-timeout", 1, 3600,
         [&](long v) { options.server.http.requestTimeoutSeconds = static_cast<unsigned>(v); }},
        {"--workers", 1, 256, [&](long v) { options.server.http.workers = static_cast<unsigned>(v); }},
        {"--verify-ms", 10, 600000,
         [&](long v) { options.server.replays.bound = std::chrono::milliseconds(v); }},
        {"--verifiers", 1, 256,
         [&](long v) { options.server.replays.concurrent = static_cast<unsigned>(v); }},
    };
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h")
            return Parsed::Help;
        if (arg == "--version")
            return Parsed::Version;
        if (arg == "--behind-proxy") {
            options.server.http.behindProxy = true;
            continue;
        }
        if (arg == "--verified-only") {
            options.server.verifiedOnly = true;
            continue;
        }
        std::string value;
        size_t equals = arg.find('=');
        bool known = arg.rfind("--", 0) == 0;
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
        } else if (known && i + 1 < argc) {
            value = argv[++i];
        } else {
            std::fprintf(stderr, "quorix-scored: %s\n",
                         known ? (arg + " needs a value").c_str() : ("unknown argument " + arg).c_str());
            return Parsed::Bad;
        }
        if (arg == "--db") {
            if (value.empty()) {
                std::fprintf(stderr, "quorix-scored: --db needs a value\n");
                return Parsed::Bad;
            }
            options.db = value;
            continue;
        }
        if (arg == "--host") {
            options.host = value;
            continue;
        }
        if (arg == "--verifier") {
            if (value.empty()) {
                std::fprintf(stderr, "quorix-scored: --verifier needs a value\n");
                return Parsed::Bad;
            }
            options.server.replays.program = value;
            continue;
        }
        bool matched = false;
        for (const NumberOption &number : numbers) {
            if (arg != number.name)
                continue;
            long parsed = 0;
            if (!readNumber(value, number.min, number.max, parsed)) {
                std::fprintf(stderr, "quorix-scored: %s must be a whole number from %ld to %ld\n",
                             number.name, number.min, number.max);
                return Parsed::Bad;
            }
            number.set(parsed);
            matched = true;
        }
        if (!matched) {
            std::fprintf(stderr, "quorix-scored: unknown option %s\n", arg.c_str());
            return Parsed::Bad;
        }
    }
    return Parsed::Run;
}

// Every open connection is a descriptor: take all the system allows this process.
void raiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    switch (parseOptions(argc, argv, options)) {
    case Parsed::Bad:
        std::fprintf(stderr, "Try 'quorix-scored --help' for more information.\n");
        return 2;
    case Parsed::Help:
        printUsage(stdout);
        return 0;
    case Parsed::Version:
        std::printf("quorix-scored %s\n", QUORIX_VERSION);
        return 0;
    case Parsed::Run:
        break;
    }
    options.server.http.workers = std::max(options.server.http.workers, 1u);

    // The stop signals are taken by the main thread with sigwait; every other thread blocks them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    raiseDescriptorLimit();

    try {
        std::unique_ptr<scored::ScoreStore> store = scored::openScoreStore(options.db, options.store);
        scored::ScoreServer server(*store, options.server);
        std::string error;
        int port = server.bind(options.host, options.port, error);
        if (port < 0 || !server.start(error)) {
            std::fprintf(stderr, "quorix-scored: %s\n", error.c_str());
            return 1;
        }
        bool ipv6 = options.host.find(':') != std::string::npos;
        std::printf("listening on http://%s%s%s:%d\n", ipv6 ? "[" : "", options.host.c_str(), ipv6 ? "]" : "",
                    port);
        std::fflush(stdout);
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.stop();
        return 0;
    } catch (const scored::StoreError &error) {
        std::fprintf(stderr, "quorix-scored: %s\n", error.what());
        return 1;
    }
}
