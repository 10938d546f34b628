#include "framework/KWeb.h"

#include <curl/curl.h>
#include <ifaddrs.h>
#include <net/if.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

const char *const KWeb::_homePage = "https://quorix.example.org/framework/";

long KWeb::_connectTimeoutMs = KWeb::kDefaultConnectTimeoutMs;
long KWeb::_totalTimeoutMs = KWeb::kDefaultTotalTimeoutMs;
size_t KWeb::_maxBodyBytes = KWeb::kDefaultMaxBodyBytes;

namespace {

constexpr unsigned long kInitialCapacity = 16384;
constexpr unsigned long kReadSize = 256;

bool anyInterfaceUp() {
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    bool up = false;
    for (ifaddrs *entry = list; entry && !up; entry = entry->ifa_next)
        up = (entry->ifa_flags & IFF_UP) && (entry->ifa_flags & IFF_RUNNING);
    freeifaddrs(list);
    return up;
}

// libcurl's global set-up is not thread-safe, so it runs exactly once.
bool curlReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

} // namespace

bool (*KWeb::_connectedState)() = anyInterfaceUp;

KWeb::KWeb() = default;

KWeb::~KWeb() {
    freeInternetHandles();
    freeDataBuffer();
}

char *KWeb::callURL(const char *paramURL, bool asynchronous) {
    // The connection check comes before any handle is opened.
    if (!_connectedState || !_connectedState())
        return nullptr;
    return openURL(paramURL, asynchronous);
}

char *KWeb::postToURL(const char *paramURL, std::string_view body) {
    if (!_connectedState || !_connectedState())
        return nullptr;
    return openURL(paramURL, false, &body);
}

char *KWeb::openURL(const char *paramURL, bool /*asynchronous: requests are always synchronous*/,
                    const std::string_view *postBody) {
    freeInternetHandles();
    freeDataBuffer();
    if (!paramURL || !curlReady())
        return nullptr;

    CURL *curl = curl_easy_init();
    if (!curl)
        return nullptr;
    hInternet = curl;
    std::string userAgent = std::string("ZYK - ") + _homePage;
    curl_easy_setopt(curl, CURLOPT_USERAGENT, userAgent.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // The connect timeout covers the name lookup, and the total one the whole request. A lookup that
    // times out is left to finish on its own thread: without QUICK_EXIT libcurl would wait for it
    // there, as long as the system's resolver takes (half a minute when no name server answers).
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, _connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, _totalTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_QUICK_EXIT, 1L);
    // Only web addresses: never file:// or anything else a redirect might point at.
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    // A server that announces a body over the bound is refused before anything is read.
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(_maxBodyBytes));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &KWeb::receiveBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
    curl_slist *headers = nullptr;
    if (postBody) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, postBody->data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(postBody->size()));
        headers = curl_slist_append(headers, "Content-Type: application/octet-stream");
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    }

    // Parse the address without encoding anything: the query goes out exactly as the caller wrote
    // it. An address the parser refuses is handed over unchanged (and then usually fails).
    CURLU *url = curl_url();
    if (url && curl_url_set(url, CURLUPART_URL, paramURL, 0) == CURLUE_OK) {
        hIurl = url;
        curl_easy_setopt(curl, CURLOPT_CURLU, url);
    } else {
        curl_url_cleanup(url);
        curl_easy_setopt(curl, CURLOPT_URL, paramURL);
    }

    _dataBuffer = static_cast<char *>(std::calloc(kInitialCapacity, 1));
    if (!_dataBuffer) {
        freeInternetHandles();
        curl_slist_free_all(headers);
        return nullptr;
    }
    _dataBufferCapacity = kInitialCapacity;
    _dataBufferSize = 0;
    _bodyTooLong = false;

    // Any failure, a body cut short or one over the bound included, gives no text at all: a partial
    // answer must not pass for the server's word.
    CURLcode result = curl_easy_perform(curl);
    freeInternetHandles();
    curl_slist_free_all(headers);
    if (result != CURLE_OK || _bodyTooLong) {
        freeDataBuffer();
        return nullptr;
    }
    _dataBuffer[_dataBufferSize] = '\0';
    return _dataBuffer;
}

size_t KWeb::receiveBody(char *bytes, size_t size, size_t count, void *self) {
    size_t total = size * count;
    // Returning less than was offered makes libcurl abort the transfer.
    return static_cast<KWeb *>(self)->appendBody(bytes, total) ? total : 0;
}

bool KWeb::appendBody(const char *bytes, size_t count) {
    if (count > _maxBodyBytes - _dataBufferSize) {
        _bodyTooLong = true;
        return false;
    }
    // Taken in steps of at most 256 bytes; after each, the buffer doubles when fewer than 256 bytes
    // would stay free, so there is always room for the terminator.
    while (count > 0) {
        size_t step = count < kReadSize ? count : kReadSize;
        std::memcpy(_dataBuffer + _dataBufferSize, bytes, step);
        _dataBufferSize += step;
        bytes += step;
        count -= step;
        if (_dataBufferSize + kReadSize >= _dataBufferCapacity) {
            unsigned long grown = _dataBufferCapacity * 2;
            char *larger = static_cast<char *>(std::realloc(_dataBuffer, grown));
            if (!larger)
                return false;
            std::memset(larger + _dataBufferCapacity, 0, grown - _dataBufferCapacity);
            _dataBuffer = larger;
            _dataBufferCapacity = grown;
        }
    }
    return true;
}

void KWeb::freeDataBuffer() {
    std::free(_dataBuffer);
    _dataBuffer = nullptr;
    _dataBufferSize = 0;
    _dataBufferCapacity = 0;
}

void KWeb::freeInternetHandles() {
    // The easy handle goes first: it refers to the parsed URL until it is cleaned up.
    if (hInternet) {
        curl_easy_cleanup(static_cast<CURL *>(hInternet));
        hInternet = nullptr;
    }
    if (hIurl) {
        curl_url_cleanup(static_cast<CURLU *>(hIurl));
        hIurl = nullptr;
    }
}

std::string KWeb::encodeQueryValue(std::string_view value) {
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(value.size() * 3);
    for (unsigned char c : value) {
        bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 0x0F];
        }
    }
    return encoded;
}
