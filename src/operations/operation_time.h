#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/device_definition.h"

namespace velkaro {

// One stretch of a running operation: the status texts that announce it, and the time it
// should take (µs), in two parts: the chip's own cycles and the power sequencing, the same
// on every programmer, and the transfers, which depend on the programmer.
struct TimedRegion {
    std::vector<std::string_view> statuses;  // empty: entered by the first gauge report
    uint64_t leadUs = 0;  // before the gauge moves: the supply coming up for a new session
    uint64_t chipUs = 0;  // the chip's cycles, spread over the gauge's 0..100
    uint64_t wireUs = 0;  // the transfers, spread likewise
};

enum class TimedOperation { Read, BlankCheck, Verify, Write, Erase };

// The regions `operation` passes through on `device` with program and data memory chosen
// as given. Each word costs a nominal transfer plus, when written, the device's
// programming cycle (ProgOnlyCycle or EraseProgCycle, ProgCnt times; the 16-bit core one
// cycle per panel); each session adds the power sequencing. Empty when nothing is chosen.
std::vector<TimedRegion> timingPlan(const DeviceDefinition& device, TimedOperation operation,
                                    bool prog, bool data);

// The automatic sequence: erase, then blank check, write and verify as ticked.
std::vector<TimedRegion> autoProgramPlan(const DeviceDefinition& device, bool prog, bool data,
                                         bool blank, bool verify);

// Elapsed and remaining time of one run. The status texts and gauge values the operation
// reports move it through the plan. The remaining time is the plan's remainder, its
// transfers scaled by the speed measured since the first region began (once a twentieth of
// the transfers after it are done): the chip's cycles are the same on every programmer, the
// transfer speed is not.
class OperationTimer {
public:
    void start(uint64_t nowUs, std::vector<TimedRegion> plan);
    void stop(uint64_t nowUs);
    bool running() const { return mRunning; }

    // Enters the first region after the current one that `text` announces; other texts
    // (the empty one among them) leave the timer where it is.
    void statusShown(std::string_view text, uint64_t nowUs);
    // The gauge of the current region, 0..100.
    void progressShown(int percent, uint64_t nowUs);

    // Since start(); frozen by stop(). 0 before the first start.
    uint64_t elapsedUs(uint64_t nowUs) const;
    // Nothing while stopped or when the plan is empty.
    std::optional<uint64_t> remainingUs(uint64_t nowUs) const;

private:
    struct Done {
        double fixedUs = 0, wireUs = 0;
    };
    void enter(int region, uint64_t nowUs);
    Done done() const;

    std::vector<TimedRegion> mPlan;
    Done mTotal;
    int mCurrent = -1;  // no region entered yet
    int mPercent = 0;
    uint64_t mFirstUs = 0;  // when the first region was entered
    Done mFirstDone;        // the plan's time done then
    uint64_t mStartUs = 0;
    uint64_t mStopUs = 0;
    bool mRunning = false;
};

// "m:ss", "h:mm:ss" from an hour on; whole seconds, rounded down.
std::string durationText(uint64_t us);

}  // namespace velkaro
