// The elapsed and remaining time of the operation windows, from real runs on the simulated
// chips: the estimate made part-way must come close to what the run then really took.
#include <gtest/gtest.h>

#include "operations/operation_time.h"
#include "operations/read_device.h"
#include "operations/write_device.h"
#include "support/sim_bench.h"

namespace velkaro {
namespace {

using test::SimBench;

// Feeds the timer what the operation reports, as the window does, and keeps the estimate
// of the total time (elapsed plus remaining) at every gauge step.
class TimedUi : public test::RecordingUi {
public:
    explicit TimedUi(Clock& clock) : mClock(clock) {}

    void start(std::vector<TimedRegion> plan) { mTimer.start(mClock.nowMicroseconds(), plan); }
    uint64_t stop() {
        const uint64_t now = mClock.nowMicroseconds();
        mTimer.stop(now);
        return mTimer.elapsedUs(now);
    }
    void setStatusText(std::string_view text) override {
        mTimer.statusShown(text, mClock.nowMicroseconds());
        RecordingUi::setStatusText(text);
    }
    void setProgress(int percent) override {
        const uint64_t now = mClock.nowMicroseconds();
        mTimer.progressShown(percent, now);
        if (const auto left = mTimer.remainingUs(now))
            estimates.push_back({mTimer.elapsedUs(now), mTimer.elapsedUs(now) + *left});
        RecordingUi::setProgress(percent);
    }

    struct Estimate {
        uint64_t elapsedUs, totalUs;
    };
    std::vector<Estimate> estimates;

private:
    Clock& mClock;
    OperationTimer mTimer;
};

// The estimates of the total made from a quarter of the run to nine tenths of it lie between
// four fifths and five quarters of the real total, and there is at least one.
void expectCloseEstimates(const TimedUi& ui, uint64_t realUs) {
    int checked = 0;
    for (const TimedUi::Estimate& e : ui.estimates) {
        if (e.elapsedUs < realUs / 4 || e.elapsedUs > realUs * 9 / 10)
            continue;
        ++checked;
        const double ratio = static_cast<double>(e.totalUs) / static_cast<double>(realUs);
        ASSERT_GT(ratio, 0.8) << "at " << e.elapsedUs << " of " << realUs << " us";
        ASSERT_LT(ratio, 1.25) << "at " << e.elapsedUs << " of " << realUs << " us";
    }
    EXPECT_GT(checked, 0);
}

class TimedRun : public testing::TestWithParam<std::string> {};

TEST_P(TimedRun, WriteAndReadEstimatesMeetTheRealTime) {
    SimBench bench;
    bench.load(GetParam());
    const DeviceDefinition& d = bench.device();
    for (int32_t i = 0; i < d.ProgSize; ++i)
        bench.image().ProgMemory[i] = static_cast<uint16_t>((i * 0x0345 + 0x0789) & d.BlankWord);
    Clock& clock = bench.workspace().link->clock();

    TimedUi write(clock);
    bench.workspace().link->setUi(write);
    write.start(timingPlan(d, TimedOperation::Write, true, true));
    ASSERT_EQ(runWrite(bench.workspace(), write, WriteOptions{true, true, true, false}).result,
              kResultOk);
    expectCloseEstimates(write, write.stop());

    TimedUi read(clock);
    bench.workspace().link->setUi(read);
    read.start(timingPlan(d, TimedOperation::Read, true, true));
    ASSERT_EQ(runRead(bench.workspace(), read, ReadOptions{true, true}).result, kResultOk);
    expectCloseEstimates(read, read.stop());
    bench.workspace().link->setUi(bench.ui());
}

// One of each kind of program loop: 12-bit, 14-bit with data memory and OSCCAL, 14-bit
// with a separate program-only command, the 16-bit core's panels, the enhanced core's rows
// with and without data memory.
INSTANTIATE_TEST_SUITE_P(Devices, TimedRun,
                         testing::Values("PIC12F508", "PIC12F675", "PIC16F84A", "PIC16F877A",
                                         "PIC18F2550", "PIC18F4620", "PIC16F1827", "PIC16F1454"),
                         test::deviceCaseName);

TEST(OperationTimer, FollowsThePlanAndStopsWithTheRun) {
    OperationTimer timer;
    EXPECT_EQ(timer.elapsedUs(5), 0u);
    EXPECT_FALSE(timer.remainingUs(5));

    // Two regions of 1 s of transfers each after a 0.5 s lead; the close adds its 0.1 s.
    timer.start(1000, {{{"A"}, 500'000, 0, 1'000'000}, {{"B"}, 0, 0, 1'000'000}});
    EXPECT_EQ(timer.remainingUs(1000), 2'600'000u);
    // The first region was skipped (nothing to do there); the speed counts from B on.
    timer.statusShown("B", 1'001'000);
    timer.statusShown("A", 1'001'000);  // never back
    timer.progressShown(50, 3'001'000);
    // 0.5 s of B's transfers in 2 s: the remaining 0.5 s take four times as long, the
    // close does not.
    EXPECT_EQ(*timer.remainingUs(3'001'000), 2'100'000u);
    timer.stop(3'001'000);
    EXPECT_EQ(timer.elapsedUs(9'000'000), 3'000'000u);
    EXPECT_FALSE(timer.remainingUs(9'000'000));

    // A first region without a status text starts with its gauge. Its chip cycles take
    // their time on any programmer: half of 1 s of them and of 1 s of transfers in 1.5 s
    // leaves 0.5 s of cycles, 0.5 s of transfers at twice the time, and the close.
    timer.start(0, {{{}, 0, 1'000'000, 1'000'000}});
    timer.progressShown(0, 200'000);
    EXPECT_EQ(*timer.remainingUs(200'000), 2'100'000u);
    timer.progressShown(50, 1'700'000);
    EXPECT_EQ(*timer.remainingUs(1'700'000), 1'600'000u);
    // An empty plan has no estimate.
    timer.start(0, {});
    EXPECT_FALSE(timer.remainingUs(10));

    EXPECT_EQ(durationText(999'999), "0:00");
    EXPECT_EQ(durationText(65'000'000), "1:05");
    EXPECT_EQ(durationText(3'600'000'000ull + 61'000'000), "1:01:01");
}

}  // namespace
}  // namespace velkaro
