// The PIC18 command decoder: 4-bit commands, core instructions, table access and registers.
#include <algorithm>
#include <string>

#include "sim/pic18/pic18_chip.h"
#include "sim/pic18/pic18_chip_internal.h"

namespace velkaro::sim {

namespace {

constexpr uint32_t kTblptrMask = 0x3FFFFF;

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

}  // namespace

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
            if (mModel.family != Pic18Family::Fxx2) {
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
    countCycle(mTiming.eepromWriteUs);
    storeByte(address, mEedata);
    mEecon1 |= kWr;
}

}  // namespace velkaro::sim
