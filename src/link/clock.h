#pragma once

#include <cstdint>

namespace velkaro {

// Time as the program sees it. The real clock follows std::chrono::steady_clock; the
// virtual clock (tests, fast simulation) advances only when the program reads the tick,
// sleeps or busy-waits, so simulated chips still see every wait while no wall time passes.
class Clock {
public:
    virtual ~Clock() = default;

    // The millisecond tick counter that the delay calibration reads; wraps at 2^32.
    virtual uint32_t tickMilliseconds() = 0;
    // Monotonic time in microseconds; never goes back.
    virtual uint64_t nowMicroseconds() = 0;
    // A real sleep (power sequencing, pauses between steps): at least `ms` milliseconds.
    virtual void sleepMilliseconds(uint32_t ms) = 0;
    // Busy-waits until nowMicroseconds() >= deadline; returns at once when it already is.
    virtual void waitUntilMicroseconds(uint64_t deadline) = 0;
};

}  // namespace velkaro
