#include "link/virtual_clock.h"

namespace velkaro {

uint32_t VirtualClock::tickMilliseconds() {
    mNowUs += mTickCostUs;
    return static_cast<uint32_t>(mNowUs / 1000);
}

uint64_t VirtualClock::nowMicroseconds() {
    return mNowUs;
}

void VirtualClock::sleepMilliseconds(uint32_t ms) {
    mNowUs += uint64_t{ms} * 1000;
    mSleptMs += ms;
}

void VirtualClock::waitUntilMicroseconds(uint64_t deadline) {
    if (mNowUs < deadline)
        mNowUs = deadline;
}

}  // namespace velkaro
