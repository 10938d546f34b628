#include "server/rate_limit.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cmath>

namespace scored {

RateLimiter::RateLimiter(unsigned perMinute, size_t maxAddresses)
    : _perMinute(perMinute), _maxAddresses(maxAddresses) {}

double RateLimiter::refilled(const Bucket &bucket, Clock::time_point now) const {
    double seconds = std::chrono::duration<double>(now - bucket.updated).count();
    return std::min<double>(_perMinute, bucket.tokens + seconds * _perMinute / 60.0);
}

namespace {

// An IPv6 subscriber usually holds a whole /64 network: it counts as one address.
std::string bucketKey(const std::string &address) {
    unsigned char bytes[16];
    if (address.find(':') != std::string::npos && inet_pton(AF_INET6, address.c_str(), bytes) == 1)
        return std::string(reinterpret_cast<char *>(bytes), 8);
    return address;
}

} // namespace

bool RateLimiter::allow(const std::string &clientAddress, int &retryAfterSeconds) {
    if (_perMinute == 0)
        return true;
    std::string address = bucketKey(clientAddress);
    Clock::time_point now = Clock::now();
    std::lock_guard guard(_lock);
    auto found = _buckets.find(address);
    if (found == _buckets.end()) {
        if (_buckets.size() >= _maxAddresses) {
            // Forget the addresses whose allowance is whole again: they lose nothing.
            std::erase_if(_buckets,
                          [&](const auto &entry) { return refilled(entry.second, now) >= _perMinute; });
        }
        if (_buckets.size() >= _maxAddresses) {
            retryAfterSeconds = 60;
            return false;
        }
        found = _buckets.emplace(address, Bucket{static_cast<double>(_perMinute), now}).first;
    }
    Bucket &bucket = found->second;
    bucket.tokens = refilled(bucket, now);
    bucket.updated = now;
    if (bucket.tokens < 1.0) {
        retryAfterSeconds = static_cast<int>(std::ceil((1.0 - bucket.tokens) * 60.0 / _perMinute));
        return false;
    }
    bucket.tokens -= 1.0;
    return true;
}

} // namespace scored
