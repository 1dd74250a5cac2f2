#include "link/programmer_clock.h"

#include "link/pro_programmer.h"

namespace velkaro {

bool ProgrammerClock::queueing() const {
    return mSink != nullptr && mSink->sessionOpen();
}

uint32_t ProgrammerClock::tickMilliseconds() {
    // In a session the link's time is what it has queued: the calibrated delay loops spin
    // without taking time from the wait they are part of.
    if (queueing())
        return static_cast<uint32_t>(nowMicroseconds() / 1000);
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
