#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/hardware_settings.h"
#include "link/clock.h"
#include "link/jdm_programmer.h"
#include "link/pro_programmer.h"
#include "link/programmer_clock.h"
#include "link/programmer_library.h"
#include "link/programmer_types.h"
#include "link/serial_port_lines.h"
#include "sim/pin_target.h"
#include "sim/pro_board_stream.h"
#include "sim/simulated_lines.h"
#include "sim/simulated_programmer.h"

namespace velkaro {

// Every programmer the program can drive, behind the one library the link talks to.
// SSetMode picks the programmer type and SOpen the port: a port mapped to a serial device
// is real hardware, any other port is served by the simulator. Each backend is a row of
// backends() saying which sessions it serves; SOpen looks the row up and every call until
// the next SOpen goes to it. Type 0 (PRO) is the wire protocol over the real port, or
// simulated by SimulatedProgrammer (or by the emulated board); type 1 (JDM) is the
// bit-banged backend itself, over the real port's lines or over simulated lines wired to a
// pin-level socket — so the simulated JDM runs the very code that drives a real one. The
// simulated chip moves to whichever of the two simulated sockets the selected type uses;
// it is one chip either way.
class ProgrammerHub : public ProgrammerLibrary {
public:
    ProgrammerHub(Clock& clock, HardwareSettings hardware);
    ~ProgrammerHub() override;
    // The rows point into the hub.
    ProgrammerHub(const ProgrammerHub&) = delete;
    ProgrammerHub& operator=(const ProgrammerHub&) = delete;

    const HardwareSettings& hardware() const { return mHardware; }
    // The clock the link must run on: while the intelligent programmer holds a session
    // its waits travel to the board.
    Clock& linkClock() { return mLinkClock; }
    // True when port n (1..9) is a real serial device.
    bool isHardwarePort(int port) const { return !mHardware.portPath(port).empty(); }
    // Ports the simulator opened so far (a rising count: the simulator served a session).
    int simulatedOpens() const { return mSimulatedOpens; }

    sim::SimulatedProgrammer& simulator() { return mSimulator; }
    sim::SimulatedLines& simulatedLines() { return mSimLines; }
    JdmProgrammer& simulatedJdm() { return mSimJdm; }
    JdmProgrammer& hardwareJdm() { return mHardJdm; }

    // Type 0 on a simulated port: the emulated board (the firmware's core built for the
    // host, driving the pin-level socket) instead of the simulated programmer.
    void setEmulatedBoard(bool emulated);
    ProProgrammer& emulatedPro() { return mEmuPro; }

    // The simulated chip, in whichever socket holds it. Returns the previous one.
    std::unique_ptr<sim::SimChip> insertChip(std::unique_ptr<sim::SimChip> chip);
    sim::SimChip* chip();

    // Why the last SOpen failed or a session ended, as the backend tells it; empty when
    // nothing is known beyond the failure itself.
    std::string lastError() const;
    // Empty when every target is unpowered and every port closed; otherwise what is left.
    // Every backend is asked, not only the one in use: an earlier session may have been
    // another's.
    std::string checkLeftSafe() const;

    // The ports a backend serves: those mapped to a serial device, or all others.
    enum class PortKind { Simulated, Serial };
    // One backend of the hub and the sessions it serves.
    struct Backend {
        std::string_view name;  // "simulated programmer", "JDM on a serial port", ...
        ProgrammerLibrary* library;
        bool bitBanged;  // serves the bit-banged type (otherwise the intelligent one)
        PortKind port;
        // Only while the emulated board is (true) or is not (false) chosen; any when empty.
        std::optional<bool> emulatedBoard;
        std::function<std::string()> lastError;  // why its last open or session failed
        std::function<std::string()> leftOn;     // what it left powered or open; empty: none
        // Set when the link's waits travel to this programmer's board during a session.
        ProProgrammer* delaySink;
    };
    // Every backend, in the order they are looked up.
    const std::vector<Backend>& backends() const { return mBackends; }
    // The backend that serves `port` (1..9) with the type and board choice now selected.
    const Backend& backendFor(int32_t port) const;
    // The backend of the last SOpen (the simulated programmer before the first).
    const Backend& active() const { return *mActive; }

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
    DeferredReads* deferredReads() override { return lib().deferredReads(); }
    // The JDM's wiring, whichever type is active now: the link asks before it opens.
    bool jdmVddFromPort() const override { return mHardware.jdmLines.vdd.line == PortLine::None; }
    std::string linkFault() const override { return mActive->library->linkFault(); }

private:
    bool jdmType() const { return programmerTypeOf(mType).can.bitBanged; }
    // True when the selected type reaches the chip through its pins: the bit-banged one, or
    // the intelligent one served by the emulated board.
    bool chipOnPins() const { return jdmType() || mEmulateBoard; }
    void moveChip(bool toPins);
    std::vector<Backend> makeBackends();
    ProgrammerLibrary& lib() const { return *mActive->library; }

    Clock& mClock;
    HardwareSettings mHardware;
    sim::SimulatedProgrammer mSimulator;
    sim::PinTarget mPins;
    sim::SimulatedLines mSimLines;
    ProgrammerClock mLinkClock;
    SerialPortLines mPortLines;
    SerialPortStream mPortStream;
    JdmProgrammer mSimJdm;
    JdmProgrammer mHardJdm;
    ProProgrammer mHardPro;
    sim::ProBoardStream mBoardStream;
    ProProgrammer mEmuPro;
    bool mEmulateBoard = false;
    std::vector<Backend> mBackends;
    const Backend* mActive;
    int32_t mType = 0;
    int mSimulatedOpens = 0;
    std::string mError;
};

// Every programmer both programs drive, and the clock they run on: the one place the set is
// put together. `realTime`: a real clock (hardware is to be driven); otherwise virtual
// time, on which simulated operations take no wall time. The simulator's call log is off
// (a long write makes millions of calls). The clock lives as long as the hub.
struct ProgrammerSet {
    std::unique_ptr<Clock> clock;
    std::unique_ptr<ProgrammerHub> hub;
};
ProgrammerSet assembleProgrammers(HardwareSettings hardware, bool realTime);

}  // namespace velkaro
