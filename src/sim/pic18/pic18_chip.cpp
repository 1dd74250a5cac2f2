#include "sim/pic18/pic18_chip.h"

#include <algorithm>
#include <string>
#include <utility>

#include "sim/pic18/pic18_chip_internal.h"

namespace velkaro::sim {

namespace {

Pic18Timing timingFor(const Pic18Model& model) {
    // P9 and P10 from the programming documents of each family. P11 for the FXX2 parts
    // is given as 5 ms and as 10 ms by different sources; the longer one is demanded so that
    // a marginal erase wait shows up here rather than on a real chip. The EEPROM write time
    // is not documented in the sources at hand; 4 ms is the usual figure for these parts.
    // The K-series program configuration bytes for P9A (5 ms) and need P10 of 200 us; their
    // P11 is 15 ms on the K22 and K50 parts, 5 ms on the K20 (the row's eraseUs).
    Pic18Timing timing{1000, 1000, 100, 5000, 4000};
    if (model.family == Pic18Family::Fxx2)
        timing = {1000, 1000, 5, 10000, 4000};
    if (model.family == Pic18Family::K)
        timing = {1000, 5000, 200, 15000, 4000};
    if (model.eraseUs != 0)
        timing.eraseUs = model.eraseUs;
    return timing;
}

}  // namespace

Pic18Chip::Pic18Chip(const Pic18Model& model)
    : mModel(model),
      mTiming(timingFor(model)),
      mProgram(model.programWords * 2, 0xFF),
      mEeprom(model.eepromBytes, 0xFF),
      mDeviceId(static_cast<uint16_t>(model.deviceId | 0x0001)) {  // silicon revision 1
    eraseAll();
}

// ---- Memory map ----------------------------------------------------------------------

uint8_t* Pic18Chip::cell(uint32_t address) {
    return const_cast<uint8_t*>(std::as_const(*this).cell(address));
}

const uint8_t* Pic18Chip::cell(uint32_t address) const {
    if (address < programBytes())
        return &mProgram[address];
    if (address >= kIdAddress && address < kIdAddress + kIdBytes)
        return &mIds[address - kIdAddress];
    if (address >= kConfigAddress && address < kConfigAddress + kConfigBytes)
        return &mConfig[address - kConfigAddress];
    if (address >= kEepromBase && address < kEepromBase + mEeprom.size())
        return &mEeprom[address - kEepromBase];
    return nullptr;
}

uint8_t Pic18Chip::configMask(uint32_t index) const {
    const uint16_t word = mModel.configMasks[index / 2];
    return static_cast<uint8_t>(index % 2 ? word >> 8 : word & 0xFF);
}

uint8_t Pic18Chip::configBlank(uint32_t index) const {
    const uint16_t word = mModel.configBlank[index / 2];
    return static_cast<uint8_t>((index % 2 ? word >> 8 : word & 0xFF) & configMask(index));
}

uint8_t Pic18Chip::erasedValue(uint32_t address) const {
    if (address >= kConfigAddress && address < kConfigAddress + kConfigBytes)
        return configBlank(address - kConfigAddress);
    return 0xFF;
}

uint8_t Pic18Chip::readByte(uint32_t address) const {
    if (const uint8_t* p = cell(address))
        return *p;
    if (address == kDeviceIdAddress)
        return static_cast<uint8_t>(mDeviceId & 0xFF);
    if (address == kDeviceIdAddress + 1)
        return static_cast<uint8_t>(mDeviceId >> 8);
    if (address >= kEraseControlLow && address <= kPanelMode)
        return mEraseControl[address - kEraseControlLow];
    return 0;
}

void Pic18Chip::storeByte(uint32_t address, uint8_t value) {
    uint8_t* p = cell(address);
    if (!p)
        return;
    if (address >= kConfigAddress && address < kConfigAddress + kConfigBytes)
        value &= configMask(address - kConfigAddress);
    if (auto stuck = mStuck.find(address); stuck != mStuck.end()) {
        const auto [mask, level] = stuck->second;
        value = static_cast<uint8_t>((value & ~mask) | (level & mask));
    }
    *p = value;
}

void Pic18Chip::eraseAll() {
    for (uint32_t a = 0; a < programBytes(); ++a)
        storeByte(a, 0xFF);
    for (uint32_t i = 0; i < kIdBytes; ++i)
        storeByte(kIdAddress + i, 0xFF);
    for (uint32_t i = 0; i < kConfigBytes; ++i)
        storeByte(kConfigAddress + i, configBlank(i));
    for (uint32_t i = 0; i < mEeprom.size(); ++i)
        storeByte(kEepromBase + i, 0xFF);
}

uint32_t Pic18Chip::bootBlockBytes() const {
    // The boot block is the first 512 bytes on the FXX2 parts and 2 KB on the 2XXX/4XXX
    // parts with 8 KB or larger blocks; the small 2221/2321 parts have a quarter block.
    // The K-series keep 2 KB from 16 KB of program memory on and 512 bytes below.
    if (mModel.family == Pic18Family::Fxx2)
        return 0x200;
    if (mModel.family == Pic18Family::K)
        return blockBytes() >= 0x2000 ? 0x800 : 0x200;
    return blockBytes() >= 0x2000 ? 0x800 : blockBytes() / 4;
}

bool Pic18Chip::multiPanel() const {
    return mModel.family == Pic18Family::Fxx2 && (mEraseControl[2] & 0x40) != 0;
}

// ---- Protection ------------------------------------------------------------------------

bool Pic18Chip::protectionBit(uint32_t index, uint8_t bit) const {
    return (configMask(index) & bit) != 0 && (mConfig[index] & bit) == 0;
}

int Pic18Chip::blockOf(uint32_t address) const {
    if (address < std::min(bootBlockBytes(), programBytes()))
        return -1;
    return static_cast<int>(address / blockBytes());
}

uint8_t Pic18Chip::blockBit(int block) const {
    return block < 0 ? Pic18ProtectionBits::kBootBit : static_cast<uint8_t>(1u << block);
}

bool Pic18Chip::readProtected(uint32_t address) const {
    // Over the programming interface every table read comes from outside the block, so a
    // cleared EBTR bit hides the block as a cleared CP bit does.
    if (address >= programBytes())
        return false;
    using P = Pic18ProtectionBits;
    const int block = blockOf(address);
    const uint8_t bit = blockBit(block);
    return block < 0 ? protectionBit(P::kCpHigh, bit) || protectionBit(P::kEbtrHigh, bit)
                     : protectionBit(P::kCpLow, bit) || protectionBit(P::kEbtrLow, bit);
}

bool Pic18Chip::writeProtected(uint32_t address) const {
    if (address >= programBytes())
        return false;
    using P = Pic18ProtectionBits;
    const int block = blockOf(address);
    const uint8_t bit = blockBit(block);
    return block < 0 ? protectionBit(P::kCpHigh, bit) || protectionBit(P::kWrtHigh, bit)
                     : protectionBit(P::kCpLow, bit) || protectionBit(P::kWrtLow, bit);
}

bool Pic18Chip::dataReadProtected() const {
    return protectionBit(Pic18ProtectionBits::kCpHigh, Pic18ProtectionBits::kDataBit);
}

bool Pic18Chip::dataWriteProtected() const {
    using P = Pic18ProtectionBits;
    return protectionBit(P::kCpHigh, P::kDataBit) || protectionBit(P::kWrtHigh, P::kDataBit);
}

bool Pic18Chip::configWriteProtected() const {
    using P = Pic18ProtectionBits;
    return protectionBit(P::kWrtHigh, P::kConfigBit);
}

void Pic18Chip::releaseProtection(uint32_t index, uint8_t bits, Cycle& cycle) {
    const uint32_t address = kConfigAddress + index;
    const uint8_t old = readByte(address);
    const auto released = static_cast<uint8_t>(old | bits);
    if (released == old)
        return;
    cycle.oldBytes.emplace_back(address, old);
    storeByte(address, released);
}

// ---- Direct access ---------------------------------------------------------------------

uint16_t Pic18Chip::peek(uint32_t address) const {
    return readByte(address);
}

void Pic18Chip::poke(uint32_t address, uint16_t value) {
    const auto byte = static_cast<uint8_t>(value & 0xFF);
    if (address == kDeviceIdAddress)
        mDeviceId = static_cast<uint16_t>((mDeviceId & 0xFF00) | byte);
    else if (address == kDeviceIdAddress + 1)
        mDeviceId = static_cast<uint16_t>((mDeviceId & 0x00FF) | (byte << 8));
    else
        storeByte(address, byte);
}

uint8_t Pic18Chip::peekData(uint32_t address) const {
    return address < mEeprom.size() ? mEeprom[address] : 0;
}

void Pic18Chip::pokeData(uint32_t address, uint8_t value) {
    if (address < mEeprom.size())
        storeByte(kEepromBase + address, value);
}

void Pic18Chip::setStuckBits(uint32_t address, uint16_t mask, uint16_t value) {
    if (!cell(address))
        return;
    mStuck[address] = {static_cast<uint8_t>(mask & 0xFF), static_cast<uint8_t>(value & 0xFF)};
    storeByte(address, readByte(address));
}

// ---- Power -----------------------------------------------------------------------------

void Pic18Chip::powerUp(bool /*vppFirst*/, double vppVolts, uint64_t /*nowUs*/) {
    // VIHH of the 16-bit core: 13.25 V at most, 9 V for the K-series (src/sim/README.md).
    if (!vppWithinRating(vppVolts, mModel.family == Pic18Family::K ? 9.0 : 13.25))
        return;
    // These parts enter programming mode with either supply first.
    mPowered = true;
    mPhase = Phase::Command;
    mBitCount = 0;
    mShift = 0;
    mW = 0;
    mTblptr = 0;
    mTablat = 0;
    mTablatPending = false;
    mEecon1 = 0;
    mEeadr = 0;
    mEedata = 0;
    mUnlock = 0;
    mGotoSecondWord = false;
    mPc = 0;
    mEraseControl = {};
    mEraseArmed = false;
    mEraseNopSeen = false;
    mEraseQuietUntilUs = 0;
    mDataWriteEnded = false;
    mPollAfterWrite = false;
    mDataDischargeFromUs.reset();
    mConfigLatch.reset();
    const uint32_t panels = mModel.family == Pic18Family::Fxx2 && blockBytes() != 0
                                ? std::max<uint32_t>(1, programBytes() / blockBytes())
                                : 1;
    mBuffers.assign(panels,
                    WriteBuffer{0, false, std::vector<uint8_t>(mModel.writeBufferBytes, 0xFF)});
    mPulse = Pulse::Idle;
}

void Pic18Chip::powerDown(uint64_t nowUs) {
    if (!mPowered)
        return;
    settle(nowUs);
    if (mPulse == Pulse::Programming)
        endProgrammingPulse(nowUs);
    if (mPulse == Pulse::Discharging)
        checkDischarge(nowUs);
    if (mEraseCycle.active) {
        note("power removed " + std::to_string(nowUs - mEraseCycle.startUs) + " us into an erase");
        cutShort(mEraseCycle, nowUs - mEraseCycle.startUs);
    }
    if (mEepromCycle.active) {
        note("power removed during a data EEPROM write");
        cutShort(mEepromCycle, nowUs - mEepromCycle.startUs);
    }
    mPulse = Pulse::Idle;
    mPowered = false;
}

// ---- Line level ------------------------------------------------------------------------

void Pic18Chip::writeBits(uint32_t value, int count, uint64_t nowUs) {
    if (mPgc)
        setPgc(0, nowUs);
    bool noted = false;
    for (int i = 0; i < count; ++i) {
        const bool bit = (value >> i) & 1;
        mPgd = bit;
        if (mPhase == Phase::ReadOut && mPowered && !noted) {
            note("PGD driven while the chip was shifting data out");
            noted = true;
        }
        clockRise(nowUs);
        clockFall(bit, nowUs);
    }
}

void Pic18Chip::writeWord(uint16_t word, uint64_t nowUs) {
    writeBits(word, 16, nowUs);
}

uint16_t Pic18Chip::readWord(uint64_t nowUs) {
    return static_cast<uint16_t>(readBits(16, nowUs));
}

uint32_t Pic18Chip::readBits(int count, uint64_t nowUs) {
    if (mPgc)
        setPgc(0, nowUs);
    uint32_t value = 0;
    bool noted = false;
    for (int i = 0; i < count; ++i) {
        clockRise(nowUs);
        bool bit = false;
        if (mPowered && mPhase == Phase::ReadOut && !eraseQuiet(nowUs))
            bit = (mOut >> mBitCount) & 1;
        else if (mPowered && !noted) {
            note("data read while the chip was not shifting out");
            noted = true;
        }
        value |= static_cast<uint32_t>(bit) << i;
        // The programmer does not drive PGD while it reads: the chip sees a low line.
        clockFall(mPhase == Phase::ReadOut ? bit : false, nowUs);
    }
    return value;
}

void Pic18Chip::setPgc(int level, uint64_t nowUs) {
    const int next = level ? 1 : 0;
    if (next && !mPgc)
        clockRise(nowUs);
    else if (!next && mPgc)
        clockFall(mPgd != 0, nowUs);
    mPgc = next;
}

void Pic18Chip::setPgd(int level, uint64_t nowUs) {
    mPgd = level ? 1 : 0;
    if (mPgd && mPowered && !mEraseClocksNoted && eraseBusy(nowUs)) {
        note("PGD high during an erase");
        mEraseClocksNoted = true;
    }
}

int Pic18Chip::pgdOutput() const {
    if (!mPowered || mPhase != Phase::ReadOut)
        return -1;
    return (mOut >> mBitCount) & 1;
}

// DS39622: P5 and P5A 40 ns, P6 20 ns.
SimChip::ClockDelay Pic18Chip::delayBeforeNextClock() const {
    if (!mPowered || mBitCount != 0)
        return {};
    switch (mPhase) {
        case Phase::Command:
            return {"P5A (operand to the next command)", 40};
        case Phase::Operand:
        case Phase::ReadDummy:
            return {"P5 (command to operand)", 40};
        case Phase::ReadOut:
            return {"P6 (command byte to the data read)", 20};
    }
    return {};
}

void Pic18Chip::settle(uint64_t nowUs) {
    if (mEepromCycle.active && nowUs >= mEepromCycle.startUs + mEepromCycle.needUs) {
        mEepromCycle.active = false;
        mEecon1 &= static_cast<uint8_t>(~kWr);
        mDataWriteEnded = true;
    }
    if (mEraseCycle.active && nowUs >= mEraseCycle.startUs + mEraseCycle.needUs)
        mEraseCycle.active = false;
}

bool Pic18Chip::eraseBusy(uint64_t nowUs) const {
    return mEraseCycle.active && nowUs < mEraseCycle.startUs + mEraseCycle.needUs;
}

// From the start of an erase until P11 and then P10 have passed, the chip takes no clocks.
bool Pic18Chip::eraseQuiet(uint64_t nowUs) const {
    return nowUs < mEraseQuietUntilUs;
}

void Pic18Chip::checkDataDischarge(uint64_t nowUs) {
    if (!mDataDischargeFromUs)
        return;
    const uint64_t lowUs = nowUs - *mDataDischargeFromUs;
    mDataDischargeFromUs.reset();
    if (lowUs < mTiming.dischargeUs)
        note("PGC low only " + std::to_string(lowUs) + " us after a data EEPROM write");
}

void Pic18Chip::clockRise(uint64_t nowUs) {
    if (!mPowered)
        return;
    settle(nowUs);
    if (eraseQuiet(nowUs))
        return;
    if (mPulse == Pulse::Discharging)
        checkDischarge(nowUs);
    checkDataDischarge(nowUs);
    // Programming starts on the rising edge of the 4th clock of the NOP that follows
    // command 15 and lasts as long as PGC stays high. Any other command there starts
    // nothing; the write buffer keeps what was loaded.
    if (mPulse == Pulse::Armed && mPhase == Phase::Command && mBitCount == 3) {
        if (mShift == 0 && mPgd == 0) {
            mPulse = Pulse::Programming;
            mPulseStartUs = nowUs;
        } else {
            mPulse = Pulse::Idle;
            note("command " + std::to_string(mShift | (mPgd ? 8u : 0u)) +
                 " after table write and start programming: no programming cycle");
        }
    }
}

void Pic18Chip::clockFall(bool bit, uint64_t nowUs) {
    if (!mPowered)
        return;
    settle(nowUs);
    if (eraseQuiet(nowUs)) {
        // Serial execution stops during an erase: the clocks are lost. PGC may toggle
        // meanwhile as long as PGD stays low; after the erase PGC must stay low for P10.
        if (!mEraseClocksNoted) {
            if (eraseBusy(nowUs) && bit) {
                note("PGD high during an erase");
                mEraseClocksNoted = true;
            } else if (!eraseBusy(nowUs)) {
                note("PGC clocked " +
                     std::to_string(nowUs - mEraseCycle.startUs - mEraseCycle.needUs) +
                     " us after an erase");
                mEraseClocksNoted = true;
            }
        }
        return;
    }
    if (mPulse == Pulse::Programming)
        endProgrammingPulse(nowUs);
    shiftIn(bit, nowUs);
}

void Pic18Chip::shiftIn(bool bit, uint64_t nowUs) {
    switch (mPhase) {
        case Phase::Command:
            mShift |= static_cast<uint32_t>(bit) << mBitCount;
            if (++mBitCount == 4) {
                mCommand = static_cast<int>(mShift);
                mShift = 0;
                mBitCount = 0;
                beginCommand(nowUs);
                // The bulk erase starts on the 4th clock of the second NOP after the write
                // to 0x3C0004; the NOP's operand follows once the erase is over.
                if (mEraseArmed && mEraseNopSeen && mCommand == 0)
                    startErase(nowUs);
            }
            break;
        case Phase::Operand:
            mShift |= static_cast<uint32_t>(bit) << mBitCount;
            if (++mBitCount == 16) {
                mPhase = Phase::Command;
                mBitCount = 0;
                finishOperand(nowUs);
                mShift = 0;
            }
            break;
        case Phase::ReadDummy:
            if (++mBitCount == 8) {
                mBitCount = 0;
                mPhase = Phase::ReadOut;
            }
            break;
        case Phase::ReadOut:
            if (++mBitCount == 8) {
                mBitCount = 0;
                mPhase = Phase::Command;
                if (mPollAfterWrite) {
                    mPollAfterWrite = false;
                    mDataDischargeFromUs = nowUs;
                }
            }
            break;
    }
}

}  // namespace velkaro::sim
