#include "sim/pic18/pic18_chip.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace velkaro::sim {

namespace {

constexpr uint32_t kTblptrMask = 0x3FFFFF;

// EECON1 bits.
constexpr uint8_t kRd = 0x01;
constexpr uint8_t kWr = 0x02;
constexpr uint8_t kWren = 0x04;
constexpr uint8_t kCfgs = 0x40;
constexpr uint8_t kEepgd = 0x80;

// Access-bank addresses of the special function registers the program touches.
constexpr uint8_t kTblptrU = 0xF8;
constexpr uint8_t kTblptrH = 0xF7;
constexpr uint8_t kTblptrL = 0xF6;
constexpr uint8_t kTablatReg = 0xF5;
constexpr uint8_t kEeadrH = 0xAA;
constexpr uint8_t kEeadr = 0xA9;
constexpr uint8_t kEedata = 0xA8;
constexpr uint8_t kEecon2 = 0xA7;
constexpr uint8_t kEecon1 = 0xA6;

bool knownSfr(uint8_t address) {
    switch (address) {
        case kTblptrU:
        case kTblptrH:
        case kTblptrL:
        case kTablatReg:
        case kEeadrH:
        case kEeadr:
        case kEedata:
        case kEecon2:
        case kEecon1:
            return true;
        default:
            return false;
    }
}

std::string hex6(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(value));
    return text;
}

Pic18Timing timingFor(Pic18Family family) {
    // P9 and P10 from the programming documents of each family. P11 for the FXX2 parts
    // is given as 5 ms and as 10 ms by different sources; the longer one is demanded so that
    // a marginal erase wait shows up here rather than on a real chip. The EEPROM write time
    // is not documented in the sources at hand; 4 ms is the usual figure for these parts.
    if (family == Pic18Family::Fxx2)
        return {1000, 5, 10000, 4000};
    return {1000, 100, 5000, 4000};
}

}  // namespace

Pic18Chip::Pic18Chip(const Pic18Model& model)
    : mModel(model),
      mTiming(timingFor(model.family)),
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
    if (mModel.family == Pic18Family::Fxx2)
        return 0x200;
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

