// KWeb: fetches one URL with an HTTP GET and holds the whole body as zero-terminated text.
//
// The game creates one KWeb per score-server request and deletes it afterwards. Requests are
// synchronous and bounded: a connect timeout, a total timeout and a largest body, so that a dead,
// slow or hostile server can never freeze the game for long or exhaust its memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class KWeb {
public:
    KWeb();
    ~KWeb();
    KWeb(const KWeb &) = delete;
    KWeb &operator=(const KWeb &) = delete;

    // Fetches paramURL and returns its body as text owned by this object, valid until the next call
    // or the destruction; null when there is no network, the request fails, times out or the body is
    // too long. HTTP status codes are not examined: an error page is a body like any other. The query
    // is sent exactly as given, so callers percent-encode their values (encodeQueryValue). The
    // request is always synchronous, whatever asynchronous says.
    char *callURL(const char *paramURL, bool asynchronous);
    // The same with an HTTP POST that carries the bytes as its body (application/octet-stream).
    char *postToURL(const char *paramURL, std::string_view body);

    // Percent-encodes one query value: letters, digits and "-._~" stay, every other byte becomes
    // %XX (a space is %20). The score server decodes it back to the same bytes.
    static std::string encodeQueryValue(std::string_view value);

    // The user agent is "ZYK - " followed by this address.
    static const char *const _homePage;

    // Bounds of every request. Settable so that tests need not wait the full timeouts.
    static constexpr long kDefaultConnectTimeoutMs = 5000;
    static constexpr long kDefaultTotalTimeoutMs = 15000;
    static constexpr size_t kDefaultMaxBodyBytes = 1024 * 1024;
    static long _connectTimeoutMs;
    static long _totalTimeoutMs;
    static size_t _maxBodyBytes;

    // Whether the machine has a network to try; replaceable by tests. The default answers true when
    // any interface is up and running, loopback included (the server may run on this machine).
    static bool (*_connectedState)();

    void *hInternet = nullptr; // the libcurl easy handle, open only during a request
    void *hIurl = nullptr;     // the parsed URL (CURLU), open only during a request
    char *_dataBuffer = nullptr;
    unsigned long _dataBufferSize = 0;
    // Bytes allocated for _dataBuffer: starts at 16384 and doubles when fewer than 256 would stay free.
    unsigned long _dataBufferCapacity = 0;

private:
    char *openURL(const char *paramURL, bool asynchronous, const std::string_view *postBody = nullptr);
    void freeDataBuffer();
    void freeInternetHandles();
    // Appends received bytes, growing the buffer; false when the body passes the largest size.
    bool appendBody(const char *bytes, size_t count);
    static size_t receiveBody(char *bytes, size_t size, size_t count, void *self);

    bool _bodyTooLong = false;
};
