#pragma once

#include "link/clock.h"

namespace velkaro {

// Wall time from std::chrono::steady_clock.
class RealClock : public Clock {
public:
    uint32_t tickMilliseconds() override;
    uint64_t nowMicroseconds() override;
    void sleepMilliseconds(uint32_t ms) override;
    void waitUntilMicroseconds(uint64_t deadline) override;
};

}  // namespace velkaro
