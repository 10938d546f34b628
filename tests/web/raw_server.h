// A deliberately badly behaved HTTP server on a loopback port: it reads one request head per
// connection, remembers it, and then does whatever the test asks (answer raw bytes, stay silent,
// trickle). Connections are served one after another on one thread.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class RawServer {
public:
    // behaviour runs with the connected socket after the request head has been read.
    explicit RawServer(std::function<void(int fd, RawServer &)> behaviour)
        : _behaviour(std::move(behaviour)) {
        _listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = loopback(0);
        if (bind(_listener, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0 ||
            listen(_listener, 8) != 0)
            return;
        socklen_t length = sizeof(address);
        getsockname(_listener, reinterpret_cast<sockaddr *>(&address), &length);
        port = ntohs(address.sin_port);
        _thread = std::thread([this] { serve(); });
    }
    ~RawServer() {
        stopping = true;
        if (_thread.joinable())
            _thread.join();
        close(_listener);
    }

    std::string url(const std::string &target) const {
        return "http://127.0.0.1:" + std::to_string(port) + target;
    }
    std::string lastRequest() {
        std::lock_guard guard(_lock);
        return _lastRequest;
    }
    int connections() const { return _connections; }

    static sockaddr_in loopback(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }
    static void sendAll(int fd, const std::string &bytes) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            sent += static_cast<size_t>(n);
        }
    }
    // Waits until the test ends or the client hangs up.
    void holdOpen(int fd) {
        while (!stopping) {
            pollfd watch{fd, POLLIN, 0};
            if (poll(&watch, 1, 20) > 0) {
                char byte;
                if (recv(fd, &byte, 1, 0) <= 0)
                    return;
            }
        }
    }

    int port = -1;
    std::atomic<bool> stopping{false};

private:
    void serve() {
        while (!stopping) {
            pollfd watch{_listener, POLLIN, 0};
            if (poll(&watch, 1, 20) <= 0)
                continue;
            int fd = accept(_listener, nullptr, nullptr);
            if (fd < 0)
                continue;
            ++_connections;
            std::string head;
            char buffer[1024];
            while (head.find("\r\n\r\n") == std::string::npos) {
                ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
                if (n <= 0)
                    break;
                head.append(buffer, static_cast<size_t>(n));
            }
            {
                std::lock_guard guard(_lock);
                _lastRequest = head;
            }
            _behaviour(fd, *this);
            close(fd);
        }
    }

    std::function<void(int fd, RawServer &)> _behaviour;
    int _listener = -1;
    std::thread _thread;
    std::mutex _lock;
    std::string _lastRequest;
    std::atomic<int> _connections{0};
};
