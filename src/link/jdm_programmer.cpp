#include "link/jdm_programmer.h"

#include <utility>

namespace velkaro {

namespace {

size_t lineIndex(PortLine line) {
    switch (line) {
        case PortLine::Txd:
            return 0;
        case PortLine::Dtr:
            return 1;
        default:
            return 2;
    }
}

}  // namespace

JdmProgrammer::JdmProgrammer(SerialLines& lines, Clock& clock, LineAssignment assignment,
                             std::function<std::string(int)> portPath)
    : mLines(lines), mClock(clock), mAssignment(assignment), mPortPath(std::move(portPath)) {}

JdmProgrammer::~JdmProgrammer() {
    if (mOpen)
        SClose();
}

void JdmProgrammer::halfClock() {
    mClock.waitUntilMicroseconds(mClock.nowMicroseconds() + 1);
}

bool JdmProgrammer::setLine(PortLine line, bool on) {
    if (!mOpen)
        return false;
    std::optional<bool>& level = mLevels[lineIndex(line)];
    if (level == on)
        return true;
    bool ok = false;
    switch (line) {
        case PortLine::Txd:
            ok = mLines.setBreak(on);
            break;
        case PortLine::Dtr:
            ok = mLines.setDtr(on);
            break;
        case PortLine::Rts:
            ok = mLines.setRts(on);
            break;
        default:
            return true;
    }
    if (!ok) {
        lose();
        return false;
    }
    level = on;
    ++mPortCalls;
    ++mLineChanges;
    return true;
}

bool JdmProgrammer::drive(const LinePin& a, bool aActive, const LinePin* b, bool bActive) {
    if (!mOpen)
        return false;
    const bool aOn = aActive != a.inverted;
    if (b == nullptr || b->line == PortLine::None)
        return setLine(a.line, aOn);
    const bool bOn = bActive != b->inverted;
    const bool pair = (a.line == PortLine::Dtr && b->line == PortLine::Rts) ||
                      (a.line == PortLine::Rts && b->line == PortLine::Dtr);
    if (pair && mLevels[lineIndex(a.line)] != aOn && mLevels[lineIndex(b->line)] != bOn) {
        const bool dtr = a.line == PortLine::Dtr ? aOn : bOn;
        const bool rts = a.line == PortLine::Rts ? aOn : bOn;
        if (!mLines.setDtrRts(dtr, rts)) {
            lose();
            return false;
        }
        mLevels[lineIndex(PortLine::Dtr)] = dtr;
        mLevels[lineIndex(PortLine::Rts)] = rts;
        ++mPortCalls;
        mLineChanges += 2;
        return true;
    }
    return setLine(a.line, aOn) && setLine(b->line, bOn);
}

void JdmProgrammer::lose() {
    if (mError.empty())
        mError = mLines.error().empty() ? "the serial port stopped answering" : mLines.error();
    // Whatever still works is switched off; the port itself is given up.
    mOpen = false;
    for (const LinePin* pin : {&mAssignment.vpp, &mAssignment.vdd}) {
        const bool off = pin->inverted;
        if (pin->line == PortLine::Txd)
            mLines.setBreak(off);
        else if (pin->line == PortLine::Dtr)
            mLines.setDtr(off);
        else if (pin->line == PortLine::Rts)
            mLines.setRts(off);
    }
    mLines.close();
    mVcc = mVpp = false;
}

std::optional<bool> JdmProgrammer::readPgd() {
    if (!mOpen)
        return std::nullopt;
    SerialInputs inputs;
    if (!mLines.readInputs(inputs)) {
        lose();
        return std::nullopt;
    }
    bool level = false;
    switch (mAssignment.pgdIn.line) {
        case PortLine::Cts:
            level = inputs.cts;
            break;
        case PortLine::Dsr:
            level = inputs.dsr;
            break;
        case PortLine::Dcd:
            level = inputs.dcd;
            break;
        case PortLine::Ri:
            level = inputs.ri;
            break;
        default:
            break;
    }
    return level != mAssignment.pgdIn.inverted;
}

bool JdmProgrammer::pgdLoopsBack() {
    const bool before = mPgd;
    bool follows = true;
    for (bool level : {true, false}) {
        if (!drive(mAssignment.pgdOut, level))
            return false;
        mPgd = level;
        halfClock();
        const std::optional<bool> seen = readPgd();
        follows = follows && seen == level;
    }
    if (mPgd != before && drive(mAssignment.pgdOut, before))
        mPgd = before;
    return follows && mOpen;
}

void JdmProgrammer::clockOut(uint32_t value, int count) {
    for (int i = 0; i < count && mOpen; ++i) {
        mPgd = (value >> i) & 1;
        // Data changes with the rising edge; the chip latches it on the falling one.
        if (!drive(mAssignment.pgdOut, mPgd, &mAssignment.pgc, true))
            return;
        mPgc = true;
        halfClock();
        if (!drive(mAssignment.pgc, false))
            return;
        mPgc = false;
        halfClock();
    }
}

uint32_t JdmProgrammer::clockIn(int count) {
    uint32_t value = 0;
    for (int i = 0; i < count && mOpen; ++i) {
        // PGD out is released (held high through its resistor) so the chip can drive the line.
        mPgd = true;
        if (!drive(mAssignment.pgdOut, true, &mAssignment.pgc, true))
            break;
        mPgc = true;
        halfClock();
        const std::optional<bool> bit = readPgd();
        if (!bit)
            break;
        value |= static_cast<uint32_t>(*bit) << i;
        if (!drive(mAssignment.pgc, false))
            break;
        mPgc = false;
        halfClock();
    }
    return mOpen ? value : 0;
}

int32_t JdmProgrammer::SOpen(int32_t port) {
    const std::string path = mPortPath ? mPortPath(port) : std::string();
    if (path.empty()) {
        mError = "COM" + std::to_string(port) + " is not set up for a serial device";
        return 0;
    }
    if (mOpen)
        SClose();
    mError.clear();
    mLevels = {};
    if (!mLines.open(path)) {
        mError = mLines.error();
        return 0;
    }
    mOpen = true;
    mVcc = mVpp = mPgc = mPgd = false;
    // Everything off and both programming lines low before anything else happens.
    if (!drive(mAssignment.vpp, false) || !drive(mAssignment.pgc, false) ||
        !drive(mAssignment.pgdOut, false))
        return 0;
    if (mAssignment.vdd.line != PortLine::None && !drive(mAssignment.vdd, false))
        return 0;
    return 1;
}

int32_t JdmProgrammer::SClose() {
    if (!mOpen)
        return 1;
    SPowerOff();
    mLines.close();
    mOpen = false;
    return 1;
}

int32_t JdmProgrammer::SSetMode(int32_t) {
    return 1;
}

int32_t JdmProgrammer::SVccOn(int32_t) {
    if (!mOpen)
        return 0;
    // Without a switched VDD the target is supplied whenever the port is open.
    if (mAssignment.vdd.line != PortLine::None && !drive(mAssignment.vdd, true))
        return 0;
    mVcc = true;
    return 1;
}

int32_t JdmProgrammer::SVppOn(int32_t) {
    if (!mOpen || !drive(mAssignment.vpp, true))
        return 0;
    mVpp = true;
    return 1;
}

int32_t JdmProgrammer::SPowerOff() {
    if (!mOpen)
        return 0;
    // VPP goes first, then the clock and data lines, then the supply.
    const bool ok = drive(mAssignment.vpp, false) && drive(mAssignment.pgc, false) &&
                    drive(mAssignment.pgdOut, false) &&
                    (mAssignment.vdd.line == PortLine::None || drive(mAssignment.vdd, false));
    mVpp = mVcc = mPgc = mPgd = false;
    return ok ? 1 : 0;
}

int32_t JdmProgrammer::SCheckPower() {
    if (!mOpen)
        return 0;
    int32_t status = (mVcc ? 2 : 0) | (mVpp ? 4 : 0);
    // The circuit senses no supply, VPP no more than VDD; what it can show is that PGD out
    // comes back on PGD in, i.e. that the programmer is there and its lines work. VDD is
    // target power: the low-voltage entry never switches VPP on.
    if (mVcc && pgdLoopsBack())
        status |= 1;
    return status;
}

int32_t JdmProgrammer::SCheckOSC() {
    return 0;
}

int32_t JdmProgrammer::SSendCmd(int32_t) {
    return mOpen ? 1 : 0;
}

int32_t JdmProgrammer::SGetc() {
    return -1;
}

int32_t JdmProgrammer::SSetLED(int32_t) {
    return mOpen ? 1 : 0;
}

int32_t JdmProgrammer::SSetPGC(int32_t level) {
    if (!drive(mAssignment.pgc, level != 0))
        return 0;
    mPgc = level != 0;
    halfClock();
    return 1;
}

int32_t JdmProgrammer::SSetPGD(int32_t level) {
    if (!drive(mAssignment.pgdOut, level != 0))
        return 0;
    mPgd = level != 0;
    halfClock();
    return 1;
}

int32_t JdmProgrammer::SWriteBit(int32_t value, int32_t count) {
    if (!mOpen)
        return 0;
    clockOut(static_cast<uint32_t>(value), count);
    return mOpen ? 1 : 0;
}

int32_t JdmProgrammer::SWriteWord(int32_t word) {
    if (!mOpen)
        return 0;
    // Start bit, fourteen data bits, stop bit.
    clockOut((static_cast<uint32_t>(word) << 1) & 0x7FFE, 16);
    return mOpen ? 1 : 0;
}

int32_t JdmProgrammer::SReadWord() {
    if (!mOpen)
        return 0;
    return static_cast<int32_t>((clockIn(16) >> 1) & 0x3FFF);
}

int32_t JdmProgrammer::SReadBit(int32_t count) {
    if (!mOpen)
        return 0;
    return static_cast<int32_t>(clockIn(count));
}

}  // namespace velkaro
