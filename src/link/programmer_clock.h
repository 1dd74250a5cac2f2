#pragma once

#include <cstdint>

#include "link/clock.h"

namespace velkaro {

class ProProgrammer;

// The clock the link runs on. Its waits are the base clock's own, except while an
// intelligent programmer holds a session: then every wait travels to the programmer as a
// delay operation (the board keeps it between the operations it separates) and the link's
// time is the time it has queued, so its deadlines keep working however the PC's own time
// runs meanwhile. After the session the clock follows the base again, never going back.
class ProgrammerClock : public Clock {
public:
    explicit ProgrammerClock(Clock& base) : mBase(base) {}

    // The programmer whose session takes the waits; nullptr: the base clock waits.
    void setDelaySink(ProProgrammer* sink) { mSink = sink; }

    uint32_t tickMilliseconds() override;
    uint64_t nowMicroseconds() override;
    void sleepMilliseconds(uint32_t ms) override;
    void waitUntilMicroseconds(uint64_t deadline) override;

private:
    bool queueing();

    Clock& mBase;
    ProProgrammer* mSink = nullptr;
    bool mQueueing = false;
    uint64_t mQueuedNow = 0;  // the link's time during a session
    uint64_t mAheadUs = 0;    // how far the link's time runs ahead of the base's otherwise
};

}  // namespace velkaro
