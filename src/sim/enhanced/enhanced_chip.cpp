#include "sim/enhanced/enhanced_chip.h"

#include <algorithm>
#include <string>
#include <utility>

#include "sim/enhanced/enhanced_chip_internal.h"

namespace velkaro::sim {

using namespace enhanced;

namespace {

constexpr double kRunningHz = 1'000'000.0;

// A stable per-name number, so every chip of a type leaves the factory with the same values.
uint32_t nameHash(const char* name) {
    uint32_t h = 2166136261u;
    for (const char* p = name; *p; ++p)
        h = (h ^ static_cast<uint8_t>(*p)) * 16777619u;
    return h;
}

}  // namespace

EnhancedChip::EnhancedChip(const EnhancedDevice& device)
    : mDevice(device),
      mProgram(device.progWords, kBlank),
      mConfig(factoryConfigSpace()),
      mData(device.dataBytes, 0xFF),
      mLatch(device.latchWords ? device.latchWords : 1, kBlank) {}

// Blank user IDs, erased configuration words (unimplemented bits read 0), the factory's
// revision and device ID, calibration words per device name; reserved locations read 0.
std::vector<uint16_t> EnhancedChip::factoryConfigSpace() const {
    std::vector<uint16_t> space(kConfigWords, 0);
    std::fill(space.begin(), space.begin() + 4, kBlank);
    space[kRevisionAddr - kConfigBase] = mDevice.revisionId;
    space[kDeviceIdAddr - kConfigBase] = mDevice.deviceId;
    for (uint32_t i = 0; i < mDevice.configWordCount(); ++i)
        space[kConfigWordAddr + i - kConfigBase] = mDevice.configMask[i];
    const uint32_t calBase = kConfigWordAddr + mDevice.configWordCount();
    const uint32_t h = nameHash(mDevice.name);
    for (uint32_t i = 0; i < mDevice.calWordCount; ++i)
        space[calBase + i - kConfigBase] =
            static_cast<uint16_t>(0x1000 | ((h >> (3 * i)) & 0x0FFF));
    return space;
}

bool EnhancedChip::hasCommand(unsigned code) const {
    switch (code) {
        case 0x00:
        case 0x02:
        case 0x04:
        case 0x06:
        case 0x08:
        case 0x09:
        case 0x0A:
        case 0x11:
        case 0x16:
        case 0x18:
            return true;
        case 0x03:
        case 0x05:
        case 0x0B:
            return mDevice.dataBytes != 0;
        default:
            return false;
    }
}

// User IDs and the configuration words; the revision and device IDs and the calibration
// words are read-only.
bool EnhancedChip::configWritable(uint32_t address) const {
    return (address >= kConfigBase && address < kConfigBase + 4) || isConfigWord(address);
}

bool EnhancedChip::isConfigWord(uint32_t address) const {
    return address >= kConfigWordAddr && address < kConfigWordAddr + mDevice.configWordCount();
}

uint16_t EnhancedChip::configWriteMask(uint32_t address) const {
    if (isConfigWord(address))
        return mDevice.configMask[address - kConfigWordAddr];
    return kBlank;
}

uint16_t* EnhancedChip::configSlot(uint32_t address) {
    return const_cast<uint16_t*>(std::as_const(*this).configSlot(address));
}

const uint16_t* EnhancedChip::configSlot(uint32_t address) const {
    if (address < kConfigBase || address - kConfigBase >= mConfig.size())
        return nullptr;
    return &mConfig[address - kConfigBase];
}

void EnhancedChip::eraseProgram() {
    std::fill(mProgram.begin(), mProgram.end(), kBlank);
}

void EnhancedChip::eraseIdsAndConfig() {
    std::fill(mConfig.begin(), mConfig.begin() + 4, kBlank);
    for (uint32_t i = 0; i < mDevice.configWordCount(); ++i)
        mConfig[kConfigWordAddr + i - kConfigBase] = mDevice.configMask[i];
}

void EnhancedChip::eraseData() {
    std::fill(mData.begin(), mData.end(), uint8_t{0xFF});
}

void EnhancedChip::latchProtection() {
    const uint16_t config = configWord(0);
    mCodeProtected = (config & kCp) == 0;
    mDataProtected = mDevice.cpdMask != 0 && (config & mDevice.cpdMask) == 0;
}

// With VDD first, a chip on its internal oscillator whose MCLR pin is an input (MCLRE 0,
// and LVP 0, since LVP keeps the pin MCLR) runs its program before VPP arrives.
bool EnhancedChip::needsVppFirst() const {
    const bool internalOscillator = (configWord(0) & mDevice.foscMask) == mDevice.intOscValue;
    return internalOscillator && (configWord(0) & kMclre) == 0 && (configWord(1) & kLvp) == 0;
}

void EnhancedChip::linesAtEntry(int pgc, int pgd) {
    mEntryLinesHigh = pgc != 0 || pgd != 0;
}

// High-voltage entry: VPP on MCLR with PGC and PGD held low.
void EnhancedChip::powerUp(bool vppFirst, double vppVolts, uint64_t) {
    // VIHH of the enhanced core: 9.0 V at most (src/sim/README.md); the 12 V and 13 V of
    // the older parts damage it.
    if (!vppWithinRating(vppVolts, 9.0))
        return;
    if (mEntryLinesHigh) {
        note("PGC or PGD high while VPP rose: no programming mode");
        return;
    }
    if (!vppFirst && needsVppFirst()) {
        note(
            "VDD rose before VPP on a chip set for the internal oscillator with MCLR off: "
            "its program runs, no programming mode");
        return;
    }
    enterProgramming();
}

// Low-voltage entry (DS41390, DS41439, DS41573, "Low-Voltage Programming (LVP) Mode"): with
// VDD up and MCLR at VIL the chip shifts in 0x4D434850 ("MCHP") LSB first; one more clock
// after the 32nd bit enters programming mode. Only while LVP is 1: with LVP 0 the pin is no
// key input and the chip keeps running its program.
void EnhancedChip::vddRises(uint64_t) {
    mKeyShift = 0;
    mKeyClocks = 0;
    mKeyComplete = false;
    mListening = (configWord(1) & kLvp) != 0;
    mLvpOffNoted = false;
}

void EnhancedChip::keyBits(uint32_t value, int count, uint64_t) {
    if (!mListening && !mInProgramming && (configWord(1) & kLvp) == 0 && !mLvpOffNoted) {
        note(
            "clocks with MCLR low on a chip whose LVP bit is 0: no key is taken, its program "
            "runs");
        mLvpOffNoted = true;
    }
    for (int i = 0; i < count && mListening && !mInProgramming; ++i)
        keyBit(((value >> i) & 1) != 0, count == 1);
}

void EnhancedChip::keyBit(bool bit, bool alone) {
    constexpr uint32_t kKey = 0x4D434850;
    if (mKeyComplete) {
        mKeyComplete = false;
        if (alone) {
            enterProgramming();
            return;
        }
        // The first clock of a frame taken as the extra one would leave every later frame
        // one bit off: the model refuses the entry instead.
        note("the key was followed by a frame without its extra clock: no programming mode");
        mListening = false;
        return;
    }
    mKeyShift = (mKeyShift >> 1) | (static_cast<uint32_t>(bit) << 31);
    ++mKeyClocks;
    if (mKeyClocks >= 32 && mKeyShift == kKey) {
        mKeyComplete = true;
    } else if (mKeyClocks == 32) {
        note("the 32 bits clocked in with MCLR low were " + hexText(mKeyShift, 8) +
             ", not the key 4D434850: no programming mode");
    }
}

void EnhancedChip::enterProgramming() {
    mInProgramming = true;
    mPc = 0;
    mPending = Pending::None;
    resetLatches();
    mCycle.reset();
    mDischargeUntilUs = 0;
    mFrameStartUs.reset();
    latchProtection();
}

void EnhancedChip::powerDown(uint64_t nowUs) {
    mListening = false;
    mKeyComplete = false;
    if (!mInProgramming)
        return;
    if (mCycle && !mCycle->external && nowUs < mCycle->startUs + mCycle->durationUs) {
        const Cycle cycle = *mCycle;
        mCycle.reset();
        note("power removed " + std::to_string(nowUs - cycle.startUs) +
             " us into a programming cycle (needs " + std::to_string(cycle.durationUs) +
             " us): not done");
        finishCycle(cycle, false);
    }
    settle(nowUs, false);
    mInProgramming = false;
    mPending = Pending::None;
}

void EnhancedChip::writeBits(uint32_t value, int count, uint64_t nowUs) {
    if (!mInProgramming)
        return;
    if (count != 6) {
        mPending = Pending::None;  // not a frame this core understands
        return;
    }
    const unsigned code = value & 0x3F;
    const bool endsExternal = code == 0x0A && mCycle && mCycle->external;
    // Waits before a command end at its first clock; TPEXT ends with the 0A that closes it.
    const uint64_t frameStartUs = mFrameStartUs.value_or(nowUs);
    mFrameStartUs.reset();
    if (frameStartUs < mDischargeUntilUs) {
        note("command " + hexText(code, 2) + " " +
             std::to_string(frameStartUs + mDevice.times->dischargeUs - mDischargeUntilUs) +
             " us after 0A (TDIS " + std::to_string(mDevice.times->dischargeUs) + " us): ignored");
        mDischargeUntilUs = 0;
        mPending = Pending::None;
        return;
    }
    mDischargeUntilUs = 0;
    settle(endsExternal ? nowUs : frameStartUs, code == 0x0A);
    command(code, nowUs);
    if (endsExternal)
        mDischargeUntilUs = nowUs + mDevice.times->dischargeUs;
}

void EnhancedChip::command(unsigned code, uint64_t nowUs) {
    mPending = Pending::None;
    if (!hasCommand(code)) {
        note("command " + hexText(code, 2) + " does not exist on this device: ignored");
        return;
    }
    const EnhancedTimes& t = *mDevice.times;
    switch (code) {
        case 0x00:  // Load Configuration: into the configuration space, then a data word
            mPc = kConfigBase;
            mPending = Pending::LoadProgram;
            break;
        case 0x02:
            mPending = Pending::LoadProgram;
            break;
        case 0x03:
            mPending = Pending::LoadData;
            break;
        case 0x04:
            mPending = Pending::ReadProgram;
            break;
        case 0x05:
            mPending = Pending::ReadData;
            break;
        case 0x06:
            increment();
            break;
        case 0x16:  // Reset Address
            mPc = 0;
            break;
        case 0x08:
            beginInternal(nowUs);
            break;
        case 0x18:
            beginExternal(nowUs);
            break;
        case 0x0A:
            break;  // settle() has ended the externally timed cycle, if one ran
        case 0x09:
            startCycle(Target::BulkProgram, false, t.bulkEraseUs, nowUs);
            break;
        case 0x0B:
            startCycle(Target::BulkData, false, t.bulkEraseUs, nowUs);
            break;
        case 0x11:
            startCycle(Target::RowErase, false, t.rowEraseUs, nowUs);
            break;
        default:
            break;
    }
}

void EnhancedChip::increment() {
    // Each space wraps onto itself: the counter never leaves the configuration space by
    // counting.
    mPc = (mPc & kConfigBase) | ((mPc + 1) & 0x7FFF);
}

void EnhancedChip::writeWord(uint16_t word, uint64_t) {
    if (!mInProgramming)
        return;
    switch (mPending) {
        case Pending::LoadProgram:
            mLatch[mPc % mLatch.size()] = static_cast<uint16_t>(word & kBlank);
            mLastLoad = LastLoad::Program;
            break;
        case Pending::LoadData:
            mDataLatch = static_cast<uint8_t>(word & 0xFF);
            mLastLoad = LastLoad::Data;
            break;
        default:
            note("data word " + hexText(word, 4) + " without a load command: ignored");
            break;
    }
    mPending = Pending::None;
}

uint16_t EnhancedChip::readWord(uint64_t) {
    if (!mInProgramming)
        return 0;
    uint16_t result = 0;
    if (mPending == Pending::ReadProgram)
        result = readAtCounter();
    else if (mPending == Pending::ReadData && !mDataProtected)
        result = mData[mPc % mData.size()];
    else if (mPending != Pending::ReadData)
        note("word read without a read command");
    mPending = Pending::None;
    return result;
}

uint32_t EnhancedChip::readBits(int, uint64_t) {
    mPending = Pending::None;
    return 0;  // this core answers only whole words after a read command
}

uint16_t EnhancedChip::readAtCounter() const {
    if (!inProgramSpace(mPc)) {
        const uint16_t* slot = configSlot(mPc);
        return slot ? *slot : 0;
    }
    if (mPc >= mProgram.size() || mCodeProtected)
        return 0;  // unimplemented, or protected program memory reads as zeros
    uint16_t word = mProgram[mPc];
    for (const auto& s : mStuck)
        if (s.address == mPc)
            word = static_cast<uint16_t>((word & ~s.mask) | (s.value & s.mask));
    return word;
}

SimChip::DataFrame EnhancedChip::dataFrameAfter(unsigned code) const {
    if (!hasCommand(code))
        return DataFrame::None;
    switch (code) {
        case 0x00:
        case 0x02:
        case 0x03:
            return DataFrame::Load;
        case 0x04:
        case 0x05:
            return DataFrame::Read;
        default:
            return DataFrame::None;
    }
}

double EnhancedChip::oscillatorHz() const {
    const bool program =
        std::any_of(mProgram.begin(), mProgram.end(), [](uint16_t w) { return w != kBlank; });
    return program ? kRunningHz : 0.0;
}

uint16_t EnhancedChip::peek(uint32_t address) const {
    if (address < mProgram.size())
        return mProgram[address];
    const uint16_t* slot = configSlot(address);
    return slot ? *slot : 0;
}

void EnhancedChip::poke(uint32_t address, uint16_t value) {
    value &= kBlank;
    if (address < mProgram.size())
        mProgram[address] = value;
    else if (uint16_t* slot = configSlot(address))
        *slot = value;
}

uint8_t EnhancedChip::peekData(uint32_t address) const {
    return address < mData.size() ? mData[address] : 0xFF;
}

void EnhancedChip::pokeData(uint32_t address, uint8_t value) {
    if (address < mData.size())
        mData[address] = value;
}

void EnhancedChip::setStuckBits(uint32_t address, uint16_t mask, uint16_t value) {
    for (auto& s : mStuck)
        if (s.address == address) {
            s.mask = mask;
            s.value = value;
            return;
        }
    mStuck.push_back({address, mask, value});
}

}  // namespace velkaro::sim
