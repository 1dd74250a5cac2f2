#pragma once

#include <cstdint>

#include "link/clock.h"

namespace velkaro {

class ProProgrammer;

// The clock the link runs on. Its waits are the base clock's own, except while an
// intelligent programmer holds a session: then every wait travels to the programmer as a
// delay operation (the board keeps it between the operations it separates) and the clock
// runs ahead of the base clock by the time queued, so the link's deadlines keep working.
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
    bool queueing() const;

    Clock& mBase;
    ProProgrammer* mSink = nullptr;
    uint64_t mAheadUs = 0;
};

}  // namespace velkaro
