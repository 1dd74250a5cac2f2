#include "sim/midrange/midrange_chip.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "sim/midrange/midrange_chip_internal.h"

namespace velkaro::sim {

namespace {

constexpr uint32_t kConfigAreaWords14 = 16;  // 0x2000..0x200F
constexpr uint16_t kDeviceIdAddr = 0x2006;
constexpr uint16_t kRevision = 0x0002;      // revision bits of the device-ID word
constexpr uint16_t kMclrEnable = 0x0020;    // MCLRE in the configuration word
constexpr double kNominalHz = 1'000'000.0;  // instruction clock of a 4 MHz RC oscillator
constexpr double kStepFactor = 1.005;       // frequency ratio of one OSCCAL step
constexpr uint16_t kOsccalResetValue = 0x80;

// A stable per-name number, so every chip of a type leaves the factory with the same values.
uint32_t nameHash(const char* name) {
    uint32_t h = 2166136261u;
    for (const char* p = name; *p; ++p)
        h = (h ^ static_cast<uint8_t>(*p)) * 16777619u;
    return h;
}

}  // namespace

MidrangeChip::MidrangeChip(const MidrangeDevice& device) : mDevice(device) {
    mProgram.assign(mDevice.progWords, blank());
    const uint32_t areaWords =
        is12Bit() ? uint32_t{mDevice.adrMask} + 1 - mDevice.progWords : kConfigAreaWords14;
    mConfigArea.assign(areaWords, is12Bit() ? blank() : 0);
    mData.assign(mDevice.dataBytes, 0xFF);
    mLatch.assign(mDevice.latchWords ? mDevice.latchWords : 1, blank());
    resetToFactory();
}

uint16_t MidrangeChip::configWordAddr(int index) const {
    return is12Bit() ? mDevice.adrMask : static_cast<uint16_t>(0x2007 + index);
}

uint16_t MidrangeChip::implementedConfigMask(int index) const {
    return static_cast<uint16_t>(mDevice.configMask[index] | (index == 0 ? mDevice.bgMask : 0));
}

bool MidrangeChip::hasCommand(unsigned code) const {
    return code < 64 && (mDevice.protocol->commands >> code) & 1;
}

bool MidrangeChip::inProgramMemory(uint32_t pc) const {
    return is12Bit() ? pc < mDevice.progWords : pc < 0x2000;
}

bool MidrangeChip::configAreaWritable(uint32_t address) const {
    const uint32_t ids = configAreaBase();
    if (address >= ids && address < ids + 4)
        return true;
    if (address == configWordAddr(0))
        return true;
    if (is12Bit())
        return mDevice.osccalAddr != 0 && address == ids + 4u;  // backup OSCCAL
    return mDevice.configMask[1] != 0 && address == configWordAddr(1);
}

uint16_t* MidrangeChip::configSlot(uint32_t address) {
    return const_cast<uint16_t*>(std::as_const(*this).configSlot(address));
}

const uint16_t* MidrangeChip::configSlot(uint32_t address) const {
    if (is12Bit() && address == 0xFFF)
        address = mDevice.adrMask;
    const uint32_t base = configAreaBase();
    if (address < base || address - base >= mConfigArea.size())
        return nullptr;
    return &mConfigArea[address - base];
}

void MidrangeChip::resetToFactory() {
    const uint32_t h = nameHash(mDevice.name);
    eraseProgram();
    eraseConfigArea(true);
    eraseData();
    if (mDevice.osccalAddr != 0) {
        // 14-bit: RETLW k with OSCCAL bits 7:2; 12-bit: MOVLW k with bits 7:1.
        const uint16_t cal = is12Bit() ? static_cast<uint16_t>(0x20 + 2 * (h % 0x50))
                                       : static_cast<uint16_t>(0x50 + (h % 0x18) * 4);
        mFactoryOsccal = static_cast<uint16_t>((is12Bit() ? 0x0C00 : 0x3400) | (cal & 0xFF));
        mProgram[mDevice.osccalAddr] = mFactoryOsccal;
        if (is12Bit())
            *configSlot(configAreaBase() + 4) = mFactoryOsccal;
    }
    if (mDevice.bgMask != 0) {
        mFactoryBandGap = static_cast<uint16_t>(((h >> 8) & 1 ? 0x2000 : 0x1000) & mDevice.bgMask);
        uint16_t& config = *configSlot(configWordAddr(0));
        config = static_cast<uint16_t>((config & ~mDevice.bgMask) | mFactoryBandGap);
    }
    if (!is12Bit()) {
        if (mDevice.deviceId != 0)
            *configSlot(kDeviceIdAddr) = static_cast<uint16_t>(mDevice.deviceId | kRevision);
        for (int i = 0; i < mDevice.calWordCount; ++i)
            *configSlot(mDevice.calWordAddr + i) =
                static_cast<uint16_t>(0x1E40 | ((h >> (4 * i)) & 0x3F));
    }
}

void MidrangeChip::eraseProgram() {
    std::fill(mProgram.begin(), mProgram.end(), blank());
}

// Erases what a bulk erase with the counter in the configuration area reaches. The device ID
// and the calibration words of the configuration area are read-only and survive.
void MidrangeChip::eraseConfigArea(bool withIds) {
    const uint32_t base = configAreaBase();
    if (withIds) {
        for (uint32_t a = base; a < base + 4; ++a)
            *configSlot(a) = blank();
        if (is12Bit() && mDevice.osccalAddr != 0)
            *configSlot(base + 4) = blank();
    }
    *configSlot(configWordAddr(0)) = implementedConfigMask(0);
    if (!is12Bit() && mDevice.configMask[1] != 0)
        *configSlot(configWordAddr(1)) = implementedConfigMask(1);
}

void MidrangeChip::eraseData() {
    std::fill(mData.begin(), mData.end(), uint8_t{0xFF});
}

void MidrangeChip::latchProtection() {
    const uint16_t config = *configSlot(configWordAddr(0));
    mCodeProtected = (config & mDevice.cpMask) != mDevice.cpMask;
    mDataProtected = mDevice.cpdMask != 0 && (config & mDevice.cpdMask) != mDevice.cpdMask;
}

bool MidrangeChip::needsVppFirst() const {
    const MidrangeProtocol& p = *mDevice.protocol;
    if (p.intOscFieldMask == 0)
        return false;
    const uint16_t config = *configSlot(configWordAddr(0));
    const bool internalOscillator = (config & p.intOscFieldMask & ~1u) == (p.intOscValue & ~1u);
    return internalOscillator && (config & kMclrEnable) == 0;
}

void MidrangeChip::linesAtEntry(int pgc, int pgd) {
    mEntryLinesHigh = pgc != 0 || pgd != 0;
}

void MidrangeChip::powerUp(bool vppFirst, double vppVolts, uint64_t) {
    // VIHH of the 12/14-bit parts: 13.5 V at most (src/sim/README.md).
    if (!vppWithinRating(vppVolts, 13.5))
        return;
    // Program/verify mode is entered with PGC and PGD held low while VPP rises; with either
    // line high the chip is not in that mode and ignores the lines until the supplies go.
    if (mEntryLinesHigh) {
        note("PGC or PGD high while VPP rose: no programming mode");
        return;
    }
    // With VDD first such a chip is already running its program (which may drive the
    // programming pins) when VPP arrives; it stays out of programming mode and ignores
    // the lines until the supplies go.
    if (!vppFirst && needsVppFirst()) {
        note(
            "VDD rose before VPP on a chip set for the internal oscillator with MCLR off: "
            "its program runs, no programming mode");
        return;
    }
    mPowered = true;
    mPc = is12Bit() ? mDevice.adrMask : 0;
    mPending = Pending::None;
    mLastLoad = LastLoad::None;
    std::fill(mLatch.begin(), mLatch.end(), blank());
    mDataLatch = 0xFF;
    mSetupStep = 0;
    mArmedErase.reset();
    mCycle.reset();
    mDischargeUntilUs = 0;
    mFrameStartUs.reset();
    // Protection is latched from the configuration word when programming mode is entered.
    latchProtection();
}

void MidrangeChip::powerDown(uint64_t nowUs) {
    if (!mPowered)
        return;
    if (mCycle && mCycle->kind != CycleKind::ProgramOnlyExternal &&
        nowUs < mCycle->startUs + mCycle->durationUs) {
        // A cycle still running when the supply goes is cut short.
        const Cycle cycle = *mCycle;
        mCycle.reset();
        note("power removed " + std::to_string(nowUs - cycle.startUs) +
             " us into a programming cycle (needs " + std::to_string(cycle.durationUs) + " us)");
        finishCycle(cycle, false);
    }
    settle(nowUs);
    mPowered = false;
    mPending = Pending::None;
}

void MidrangeChip::writeBits(uint32_t value, int count, uint64_t nowUs) {
    if (!mPowered)
        return;
    if (count != 6) {
        settle(nowUs);
        mPending = Pending::None;  // not a frame this core understands
        return;
    }
    const unsigned code = value & 0x3F;
    const MidrangeProtocol& p = *mDevice.protocol;
    const bool byEnd = p.endCode != 0 && code == p.endCode;
    const bool endsExternal = byEnd && mCycle && mCycle->kind == CycleKind::ProgramOnlyExternal;
    // Clocked in at the pins, the command began with its first clock: the wait before it
    // ends there, while End Programming ends an externally timed cycle once it is complete.
    const uint64_t frameStartUs = mFrameStartUs.value_or(nowUs);
    mFrameStartUs.reset();
    settle(byEnd ? nowUs : frameStartUs, byEnd);
    command(code, frameStartUs, nowUs);
    // The programming voltage discharges after an externally timed cycle: TDIS before the
    // next command.
    if (endsExternal && p.dischargeUs != 0)
        mDischargeUntilUs = nowUs + p.dischargeUs;
}

void MidrangeChip::writeWord(uint16_t word, uint64_t nowUs) {
    if (!mPowered)
        return;
    settle(nowUs);
    const uint32_t latchCount = static_cast<uint32_t>(mLatch.size());
    switch (mPending) {
        case Pending::LoadProgram:
        case Pending::LoadConfig: {
            const uint32_t index = inProgramMemory(mPc) ? mPc % mDevice.progWords : mPc;
            mLatch[index % latchCount] = static_cast<uint16_t>(word & blank());
            mLastLoad = LastLoad::Program;
            break;
        }
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

uint16_t MidrangeChip::readWord(uint64_t nowUs) {
    if (!mPowered)
        return 0;
    settle(nowUs);
    uint16_t result = 0;
    if (mPending == Pending::ReadProgram)
        result = readAtCounter();
    else if (mPending == Pending::ReadData && !mData.empty() && !mDataProtected)
        result = mData[mPc % mData.size()];
    else if (mPending != Pending::ReadData)
        note("word read without a read command");
    mPending = Pending::None;
    return result;
}

uint32_t MidrangeChip::readBits(int, uint64_t nowUs) {
    if (mPowered)
        settle(nowUs);
    mPending = Pending::None;
    return 0;  // this core answers only whole words after a read command
}

SimChip::DataFrame MidrangeChip::dataFrameAfter(unsigned code) const {
    if (!hasCommand(code))
        return DataFrame::None;
    switch (code) {
        case 0:  // Load Configuration
        case 2:  // Load Data (program memory)
        case 3:  // Load Data (data memory)
            return DataFrame::Load;
        case 4:  // Read Data (program memory)
        case 5:  // Read Data (data memory)
            return DataFrame::Read;
        default:
            return DataFrame::None;
    }
}

void MidrangeChip::commandFrameStarts(uint64_t nowUs) {
    mFrameStartUs = nowUs;
}

void MidrangeChip::setPgc(int, uint64_t) {}
void MidrangeChip::setPgd(int, uint64_t) {}

uint16_t MidrangeChip::readAtCounter() const {
    if (inProgramMemory(mPc)) {
        const uint32_t index = mPc % mDevice.progWords;
        if (mCodeProtected && !readableUnderProtection(index))
            return 0;  // protected program memory reads as zeros
        uint16_t word = mProgram[index];
        for (const auto& s : mStuck)
            if (s.address == index)
                word = static_cast<uint16_t>((word & ~s.mask) | (s.value & s.mask));
        return word;
    }
    const uint16_t* slot = configSlot(mPc);
    return slot ? *slot : 0;
}

void MidrangeChip::increment() {
    if (is12Bit())
        mPc = (mPc + 1) & mDevice.adrMask;
    else if (mPc < 0x2000)
        mPc = (mPc + 1) & 0x1FFF;
    else
        mPc = 0x2000 | ((mPc + 1) & 0x1FFF);  // the configuration area wraps onto itself
}

void MidrangeChip::command(unsigned code, uint64_t frameStartUs, uint64_t nowUs) {
    mPending = Pending::None;
    if (frameStartUs < mDischargeUntilUs) {
        // Still discharging after End Programming: the chip does not take the command.
        note("command " + hexText(code, 2) + " " +
             std::to_string(frameStartUs + mDevice.protocol->dischargeUs - mDischargeUntilUs) +
             " us after End Programming (needs " + std::to_string(mDevice.protocol->dischargeUs) +
             " us): ignored");
        mDischargeUntilUs = 0;
        return;
    }
    mDischargeUntilUs = 0;
    const auto armed = mArmedErase;
    mArmedErase.reset();
    const int setupStep = mSetupStep;
    mSetupStep = 0;
    if (!hasCommand(code)) {
        note("command " + hexText(code, 2) + " does not exist on this device");
        return;  // a real chip ignores codes it does not implement
    }
    const MidrangeProtocol& p = *mDevice.protocol;

    if (armed && (code == 8 || (p.progOnlyStartsErase && code == p.progOnlyCode))) {
        startCycle(*armed, CycleKind::EraseProgram, p.bulkEraseTimeUs, nowUs);
        return;
    }
    if (code == 8 && setupStep == 2) {
        startCycle(CycleTarget::SetupErase, CycleKind::EraseProgram, p.setupEraseTimeUs, nowUs);
        return;
    }
    if (p.progOnlyCode != 0 && code == p.progOnlyCode) {
        beginProgramming(p.progOnlyCycle, p.progOnlyTimeUs, nowUs);
        return;
    }
    if (p.endCode != 0 && code == p.endCode)
        return;  // the externally timed cycle has already been ended by settle()

    switch (code) {
        case 0:
            mPc = 0x2000;
            mPending = Pending::LoadConfig;
            break;
        case 1:
            mSetupStep = 1;
            break;
        case 7:
            mSetupStep = setupStep == 1 ? 2 : 0;
            break;
        case 2:
            mPending = Pending::LoadProgram;
            break;
        case 3:
            mPending = Pending::LoadData;
            break;
        case 4:
            mPending = Pending::ReadProgram;
            break;
        case 5:
            mPending = Pending::ReadData;
            break;
        case 6:
            increment();
            break;
        case 8:
            beginProgramming(p.beginCycle, p.beginTimeUs, nowUs);
            break;
        case 9:
        case 0x0B: {
            const auto target = code == 9 ? CycleTarget::BulkProgram : CycleTarget::BulkData;
            if (p.bulkEraseStart == EraseStart::Immediate)
                startCycle(target, CycleKind::EraseProgram, p.bulkEraseTimeUs, nowUs);
            else
                mArmedErase = target;
            break;
        }
        case 0x1F:
            startCycle(CycleTarget::Chip, CycleKind::EraseProgram, p.chipEraseTimeUs, nowUs);
            break;
        default:
            break;
    }
}

// Baseline parts leave the first 64 words and the OSCCAL word readable under protection.
bool MidrangeChip::readableUnderProtection(uint32_t index) const {
    return is12Bit() && (index < 64 || (mDevice.osccalAddr != 0 && index == mDevice.osccalAddr));
}

bool MidrangeChip::programIsPresent() const {
    for (uint32_t a = 0; a < mProgram.size(); ++a)
        if (mProgram[a] != blank() && !(mDevice.osccalAddr != 0 && a == mDevice.osccalAddr))
            return true;
    return false;
}

double MidrangeChip::oscillatorHz() const {
    if (!programIsPresent())
        return 0.0;
    if (mDevice.osccalAddr == 0)
        return mDevice.calWordCount > 0 ? kNominalHz : 0.0;
    // The program loads OSCCAL from the instruction at the OSCCAL address; anything but a
    // literal instruction leaves the register at its reset value.
    const uint16_t word = mProgram[mDevice.osccalAddr];
    const bool literal = is12Bit() ? (word & 0xF00) == 0xC00 : (word & 0x3F00) == 0x3400;
    const int unit = is12Bit() ? 2 : 4;
    const int cal = literal ? (word & 0xFF) : kOsccalResetValue;
    const int steps = cal / unit - (mFactoryOsccal & 0xFF) / unit;
    return kNominalHz * mOscillatorRatio * std::pow(kStepFactor, steps);
}

uint16_t MidrangeChip::peek(uint32_t address) const {
    if (address < mProgram.size())
        return mProgram[address];
    const uint16_t* slot = configSlot(address);
    return slot ? *slot : 0;
}

void MidrangeChip::poke(uint32_t address, uint16_t value) {
    value &= blank();
    if (address < mProgram.size())
        mProgram[address] = value;
    else if (uint16_t* slot = configSlot(address))
        *slot = value;
}

uint8_t MidrangeChip::peekData(uint32_t address) const {
    return address < mData.size() ? mData[address] : 0xFF;
}

void MidrangeChip::pokeData(uint32_t address, uint8_t value) {
    if (address < mData.size())
        mData[address] = value;
}

void MidrangeChip::setStuckBits(uint32_t address, uint16_t mask, uint16_t value) {
    for (auto& s : mStuck)
        if (s.address == address) {
            s.mask = mask;
            s.value = value;
            return;
        }
    mStuck.push_back({address, mask, value});
}

}  // namespace velkaro::sim
