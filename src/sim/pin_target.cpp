#include "sim/pin_target.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

namespace velkaro::sim {

namespace {

// The shortest waveform times of the programming documents, in nanoseconds. 12/14-bit
// cores (DS39025F table 6-1, DS30262, DS41390): data set-up before and hold after the
// latching fall 100 ns (TSET1, THLD1), clock to output valid 80 ns (TDLY3, TCO); the
// older documents give no clock high or low time, the enhanced ones 100 ns (TCKH, TCKL),
// which all of them are held to. 16-bit core (DS39622): P2B and P2A 40 ns, P3 and P4
// 15 ns, P14 10 ns.
struct WaveformMinimums {
    uint64_t clockHigh;
    uint64_t clockLow;
    uint64_t setUp;
    uint64_t hold;
    uint64_t outputValid;
};
constexpr WaveformMinimums kSixBitCore{100, 100, 100, 100, 80};
constexpr WaveformMinimums kSixteenBitCore{40, 40, 15, 15, 10};

const WaveformMinimums& minimumsOf(const SimChip& chip) {
    return chip.extendedFamily() ? kSixteenBitCore : kSixBitCore;
}

uint64_t us(uint64_t ns) {
    return ns / 1000;
}

// 12/14-bit cores: a 6-bit command, then for loads and reads a frame of a start bit, 14
// data bits and a stop bit.
constexpr int kCommandBits = 6;
constexpr int kFrameBits = 16;
constexpr uint16_t kDataMask = 0x3FFF;

// TDLY1/TDLY2: 1 us from the last clock of a command or data frame to the next frame.
constexpr SimChip::ClockDelay kCommandToData{"TDLY2 (command to its data)", 1000};
constexpr SimChip::ClockDelay kToNextCommand{"TDLY2 (to the next command)", 1000};

std::string ns(uint64_t value) {
    return std::to_string(value) + " ns";
}

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
    uint64_t outputSinceNs = 0;
    int toldPgd = -1;  // the level last handed to a clock-by-clock model

