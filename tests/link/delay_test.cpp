// Delay calibration and the busy waits, on virtual time.
#include <cstdint>

#include "link_fixture.h"

namespace velkaro::test {
namespace {

// Counts tick reads of a virtual clock.
class CountingClock : public VirtualClock {
public:
    using VirtualClock::VirtualClock;
    uint32_t tickMilliseconds() override {
        ++tickReads;
        return VirtualClock::tickMilliseconds();
    }
    int tickReads = 0;
};

struct DelayRig {
    explicit DelayRig(uint64_t tickCostUs) : clock(tickCostUs) {}
    CountingClock clock;
    FakeLibrary library;
    DeviceDefinition device;
    MemoryImage image;
    ProgrammerLink link{library, clock, device, image};
};

// Only the millisecond tick costs time; reading the microseconds is free, sleeping adds its
// length and counts it, and a deadline already passed waits nothing.
TEST(VirtualClock, OnlyTheTickCostsTimeAndWaitsNeverGoBack) {
    VirtualClock clock(7);
    const uint64_t start = clock.nowMicroseconds();
    EXPECT_EQ(clock.nowMicroseconds(), start);
    EXPECT_EQ(clock.tickMilliseconds(), (start + 7) / 1000);
    clock.sleepMilliseconds(3);
    EXPECT_EQ(clock.nowMicroseconds(), start + 3007);
    EXPECT_EQ(clock.sleptMilliseconds(), 3u);
    clock.waitUntilMicroseconds(start + 3500);
    EXPECT_EQ(clock.nowMicroseconds(), start + 3500);
    clock.waitUntilMicroseconds(start);
    EXPECT_EQ(clock.nowMicroseconds(), start + 3500);
    EXPECT_EQ(clock.sleptMilliseconds(), 3u);
}

TEST(CallsPerMillisecond, CountsTickReadsOverOneHundredMilliseconds) {
    for (auto [cost, expected] : {std::pair<uint64_t, int>{10, 100}, {1, 1000}, {250, 4}}) {
        DelayRig rig(cost);
        rig.link.setCallsPerMillisecond(77);
        rig.link.measureCallsPerMillisecond();
        EXPECT_EQ(rig.link.CallsPerMillisecond(), expected) << "read cost " << cost << " us";
    }
}

TEST(CallsPerMillisecond, SurvivesTheTickWrapping) {
    DelayRig rig(10);
    // 50 ms before the 32-bit millisecond tick wraps.
    rig.clock.advanceMicroseconds(((uint64_t{1} << 32) - 50) * 1000 - rig.clock.peekMicroseconds());
    rig.link.measureCallsPerMillisecond();
    EXPECT_EQ(rig.link.CallsPerMillisecond(), 100);
}

TEST(Delay, ShortDelayReadsTheTickOnce) {
    DelayRig rig(10);
    rig.link.setCallsPerMillisecond(50);
    rig.link.DelayMicroseconds(10);
    EXPECT_EQ(rig.clock.tickReads, 1);

    rig.clock.tickReads = 0;
    rig.link.DelayMicroseconds(1000);
    EXPECT_EQ(rig.clock.tickReads, 50);
}

TEST(Delay, ZeroMillisecondsWaitsNothing) {
    DelayRig rig(10);
    rig.link.setCallsPerMillisecond(100);
    const uint64_t start = rig.clock.peekMicroseconds();
    rig.link.DelayMilliseconds(0);
    EXPECT_EQ(rig.clock.peekMicroseconds(), start);
    EXPECT_EQ(rig.clock.tickReads, 0);
}

// A calibration from a slower moment (or a faster CPU now) must not shorten a wait.
TEST(Delay, NeverEndsEarlyWhateverTheCalibration) {
    for (uint64_t cost : {0u, 1u, 10u}) {
        for (int calls : {0, 1, 50, 100, 1000}) {
            DelayRig rig(cost);
            rig.link.setCallsPerMillisecond(calls);
            for (uint32_t us : {1u, 10u, 100u, 999u, 1000u}) {
                const uint64_t start = rig.clock.peekMicroseconds();
                rig.link.DelayMicroseconds(us);
                EXPECT_GE(rig.clock.peekMicroseconds() - start, us)
                    << "cost " << cost << " calls " << calls;
            }
            const uint64_t start = rig.clock.peekMicroseconds();
            rig.link.DelayMilliseconds(7);
            EXPECT_GE(rig.clock.peekMicroseconds() - start, 7000u);
        }
    }
}

TEST(Delay, MeasuredCalibrationKeepsWaitsCloseToTheirLength) {
    DelayRig rig(10);
    rig.link.measureCallsPerMillisecond();
    const uint64_t start = rig.clock.peekMicroseconds();
    rig.link.DelayMilliseconds(20);
    const uint64_t elapsed = rig.clock.peekMicroseconds() - start;
    EXPECT_GE(elapsed, 20'000u);
    EXPECT_LE(elapsed, 20'500u);
}

}  // namespace
}  // namespace velkaro::test
