#pragma once

#include "link/clock.h"

namespace velkaro {

// Time that passes only when the program waits: sleeps and busy waits jump straight to their
// end. Each read of the millisecond tick costs `tickCostUs` microseconds, the time one turn
// of a calibrated delay loop takes on a PC, so those loops end; reading the microsecond time
// costs nothing. What hardware costs (a port call, a library call, a byte on the serial
// link) its simulation charges by waiting, so the time a run takes is what that hardware
// would take. Tests and fast simulation run on it.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(uint64_t tickCostUs = 10) : mTickCostUs(tickCostUs) {}

    uint32_t tickMilliseconds() override;
    uint64_t nowMicroseconds() override;
    void sleepMilliseconds(uint32_t ms) override;
    void waitUntilMicroseconds(uint64_t deadline) override;

    uint64_t peekMicroseconds() const { return mNowUs; }
    void advanceMicroseconds(uint64_t us) { mNowUs += us; }
    // Total time spent in sleepMilliseconds, in milliseconds.
    uint64_t sleptMilliseconds() const { return mSleptMs; }

private:
    uint64_t mTickCostUs;
    uint64_t mNowUs = 1'000'000;  // start away from 0 so wrap-free arithmetic is exercised
    uint64_t mSleptMs = 0;
};

}  // namespace velkaro
