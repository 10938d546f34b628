// A throw-away program folder with its data folder, made the game's program folder for one test, and
// a way to run part of a test as an ordinary player so that file permissions count.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "framework/KMiscTools.h"
#include "support/temp_folder.h"

namespace support {

class ProgramFolder : public TempFolder {
public:
    ProgramFolder() : TempFolder("program") {
        std::filesystem::create_directories(root() / "data");
        KMiscTools::setProgramFolder(root().c_str());
    }
    std::filesystem::path data() const { return root() / "data"; }
};

// Runs the body in a child process as a player without special rights: as the superuser (CI runs as
// root) the child takes the identity of "nobody" (65534). The child's failures are reported here.
inline void asPlayer(const std::function<void()> &body) {
    fflush(stdout);
    fflush(stderr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        body();
        fflush(stdout);
        fflush(stderr);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the player's part failed (see above)";
}

} // namespace support
