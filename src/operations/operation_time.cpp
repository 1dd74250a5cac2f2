#include "operations/operation_time.h"

#include <algorithm>

#include "link/programmer_link.h"
#include "operations/operation_messages.h"

namespace velkaro {

namespace {

// What one word costs over the wire on the bit-banged programmer (command, data bits and
// the clock edges between them), as its lines take it; µs.
struct WireCosts {
    uint64_t readWord, writeWord, readByte, writeByte;
};
// The 6-bit command family: one command and one data word per transfer.
constexpr WireCosts kWire6{40, 80, 40, 80};
// The 16-bit core: table reads of two bytes, table writes of a word, several core
// instructions per data byte.
constexpr WireCosts kWire16{70, 25, 200, 300};

// Both supplies and the socket LED settling, then the supply going down.
constexpr uint64_t kSessionUs = 3 * ProgrammerLink::kSupplySettleMs * 1000ull;
constexpr uint64_t kCloseUs = ProgrammerLink::kCloseSettleMs * 1000ull;
// Between two sessions.
constexpr uint64_t kSessionGapUs = kCloseUs + kSessionUs;

uint64_t count(int32_t n) {
    return static_cast<uint64_t>(std::max(n, 0));
}

uint64_t ms(int32_t n) {
    return count(n) * 1000;
}

// The cost of one word or byte.
struct Cost {
    uint64_t chipUs = 0, wireUs = 0;
};

TimedRegion region(std::vector<std::string_view> statuses, uint64_t leadUs, uint64_t n, Cost each) {
    return {std::move(statuses), leadUs, n * each.chipUs, n * each.wireUs};
}

struct RegionTexts {
    std::vector<std::string_view> program, config, data;
};

RegionTexts textsOf(TimedOperation operation) {
    switch (operation) {
        case TimedOperation::Read:
            return {{msg::kReadingProgram}, {msg::kReadingConfig}, {msg::kReadingData}};
        case TimedOperation::BlankCheck:
            return {{msg::kBlankCheckingProgram, msg::kBlankCheckingProgram16},
                    {msg::kBlankCheckingConfig16},
                    {msg::kBlankCheckingData, msg::kBlankCheckingData16}};
        case TimedOperation::Verify:
            return {{msg::kVerifyingProgram},
                    {msg::kVerifyingConfig, msg::kVerifyingConfig16},
                    {msg::kVerifyingData}};
        case TimedOperation::Write:
            return {{msg::kWritingProgram}, {msg::kWritingConfig16}, {msg::kWritingData}};
        case TimedOperation::Erase:
            break;
    }
    return {{}, {}, {msg::kErasingData}};
}

// One written program word of the 6-bit command family: loaded, its share of the
// programming cycle (LoadCnt words share one on the parts that latch several), read back.
Cost programWord6(const DeviceDefinition& d) {
    const uint64_t passes = std::max<uint64_t>(count(d.ProgCnt), 1);
    const uint64_t cycle = ms(d.ProgOnlyCmd != 0 ? d.ProgOnlyCycle : d.EraseProgCycle);
    return {passes * cycle / std::max<uint64_t>(count(d.LoadCnt), 1), kWire6.writeWord};
}

// The 16-bit core programs LoadCnt words (4 when unset) per cycle.
Cost programWord16(const DeviceDefinition& d) {
    return {ms(d.ProgOnlyCycle) / count(d.LoadCnt < 1 ? 4 : d.LoadCnt), kWire16.writeWord};
}

Cost dataByte6(const DeviceDefinition& d) {
    const bool programOnly = d.ProgOnlyCmd != 0;
    return {ms(programOnly ? d.DataProgOnlyCycle : d.DataEraseProgCycle), kWire6.writeByte};
}

// The 16-bit core's data write is polled until the chip ends it, which takes about its
// erase-and-write time.
Cost dataByte16(const DeviceDefinition& d) {
    return {ms(d.DataEraseProgCycle), kWire16.writeByte};
}

// A chip with a bulk erase takes it in one go; the others are erased word by word.
bool erasesAtOnce6(const DeviceDefinition& d) {
    return !d.FlashType || d.hasBulkEraseProgram() || d.hasChipErase();
}

bool erasesAtOnce16(const DeviceDefinition&) {
    return true;
}

// The enhanced 14-bit core: a row's words share one cycle and are read back in a pass of
// their own.
Cost programWordEnhanced(const DeviceDefinition& d) {
    return {ms(d.ProgOnlyCycle) / std::max<uint64_t>(count(d.LoadCnt), 1),
            kWire6.writeWord + kWire6.readWord};
}

std::vector<TimedRegion> writePlan6(const DeviceDefinition& d, bool prog, bool data);
std::vector<TimedRegion> writePlan16(const DeviceDefinition& d, bool prog, bool data);
std::vector<TimedRegion> writePlanEnhanced(const DeviceDefinition& d, bool prog, bool data);

// How long each family's steps take.
struct FamilyTiming {
    WireCosts wire;
    Cost (*programWord)(const DeviceDefinition&);
    Cost (*dataByte)(const DeviceDefinition&);
    bool (*erasesAtOnce)(const DeviceDefinition&);
    std::vector<TimedRegion> (*writePlan)(const DeviceDefinition&, bool prog, bool data);
};

constexpr FamilyTiming kTiming6{kWire6, programWord6, dataByte6, erasesAtOnce6, writePlan6};
constexpr FamilyTiming kTiming16{kWire16, programWord16, dataByte16, erasesAtOnce16, writePlan16};
constexpr FamilyTiming kTimingEnhanced{kWire6, programWordEnhanced, dataByte6, erasesAtOnce6,
                                       writePlanEnhanced};

const FamilyTiming& timingOf(const DeviceDefinition& d) {
    switch (d.traits().family) {
        case DeviceFamily::Pic18:
            return kTiming16;
        case DeviceFamily::EnhancedMidrange:
            return kTimingEnhanced;
        case DeviceFamily::Midrange:
            break;
    }
    return kTiming6;
}

std::vector<TimedRegion> erasePlan(const DeviceDefinition& d, bool prog, bool data) {
    std::vector<TimedRegion> plan;
    const RegionTexts texts = textsOf(TimedOperation::Erase);
    // Erased word by word, each region takes a session of its own.
    const bool bulk = timingOf(d).erasesAtOnce(d);
    const Cost perWord{ms(d.EraseProgCycle), kWire6.writeWord};
    if (prog)
        plan.push_back(bulk ? region(texts.program, kSessionUs, 1,
                                     {ms(d.BulkEraseCycle) + ms(d.ChipEraseCycle), 0})
                            : region(texts.program, kSessionUs, count(d.ProgSize), perWord));
    if (data && d.EpromSize > 0)
        plan.push_back(bulk
                           ? region(texts.data, prog ? 0 : kSessionUs, 1, {ms(d.BulkEraseCycle), 0})
                           : region(texts.data, kSessionGapUs, count(d.EpromSize), perWord));
    return plan;
}

// Reading, checking or writing each region once, in the order the 6-bit family's loops go.
std::vector<TimedRegion> passPlan(const DeviceDefinition& d, TimedOperation operation, bool prog,
                                  bool data) {
    const bool writes = operation == TimedOperation::Write;
    const FamilyTiming& timing = timingOf(d);
    const Cost perWord = writes ? timing.programWord(d) : Cost{0, timing.wire.readWord};
    const Cost perByte = writes ? timing.dataByte(d) : Cost{0, timing.wire.readByte};
    const RegionTexts texts = textsOf(operation);

    std::vector<TimedRegion> plan;
    if (prog) {
        plan.push_back(region(texts.program, kSessionUs, count(d.ProgSize), perWord));
        plan.push_back(region(texts.config, 0, count(d.ConfigCount) + count(d.IdCount), perWord));
    }
    // Data memory has a session of its own after program memory.
    if (data && d.EpromSize > 0)
        plan.push_back(
            region(texts.data, prog ? kSessionGapUs : kSessionUs, count(d.EpromSize), perByte));
    return plan;
}

void append(std::vector<TimedRegion>& plan, std::vector<TimedRegion> more) {
    for (TimedRegion& r : more)
        plan.push_back(std::move(r));
}

std::vector<TimedRegion> writePlan6(const DeviceDefinition& d, bool prog, bool data) {
    std::vector<TimedRegion> plan = passPlan(d, TimedOperation::Write, prog, data);
    // The configuration and calibration bits get a session of their own at the end.
    if (!plan.empty())
        plan.push_back({{}, kSessionGapUs, 0, 0});
    return plan;
}

// The 16-bit core writes program and data memory, checks both, and writes the
// configuration last (it may protect what came before).
std::vector<TimedRegion> writePlan16(const DeviceDefinition& d, bool prog, bool data) {
    std::vector<TimedRegion> plan;
    const RegionTexts texts = textsOf(TimedOperation::Write);
    if (prog)
        plan.push_back(region(texts.program, kSessionUs, count(d.ProgSize), programWord16(d)));
    if (data && d.EpromSize > 0)
        plan.push_back(region(texts.data, kSessionGapUs, count(d.EpromSize), dataByte16(d)));
    if (plan.empty())
        return plan;
    append(plan, passPlan(d, TimedOperation::Verify, prog, data));
    if (prog)
        plan.push_back(region(texts.config, kSessionGapUs, count(d.ConfigCount),
                              {programWord16(d).chipUs + ms(d.ProgOnlyCycle), kWire16.writeWord}));
    return plan;
}

// The enhanced 14-bit core writes program memory and then the IDs, data memory, and the
// configuration words last, each ID and configuration word in a cycle of its own.
std::vector<TimedRegion> writePlanEnhanced(const DeviceDefinition& d, bool prog, bool data) {
    const RegionTexts texts = textsOf(TimedOperation::Write);
    const Cost configWord{ms(d.EraseProgCycle), kWire6.writeWord + kWire6.readWord};
    std::vector<TimedRegion> plan;
    if (prog) {
        plan.push_back(
            region(texts.program, 2 * kSessionUs, count(d.ProgSize), programWordEnhanced(d)));
        plan.push_back(region({}, kSessionGapUs, count(d.IdCount), configWord));
    }
    if (data && d.EpromSize > 0)
        plan.push_back(region(texts.data, kSessionGapUs, count(d.EpromSize), dataByte6(d)));
    if (prog)
        plan.push_back(region({}, kSessionGapUs, count(d.ConfigCount), configWord));
    return plan;
}

}  // namespace

std::vector<TimedRegion> timingPlan(const DeviceDefinition& d, TimedOperation operation, bool prog,
                                    bool data) {
    if (operation == TimedOperation::Erase)
        return erasePlan(d, prog, data);
    if (operation != TimedOperation::Write)
        return passPlan(d, operation, prog, data);
    return timingOf(d).writePlan(d, prog, data);
}

std::vector<TimedRegion> autoProgramPlan(const DeviceDefinition& d, bool prog, bool data,
                                         bool blank, bool verify) {
    std::vector<TimedRegion> plan = erasePlan(d, prog, data);
    if (blank)
        append(plan, timingPlan(d, TimedOperation::BlankCheck, prog, data));
    append(plan, timingPlan(d, TimedOperation::Write, prog, data));
    if (verify)
        append(plan, timingPlan(d, TimedOperation::Verify, prog, data));
    return plan;
}

void OperationTimer::start(uint64_t nowUs, std::vector<TimedRegion> plan) {
    mPlan = std::move(plan);
    mTotal = {};
    for (const TimedRegion& r : mPlan) {
        mTotal.fixedUs += static_cast<double>(r.leadUs + r.chipUs);
        mTotal.wireUs += static_cast<double>(r.wireUs);
    }
    if (!mPlan.empty())
        mTotal.fixedUs += kCloseUs;
    mCurrent = -1;
    mPercent = 0;
    mFirstUs = nowUs;
    mFirstDone = {};
    mStartUs = nowUs;
    mStopUs = nowUs;
    mRunning = true;
}

void OperationTimer::stop(uint64_t nowUs) {
    if (!mRunning)
        return;
    mStopUs = std::max(nowUs, mStartUs);
    mRunning = false;
}

void OperationTimer::statusShown(std::string_view text, uint64_t nowUs) {
    if (text.empty())
        return;
    for (size_t i = static_cast<size_t>(mCurrent + 1); i < mPlan.size(); ++i) {
        const auto& statuses = mPlan[i].statuses;
        if (std::find(statuses.begin(), statuses.end(), text) != statuses.end()) {
            enter(static_cast<int>(i), nowUs);
            return;
        }
    }
}

void OperationTimer::progressShown(int percent, uint64_t nowUs) {
    if (mCurrent < 0) {
        // A first region without a status text of its own starts with its gauge.
        if (mPlan.empty() || !mPlan.front().statuses.empty())
            return;
        enter(0, nowUs);
    }
    mPercent = std::clamp(percent, 0, 100);
}

void OperationTimer::enter(int region, uint64_t nowUs) {
    const bool first = mCurrent < 0;
    mCurrent = region;
    mPercent = 0;
    if (first) {
        mFirstUs = nowUs;
        mFirstDone = done();
    }
}

OperationTimer::Done OperationTimer::done() const {
    Done d;
    for (int i = 0; i <= mCurrent; ++i) {
        const TimedRegion& r = mPlan[static_cast<size_t>(i)];
        const double share = i < mCurrent ? 1.0 : mPercent / 100.0;
        d.fixedUs += static_cast<double>(r.leadUs) + static_cast<double>(r.chipUs) * share;
        d.wireUs += static_cast<double>(r.wireUs) * share;
    }
    return d;
}

uint64_t OperationTimer::elapsedUs(uint64_t nowUs) const {
    const uint64_t end = mRunning ? nowUs : mStopUs;
    return end > mStartUs ? end - mStartUs : 0;
}

std::optional<uint64_t> OperationTimer::remainingUs(uint64_t nowUs) const {
    if (!mRunning || mPlan.empty())
        return std::nullopt;
    const Done now = done();
    const double fixedLeft = std::max(mTotal.fixedUs - now.fixedUs, 0.0);
    const double wireLeft = std::max(mTotal.wireUs - now.wireUs, 0.0);
    // The speed is measured from the first region on: what comes before it (questions,
    // an erase, reading the calibration) is not in the plan's words.
    double speed = 1.0;  // wire time taken per planned wire time
    const double wireSince = now.wireUs - mFirstDone.wireUs;
    if (mCurrent >= 0 && wireSince > 0 && wireSince >= (mTotal.wireUs - mFirstDone.wireUs) / 20) {
        const double since = static_cast<double>(nowUs > mFirstUs ? nowUs - mFirstUs : 0);
        speed = std::max(since - (now.fixedUs - mFirstDone.fixedUs), 0.0) / wireSince;
    }
    return static_cast<uint64_t>(fixedLeft + wireLeft * speed);
}

std::string durationText(uint64_t us) {
    const uint64_t seconds = us / 1'000'000;
    const uint64_t h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    std::string text;
    auto twoDigits = [&](uint64_t v) {
        text.push_back(static_cast<char>('0' + v / 10));
        text.push_back(static_cast<char>('0' + v % 10));
    };
    if (h > 0) {
        text = std::to_string(h) + ":";
        twoDigits(m);
    } else {
        text = std::to_string(m);
    }
    text.push_back(':');
    twoDigits(s);
    return text;
}

}  // namespace velkaro
