// A score server running inside the test process: a fresh database in a temporary folder, a free
// loopback port, and the serving thread stopped and joined at the end.
#pragma once

#include "server/score_server.h"

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

class RunningServer {
public:
    RunningServer() {
        char pattern[] = "/tmp/quorix-scored-test-XXXXXX";
        folder = mkdtemp(pattern);
        store = std::make_unique<scored::ScoreStore>(dbPath());
        server = std::make_unique<scored::ScoreServer>(*store);
        port = server->bind("127.0.0.1", 0);
        if (port > 0) {
            thread = std::thread([this] { server->serve(); });
            while (!server->isRunning())
                std::this_thread::yield();
        }
    }
    ~RunningServer() {
        if (thread.joinable()) {
            server->stop();
            thread.join();
        }
        server.reset();
        store.reset();
        std::filesystem::remove_all(folder);
    }

    std::string dbPath() const { return folder + "/scores.sqlite"; }
    std::string baseURL() const { return "http://127.0.0.1:" + std::to_string(port); }

    std::string folder;
    std::unique_ptr<scored::ScoreStore> store;
    std::unique_ptr<scored::ScoreServer> server;
    int port = -1;
    std::thread thread;
};
