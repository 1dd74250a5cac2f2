#include "sim/midrange/midrange_chip.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <istream>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>

namespace velkaro::sim {

namespace {

constexpr uint32_t kConfigAreaWords14 = 16;  // 0x2000..0x200F
constexpr uint16_t kDeviceIdAddr = 0x2006;
constexpr uint16_t kRevision = 0x0002;      // revision bits of the device-ID word
constexpr uint16_t kMclrEnable = 0x0020;    // MCLRE in the configuration word
constexpr double kNominalHz = 1'000'000.0;  // instruction clock of a 4 MHz RC oscillator
constexpr double kStepFactor = 1.005;       // frequency ratio of one OSCCAL step
constexpr uint16_t kOsccalResetValue = 0x80;
constexpr int kWordsPerLine = 8;
constexpr int kBytesPerLine = 16;

// A stable per-name number, so every chip of a type leaves the factory with the same values.
uint32_t nameHash(const char* name) {
    uint32_t h = 2166136261u;
    for (const char* p = name; *p; ++p)
        h = (h ^ static_cast<uint8_t>(*p)) * 16777619u;
    return h;
}

std::string hexText(uint32_t value, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", width, value);
    return buffer;
}

bool parseHex(const std::string& token, uint32_t& value) {
    if (token.empty() || token.size() > 8)
        return false;
    uint32_t v = 0;
    for (char c : token) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        v = v * 16 + static_cast<uint32_t>(digit);
    }
    value = v;
    return true;
}

bool sameNameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
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

void MidrangeChip::powerUp(bool vppFirst, uint64_t) {
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

void MidrangeChip::beginProgramming(CycleKind kind, uint32_t durationUs, uint64_t nowUs) {
    if (kind == CycleKind::None)
        return;
    if (mLastLoad == LastLoad::Data)
        startCycle(CycleTarget::Data, CycleKind::EraseProgram, mDevice.protocol->dataWriteTimeUs,
                   nowUs);
    else
        startCycle(CycleTarget::Program, kind, durationUs, nowUs);
}

void MidrangeChip::startCycle(CycleTarget target, CycleKind kind, uint32_t durationUs,
                              uint64_t nowUs) {
    mCycle = Cycle{target, kind, nowUs, durationUs, mPc};
}

// Ends the running cycle at `nowUs`: complete when its time has passed, cut short otherwise.
// An externally timed cycle ends properly only with the device's End Programming command;
// any other traffic, or the supply going, leaves its words half programmed.
void MidrangeChip::settle(uint64_t nowUs, bool byEndCommand) {
    if (!mCycle)
        return;
    const Cycle cycle = *mCycle;
    mCycle.reset();
    bool complete = nowUs >= cycle.startUs + cycle.durationUs;
    if (cycle.kind == CycleKind::ProgramOnlyExternal && !byEndCommand) {
        note("externally timed cycle not ended by End Programming (" +
             hexText(mDevice.protocol->endCode, 2) + ") after " +
             std::to_string(nowUs - cycle.startUs) + " us: words left half programmed");
        complete = false;
    } else if (!complete) {
        note("cycle cut short after " + std::to_string(nowUs - cycle.startUs) + " us (needs " +
             std::to_string(cycle.durationUs) + " us)");
    }
    finishCycle(cycle, complete);
}

// A bulk erase other than the one that lifts code protection does nothing on a protected
// chip; on families cleared by 09 from the configuration area every bulk erase runs.
bool MidrangeChip::bulkEraseAllowed(CycleTarget target, uint32_t pc) {
    if (!mCodeProtected && !mDataProtected)
        return true;
    const ProtectionClear clear = mDevice.protocol->protectionClear;
    if (clear == ProtectionClear::BulkFromConfig)
        return true;
    if (clear == ProtectionClear::SetupAtConfig && target == CycleTarget::SetupErase &&
        pc == configWordAddr(0))
        return true;
    if (clear == ProtectionClear::ChipErase && target == CycleTarget::Chip)
        return true;
    note(std::string("erase refused on a code-protected chip: only ") +
         (clear == ProtectionClear::SetupAtConfig ? "01, 07, 08 at the configuration word"
                                                  : "the chip erase (1F)") +
         " lifts the protection");
    return false;
}

void MidrangeChip::finishCycle(const Cycle& cycle, bool complete) {
    switch (cycle.target) {
        case CycleTarget::Program: {
            const uint32_t latchCount = static_cast<uint32_t>(mLatch.size());
            if (inProgramMemory(cycle.pc)) {
                const uint32_t index = cycle.pc % mDevice.progWords;
                const uint32_t first = index - index % latchCount;
                if (mCodeProtected)
                    note("programming cycle into code-protected program memory ignored");
                else
                    for (uint32_t i = 0; i < latchCount; ++i)
                        programWord(first + i, mLatch[i], cycle.kind, complete);
            } else if (configAreaWritable(cycle.pc)) {
                programWord(cycle.pc, mLatch[cycle.pc % latchCount], cycle.kind, complete);
            }
            // The latches return to all ones after every cycle.
            std::fill(mLatch.begin(), mLatch.end(), blank());
            break;
        }
        case CycleTarget::Data:
            if (mDataProtected)
                note("programming cycle into protected data memory ignored");
            if (!mData.empty() && !mDataProtected) {
                // An EEPROM write cut short leaves the high nibble erased.
                mData[cycle.pc % mData.size()] =
                    complete ? mDataLatch : static_cast<uint8_t>(mDataLatch | 0xF0);
            }
            break;
        case CycleTarget::BulkProgram:
            if (!complete || !bulkEraseAllowed(cycle.target, cycle.pc))
                break;
            eraseProgram();
            // 14-bit: from the configuration area it also takes IDs and configuration.
            // 12-bit: always the configuration word; from the ID area also the IDs and the
            // backup OSCCAL.
            if (is12Bit())
                eraseConfigArea(!inProgramMemory(cycle.pc) && cycle.pc != mDevice.adrMask);
            else if (!inProgramMemory(cycle.pc))
                eraseConfigArea(true);
            latchProtection();
            break;
        case CycleTarget::BulkData:
            if (!complete || !bulkEraseAllowed(cycle.target, cycle.pc))
                break;
            eraseData();
            break;
        case CycleTarget::Chip:
            if (!complete || !bulkEraseAllowed(cycle.target, cycle.pc))
                break;
            // Like 09, the chip erase reaches the IDs and the configuration word (and so the
            // protection bits) only with the counter in the configuration area.
            eraseProgram();
            if (!inProgramMemory(cycle.pc))
                eraseConfigArea(true);
            eraseData();
            latchProtection();
            break;
        case CycleTarget::SetupErase:
            if (!complete || !bulkEraseAllowed(cycle.target, cycle.pc))
                break;
            if (!inProgramMemory(cycle.pc)) {
                // At the configuration word the sequence clears code protection and erases
                // program memory, IDs and configuration, and the EEPROM only when protection
                // was on; elsewhere in the configuration area it reaches program memory, IDs
                // and configuration but not the EEPROM.
                const bool wasProtected = mCodeProtected || mDataProtected;
                eraseProgram();
                eraseConfigArea(true);
                if (cycle.pc == configWordAddr(0) && wasProtected)
                    eraseData();
            } else if (mLastLoad == LastLoad::Data) {
                if (mDevice.protocol->setupErasesData)
                    eraseData();
                else
                    note(
                        "01, 07, 08 after Load Data Memory does not erase the EEPROM of this "
                        "device (0B, then 08 does)");
            } else {
                eraseProgram();
            }
            latchProtection();
            break;
    }
}

void MidrangeChip::programWord(uint32_t address, uint16_t value, CycleKind kind, bool complete) {
    uint16_t* word = inProgramMemory(address) ? &mProgram[address] : configSlot(address);
    if (!word)
        return;
    const uint16_t erased = blank();
    // A cycle cut short programs only the low half of the word's bits.
    const uint16_t lowBits = is12Bit() ? 0x003F : 0x007F;
    const uint16_t effective =
        complete ? value : static_cast<uint16_t>(value | (erased & ~lowBits));
    uint16_t result =
        kind == CycleKind::EraseProgram ? effective : static_cast<uint16_t>(*word & effective);
    result &= erased;
    for (int i = 0; i < 2; ++i)
        if (address == configWordAddr(i) && (i == 0 || mDevice.configMask[1] != 0))
            result &= implementedConfigMask(i);
    if (address == configWordAddr(0)) {
        // Protection bits go back to 1 only through the erase that lifts protection.
        const uint16_t lifted = static_cast<uint16_t>(effective & ~*word & protectionBits());
        if (lifted != 0) {
            note("configuration write cannot lift code protection (bits " + hexText(lifted, 4) +
                 " stay 0)");
            result = static_cast<uint16_t>(result & ~lifted);
        }
    }
    *word = result;
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

std::vector<uint16_t> MidrangeChip::erasedConfigArea() const {
    MidrangeChip fresh(mDevice);
    fresh.eraseConfigArea(true);
    return fresh.mConfigArea;
}

// State file: see src/sim/README.md. Only lines that differ from an erased chip are written.
void MidrangeChip::saveState(std::ostream& out) const {
    out << "# Velkaro simulated chip state\n";
    out << "chip " << mDevice.name << "\n";
    auto words = [&](const char* keyword, const std::vector<uint16_t>& area,
                     const std::vector<uint16_t>& erased, uint32_t base) {
        for (size_t i = 0; i < area.size(); i += kWordsPerLine) {
            const size_t end = std::min(area.size(), i + kWordsPerLine);
            if (std::equal(area.begin() + i, area.begin() + end, erased.begin() + i))
                continue;
            out << keyword << ' ' << hexText(static_cast<uint32_t>(base + i), 4);
            for (size_t k = i; k < end; ++k)
                out << ' ' << hexText(area[k], is12Bit() ? 3 : 4);
            out << '\n';
        }
    };
    words("program", mProgram, std::vector<uint16_t>(mProgram.size(), blank()), 0);
    words("config", mConfigArea, erasedConfigArea(), configAreaBase());
    for (size_t i = 0; i < mData.size(); i += kBytesPerLine) {
        const size_t end = std::min(mData.size(), i + kBytesPerLine);
        if (std::all_of(mData.begin() + i, mData.begin() + end,
                        [](uint8_t b) { return b == 0xFF; }))
            continue;
        out << "data " << hexText(static_cast<uint32_t>(i), 4);
        for (size_t k = i; k < end; ++k)
            out << ' ' << hexText(mData[k], 2);
        out << '\n';
    }
}

bool MidrangeChip::loadState(std::istream& in) {
    int lineNumber = 0;
    auto refuse = [&](bool wholeText = false) {
        mLoadErrorLine = wholeText ? 0 : lineNumber;
        return false;
    };
    std::vector<uint16_t> program(mProgram.size(), blank());
    std::vector<uint16_t> configArea = erasedConfigArea();
    std::vector<uint8_t> data(mData.size(), 0xFF);
    bool named = false;
    std::string line;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (const auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        std::istringstream fields(line);
        std::string keyword;
        if (!(fields >> keyword))
            continue;
        if (keyword == "chip") {
            std::string chipName;
            if (named || !(fields >> chipName) || !sameNameIgnoringCase(chipName, mDevice.name))
                return refuse();
            named = true;
            continue;
        }
        if (!named || (keyword != "program" && keyword != "config" && keyword != "data"))
            return refuse();
        std::string token;
        uint32_t address = 0;
        if (!(fields >> token) || !parseHex(token, address))
            return refuse();
        uint32_t value = 0;
        while (fields >> token) {
            if (!parseHex(token, value))
                return refuse();
            if (keyword == "program") {
                if (address >= program.size() || value > blank())
                    return refuse();
                program[address] = static_cast<uint16_t>(value);
            } else if (keyword == "config") {
                const uint32_t base = configAreaBase();
                if (address < base || address - base >= configArea.size() || value > blank())
                    return refuse();
                configArea[address - base] = static_cast<uint16_t>(value);
            } else {
                if (address >= data.size() || value > 0xFF)
                    return refuse();
                data[address] = static_cast<uint8_t>(value);
            }
            ++address;
        }
    }
    if (!named)
        return refuse(true);
    mProgram = std::move(program);
    mConfigArea = std::move(configArea);
    mData = std::move(data);
    return true;
}

}  // namespace velkaro::sim