void Pic18Chip::powerUp(bool /*vppFirst*/, uint64_t /*nowUs*/) {
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

const char* Pic18Chip::delayBeforeNextClock() const {
    if (!mPowered || mBitCount != 0)
        return nullptr;
    switch (mPhase) {
        case Phase::Command:
            return "P5A (operand to the next command)";
        case Phase::Operand:
        case Phase::ReadDummy:
            return "P5 (command to operand)";
        case Phase::ReadOut:
            return "P6 (command byte to the data read)";
    }
    return nullptr;
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

// ---- Commands --------------------------------------------------------------------------

void Pic18Chip::beginCommand(uint64_t /*nowUs*/) {
    if (mEraseArmed && mCommand != 0 && (mEraseNopSeen || mCommand < 0xC)) {
        note("command " + std::to_string(mCommand) + " after the erase request: no erase");
        mEraseArmed = false;
    }
    switch (mCommand) {
        case 0x0:
            // The 2XXX core completes a write to TABLAT only when the next instruction is
            // clocked in, which is why the program sends a NOP before shifting TABLAT out.
            if (mTablatPending) {
                mTablat = mTablatNext;
                mTablatPending = false;
            }
            mPhase = Phase::Operand;
            break;
        case 0x2:
            mOut = mTablat;
            mPhase = Phase::ReadDummy;
            // The first poll of WR after a data write ends: PGC stays low for P10 after it.
            if (mDataWriteEnded) {
                mDataWriteEnded = false;
                mPollAfterWrite = true;
            }
            break;
        case 0x8:
        case 0x9:
        case 0xA:
        case 0xB:
            mOut = tableRead(mCommand);
            mPhase = Phase::ReadDummy;
            break;
        case 0xC:
        case 0xD:
        case 0xE:
        case 0xF:
            mPhase = Phase::Operand;
            break;
        default:
            note("reserved 4-bit command " + std::to_string(mCommand));
            mPhase = Phase::Operand;
            break;
    }
}

void Pic18Chip::finishOperand(uint64_t nowUs) {
    const auto operand = static_cast<uint16_t>(mShift & 0xFFFF);
    if (mCommand == 0)
        executeCore(operand, nowUs);
    else if (mCommand >= 0xC)
        tableWrite(mCommand, operand);
}

uint8_t Pic18Chip::tableRead(int command) {
    if (command == 0xB)
        mTblptr = (mTblptr + 1) & kTblptrMask;
    const uint8_t value = readProtected(mTblptr) ? 0 : readByte(mTblptr);
    if (command == 0x9)
        mTblptr = (mTblptr + 1) & kTblptrMask;
    else if (command == 0xA)
        mTblptr = (mTblptr - 1) & kTblptrMask;
    mTablat = value;
    mTablatPending = false;
    return value;
}

void Pic18Chip::tableWrite(int command, uint16_t operand) {
    const uint32_t address = mTblptr;
    const auto low = static_cast<uint8_t>(operand & 0xFF);
    const auto high = static_cast<uint8_t>(operand >> 8);
    const uint8_t own = (address & 1) ? high : low;  // single-byte targets take their half
    const bool idRow =
        address >= kIdAddress && address < kIdAddress + std::max(kIdBytes, mModel.writeBufferBytes);
    if (address < programBytes() || idRow) {
        // EECON1 decides where a table write goes: program memory and the user IDs need
        // EEPGD set and CFGS clear.
        if (selectsCode()) {
            bufferWrite(address & ~1u, low);
            bufferWrite(address | 1u, high);
        } else {
            note("table write to " + hex6(address) + " ignored: EECON1 does not select " +
                 "program memory");
        }
    } else if (address >= kConfigAddress && address < kConfigAddress + kConfigBytes) {
        if (selectsConfig()) {
            mConfigLatch = address;
            mConfigLatchValue = own;
        } else {
            note("table write to " + hex6(address) + " ignored: CFGS clear");
        }
    } else if (address >= kEraseControlLow && address <= kPanelMode) {
        mEraseControl[address - kEraseControlLow] = own;
        if (address == kEraseControlLow) {
            mEraseArmed = true;
            mEraseNopSeen = false;
        }
        if (address == kPanelMode && (own & 0x40) && mModel.family != Pic18Family::Fxx2)
            note("multi-panel mode requested on a part that writes one panel at a time");
    } else {
        note("table write to " + hex6(address) + " ignored");
    }
    if (command == 0xD)
        mTblptr = (mTblptr + 2) & kTblptrMask;
    else if (command == 0xE)
        mTblptr = (mTblptr - 2) & kTblptrMask;
    if (command == 0xF)
        mPulse = Pulse::Armed;
}

void Pic18Chip::executeCore(uint16_t instruction, uint64_t nowUs) {
    if (mEraseArmed) {
        if (instruction == 0x0000) {
            mEraseNopSeen = true;
            return;
        }
        note("erase request followed by an instruction other than NOP: no erase");
        mEraseArmed = false;
    }
    if (mGotoSecondWord) {
        mGotoSecondWord = false;
        if ((instruction & 0xF000) == 0xF000) {
            mPc = ((static_cast<uint32_t>(instruction & 0x0FFF) << 8) | mGotoLow) << 1;
            return;
        }
        note("GOTO without its second word");
    }
    const auto f = static_cast<uint8_t>(instruction & 0xFF);
    const uint16_t op = instruction & 0xFF00;
    const bool bitOp = (instruction & 0xE100) == 0x8000;  // BSF/BCF with the access bank
    if (instruction == 0x0000) {
        return;
    } else if (op == 0x0E00) {  // MOVLW k
        mW = f;
        return;
    } else if (op == 0xEF00) {  // GOTO k, first word
        mGotoSecondWord = true;
        mGotoLow = f;
        return;
    } else if (knownSfr(f)) {
        if (op == 0x6E00) {  // MOVWF f
            writeSfr(f, mW, nowUs);
            return;
        }
        if (op == 0x5000) {  // MOVF f, W
            mW = readSfr(f);
            return;
        }
        if (op == 0x2A00) {  // INCF f, F
            writeSfr(f, static_cast<uint8_t>(readSfr(f) + 1), nowUs);
            return;
        }
        if (bitOp) {
            const int bit = (instruction >> 9) & 7;
            const bool set = (instruction & 0x1000) == 0;
            if (f == kEecon1) {
                setEecon1Bit(bit, set, nowUs);
            } else {
                const uint8_t value = readSfr(f);
                const auto mask = static_cast<uint8_t>(1u << bit);
                writeSfr(f, set ? (value | mask) : (value & ~mask), nowUs);
            }
            return;
        }
    }
    mUnknownInstructions.push_back(instruction);
}

bool Pic18Chip::selectsCode() const {
    return (mEecon1 & kEepgd) && !(mEecon1 & kCfgs);
}

bool Pic18Chip::selectsConfig() const {
    return (mEecon1 & kCfgs) != 0;
}

uint8_t Pic18Chip::readSfr(uint8_t address) const {
    switch (address) {
        case kTblptrU:
            return static_cast<uint8_t>((mTblptr >> 16) & 0x3F);
        case kTblptrH:
            return static_cast<uint8_t>(mTblptr >> 8);
        case kTblptrL:
            return static_cast<uint8_t>(mTblptr);
        case kTablatReg:
            return mTablat;
        case kEeadrH:
            return static_cast<uint8_t>(mEeadr >> 8);
        case kEeadr:
            return static_cast<uint8_t>(mEeadr);
        case kEedata:
            return mEedata;
        case kEecon1:
            return mEecon1;
        default:
            return 0;  // EECON2 is not a physical register
    }
}

void Pic18Chip::writeSfr(uint8_t address, uint8_t value, uint64_t nowUs) {
    switch (address) {
        case kTblptrU:
            mTblptr = (mTblptr & 0x00FFFF) | (static_cast<uint32_t>(value & 0x3F) << 16);
            break;
        case kTblptrH:
            mTblptr = (mTblptr & 0x3F00FF) | (static_cast<uint32_t>(value) << 8);
            break;
        case kTblptrL:
            mTblptr = (mTblptr & 0x3FFF00) | value;
            break;
        case kTablatReg:
            if (mModel.family == Pic18Family::F2xxx) {
                mTablatPending = true;
                mTablatNext = value;
            } else {
                mTablat = value;
            }
            break;
        case kEeadrH:
            mEeadr = static_cast<uint16_t>((mEeadr & 0x00FF) | (value << 8));
            break;
        case kEeadr:
            mEeadr = static_cast<uint16_t>((mEeadr & 0xFF00) | value);
            break;
        case kEedata:
            mEedata = value;
            break;
        case kEecon2:
            if (value == 0x55)
                mUnlock = 1;
            else if (value == 0xAA && mUnlock == 1)
                mUnlock = 2;
            else
                mUnlock = 0;
            break;
        case kEecon1:
            for (int bit = 0; bit < 8; ++bit)
                setEecon1Bit(bit, (value >> bit) & 1, nowUs);
            break;
        default:
            break;
    }
}

void Pic18Chip::setEecon1Bit(int bit, bool set, uint64_t nowUs) {
    const auto mask = static_cast<uint8_t>(1u << bit);
    if (mask == kRd || mask == kWr) {
        if (!set)
            return;  // software cannot clear RD or WR
        if (mask == kWr) {
            startEepromWrite(nowUs);
            return;
        }
        if (mEecon1 & (kEepgd | kCfgs))
            note("RD with EEPGD or CFGS set: no data EEPROM read");
        else if (mEeprom.empty())
            note("RD on a part without data EEPROM");
        else
            mEedata = dataReadProtected() ? 0 : mEeprom[mEeadr % mEeprom.size()];
        return;
    }
    if (set)
        mEecon1 |= mask;
    else
        mEecon1 &= static_cast<uint8_t>(~mask);
}

void Pic18Chip::startEepromWrite(uint64_t nowUs) {
    const int unlock = mUnlock;
    mUnlock = 0;
    if (mEepromCycle.active) {
        note("WR set while a data EEPROM write is in progress");
        return;
    }
    if (!(mEecon1 & kWren)) {
        note("WR without WREN ignored");
        return;
    }
    if (mEecon1 & (kEepgd | kCfgs)) {
        note("WR with EEPGD or CFGS set ignored (self-writes are not modelled)");
        return;
    }
    if (mEeprom.empty()) {
        note("WR on a part without data EEPROM");
        return;
    }
    // The FXX2 parts insist on the EECON2 unlock even in programming mode; the 2XXX/4XXX
    // device programming document leaves it out.
    if (mModel.family == Pic18Family::Fxx2 && unlock != 2) {
        note("WR without the EECON2 55/AA unlock ignored");
        return;
    }
    if (dataWriteProtected()) {
        note("data EEPROM write refused: CPD or WRTD cleared");
        return;
    }
    const uint32_t address = kEepromBase + mEeadr % mEeprom.size();
    mEepromCycle = Cycle{true, nowUs, mTiming.eepromWriteUs, {{address, readByte(address)}}};
    storeByte(address, mEedata);
    mEecon1 |= kWr;
}

// ---- Programming and erasing -----------------------------------------------------------

void Pic18Chip::bufferWrite(uint32_t address, uint8_t value) {
    size_t index = 0;
    if (multiPanel() && address < programBytes() && blockBytes() != 0)
        index = std::min<size_t>(address / blockBytes(), mBuffers.size() - 1);
    WriteBuffer& buffer = mBuffers[index];
    const uint32_t size = mModel.writeBufferBytes;
    buffer.bytes[address % size] = value;
    buffer.row = address - address % size;
    buffer.dirty = true;
}

void Pic18Chip::endProgrammingPulse(uint64_t nowUs) {
    const uint64_t heldUs = nowUs - mPulseStartUs;
    mProgramCycle = Cycle{true, mPulseStartUs, mTiming.programHoldUs, {}};
    // Flash cells can only go from 1 to 0: the buffer is ANDed into the row. The holding
    // registers read 0xFF again after every write operation, whether it wrote or not.
    for (WriteBuffer& buffer : mBuffers) {
        if (!buffer.dirty)
            continue;
        if (!selectsCode()) {
            note("programming pulse with EECON1 not selecting program memory: row " +
                 hex6(buffer.row) + " not written");
        } else if (writeProtected(buffer.row)) {
            note("row " + hex6(buffer.row) + " is code- or write-protected: not written");
        } else {
            for (uint32_t i = 0; i < buffer.bytes.size(); ++i) {
                const uint32_t address = buffer.row + i;
                if (!cell(address))
                    continue;
                const uint8_t old = readByte(address);
                mProgramCycle.oldBytes.emplace_back(address, old);
                storeByte(address, old & buffer.bytes[i]);
            }
        }
        std::fill(buffer.bytes.begin(), buffer.bytes.end(), 0xFF);
        buffer.dirty = false;
    }
    // Configuration bytes are written one per pulse. The protection bytes (CONFIG5L and up)
    // only take 1 -> 0; the others are replaced whole. WRTC cleared refuses them all, and
    // takes effect as soon as its own byte is written.
    if (mConfigLatch) {
        const uint32_t address = *mConfigLatch;
        const uint32_t index = address - kConfigAddress;
        const uint8_t old = readByte(address);
        uint8_t value = mConfigLatchValue;
        if (!selectsConfig()) {
            note("programming pulse with CFGS clear: " + hex6(address) + " not written");
        } else if (configWriteProtected()) {
            note("configuration write to " + hex6(address) + " refused: WRTC cleared");
        } else {
            if (index >= Pic18ProtectionBits::kCpLow) {
                if ((value & configMask(index) & ~old) != 0)
                    note("protection bits of " + hex6(address) +
                         " cannot be set again without an erase");
                value &= old;
            }
            mProgramCycle.oldBytes.emplace_back(address, old);
            storeByte(address, value);
        }
        mConfigLatch.reset();
    }
    if (heldUs < mTiming.programHoldUs) {
        note("programming pulse held " + std::to_string(heldUs) + " us");
        cutShort(mProgramCycle, heldUs);
        mPulse = Pulse::Idle;
        return;
    }
    mPulse = Pulse::Discharging;
    mPulseEndUs = nowUs;
}

void Pic18Chip::checkDischarge(uint64_t nowUs) {
    mPulse = Pulse::Idle;
    const uint64_t lowUs = nowUs - mPulseEndUs;
    if (lowUs >= mTiming.dischargeUs) {
        mProgramCycle.active = false;
        return;
    }
    // The next clock came before the programming voltage had discharged: the row is
    // disturbed, modelled as its tail left unprogrammed.
    note("PGC low only " + std::to_string(lowUs) + " us after programming");
    mProgramCycle.needUs = mTiming.dischargeUs;
    cutShort(mProgramCycle, lowUs);
}

void Pic18Chip::cutShort(Cycle& cycle, uint64_t doneUs) {
    cycle.active = false;
    if (doneUs >= cycle.needUs || cycle.needUs == 0)
        return;
    const size_t kept = static_cast<size_t>(cycle.oldBytes.size() * doneUs / cycle.needUs);
    for (size_t i = kept; i < cycle.oldBytes.size(); ++i)
        storeByte(cycle.oldBytes[i].first, cycle.oldBytes[i].second);
}

std::vector<std::pair<uint32_t, uint32_t>> Pic18Chip::eraseRanges(uint16_t code) const {
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    const uint32_t boot = std::min(bootBlockBytes(), programBytes());
    const auto block = [&](uint32_t k) {
        const uint32_t begin = std::max(k * blockBytes(), k == 0 ? boot : 0u);
        const uint32_t end = std::min((k + 1) * blockBytes(), programBytes());
        if (begin < end)
            ranges.emplace_back(begin, end);
    };
    const std::pair<uint32_t, uint32_t> program{0, programBytes()};
    const std::pair<uint32_t, uint32_t> ids{kIdAddress, kIdAddress + kIdBytes};
    const std::pair<uint32_t, uint32_t> config{kConfigAddress, kConfigAddress + kConfigBytes};
    const std::pair<uint32_t, uint32_t> eeprom{kEepromBase,
                                               kEepromBase + static_cast<uint32_t>(mEeprom.size())};
    if (mModel.family == Pic18Family::Fxx2) {
        // One code per erase in 0x3C0004: chip, data EEPROM, boot block, panels.
        if (code == 0x80)
            ranges = {program, ids, config, eeprom};
        else if (code == 0x81)
            ranges = {eeprom};
        else if (code == 0x83)
            ranges = {{0, boot}};
        else if (code >= 0x88 && code <= 0x8B)
            block(code - 0x88u);
        return ranges;
    }
    // 2XXX/4XXX: 0x3C0005:0x3C0004 is a bit mask. Low byte: bit 7 enables the erase, bit 0
    // boot block, bit 1 configuration, bit 2 data EEPROM, bit 3 user IDs; high byte bit k
    // erases code block k (0x3F8F erases everything, the older 0x0F87 leaves the user IDs and
    // blocks 4 and 5).
    if (!(code & 0x80))
        return ranges;
    if (code & 0x01)
        ranges.emplace_back(0, boot);
    for (uint32_t k = 0; k < 8; ++k)
        if (code & (0x100u << k))
            block(k);
    if (code & 0x02)
        ranges.push_back(config);
    // A data-protected EEPROM (CPD = 0) survives the chip erase; only its own erase code,
    // 0x84 in 0x3C0004, takes it then (DS39622L, bulk erase section).
    if ((code & 0x04) && ((code & 0xFF) == 0x84 || !dataReadProtected()))
        ranges.push_back(eeprom);
    if (code & 0x08)
        ranges.push_back(ids);
    return ranges;
}

void Pic18Chip::releaseErasedProtection(uint16_t code, Cycle& cycle) {
    using P = Pic18ProtectionBits;
    uint8_t blocks = 0;
    bool boot = false, data = false, config = false;
    if (mModel.family == Pic18Family::Fxx2) {
        config = code == 0x80;
        boot = code == 0x83;
        data = code == 0x81;
        if (code >= 0x88 && code <= 0x8B)
            blocks = static_cast<uint8_t>(1u << (code - 0x88));
    } else {
        config = (code & 0x02) != 0;
        boot = (code & 0x01) != 0;
        data = (code & 0x04) != 0;
        blocks = static_cast<uint8_t>(code >> 8);
    }
    if (config)
        return;  // the configuration bytes were erased whole
    const uint8_t high = static_cast<uint8_t>((boot ? P::kBootBit : 0) | (data ? P::kDataBit : 0));
    for (uint32_t index : {P::kCpLow, P::kWrtLow, P::kEbtrLow})
        releaseProtection(index, blocks, cycle);
    for (uint32_t index : {P::kCpHigh, P::kWrtHigh, P::kEbtrHigh})
        releaseProtection(index, high, cycle);
}

void Pic18Chip::startErase(uint64_t nowUs) {
    mEraseArmed = false;
    mEraseNopSeen = false;
    const uint16_t code = mModel.family == Pic18Family::Fxx2
                              ? mEraseControl[0]
                              : static_cast<uint16_t>(mEraseControl[1] << 8 | mEraseControl[0]);
    const auto ranges = eraseRanges(code);
    if (ranges.empty()) {
        char text[48];
        std::snprintf(text, sizeof text, "erase code %04X erases nothing", code);
        note(text);
        return;
    }
    mEraseCycle = Cycle{true, nowUs, mTiming.eraseUs, {}};
    mEraseQuietUntilUs = nowUs + mTiming.eraseUs + mTiming.dischargeUs;
    mEraseClocksNoted = false;
    for (const auto& [begin, end] : ranges) {
        for (uint32_t address = begin; address < end; ++address) {
            mEraseCycle.oldBytes.emplace_back(address, readByte(address));
            storeByte(address, erasedValue(address));
        }
    }
    releaseErasedProtection(code, mEraseCycle);
}

}  // namespace velkaro::sim