    // Timing.
    std::optional<uint64_t> lastRiseNs;
    std::optional<uint64_t> lastFallNs;
    bool lastFallLatched = false;
    std::optional<uint64_t> lastPgdChangeNs;
    SimChip::ClockDelay delay;  // the delay the next rising edge has to keep
};

PinTarget::PinTarget(std::unique_ptr<SimChip> chip)
    : mChip(std::move(chip)), mDecoder(std::make_unique<Decoder>()) {}

PinTarget::~PinTarget() = default;

std::unique_ptr<SimChip> PinTarget::insertChip(std::unique_ptr<SimChip> chip) {
    // The socket is live: the chip taken out loses its supplies, the one put in gets them
    // (VDD and VPP together) with the lines as they are now.
    leaveProgramming(mLastNs);
    auto previous = std::move(mChip);
    mChip = std::move(chip);
    if (mVdd && mVpp)
        enterProgramming(false, mLastNs);
    else if (mVdd)
        listenForKey(mLastNs);
    return previous;
}

void PinTarget::setVddNs(bool on, uint64_t nowNs) {
    advance(nowNs);
    if (on == mVdd)
        return;
    const bool wasOn = mVdd && mVpp;
    mVdd = on;
    supplyChanged(wasOn, true, nowNs);  // VDD arriving second: VPP came first
}

void PinTarget::setVppNs(bool on, uint64_t nowNs) {
    advance(nowNs);
    if (on == mVpp)
        return;
    const bool wasOn = mVdd && mVpp;
    mVpp = on;
    supplyChanged(wasOn, false, nowNs);
}

void PinTarget::supplyChanged(bool wasOn, bool vppFirst, uint64_t nowNs) {
    const bool isOn = mVdd && mVpp;
    if (!wasOn && isOn) {
        leaveProgramming(nowNs);  // VPP after VDD: the key listening ends, MCLR rises
        enterProgramming(vppFirst, nowNs);
    } else if (wasOn && !isOn) {
        leaveProgramming(nowNs);
    } else if (!mVdd) {
        leaveProgramming(nowNs);
    }
    if (mVdd && !mVpp && !mDecoder->session)
        listenForKey(nowNs);
}

// VDD without VPP holds MCLR low: a 6-bit-command chip that takes the low-voltage key listens
// for it on PGC and PGD. The 16-bit core's key needs MCLR at VDD, which these lines cannot
// give, so its models are left out.
void PinTarget::listenForKey(uint64_t nowNs) {
    if (!mChip || mChip->extendedFamily())
        return;
    *mDecoder = Decoder{};
    mDecoder->session = true;
    mDecoder->lowVoltage = true;
    mChip->vddRises(us(nowNs));
}

void PinTarget::enterProgramming(bool vppFirst, uint64_t nowNs) {
    if (!mChip)
        return;
    *mDecoder = Decoder{};
    if (mChip->extendedFamily()) {
        // The clock-by-clock model keeps its own copy of the levels; it ignores them
        // until it is powered.
        mChip->setPgc(mPgc ? 1 : 0, us(nowNs));
        tellPgd(nowNs);
    }
    mChip->linesAtEntry(mPgc ? 1 : 0, mPgdDriven ? 1 : 0);
    mChip->powerUp(vppFirst, mVppVolts, us(nowNs));
    mDecoder->session = true;
}

void PinTarget::leaveProgramming(uint64_t nowNs) {
    if (!mDecoder->session)
        return;
    // A chip that only listened for the key had no programming session to end.
    if (!mDecoder->lowVoltage || mChip->inProgrammingMode())
        mChip->powerDown(us(nowNs));
    // Unpowered, the chip drives nothing: the line shows the programmer's level.
    *mDecoder = Decoder{};
    if (mChip->extendedFamily())
        tellPgd(nowNs);
}

bool PinTarget::active() const {
    return mDecoder->session && mChip->inProgrammingMode();
}

void PinTarget::setPgcNs(bool high, uint64_t nowNs) {
    advance(nowNs);
    if (high == mPgc)
        return;
    mPgc = high;
    if (!mChip)
        return;
    if (!mDecoder->session) {
        if (mChip->extendedFamily())
            mChip->setPgc(high ? 1 : 0, us(nowNs));
        return;
    }
    if (high)
        risingEdge(nowNs);
    else
        fallingEdge(nowNs);
}

void PinTarget::setPgdNs(bool high, uint64_t nowNs) {
    advance(nowNs);
    if (high == mPgdDriven)
        return;
    mPgdDriven = high;
    if (!mChip)
        return;
    Decoder& d = *mDecoder;
    if (d.session && d.chipLevel < 0) {
        if (active() && d.lastFallLatched && d.lastFallNs &&
            nowNs - *d.lastFallNs < minimumsOf(*mChip).hold)
            noteTiming("PGD changed " + ns(nowNs - *d.lastFallNs) +
                       " after the PGC fall that latched it: the hold time THLD1/P4 needs " +
                       ns(minimumsOf(*mChip).hold));
        d.lastPgdChangeNs = nowNs;
    }
    if (mChip->extendedFamily())
        tellPgd(nowNs);
}

bool PinTarget::pgdNs(uint64_t nowNs) {
    advance(nowNs);
    const Decoder& d = *mDecoder;
    if (d.chipLevel < 0)
        return mPgdDriven;
    if (nowNs < d.outputSinceNs + minimumsOf(*mChip).outputValid) {
        // The bit put out by this rising edge is not valid yet (TDLY3/P14): the line still
        // shows what it showed before the edge.
        noteTiming("PGD read " + ns(nowNs - d.outputSinceNs) +
                   " after the PGC rise that puts the bit out (TDLY3/P14 needs " +
                   ns(minimumsOf(*mChip).outputValid) + "): the level before it");
        return d.levelBefore != 0;
    }
    return d.chipLevel != 0;
}

void PinTarget::risingEdge(uint64_t nowNs) {
    Decoder& d = *mDecoder;
    if (active() && d.lastFallNs) {
        const uint64_t low = nowNs - *d.lastFallNs;
        if (d.delay.name != nullptr && low < d.delay.minimumNs)
            noteTiming("PGC rose " + ns(low) + " after it fell: " + d.delay.name + " needs " +
                       ns(d.delay.minimumNs));
        else if (low < minimumsOf(*mChip).clockLow)
            noteTiming("PGC rose " + ns(low) + " after it fell: the clock low time needs " +
                       ns(minimumsOf(*mChip).clockLow));
    }
    d.lastRiseNs = nowNs;
    if (mChip->extendedFamily()) {
        mChip->setPgc(1, us(nowNs));
        if (const int out = mChip->pgdOutput(); out >= 0)
            drive(out, nowNs);
        return;
    }
    if (!active())
        return;
    if (d.stage == Decoder::Stage::Read) {
        // The word is fetched with the frame's first clock; the chip puts out the start
        // bit, the 14 data bits and the stop bit, one per rising edge.
        if (d.bit == 0)
            d.readFrame =
                static_cast<uint16_t>((mChip->readWord(us(nowNs)) << 1) & (kDataMask << 1));
        drive((d.readFrame >> d.bit) & 1, nowNs);
    } else if (d.stage == Decoder::Stage::Command && d.bit == 0) {
        mChip->commandFrameStarts(us(nowNs));
    }
}

void PinTarget::fallingEdge(uint64_t nowNs) {
    Decoder& d = *mDecoder;
    const bool latches = d.chipLevel < 0;  // while the chip drives PGD it takes nothing in
    if (active()) {
        if (d.lastRiseNs && nowNs - *d.lastRiseNs < minimumsOf(*mChip).clockHigh)
            noteTiming("PGC high " + ns(nowNs - *d.lastRiseNs) + ": the clock high time needs " +
                       ns(minimumsOf(*mChip).clockHigh));
        if (latches && d.lastPgdChangeNs && nowNs - *d.lastPgdChangeNs < minimumsOf(*mChip).setUp)
            noteTiming("PGD changed " + ns(nowNs - *d.lastPgdChangeNs) +
                       " before the PGC fall that latches it: the set-up time TSET1/P3 needs " +
                       ns(minimumsOf(*mChip).setUp));
    }
    d.lastFallNs = nowNs;
    d.lastFallLatched = latches;
    if (mChip->extendedFamily()) {
        tellPgd(nowNs);
        mChip->setPgc(0, us(nowNs));
        if (mChip->pgdOutput() < 0)
            drive(-1, nowNs);
        d.delay = mChip->delayBeforeNextClock();
        return;
    }
    if (active())
        decodeFall(lineLevel() != 0, nowNs);
    else if (d.lowVoltage)
        mChip->keyBits(static_cast<uint32_t>(lineLevel()), 1, us(nowNs));
}

// 12/14-bit cores: one falling edge of a command or data frame, LSB first.
void PinTarget::decodeFall(bool level, uint64_t nowNs) {
    Decoder& d = *mDecoder;
    d.delay = {};
    switch (d.stage) {
        case Decoder::Stage::Command: {
            d.shift |= static_cast<uint32_t>(level) << d.bit;
            if (++d.bit < kCommandBits)
                return;
            const unsigned code = d.shift & 0x3F;
            d.bit = 0;
            d.shift = 0;
            mChip->writeBits(code, kCommandBits, us(nowNs));
            switch (mChip->dataFrameAfter(code)) {
                case SimChip::DataFrame::Load:
                    d.stage = Decoder::Stage::Load;
                    d.delay = kCommandToData;
                    break;
                case SimChip::DataFrame::Read:
                    d.stage = Decoder::Stage::Read;
                    d.delay = kCommandToData;
                    break;
                case SimChip::DataFrame::None:
                    d.delay = kToNextCommand;
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
            d.delay = kToNextCommand;
            mChip->writeWord(word, us(nowNs));
            return;
        }
        case Decoder::Stage::Read:
            if (++d.bit < kFrameBits)
                return;
            d.bit = 0;
            d.stage = Decoder::Stage::Command;
            d.delay = kToNextCommand;
            drive(-1, nowNs);  // the chip lets go of PGD after the stop bit
            return;
    }
}

// The chip puts `level` on PGD at a rising edge, or lets go of it (-1).
void PinTarget::drive(int level, uint64_t nowNs) {
    Decoder& d = *mDecoder;
    if (level >= 0) {
        d.levelBefore = lineLevel();
        d.outputSinceNs = nowNs;
    }
    d.chipLevel = level;
    if (mChip->extendedFamily())
        tellPgd(nowNs);
}

// PGD as the chip sees it: its own level while it drives the line (the programmer's goes
// through a series resistor), the programmer's otherwise.
int PinTarget::lineLevel() const {
    return mDecoder->chipLevel >= 0 ? mDecoder->chipLevel : (mPgdDriven ? 1 : 0);
}

void PinTarget::tellPgd(uint64_t nowNs) {
    const int level = lineLevel();
    if (level == mDecoder->toldPgd)
        return;
    mDecoder->toldPgd = level;
    mChip->setPgd(level, us(nowNs));
}

void PinTarget::noteTiming(std::string text) {
    if (mChip)
        mChip->note(std::move(text));
}

void PinTarget::advance(uint64_t nowNs) {
    mLastNs = std::max(mLastNs, nowNs);
}

}  // namespace velkaro::sim
