// Per-address allowances of submissions: a bucket per client address that refills steadily, so that
// a burst of up to one minute's allowance is fine and a flood is refused. The table of addresses is
// bounded; buckets that have refilled are forgotten first. An IPv6 /64 network counts as one address.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

namespace scored {

class RateLimiter {
public:
    // perMinute submissions per address and minute, with a burst of as many; 0 means no limit.
    explicit RateLimiter(unsigned perMinute, size_t maxAddresses = 100000);

    // Takes one submission from the address's allowance; false (with the seconds until the next one
    // is allowed) when none is left.
    bool allow(const std::string &clientAddress, int &retryAfterSeconds);

private:
    using Clock = std::chrono::steady_clock;
    struct Bucket {
        double tokens;
        Clock::time_point updated;
    };
    double refilled(const Bucket &bucket, Clock::time_point now) const;

    unsigned _perMinute;
    size_t _maxAddresses;
    std::mutex _lock;
    std::unordered_map<std::string, Bucket> _buckets;
};

} // namespace scored
