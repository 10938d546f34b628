// quorix-scored as a program: its options, and acknowledged rows surviving a kill -9.
#include "server/score_store.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "server_process.h"

namespace {

std::string temporaryFolder() {
    char pattern[] = "/tmp/quorix-scored-program-XXXXXX";
    return mkdtemp(pattern);
}

} // namespace

TEST(Program, AcknowledgedRowsSurviveAKill9) {
    std::string folder = temporaryFolder();
    std::string db = folder + "/scores.sqlite";
    {
        ServerProcess first({"--port", "0", "--db", db});
        int port = first.port();
        ASSERT_GT(port, 0);
        httplib::Client client("127.0.0.1", port);
        for (int i = 0; i < 20; ++i) {
            auto result = client.Get("/universe/scoresubmitter.php?name=p" + std::to_string(i) +
                                     "&score=" + std::to_string(i) + "&computer=M&gamename=quorix0dif0");
            ASSERT_TRUE(result);
            ASSERT_EQ(result->status, 200);
        }
        first.kill9();
    }
    ServerProcess second({"--db=" + db, "--port=0", "--host=127.0.0.1"});
    int port = second.port();
    ASSERT_GT(port, 0);
    httplib::Client client("127.0.0.1", port);
    auto page = client.Get("/game/quorix0dif0");
    ASSERT_TRUE(page);
    for (int i = 0; i < 20; ++i)
        EXPECT_NE(page->body.find(">p" + std::to_string(i) + "<"), std::string::npos) << i;
    second.kill9();
    std::filesystem::remove_all(folder);
}

TEST(Program, RefusesBadOptionsAndUnusableDatabases) {
    std::string folder = temporaryFolder();
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"--port", "70000"}, {"--port", "12x"}, {"--port"}, {"--colour", "red"}}) {
        ServerProcess process(args);
        EXPECT_EQ(process.port(), -1);
        EXPECT_EQ(process.waitForExit(), 2) << args[0];
    }
    ServerProcess noFolder({"--port", "0", "--db", folder + "/missing/scores.sqlite"});
    EXPECT_EQ(noFolder.port(), -1);
    EXPECT_EQ(noFolder.waitForExit(), 1);
    ServerProcess help({"--help"});
    EXPECT_EQ(help.waitForExit(), 0);
    std::filesystem::remove_all(folder);
}

TEST(Program, StopsCleanlyOnSigterm) {
    std::string folder = temporaryFolder();
    ServerProcess process({"--port", "0", "--db", folder + "/scores.sqlite"});
    ASSERT_GT(process.port(), 0);
    kill(process.pid, SIGTERM);
    EXPECT_EQ(process.waitForExit(), 0);
    std::filesystem::remove_all(folder);
}
