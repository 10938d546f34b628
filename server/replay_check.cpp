#include "server/replay_check.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace scored {

namespace {

using Clock = std::chrono::steady_clock;

// The folder of the running program, for the verifier installed beside it.
std::string ownFolder() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0)
        return ".";
    std::string text(path, static_cast<size_t>(length));
    const size_t slash = text.rfind('/');
    return slash == std::string::npos ? "." : text.substr(0, slash);
}

// Closes descriptors when the scope ends, whatever path leaves it.
struct Descriptors {
    int fds[4] = {-1, -1, -1, -1};
    ~Descriptors() {
        for (int fd : fds)
            if (fd >= 0)
                close(fd);
    }
    void drop(int &fd) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
};

ReplayVerdict refusal(std::string reason) {
    ReplayVerdict verdict;
    verdict.reason = std::move(reason);
    return verdict;
}

} // namespace

ReplayChecker::ReplayChecker(ReplayCheckSettings settings) : _settings(std::move(settings)) {
    if (_settings.program.empty())
        _settings.program = ownFolder() + "/quorix-verify";
    if (_settings.concurrent == 0)
        _settings.concurrent = 1;
}

ReplayVerdict ReplayChecker::check(const std::string &replay, bool &busy) {
    {
        std::lock_guard guard(_lock);
        busy = _running >= _settings.concurrent;
        if (busy)
            return refusal("the server is checking as many games as it can; try again later");
        ++_running;
    }
    ReplayVerdict verdict = run(replay);
    std::lock_guard guard(_lock);
    --_running;
    return verdict;
}

ReplayVerdict ReplayChecker::run(const std::string &replay) const {
    Descriptors pipes; // 0,1: the verifier's stdin (read, write); 2,3: its stdout (read, write)
    if (pipe2(pipes.fds, O_CLOEXEC) != 0 || pipe2(pipes.fds + 2, O_CLOEXEC) != 0)
        return refusal("the server cannot check replays now");

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipes.fds[0], 0);
    posix_spawn_file_actions_adddup2(&actions, pipes.fds[3], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // The server blocks its stop signals and ignores SIGPIPE; the verifier must not inherit either.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::string program = _settings.program;
    char *arguments[] = {program.data(), const_cast<char *>("-"), nullptr};
    pid_t child = -1;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, &attributes, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0)
        return refusal("the server cannot check replays now");
    pipes.drop(pipes.fds[0]);
    pipes.drop(pipes.fds[3]);
    fcntl(pipes.fds[1], F_SETFL, O_NONBLOCK);
    fcntl(pipes.fds[2], F_SETFL, O_NONBLOCK);

    // Feed the replay and gather the answer until the verifier closes its output or the bound passes.
    const auto deadline = Clock::now() + _settings.bound;
    size_t written = 0;
    std::string answer;
    bool timedOut = false;
    while (pipes.fds[2] >= 0) {
        if (written == replay.size())
            pipes.drop(pipes.fds[1]); // the end of the replay
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd watch[2] = {{pipes.fds[2], POLLIN, 0}, {pipes.fds[1], POLLOUT, 0}};
        const int ready = poll(watch, pipes.fds[1] >= 0 ? 2 : 1, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR)
            break;
        if (pipes.fds[1] >= 0 && (watch[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t put = write(pipes.fds[1], replay.data() + written, replay.size() - written);
            if (put > 0)
                written += static_cast<size_t>(put);
            else if (put < 0 && errno != EAGAIN && errno != EINTR)
                pipes.drop(pipes.fds[1]); // the verifier stopped reading: its answer says why
        }
        if (watch[0].revents & (POLLIN | POLLERR | POLLHUP)) {
            char chunk[512];
            const ssize_t got = read(pipes.fds[2], chunk, sizeof(chunk));
            if (got > 0 && answer.size() < 4096)
                answer.append(chunk, static_cast<size_t>(got));
            else if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
                pipes.drop(pipes.fds[2]);
        }
    }
    if (timedOut)
        kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut)
        return refusal("the replay took longer than " + std::to_string(_settings.bound.count()) +
                       " ms to play back");
    const std::string line = answer.substr(0, answer.find('\n'));
    if (WIFEXITED(status) && WEXITSTATUS(status) == 1 && !line.empty())
        return refusal(line); // the verifier's own reason: "frame N: …"
    ReplayVerdict verdict;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !parseVerdictLine(line, verdict))
        return refusal("the replay could not be played back");
    return verdict;
}

bool parseVerdictLine(const std::string &line, ReplayVerdict &verdict) {
    ReplayVerdict read;
    std::istringstream words(line);
    std::string word;
    int seen = 0;
    while (words >> word) {
        const size_t equals = word.find('=');
        if (equals == std::string::npos)
            return false;
        const std::string key = word.substr(0, equals);
        const std::string value = word.substr(equals + 1);
        if (key == "over") {
            if (value != "yes" && value != "no")
                return false;
            read.gameOver = value == "yes";
            seen |= 1;
            continue;
        }
        char *end = nullptr;
        errno = 0;
        const long long number = std::strtoll(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || errno != 0 || number < -2147483648LL || number > 4294967295LL)
            return false;
        if (key == "mode" && number >= 0 && number <= 3) {
            read.mode = static_cast<int>(number);
            seen |= 2;
        } else if (key == "difficulty" && number >= 0 && number <= 3) {
            read.difficulty = static_cast<int>(number);
            seen |= 4;
        } else if (key == "seed" && number >= 0) {
            read.seed = static_cast<uint32_t>(number);
            seen |= 8;
        } else if (key == "frames" && number >= 0) {
            read.frames = static_cast<uint32_t>(number);
            seen |= 16;
        } else if (key == "score" && number >= 0) {
            read.score = static_cast<uint32_t>(number);
            seen |= 32;
        } else if (key == "result") {
            read.result = number;
            seen |= 64;
        } else {
            return false;
        }
    }
    if (seen != 127)
        return false;
    read.replayed = true;
    verdict = read;
    return true;
}

} // namespace scored
