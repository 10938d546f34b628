// A throwaway PostgreSQL for tests and measurements: initdb into a new temporary folder, the server
// listening only on a Unix socket inside it, everything removed at the end. PostgreSQL refuses to run
// as root, so under root its programs run as the unprivileged user "nobody".
#pragma once

#include <string>
#include <vector>

class LocalPostgres {
public:
    // durable: fsync as a production server would; tests switch it off (a crash of quorix-scored,
    // not of the machine, is what they look at).
    explicit LocalPostgres(bool durable = false);
    ~LocalPostgres();
    LocalPostgres(const LocalPostgres &) = delete;
    LocalPostgres &operator=(const LocalPostgres &) = delete;

    // False when PostgreSQL's programs are not installed or the server did not start; see reason().
    bool ok() const { return _running; }
    bool installed() const { return !_bin.empty(); }
    const std::string &reason() const { return _reason; }

    // A connection string for quorix-scored's --db.
    std::string location(const std::string &database = "postgres") const;
    // A new, empty database.
    bool createDatabase(const std::string &name);
    bool stop();
    bool start();

    // Where initdb and pg_ctl live, or "" when PostgreSQL is not installed.
    static std::string findPrograms();

private:
    // Runs one of PostgreSQL's programs (or another, by its full path), as nobody under root when
    // asPostgres; true when it succeeded.
    bool run(const std::string &program, const std::vector<std::string> &args, bool asPostgres = true);
    bool makeDataFolder(const std::string &path);
    bool initdb(const std::string &data);
    // A freshly made cluster kept for copying, made on first use; "" when there is none.
    std::string keptCluster();

    std::string _bin;
    std::string _folder;
    std::string _reason;
    bool _durable;
    bool _running = false;
};
