// One run of the real quorix-scored program, its stdout on a pipe, killed at the end.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

// One run of the real program, its stdout on a pipe.
class ServerProcess {
public:
    explicit ServerProcess(std::vector<std::string> args) {
        int out[2];
        if (pipe(out) != 0)
            return;
        pid = fork();
        if (pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            std::vector<char *> argv{const_cast<char *>(QUORIX_SCORED_PATH)};
            for (std::string &arg : args)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        stdoutFd = out[0];
    }
    ~ServerProcess() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (stdoutFd >= 0)
            close(stdoutFd);
    }
    // The port from "listening on http://127.0.0.1:PORT", or -1 when the program ended first.
    int port() {
        std::string line;
        char c;
        while (read(stdoutFd, &c, 1) == 1 && c != '\n')
            line += c;
        size_t colon = line.rfind(':');
        if (line.rfind("listening on http://", 0) != 0 || colon == std::string::npos)
            return -1;
        return std::stoi(line.substr(colon + 1));
    }
    int waitForExit() {
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void kill9() {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }

    pid_t pid = -1;
    int stdoutFd = -1;
};
