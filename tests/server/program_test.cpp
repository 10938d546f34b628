// quorix-scored as a program: its options, start-up refusals with their reasons, and acknowledged
// rows surviving a kill -9.
#include "server_process.h"
#include "support/http_request_server.h"
#include "support/scored.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// Runs the program with the arguments to its end: exit status, stdout's first line, stderr.
struct Ended {
    int status;
    std::string firstLine;
    std::string errors;
};
Ended runToEnd(const std::vector<std::string> &args, std::function<void()> beforeExec = {}) {
    ServerProcess process(args, std::move(beforeExec));
    std::string line;
    char c;
    while (read(process.stdoutFd, &c, 1) == 1 && c != '\n')
        line += c;
    if (line.rfind("listening on", 0) == 0)
        kill(process.pid, SIGTERM);
    int status = process.waitForExit();
    return {status, line, process.errors()};
}

} // namespace

// --help and --version answer on stdout; a bad option ends with status 2, its reason and a pointer to
// --help on stderr.
TEST(Program, AnswersHelpVersionAndRefusesBadOptionsWithStatus2) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> answers = {
        {{"--help"}, "usage: quorix-scored [OPTION]..."},
        {{"--version"}, "quorix-scored "},
        {{"--port", "70000"}, "--port must be a whole number from 0 to 65535"},
        {{"--port=-1"}, "--port must be"},
        {{"--port"}, "--port needs a value"},
        {{"--submissions-per-minute", "many"}, "--submissions-per-minute must be"},
        {{"--idle-timeout", "99999999999"}, "--idle-timeout must be"},
        {{"--db", ""}, "--db needs a value"},
        {{"--colour", "red"}, "unknown option --colour"},
        {{"scores.sqlite"}, "unknown argument scores.sqlite"},
    };
    for (const auto &[args, message] : answers) {
        const Ended run = runToEnd(args);
        const bool answered = args[0] == "--help" || args[0] == "--version";
        EXPECT_EQ(run.status, answered ? 0 : 2) << args[0];
        const std::string &said = answered ? run.firstLine : run.errors;
        EXPECT_NE(said.find(message), std::string::npos) << said;
        EXPECT_NE(said.find(answered ? "quorix-scored" : "--help"), std::string::npos) << said;
    }
}

// Each refusal ends the program with status 1 and its reason; a server already on the port keeps
// answering.
TEST(Program, RefusesToStartOnWhatItCannotUseAndSaysWhy) {
    TestDatabase database(Backend::Sqlite);
    const std::string folder = database.folder.root();
    ServerProcess first({"--port", "0", "--db", database.location});
    const int port = first.port();
    ASSERT_GT(port, 0);

    // A read-only database would answer every submission with a failure. Root may write anything,
    // so under root the program gives up root first.
    const std::string readOnly = folder + "/read-only.sqlite";
    scored::openScoreStore(readOnly);
    chmod(readOnly.c_str(), 0444);
    chmod(folder.c_str(), 0777);
    auto asNobody = [] {
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(99);
    };
    auto diskFull = [] { // as the program sees it: no byte may be written
        signal(SIGXFSZ, SIG_IGN);
        rlimit none{0, 0};
        setrlimit(RLIMIT_FSIZE, &none);
    };
    std::ofstream(folder + "/plain-text")
        << "this is not an SQLite file, and it is long enough to have a header";
    const struct {
        std::vector<std::string> args;
        std::function<void()> beforeExec;
        std::string message;
    } cases[] = {
        {{"--db", readOnly}, asNobody, "the file is read-only"},
        {{"--db", folder + "/new.sqlite"}, diskFull, "the disk is full"},
        {{"--db", folder + "/missing/scores.sqlite"}, {}, "cannot open"},
        {{"--db", folder + "/plain-text"}, {}, "not a database"},
        {{"--db", "host=/nonexistent-quorix-folder dbname=x"}, {}, "cannot reach the score database"},
        {{"--host", "no-such-host.invalid"}, {}, "cannot use the address"},
        {{"--port", std::to_string(port)},
         {},
         "port " + std::to_string(port) + " on 127.0.0.1 is already in use"},
    };
    for (const auto &refusal : cases) {
        std::vector<std::string> args = {"--port", "0", "--db", folder + "/other.sqlite"};
        args.insert(args.end(), refusal.args.begin(), refusal.args.end()); // the last one counts
        const Ended run = runToEnd(args, refusal.beforeExec);
        EXPECT_EQ(run.status, 1) << refusal.message << ": " << run.firstLine;
        EXPECT_NE(run.errors.find(refusal.message), std::string::npos) << run.errors;
    }
    EXPECT_EQ(support::request(port, "/universe/ishighscore.php?gamename=quorix0dif0&submtdscore=1").body,
              "yes");
}

TEST(Program, AcknowledgedRowsSurviveAKill9AndSigtermStopsCleanly) {
    TestDatabase database(Backend::Sqlite);
    {
        ServerProcess first({"--port", "0", "--db", database.location});
        ASSERT_GT(first.port(), 0);
        for (int i = 0; i < 20; ++i)
            ASSERT_EQ(support::request(first.port(), "/universe/scoresubmitter.php?name=p" +
                                                         std::to_string(i) + "&score=" + std::to_string(i) +
                                                         "&computer=M&gamename=quorix0dif0")
                          .body,
                      "ok");
        first.kill9();
    }
    ServerProcess second({"--db=" + database.location, "--port=0", "--host=127.0.0.1"});
    ASSERT_GT(second.port(), 0);
    const std::string page = support::request(second.port(), "/game/quorix0dif0").body;
    for (int i = 0; i < 20; ++i)
        EXPECT_NE(page.find(">p" + std::to_string(i) + "<"), std::string::npos) << i;
    kill(second.pid, SIGTERM);
    EXPECT_EQ(second.waitForExit(), 0);
}
