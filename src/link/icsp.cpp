// ICSP primitives of both command families and the calibrated delays that time them.
#include <algorithm>
#include <limits>

#include "link/icsp_commands.h"
#include "link/programmer_link.h"

namespace velkaro {

namespace {

// 6-bit commands.
constexpr uint32_t kEndProgrammingDelayUs = 100;  // TDIS

// Low-voltage entry of the enhanced 14-bit core (DS41390 for the PIC12F1822/PIC16F182x,
// DS41439 for the PIC12F1840/PIC16F1847, DS41573 for the PIC12F1501/PIC16F150x, section
// "Low-Voltage Programming (LVP) Mode"): with VDD up and MCLR at VIL, the 32 bits of "MCHP"
// clocked in LSB first, then one more clock. TENTS (100 ns) from MCLR low to the first
// clock is long past once the supply has settled; TCKL and TCKH (100 ns each) are kept by
// the backends' own half clocks (1 us on the serial lines, at least 125 ns on the
// programmer's board); TENTH (250 us) passes before the first command.
constexpr uint32_t kLowVoltageKey = 0x4D434850;
constexpr uint32_t kEntryHoldUs = 250;  // TENTH

// 4-bit commands.

// Core instructions.
constexpr uint16_t kMovlw = 0x0E00;
constexpr uint16_t kMovwfTblptrU = 0x6EF8;
constexpr uint16_t kMovwfTblptrH = 0x6EF7;
constexpr uint16_t kMovwfTblptrL = 0x6EF6;

constexpr uint32_t kCalibrationSpanMs = 100;
constexpr uint32_t kAfterPulseUs = 10;

}  // namespace

void ProgrammerLink::measureCallsPerMillisecond() {
    mCallsPerMillisecond = 0;
    const uint32_t t0 = mClock.tickMilliseconds();
    uint32_t t1 = t0;
    while (t1 == t0)
        t1 = mClock.tickMilliseconds();
    uint64_t count = 0;
    // Unsigned difference, so a tick that wraps during the measurement still counts.
    while (true) {
        const uint32_t t = mClock.tickMilliseconds();
        ++count;
        if (t - t1 >= kCalibrationSpanMs)
            break;
    }
    mCallsPerMillisecond = static_cast<int>(
        std::min<uint64_t>(count / kCalibrationSpanMs, std::numeric_limits<int>::max()));
}

void ProgrammerLink::DelayMicroseconds(uint32_t us) {
    const uint64_t deadline = mClock.nowMicroseconds() + us;
    const uint64_t calls = std::max<uint64_t>(
        uint64_t{us} * static_cast<uint64_t>(std::max(mCallsPerMillisecond, 0)) / 1000, 1);
    for (uint64_t i = 0; i < calls; ++i)
        mClock.tickMilliseconds();
    // The calibrated loop alone under-waits when reads get faster than when they were
    // measured; a cycle cut short leaves a word badly programmed.
    mClock.waitUntilMicroseconds(deadline);
}

void ProgrammerLink::DelayMilliseconds(uint32_t ms) {
    for (uint32_t i = 0; i < ms; ++i)
        DelayMicroseconds(1000);
}

void ProgrammerLink::sendLowVoltageKey() {
    for (int shift = 0; shift < 32; shift += 8)
        mLibrary.SWriteBit(static_cast<int32_t>((kLowVoltageKey >> shift) & 0xFF), 8);
    // The 33rd clock, with PGD still at the key's last bit (0).
    mLibrary.SSetPGC(1);
    mLibrary.SSetPGC(0);
    DelayMicroseconds(kEntryHoldUs);
}

void ProgrammerLink::SendCommand(int code) {
    mLibrary.SWriteBit(code & 0x3F, 6);
}

void ProgrammerLink::SendData(uint16_t word) {
    mLibrary.SWriteWord(word);
}

uint16_t ProgrammerLink::ReceiveData() {
    return static_cast<uint16_t>(mLibrary.SReadWord());
}

void ProgrammerLink::QueueReceiveData() {
    if (DeferredReads* deferred = mLibrary.deferredReads()) {
        deferred->queueReadWord();
    } else {
        mReadValues.push_back(ReceiveData());
    }
}

void ProgrammerLink::QueueTableReadByte() {
    queueShiftOut(kCmdTableReadPostIncrement);
}

void ProgrammerLink::QueueShiftOutTablat() {
    queueShiftOut(kCmdShiftOutTablat);
}

void ProgrammerLink::queueShiftOut(int command) {
    mLibrary.SWriteBit(command, 4);
    mLibrary.SWriteBit(0, 8);
    if (DeferredReads* deferred = mLibrary.deferredReads()) {
        deferred->queueReadBits(8);
    } else {
        mReadValues.push_back(static_cast<uint8_t>(mLibrary.SReadBit(8) & 0xFF));
    }
}

uint16_t ProgrammerLink::takeQueuedRead() {
    if (!mReadValues.empty()) {
        const uint16_t value = mReadValues.front();
        mReadValues.pop_front();
        return value;
    }
    // Nothing queued: 0, as a failed read (the programmer answers so too).
    DeferredReads* deferred = mLibrary.deferredReads();
    return deferred != nullptr ? static_cast<uint16_t>(deferred->takeRead() & 0xFFFF) : 0;
}

bool ProgrammerLink::readsLost() const {
    return !mLibrary.linkFault().empty();
}

bool ProgrammerLink::StartProgrammingCycle(bool allowProgramOnly, bool programMemory,
                                           bool preferErase) {
    const bool hasEraseProgram = mDevice.hasBeginProgram();
    if (!allowProgramOnly && !hasEraseProgram)
        return false;
    if (allowProgramOnly && mDevice.ProgOnlyCmd != 0 && !(preferErase && hasEraseProgram)) {
        SendCommand(mDevice.ProgOnlyCmd);
        DelayMilliseconds(
            waitMs(programMemory ? mDevice.ProgOnlyCycle : mDevice.DataProgOnlyCycle));
    } else {
        SendCommand(kCmdBeginEraseProgram);
        DelayMilliseconds(
            waitMs(programMemory ? mDevice.EraseProgCycle : mDevice.DataEraseProgCycle));
    }
    if (mDevice.EndProgCmd != 0) {
        SendCommand(mDevice.EndProgCmd);
        // TDIS: the chip ignores a command that follows End Programming sooner (100 µs on
        // the parts whose cycles End Programming ends).
        DelayMicroseconds(kEndProgrammingDelayUs);
    }
    return true;
}

bool ProgrammerLink::ReadCalibrationWords() {
    if (!OpenLink(false, false))
        return false;
    const DeviceDefinition& d = mDevice;
    const uint32_t adrMask = d.AdrMask;
    const uint32_t configAdr = static_cast<uint32_t>(d.ConfigBaseAdr);
    bool bgFound = false;
    auto readBg = [&] {
        SendCommand(kCmdReadData);
        mImage.BGValue = ReceiveData() & d.BGMask;
        bgFound = true;
    };

    // After power-up the counter stands at the reset vector; walk it round to 0. Devices
    // whose configuration word lies on that stretch have it read on the way.
    for (uint32_t a = static_cast<uint32_t>(d.ResetVector); a != 0; a = (a + 1) & adrMask) {
        if (a == configAdr && d.BGMask != 0)
            readBg();
        SendCommand(kCmdIncrementAddress);
    }

    // Signed like the device keys: a configuration address below the counter (negative
    // included) is simply never reached.
    int64_t counter = 0;
    if (d.OscCal != 0) {
        // Always the whole of program memory, so the counter ends at ProgSize.
        for (int32_t a = 0; a < d.ProgSize; ++a) {
            if (a == d.OscCal) {
                SendCommand(kCmdReadData);
                mImage.OscCalValue = ReceiveData() & d.BlankWord;
            }
            SendCommand(kCmdIncrementAddress);
        }
        counter = std::max(d.ProgSize, 0);
    }

    if (!bgFound && d.BGMask != 0) {
        if (d.hasLoadConfig()) {
            SendCommand(kCmdLoadConfig);
            SendData(0);
            counter = d.IdAdr;
        }
        for (; counter <= d.ConfigBaseAdr; ++counter) {
            if (counter == d.ConfigBaseAdr)
                readBg();
            SendCommand(kCmdIncrementAddress);
        }
    }

    return CloseLink();  // values read over a failed link are not the chip's
}

void ProgrammerLink::SendCoreInstruction(int command, uint16_t operand) {
    mLibrary.SWriteBit(command & 0x0F, 4);
    mLibrary.SWriteBit(operand, 16);
}

void ProgrammerLink::SetTablePointer(uint32_t address) {
    SendCoreInstruction(kCmdCoreInstruction, kMovlw + ((address >> 16) & 0xFF));
    SendCoreInstruction(kCmdCoreInstruction, kMovwfTblptrU);
    SendCoreInstruction(kCmdCoreInstruction, kMovlw + ((address >> 8) & 0xFF));
    SendCoreInstruction(kCmdCoreInstruction, kMovwfTblptrH);
    SendCoreInstruction(kCmdCoreInstruction, kMovlw + (address & 0xFF));
    SendCoreInstruction(kCmdCoreInstruction, kMovwfTblptrL);
}

uint8_t ProgrammerLink::TableReadByte() {
    return shiftOut(kCmdTableReadPostIncrement);
}

uint8_t ProgrammerLink::ShiftOutTablat() {
    return shiftOut(kCmdShiftOutTablat);
}

uint8_t ProgrammerLink::shiftOut(int command) {
    mLibrary.SWriteBit(command, 4);
    mLibrary.SWriteBit(0, 8);
    return static_cast<uint8_t>(mLibrary.SReadBit(8) & 0xFF);
}

uint32_t ProgrammerLink::dischargeUs() const {
    return mDevice.DischargeTime > 0 ? static_cast<uint32_t>(mDevice.DischargeTime) : kDischargeUs;
}

void ProgrammerLink::ProgrammingPulse() {
    ProgrammingPulse(waitMs(mDevice.ProgOnlyCycle));
}

void ProgrammerLink::ProgrammingPulse(uint32_t holdMs) {
    mLibrary.SSetPGD(0);
    mLibrary.SSetPGC(0);
    // The 4-bit NOP that follows the start command: its fourth clock is held high for the
    // programming time.
    for (int clock = 1; clock <= 4; ++clock) {
        mLibrary.SSetPGC(1);
        if (clock == 4)
            DelayMilliseconds(holdMs);
        mLibrary.SSetPGC(0);
    }
    DelayMicroseconds(dischargeUs());
    mLibrary.SWriteBit(0, 16);  // the NOP's operand
    DelayMicroseconds(kAfterPulseUs);
}

void ProgrammerLink::idleWithClockLow(uint32_t holdMs) {
    SendCoreInstruction(kCmdCoreInstruction, 0x0000);
    // The chip stops taking bits while it erases; whatever the link sends then is lost, so
    // the second NOP's operand has to wait until the erase and the discharge are over.
    mLibrary.SWriteBit(kCmdCoreInstruction, 4);
    mLibrary.SSetPGD(0);
    mLibrary.SSetPGC(0);
    DelayMilliseconds(holdMs);
    DelayMicroseconds(dischargeUs());
    mLibrary.SWriteBit(0, 16);
}

}  // namespace velkaro
