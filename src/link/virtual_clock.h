#pragma once

#include "link/clock.h"

namespace velkaro {

// Time that passes only when the program looks at it or waits: every tick or time read
// costs `readCostUs` microseconds (as a real read costs a little time), sleeps and busy
// waits jump straight to their end. Tests and fast simulation run on it.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(uint64_t readCostUs = 10) : mReadCostUs(readCostUs) {}

    uint32_t tickMilliseconds() override;
    uint64_t nowMicroseconds() override;
    void sleepMilliseconds(uint32_t ms) override;
    void waitUntilMicroseconds(uint64_t deadline) override;

    // Current time without the cost of a read (for tests and the simulator's log).
    uint64_t peekMicroseconds() const { return mNowUs; }
    void advanceMicroseconds(uint64_t us) { mNowUs += us; }
    // Total time spent in sleepMilliseconds, in milliseconds.
    uint64_t sleptMilliseconds() const { return mSleptMs; }

private:
    uint64_t mReadCostUs;
    uint64_t mNowUs = 1'000'000;  // start away from 0 so wrap-free arithmetic is exercised
    uint64_t mSleptMs = 0;
};

}  // namespace velkaro
