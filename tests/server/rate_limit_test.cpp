// Per-address allowances of submissions.
#include "server/rate_limit.h"

#include <gtest/gtest.h>

using scored::RateLimiter;

TEST(RateLimit, EachAddressHasItsOwnAllowanceAndAnIpv6NetworkCountsAsOne) {
    RateLimiter limiter(2, 3);
    int retryAfter = 0;
    // address, allowed
    const std::vector<std::pair<const char *, bool>> steps = {
        {"192.0.2.1", true},
        {"192.0.2.1", true},
        {"192.0.2.1", false}, // a burst of 2, then no more
        {"192.0.2.2", true},  // its neighbour is apart
        {"2001:db8:1:2::1", true},
        {"2001:db8:1:2::ffff", true},    // one /64 network...
        {"2001:db8:1:2:aaaa::9", false}, // ...shares one allowance
        {"2001:db8:1:3::1", false},      // a fourth address while the table of three is full: refused
        {"192.0.2.2", true},             // known addresses carry on
    };
    for (const auto &[address, allowed] : steps) {
        EXPECT_EQ(limiter.allow(address, retryAfter), allowed) << address;
        if (!allowed) {
            EXPECT_GE(retryAfter, 1) << address;
            EXPECT_LE(retryAfter, 60) << address;
        }
    }
    RateLimiter unlimited(0, 1);
    for (int i = 0; i < 1000; ++i)
        EXPECT_TRUE(unlimited.allow("192.0.2." + std::to_string(i % 250), retryAfter));
}
