#include "link/programmer_clock.h"

#include "link/pro_programmer.h"

namespace velkaro {

bool ProgrammerClock::queueing() const {
    return mSink != nullptr && mSink->sessionOpen();
}

uint32_t ProgrammerClock::tickMilliseconds() {
    return mBase.tickMilliseconds() + static_cast<uint32_t>(mAheadUs / 1000);
}

uint64_t ProgrammerClock::nowMicroseconds() {
    return mBase.nowMicroseconds() + mAheadUs;
}

void ProgrammerClock::sleepMilliseconds(uint32_t ms) {
    if (!queueing()) {
        mBase.sleepMilliseconds(ms);
        return;
    }
    mSink->queueDelay(uint64_t{ms} * 1000);
    mAheadUs += uint64_t{ms} * 1000;
}

void ProgrammerClock::waitUntilMicroseconds(uint64_t deadline) {
    const uint64_t now = nowMicroseconds();
    if (deadline <= now)
        return;
    if (!queueing()) {
        mBase.waitUntilMicroseconds(deadline - mAheadUs);
        return;
    }
    mSink->queueDelay(deadline - now);
    mAheadUs += deadline - now;
}

}  // namespace velkaro
