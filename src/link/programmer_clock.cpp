#include "link/programmer_clock.h"

#include <algorithm>

#include "link/pro_programmer.h"

namespace velkaro {

bool ProgrammerClock::queueing() {
    const bool now = mSink != nullptr && mSink->sessionOpen();
    if (now && !mQueueing) {
        // A session starts: from here the link's time is what it queues.
        mQueuedNow = mBase.nowMicroseconds() + mAheadUs;
    } else if (!now && mQueueing) {
        // It ends: back on the base clock, never going back.
        const uint64_t base = mBase.nowMicroseconds();
        mAheadUs = std::max(mAheadUs, mQueuedNow > base ? mQueuedNow - base : 0);
    }
    mQueueing = now;
    return now;
}

uint32_t ProgrammerClock::tickMilliseconds() {
    // In a session the calibrated delay loops spin without taking time from the wait they
    // are part of.
    if (queueing())
        return static_cast<uint32_t>(mQueuedNow / 1000);
    return mBase.tickMilliseconds() + static_cast<uint32_t>(mAheadUs / 1000);
}

uint64_t ProgrammerClock::nowMicroseconds() {
    if (queueing())
        return mQueuedNow;
    return mBase.nowMicroseconds() + mAheadUs;
}

void ProgrammerClock::sleepMilliseconds(uint32_t ms) {
    if (!queueing()) {
        mBase.sleepMilliseconds(ms);
        return;
    }
    mSink->queueDelay(uint64_t{ms} * 1000);
    mQueuedNow += uint64_t{ms} * 1000;
}

void ProgrammerClock::waitUntilMicroseconds(uint64_t deadline) {
    if (!queueing()) {
        const uint64_t now = nowMicroseconds();
        if (deadline > now)
            mBase.waitUntilMicroseconds(deadline - mAheadUs);
        return;
    }
    if (deadline <= mQueuedNow)
        return;
    mSink->queueDelay(deadline - mQueuedNow);
    mQueuedNow = deadline;
}

}  // namespace velkaro
