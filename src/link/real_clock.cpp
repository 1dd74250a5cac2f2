#include "link/real_clock.h"

#include <chrono>
#include <thread>

namespace velkaro {

namespace {
uint64_t steadyMicroseconds() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}
}  // namespace

uint32_t RealClock::tickMilliseconds() {
    return static_cast<uint32_t>(steadyMicroseconds() / 1000);
}

uint64_t RealClock::nowMicroseconds() {
    return steadyMicroseconds();
}

void RealClock::sleepMilliseconds(uint32_t ms) {
    // sleep_for may wake early on some platforms; sleep until the deadline has passed.
    const uint64_t deadline = steadyMicroseconds() + uint64_t{ms} * 1000;
    while (steadyMicroseconds() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(deadline - steadyMicroseconds()));
}

void RealClock::waitUntilMicroseconds(uint64_t deadline) {
    while (steadyMicroseconds() < deadline) {
    }
}

}  // namespace velkaro
