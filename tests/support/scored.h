// Score servers and databases for tests (the real program, run by a test, is server/testkit's
// ServerProcess): a fresh database of either kind (an SQLite file in a
// temporary folder, or a new database on one PostgreSQL that the test program starts for itself),
// and a server running inside the test process on a free loopback port.
#pragma once

#include "server/score_server.h"
#include "server/testkit/local_postgres.h"
#include "server/testkit/server_process.h"
#include "support/temp_folder.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

enum class Backend { Sqlite, Postgres };

inline std::string backendName(Backend backend) {
    return backend == Backend::Sqlite ? "SQLite" : "PostgreSQL";
}

// The test program's PostgreSQL, started on first use and stopped when the program ends.
inline LocalPostgres &sharedPostgres() {
    static LocalPostgres postgres;
    return postgres;
}

// Why no PostgreSQL can be started here, or "" when one can.
inline std::string postgresMissing() {
    return LocalPostgres::findPrograms().empty()
               ? "PostgreSQL's server programs are not installed (scripts/install-deps installs them)"
               : "";
}

// A new, empty database of the given kind, removed (SQLite) or left behind in the throwaway
// PostgreSQL at the end.
class TestDatabase {
public:
    explicit TestDatabase(Backend backend) {
        if (backend == Backend::Sqlite) {
            location = folder.path("scores.sqlite");
            return;
        }
        static std::atomic<int> made{0};
        std::string name = "t" + std::to_string(getpid()) + "_" + std::to_string(made++);
        if (sharedPostgres().ok() && sharedPostgres().createDatabase(name))
            location = sharedPostgres().location(name);
    }
    std::unique_ptr<scored::ScoreStore> open(const scored::StoreSettings &settings = {}) const {
        return scored::openScoreStore(location, settings);
    }

    support::TempFolder folder{"scored"};
    std::string location; // empty when the database could not be made
};

class RunningServer {
public:
    explicit RunningServer(Backend backend = Backend::Sqlite, scored::ServerSettings settings = {})
        : database(backend) {
        if (database.location.empty())
            return;
        store = database.open();
        server = std::make_unique<scored::ScoreServer>(*store, settings);
        std::string error;
        port = server->bind("127.0.0.1", 0, error);
        if (port > 0 && !server->start(error))
            port = -1;
    }
    ~RunningServer() { // the members then go in reverse order: the server before its store
        if (server)
            server->stop();
    }

    TestDatabase database;
    std::unique_ptr<scored::ScoreStore> store;
    std::unique_ptr<scored::ScoreServer> server;
    int port = -1;
};
