#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "link/clock.h"
#include "link/line_assignment.h"
#include "link/programmer_library.h"
#include "link/serial_lines.h"

namespace velkaro {

// The bit-banged programmer: the PC drives VPP, VDD, PGC and PGD itself on the control
// lines of a serial port (which line carries which signal is a LineAssignment) and reads
// PGD back on an input. Every bit is clocked here with the documented waveform: PGD set
// with the rising edge of PGC, the chip latching it on the falling edge, read data sampled
// while PGC is high; each half clock lasts at least a microsecond on `clock`. Nothing in
// this programmer answers: programmer commands are accepted and ignored, SGetc gives
// nothing, and the oscillator cannot be measured.
//
// A port call that fails (adapter unplugged) ends the session: the programmer switches
// what it still can off, and every later call fails until the port is opened again.
class JdmProgrammer : public ProgrammerLibrary {
public:
    // `portPath(n)` names the device of port n (1..9); empty when none is set up.
    JdmProgrammer(SerialLines& lines, Clock& clock, LineAssignment assignment,
                  std::function<std::string(int)> portPath);
    ~JdmProgrammer() override;

    // Why the last SOpen failed or the session ended; empty while all is well.
    const std::string& lastError() const { return mError; }
    // Port calls that changed a line (DTR and RTS set together count once), and the line
    // changes they made; for the speed figures.
    uint64_t portCalls() const { return mPortCalls; }
    uint64_t lineChanges() const { return mLineChanges; }
    const LineAssignment& assignment() const { return mAssignment; }
    bool jdmVddFromPort() const override { return mAssignment.vdd.line == PortLine::None; }
    // Reads the PGD input as the circuit shows it (tests and the self-test).
    std::optional<bool> readPgd();
    // Drives PGD out and reads PGD in: true when the circuit loops one back to the other
    // with no chip driving the line.
    bool pgdLoopsBack();

    std::string linkFault() const override { return mError; }

    int32_t SOpen(int32_t port) override;
    int32_t SClose() override;
    int32_t SSetMode(int32_t mode) override;
    int32_t SVccOn(int32_t type) override;
    int32_t SVppOn(int32_t type) override;
    int32_t SPowerOff() override;
    int32_t SCheckPower() override;
    int32_t SCheckOSC() override;
    int32_t SSendCmd(int32_t code) override;
    int32_t SGetc() override;
    int32_t SSetLED(int32_t position) override;
    int32_t SSetPGC(int32_t level) override;
    int32_t SSetPGD(int32_t level) override;
    int32_t SWriteBit(int32_t value, int32_t count) override;
    int32_t SWriteWord(int32_t word) override;
    int32_t SReadWord() override;
    int32_t SReadBit(int32_t count) override;

private:
    // Sets the lines carrying `a` (and `b`, when given) to the signal levels, skipping lines
    // already there and combining DTR with RTS into one call.
    bool drive(const LinePin& a, bool aActive, const LinePin* b = nullptr, bool bActive = false);
    bool setLine(PortLine line, bool on);
    void halfClock();
    void lose();
    uint32_t clockIn(int count);
    void clockOut(uint32_t value, int count);

    SerialLines& mLines;
    Clock& mClock;
    LineAssignment mAssignment;
    std::function<std::string(int)> mPortPath;
    std::string mError;

    bool mOpen = false;
    bool mVcc = false;
    bool mVpp = false;
    bool mPgc = false;
    bool mPgd = false;
    // Last level set on TXD (break), DTR and RTS; unknown right after opening.
    std::array<std::optional<bool>, 3> mLevels;
    uint64_t mPortCalls = 0;
    uint64_t mLineChanges = 0;
};

}  // namespace velkaro
