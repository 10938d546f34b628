// One run of the real quorix-scored program, its stdout and stderr on pipes, killed at the end.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

class ServerProcess {
public:
    // beforeExec runs in the child (for instance to give up root).
    explicit ServerProcess(std::vector<std::string> args, std::function<void()> beforeExec = {}) {
        int out[2], err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
            return;
        pid = fork();
        if (pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(err[1], STDERR_FILENO);
            if (beforeExec)
                beforeExec();
            std::vector<char *> argv{const_cast<char *>(QUORIX_SCORED_PATH)};
            for (std::string &arg : args)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        stdoutFd = out[0];
        stderrFd = err[0];
    }
    ~ServerProcess() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (stdoutFd >= 0)
            close(stdoutFd);
        if (stderrFd >= 0)
            close(stderrFd);
    }
    ServerProcess(const ServerProcess &) = delete;
    ServerProcess &operator=(const ServerProcess &) = delete;

    // The port from "listening on http://127.0.0.1:PORT", or -1 when the program ended first.
    int port() {
        if (_port != 0)
            return _port;
        std::string line;
        char c;
        while (read(stdoutFd, &c, 1) == 1 && c != '\n')
            line += c;
        size_t colon = line.rfind(':');
        _port = line.rfind("listening on http://", 0) != 0 || colon == std::string::npos
                    ? -1
                    : std::stoi(line.substr(colon + 1));
        return _port;
    }
    int waitForExit() {
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // What the program wrote on stderr, once it has ended.
    std::string errors() {
        std::string text;
        char buffer[512];
        ssize_t got;
        while ((got = read(stderrFd, buffer, sizeof(buffer))) > 0)
            text.append(buffer, static_cast<size_t>(got));
        return text;
    }
    void kill9() {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }

    pid_t pid = -1;
    int stdoutFd = -1;
    int stderrFd = -1;

private:
    int _port = 0;
};
