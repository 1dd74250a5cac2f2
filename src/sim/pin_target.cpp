#include "sim/pin_target.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

namespace velkaro::sim {

namespace {

// The clock's resolution, and so the shortest time the front end can tell from none: every
// waveform time it checks must be at least this long.
constexpr uint64_t kMinimumUs = 1;

// 12/14-bit cores: a 6-bit command, then for loads and reads a frame of a start bit, 14
// data bits and a stop bit.
constexpr int kCommandBits = 6;
constexpr int kFrameBits = 16;
constexpr uint16_t kDataMask = 0x3FFF;

constexpr const char* kCommandToData = "TDLY2 (command to its data)";
constexpr const char* kToNextCommand = "TDLY2 (to the next command)";

}  // namespace

// The state of the lines between edges: what the chip drives, when things last changed,
// and on the 12/14-bit cores the frame being clocked in or out.
struct PinTarget::Decoder {
    enum class Stage { Command, Load, Read };

    bool session = false;  // both supplies on with a chip in the socket, or VDD alone
    // VDD without VPP: MCLR is at VIL, the chip takes the clocks as its low-voltage key
    // until it enters programming mode.
    bool lowVoltage = false;

    // 12/14-bit frames.
    Stage stage = Stage::Command;
    int bit = 0;
    uint32_t shift = 0;
    uint16_t readFrame = 0;

    // PGD as the chip drives it: -1 while it is the chip's input.
    int chipLevel = -1;
    int levelBefore = 0;  // what the line showed before the chip's latest output bit
    uint64_t outputSinceUs = 0;
    int toldPgd = -1;  // the level last handed to a clock-by-clock model

