// One HTTP request to a score server on a loopback port, sent exactly as written, and its answer.
#pragma once

#include <httplib.h>

#include <string>

namespace support {

struct Answer {
    int status = -1; // -1: no answer at all
    std::string body;
    std::string contentType;
    bool operator==(const Answer &) const = default;
};

inline Answer request(int port, const std::string &target, const std::string &method = "GET",
                      const std::string &body = "", const httplib::Headers &headers = {}) {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(30);
    httplib::Request request;
    request.method = method;
    request.path = target;
    request.headers = headers;
    request.body = body;
    if (!body.empty())
        request.headers.emplace("Content-Type", "application/octet-stream");
    httplib::Result result = client.send(request);
    return result ? Answer{result->status, result->body, result->get_header_value("Content-Type")} : Answer{};
}

} // namespace support
