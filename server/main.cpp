// quorix-scored: the world-wide score server of Quorix.
//
//   quorix-scored [--port 7717] [--db scores.sqlite] [--host 127.0.0.1]
//
// Port 0 picks a free port. Once listening it prints "listening on http://HOST:PORT" on stdout.
// SIGINT or SIGTERM stop it cleanly; a kill -9 loses nothing that was answered with 200.
#include "server/score_server.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <string>
#include <thread>

namespace {

struct Options {
    std::string host = "127.0.0.1";
    int port = 7717;
    std::string db = "scores.sqlite";
};

void printUsage(FILE *out) {
    std::fprintf(out, "usage: quorix-scored [--port N] [--db FILE] [--host ADDRESS]\n"
                      "  --port N        TCP port to listen on, 0 for any free port (default 7717)\n"
                      "  --db FILE       SQLite database of the world tables (default scores.sqlite)\n"
                      "  --host ADDRESS  address to listen on (default 127.0.0.1)\n");
}

// Returns false (after a message) when the command line cannot be used.
bool parseOptions(int argc, char **argv, Options &options, bool &helpOnly) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            helpOnly = true;
            return true;
        }
        std::string value;
        size_t equals = arg.find('=');
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            std::fprintf(stderr, "quorix-scored: %s needs a value\n", arg.c_str());
            return false;
        }
        if (arg == "--port") {
            char *end = nullptr;
            long port = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || port < 0 || port > 65535) {
                std::fprintf(stderr, "quorix-scored: --port must be 0 to 65535\n");
                return false;
            }
            options.port = static_cast<int>(port);
        } else if (arg == "--db") {
            options.db = value;
        } else if (arg == "--host") {
            options.host = value;
        } else {
            std::fprintf(stderr, "quorix-scored: unknown option %s\n", arg.c_str());
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    bool helpOnly = false;
    if (!parseOptions(argc, argv, options, helpOnly)) {
        printUsage(stderr);
        return 2;
    }
    if (helpOnly) {
        printUsage(stdout);
        return 0;
    }

    // The stop signals are taken by a thread of their own, where stopping the server is safe.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    try {
        scored::ScoreStore store(options.db);
        scored::ScoreServer server(store);
        int port = server.bind(options.host, options.port);
        if (port < 0) {
            std::fprintf(stderr, "quorix-scored: cannot listen on %s port %d\n", options.host.c_str(),
                         options.port);
            return 1;
        }
        std::atomic<bool> serveEnded{false};
        std::thread signalWaiter([&] {
            int signal = 0;
            sigwait(&stopSignals, &signal);
            // A signal may come between binding and serving: stop() only acts on a running server.
            while (!serveEnded && !server.isRunning())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            server.stop();
        });
        // The socket is already listening: clients that connect now wait in its queue.
        std::printf("listening on http://%s:%d\n", options.host.c_str(), port);
        std::fflush(stdout);
        bool served = server.serve();
        // serve() may also end without a signal; wake the waiter so that it can be joined.
        serveEnded = true;
        pthread_kill(signalWaiter.native_handle(), SIGTERM);
        signalWaiter.join();
        return served ? 0 : 1;
    } catch (const scored::StoreError &error) {
        std::fprintf(stderr, "quorix-scored: %s\n", error.what());
        return 1;
    }
}