    // Timing.
    std::optional<uint64_t> lastRiseUs;
    std::optional<uint64_t> lastFallUs;
    bool lastFallLatched = false;
    std::optional<uint64_t> lastPgdChangeUs;
    const char* delayName = nullptr;  // the delay the next rising edge has to keep
};

PinTarget::PinTarget(std::unique_ptr<SimChip> chip)
    : mChip(std::move(chip)), mDecoder(std::make_unique<Decoder>()) {}

PinTarget::~PinTarget() = default;

std::unique_ptr<SimChip> PinTarget::insertChip(std::unique_ptr<SimChip> chip) {
    // The socket is live: the chip taken out loses its supplies, the one put in gets them
    // (VDD and VPP together) with the lines as they are now.
    leaveProgramming(mLastUs);
    auto previous = std::move(mChip);
    mChip = std::move(chip);
    if (mVdd && mVpp)
        enterProgramming(false, mLastUs);
    else if (mVdd)
        listenForKey(mLastUs);
    return previous;
}

void PinTarget::setVdd(bool on, uint64_t nowUs) {
    advance(nowUs);
    if (on == mVdd)
        return;
    const bool wasOn = mVdd && mVpp;
    mVdd = on;
    supplyChanged(wasOn, true, nowUs);  // VDD arriving second: VPP came first
}

void PinTarget::setVpp(bool on, uint64_t nowUs) {
    advance(nowUs);
    if (on == mVpp)
        return;
    const bool wasOn = mVdd && mVpp;
    mVpp = on;
    supplyChanged(wasOn, false, nowUs);
}

void PinTarget::supplyChanged(bool wasOn, bool vppFirst, uint64_t nowUs) {
    const bool isOn = mVdd && mVpp;
    if (!wasOn && isOn) {
        leaveProgramming(nowUs);  // VPP after VDD: the key listening ends, MCLR rises
        enterProgramming(vppFirst, nowUs);
    } else if (wasOn && !isOn) {
        leaveProgramming(nowUs);
    } else if (!mVdd) {
        leaveProgramming(nowUs);
    }
    if (mVdd && !mVpp && !mDecoder->session)
        listenForKey(nowUs);
}

// VDD without VPP holds MCLR low: a 6-bit-command chip that takes the low-voltage key listens
// for it on PGC and PGD. The 16-bit core's key needs MCLR at VDD, which these lines cannot
// give, so its models are left out.
void PinTarget::listenForKey(uint64_t nowUs) {
    if (!mChip || mChip->extendedFamily())
        return;
    *mDecoder = Decoder{};
    mDecoder->session = true;
    mDecoder->lowVoltage = true;
    mChip->vddRises(nowUs);
}

void PinTarget::enterProgramming(bool vppFirst, uint64_t nowUs) {
    if (!mChip)
        return;
    *mDecoder = Decoder{};
    if (mChip->extendedFamily()) {
        // The clock-by-clock model keeps its own copy of the levels; it ignores them
        // until it is powered.
        mChip->setPgc(mPgc ? 1 : 0, nowUs);
        tellPgd(nowUs);
    }
    mChip->linesAtEntry(mPgc ? 1 : 0, mPgdDriven ? 1 : 0);
    mChip->powerUp(vppFirst, mVppVolts, nowUs);
    mDecoder->session = true;
}

void PinTarget::leaveProgramming(uint64_t nowUs) {
    if (!mDecoder->session)
        return;
    // A chip that only listened for the key had no programming session to end.
    if (!mDecoder->lowVoltage || mChip->inProgrammingMode())
        mChip->powerDown(nowUs);
    // Unpowered, the chip drives nothing: the line shows the programmer's level.
    *mDecoder = Decoder{};
    if (mChip->extendedFamily())
        tellPgd(nowUs);
}

bool PinTarget::active() const {
    return mDecoder->session && mChip->inProgrammingMode();
}

void PinTarget::setPgc(bool high, uint64_t nowUs) {
    advance(nowUs);
    if (high == mPgc)
        return;
    mPgc = high;
    if (!mChip)
        return;
    if (!mDecoder->session) {
        if (mChip->extendedFamily())
            mChip->setPgc(high ? 1 : 0, nowUs);
        return;
    }
    if (high)
        risingEdge(nowUs);
    else
        fallingEdge(nowUs);
}

void PinTarget::setPgd(bool high, uint64_t nowUs) {
    advance(nowUs);
    if (high == mPgdDriven)
        return;
    mPgdDriven = high;
    if (!mChip)
        return;
    Decoder& d = *mDecoder;
    if (d.session && d.chipLevel < 0) {
        if (active() && d.lastFallLatched && d.lastFallUs == nowUs)
            noteTiming(
                "PGD changed in the microsecond of the PGC fall that latched it (hold time "
                "THLD1/P4, at least 1 us here)");
        d.lastPgdChangeUs = nowUs;
    }
    if (mChip->extendedFamily())
        tellPgd(nowUs);
}

bool PinTarget::pgd(uint64_t nowUs) {
    advance(nowUs);
    const Decoder& d = *mDecoder;
    if (d.chipLevel < 0)
        return mPgdDriven;
    if (nowUs < d.outputSinceUs + kMinimumUs) {
        // The bit put out by this rising edge is not valid yet (TDLY3/P14): the line still
        // shows what it showed before the edge.
        noteTiming(
            "PGD read in the microsecond of the PGC rise that puts the bit out (TDLY3/P14, "
            "at least 1 us here): the level before it");
        return d.levelBefore != 0;
    }
    return d.chipLevel != 0;
}

void PinTarget::risingEdge(uint64_t nowUs) {
    Decoder& d = *mDecoder;
    if (active() && d.lastFallUs && nowUs - *d.lastFallUs < kMinimumUs) {
        noteTiming("PGC rose " + std::to_string(nowUs - *d.lastFallUs) + " us after it fell: " +
                   (d.delayName ? d.delayName : "clock low time") + " needs at least 1 us");
    }
    d.lastRiseUs = nowUs;
    if (mChip->extendedFamily()) {
        mChip->setPgc(1, nowUs);
        if (const int out = mChip->pgdOutput(); out >= 0)
            drive(out, nowUs);
        return;
    }
    if (!active())
        return;
    if (d.stage == Decoder::Stage::Read) {
        // The word is fetched with the frame's first clock; the chip puts out the start
        // bit, the 14 data bits and the stop bit, one per rising edge.
        if (d.bit == 0)
            d.readFrame = static_cast<uint16_t>((mChip->readWord(nowUs) << 1) & (kDataMask << 1));
        drive((d.readFrame >> d.bit) & 1, nowUs);
    } else if (d.stage == Decoder::Stage::Command && d.bit == 0) {
        mChip->commandFrameStarts(nowUs);
    }
}

void PinTarget::fallingEdge(uint64_t nowUs) {
    Decoder& d = *mDecoder;
    const bool latches = d.chipLevel < 0;  // while the chip drives PGD it takes nothing in
    if (active()) {
        if (d.lastRiseUs && nowUs - *d.lastRiseUs < kMinimumUs)
            noteTiming("PGC high " + std::to_string(nowUs - *d.lastRiseUs) +
                       " us: the clock high time needs at least 1 us");
        if (latches && d.lastPgdChangeUs == nowUs)
            noteTiming(
                "PGD changed in the microsecond of the PGC fall that latches it (set-up time "
                "TSET1/P3, at least 1 us here)");
    }
    d.lastFallUs = nowUs;
    d.lastFallLatched = latches;
    if (mChip->extendedFamily()) {
        tellPgd(nowUs);
        mChip->setPgc(0, nowUs);
        if (mChip->pgdOutput() < 0)
            drive(-1, nowUs);
        d.delayName = mChip->delayBeforeNextClock();
        return;
    }
    if (active())
        decodeFall(lineLevel() != 0, nowUs);
    else if (d.lowVoltage)
        mChip->keyBits(static_cast<uint32_t>(lineLevel()), 1, nowUs);
}

// 12/14-bit cores: one falling edge of a command or data frame, LSB first.
void PinTarget::decodeFall(bool level, uint64_t nowUs) {
    Decoder& d = *mDecoder;
    d.delayName = nullptr;
    switch (d.stage) {
        case Decoder::Stage::Command: {
            d.shift |= static_cast<uint32_t>(level) << d.bit;
            if (++d.bit < kCommandBits)
                return;
            const unsigned code = d.shift & 0x3F;
            d.bit = 0;
            d.shift = 0;
            mChip->writeBits(code, kCommandBits, nowUs);
            switch (mChip->dataFrameAfter(code)) {
                case SimChip::DataFrame::Load:
                    d.stage = Decoder::Stage::Load;
                    d.delayName = kCommandToData;
                    break;
                case SimChip::DataFrame::Read:
                    d.stage = Decoder::Stage::Read;
                    d.delayName = kCommandToData;
                    break;
                case SimChip::DataFrame::None:
                    d.delayName = kToNextCommand;
                    break;
            }
            return;
        }
        case Decoder::Stage::Load: {
            d.shift |= static_cast<uint32_t>(level) << d.bit;
            if (++d.bit < kFrameBits)
                return;
            const auto word = static_cast<uint16_t>((d.shift >> 1) & kDataMask);
            d.bit = 0;
            d.shift = 0;
            d.stage = Decoder::Stage::Command;
            d.delayName = kToNextCommand;
            mChip->writeWord(word, nowUs);
            return;
        }
        case Decoder::Stage::Read:
            if (++d.bit < kFrameBits)
                return;
            d.bit = 0;
            d.stage = Decoder::Stage::Command;
            d.delayName = kToNextCommand;
            drive(-1, nowUs);  // the chip lets go of PGD after the stop bit
            return;
    }
}

// The chip puts `level` on PGD at a rising edge, or lets go of it (-1).
void PinTarget::drive(int level, uint64_t nowUs) {
    Decoder& d = *mDecoder;
    if (level >= 0) {
        d.levelBefore = lineLevel();
        d.outputSinceUs = nowUs;
    }
    d.chipLevel = level;
    if (mChip->extendedFamily())
        tellPgd(nowUs);
}

// PGD as the chip sees it: its own level while it drives the line (the programmer's goes
// through a series resistor), the programmer's otherwise.
int PinTarget::lineLevel() const {
    return mDecoder->chipLevel >= 0 ? mDecoder->chipLevel : (mPgdDriven ? 1 : 0);
}

void PinTarget::tellPgd(uint64_t nowUs) {
    const int level = lineLevel();
    if (level == mDecoder->toldPgd)
        return;
    mDecoder->toldPgd = level;
    mChip->setPgd(level, nowUs);
}

void PinTarget::noteTiming(std::string text) {
    if (mChip)
        mChip->note(std::move(text));
}

void PinTarget::advance(uint64_t nowUs) {
    mLastUs = std::max(mLastUs, nowUs);
}

}  // namespace velkaro::sim
