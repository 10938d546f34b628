// A fresh program folder with a data sub-folder for each test, removed afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "framework/KMiscTools.h"

class TempProgramFolder {
public:
    TempProgramFolder() {
        char pattern[] = "/tmp/quorix-test-XXXXXX";
        root_ = mkdtemp(pattern);
        std::filesystem::create_directories(root_ + "/data");
        KMiscTools::setProgramFolder(root_.c_str());
    }
    ~TempProgramFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    const std::string &root() const { return root_; }
    std::string path(const std::string &name) const { return root_ + "/" + name; }

    void write(const std::string &name, const std::vector<unsigned char> &bytes) const {
        std::ofstream out(path(name), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::vector<unsigned char> read(const std::string &name) const {
        std::ifstream in(path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    bool exists(const std::string &name) const { return std::filesystem::exists(path(name)); }

private:
    std::string root_;
};

// Little-endian bytes of 32-bit values, as the game's record files hold them.
inline std::vector<unsigned char> littleEndian(std::initializer_list<int32_t> values) {
    std::vector<unsigned char> bytes;
    for (int32_t v : values)
        for (int i = 0; i < 4; i++)
            bytes.push_back(static_cast<unsigned char>(static_cast<uint32_t>(v) >> (8 * i)));
    return bytes;
}

// Runs the body as a player without special rights, so that file permissions count: as the superuser
// (CI runs as root) in a child process that takes the identity of "nobody"; otherwise as it is, in
// a child too. The child's failures are reported here.
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

// The uid the player of asPlayer has.
inline uid_t playerUid() {
    return geteuid() == 0 ? 65534 : geteuid();
}
