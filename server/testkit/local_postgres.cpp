#include "server/testkit/local_postgres.h"

#include <libpq-fe.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <iterator>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;
constexpr const char *kUser = "quorix";

} // namespace

std::string LocalPostgres::findPrograms() {
    if (const char *configured = std::getenv("QUORIX_PG_BINDIR"))
        return configured;
    std::vector<std::string> found;
    std::error_code ignored;
    for (const auto &entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ignored))
        if (std::filesystem::exists(entry.path() / "bin" / "initdb"))
            found.push_back((entry.path() / "bin").string());
    std::sort(found.begin(), found.end(), [](const std::string &a, const std::string &b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b; // "9" before "15"
    });
    return found.empty() ? "" : found.back();
}

LocalPostgres::LocalPostgres(bool durable) : _bin(findPrograms()), _durable(durable) {
    if (_bin.empty()) {
        _reason = "PostgreSQL's server programs (initdb, pg_ctl) are not installed";
        return;
    }
    char pattern[] = "/tmp/quorix-pg-XXXXXX";
    if (!mkdtemp(pattern)) {
        _reason = "cannot make a temporary folder";
        return;
    }
    _folder = pattern;
    chmod(_folder.c_str(), 0755);
    std::string data = _folder + "/data";
    if (!makeDataFolder(data))
        return;
    // initdb takes seconds; its result is kept once beside the build and copied for every instance.
    std::string kept = keptCluster();
    bool copied = !kept.empty() && run("/bin/cp", {"-a", kept + "/.", data + "/"}, false);
    if (!copied && !initdb(data))
        return;
    start();
}

bool LocalPostgres::makeDataFolder(const std::string &path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
    if (mkdir(path.c_str(), 0700) != 0 || (geteuid() == 0 && chown(path.c_str(), kNobody, kNobody) != 0)) {
        _reason = "cannot make the data folder " + path;
        return false;
    }
    return true;
}

bool LocalPostgres::initdb(const std::string &data) {
    if (run("initdb", {"-D", data, "-U", kUser, "--auth=trust", "-E", "UTF8", "--locale=C", "--no-sync",
                       "--no-instructions"}))
        return true;
    std::ifstream log(_folder + "/log");
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    _reason = "initdb failed: " + text.substr(text.size() > 600 ? text.size() - 600 : 0);
    return false;
}

std::string LocalPostgres::keptCluster() {
#ifdef QUORIX_PG_TEMPLATE_DIR
    std::string name = _bin;
    std::replace(name.begin(), name.end(), '/', '_');
    std::string kept = std::string(QUORIX_PG_TEMPLATE_DIR) + "/" + name;
    if (std::filesystem::exists(kept + "/PG_VERSION"))
        return kept;
    std::filesystem::create_directories(QUORIX_PG_TEMPLATE_DIR);
    // Test programs start side by side: one makes it, the others wait for it.
    int lock = open((kept + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock < 0 || flock(lock, LOCK_EX) != 0) {
        if (lock >= 0)
            close(lock);
        return "";
    }
    bool made = std::filesystem::exists(kept + "/PG_VERSION");
    if (!made) {
        std::string fresh = _folder + "/kept";
        std::error_code ignored;
        std::filesystem::remove_all(kept + ".new", ignored);
        made = makeDataFolder(fresh) && initdb(fresh) &&
               run("/bin/cp", {"-a", fresh, kept + ".new"}, false) &&
               rename((kept + ".new").c_str(), kept.c_str()) == 0;
        std::filesystem::remove_all(fresh, ignored);
    }
    close(lock);
    return made ? kept : "";
#else
    return "";
#endif
}

LocalPostgres::~LocalPostgres() {
    if (_running)
        run("pg_ctl", {"-D", _folder + "/data", "-m", "immediate", "-w", "stop"});
    if (!_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(_folder, ignored);
    }
}

bool LocalPostgres::run(const std::string &program, const std::vector<std::string> &args, bool asPostgres) {
    std::string path = program[0] == '/' ? program : _bin + "/" + program;
    std::string log = _folder + "/log";
    pid_t child = fork();
    if (child == 0) {
        int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0666);
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
        }
        if (asPostgres && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(126);
        setenv("LC_ALL", "C", 1);
        std::vector<char *> argv{const_cast<char *>(path.c_str())};
        for (const std::string &arg : args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool LocalPostgres::start() {
    std::string settings = "-k " + _folder + "/data -c listen_addresses= -p 5432 -c max_connections=200" +
                           (_durable ? "" : " -c fsync=off -c full_page_writes=off");
    // The server writes its own log, as the unprivileged user, inside its data folder.
    _running = run("pg_ctl", {"-D", _folder + "/data", "-l", _folder + "/data/server.log", "-o", settings,
                              "-w", "start"});
    if (!_running) {
        std::ifstream log(_folder + "/data/server.log");
        std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
        _reason = "PostgreSQL did not start: " + text.substr(text.size() > 600 ? text.size() - 600 : 0);
    }
    return _running;
}

bool LocalPostgres::stop() {
    bool stopped = run("pg_ctl", {"-D", _folder + "/data", "-m", "fast", "-w", "stop"});
    _running = !stopped;
    return stopped;
}

std::string LocalPostgres::location(const std::string &database) const {
    return "host=" + _folder + "/data port=5432 user=" + kUser + " dbname=" + database;
}

bool LocalPostgres::createDatabase(const std::string &name) {
    PGconn *connection = PQconnectdb(location().c_str());
    bool created = false;
    if (PQstatus(connection) == CONNECTION_OK) {
        PGresult *result = PQexec(connection, ("CREATE DATABASE \"" + name + "\"").c_str());
        created = PQresultStatus(result) == PGRES_COMMAND_OK;
        PQclear(result);
    }
    PQfinish(connection);
    return created;
}
