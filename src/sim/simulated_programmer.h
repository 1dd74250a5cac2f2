#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/programmer_library.h"
#include "sim/sim_chip.h"

namespace velkaro::sim {

// Faults the simulated programmer can be told to show. All default to "none".
struct FaultPlan {
    bool portWillNotOpen = false;  // SOpen fails on every port
    bool supplyFails = false;      // SVccOn and SVppOn report failure
    bool noPower = false;          // supplies report success but SCheckPower bit 0 stays clear
    bool noAcknowledge = false;    // programmer commands, VCC and SCheckOSC answer nothing
    // After this many library calls the programmer is gone: every later call fails (0 or
    // -1), reads return garbage and the target loses power. Negative: never.
    int64_t connectionLostAfterCalls = -1;
    bool lostReadsAllOnes = false;  // garbage read after the loss: all ones instead of 0
    // Reads while no chip in programming mode drives the data line (empty socket, a chip
    // that stayed out of programming mode): all ones, as behind a pull-up or from a chip
    // whose own program drives the pin high, instead of 0.
    bool undrivenDataLineHigh = false;
    int slowAnswerPolls = 0;  // SGetc returns -1 this many times before each character
};

// One call of the library as the simulator saw it.
struct LibraryCall {
    std::string name;
    std::vector<int32_t> args;
    int32_t result;
    uint64_t timeUs;  // the clock's monotonic time when the call was made
};

// The programmer hardware and its library, simulated: a ProgrammerLibrary backend with a
// socket for a SimChip. Programmer type 0 ("PRO") answers the programmer commands through
// SGetc; other types answer none. The target is in programming mode while both VCC and
// VPP are on; VCC alone runs the chip's program (SCheckOSC measures it).
class SimulatedProgrammer : public ProgrammerLibrary {
public:
    explicit SimulatedProgrammer(Clock& clock);
    ~SimulatedProgrammer() override;

    // The socket. nullptr empties it; the previous chip is returned to the caller.
    std::unique_ptr<SimChip> insertChip(std::unique_ptr<SimChip> chip);
    SimChip* chip() { return mChip.get(); }
    // A target wired in-circuit counts as present for SCheckPower even with an empty socket.
    void setInCircuitTarget(bool present) { mInCircuit = present; }

    void setAvailablePorts(std::set<int32_t> ports) { mPorts = std::move(ports); }
    void setFaults(const FaultPlan& faults) { mFaults = faults; }
    const FaultPlan& faults() const { return mFaults; }

    // Firmware answers to commands 100 and 118 (without the final "#").
    void setFirmware(std::string date, std::string version);

    // State for tests.
    bool portOpen() const { return mOpenPort != 0; }
    int32_t openPort() const { return mOpenPort; }
    int32_t programmerType() const { return mType; }
    bool vccOn() const { return mVcc; }
    bool vppOn() const { return mVpp; }
    bool targetPowered() const { return mVcc || mVpp; }
    int32_t ledPosition() const { return mLed; }
    int32_t pgcLevel() const { return mPgc; }
    int32_t pgdLevel() const { return mPgd; }
    // The last VPP level command, as the PRO's wire argument: 114: 1 (13 V), 115: 0 (12 V),
    // 116: 2 (8.5 V); none yet: -1.
    int32_t vppLevelCommand() const { return mVppLevel; }
    // The level VPP puts on MCLR now, in volts. The PRO type: what the last level command
    // of this session chose, 8.5 V (the board's power-on level) before one and again after
    // SPowerOff or SClose, as the board's firmware does. A type without level commands: the
    // fixed 13 V of the bit-banged circuit.
    double vppVolts() const;
    bool connectionLost() const { return mLost; }
    // Empty when the target is unpowered and the port closed; otherwise what is left on.
    std::string checkLeftSafe() const;
    // Number of times the target entered programming mode.
    int programmingSessions() const { return mSessions; }

    const std::vector<LibraryCall>& callLog() const { return mLog; }
    void clearCallLog() { mLog.clear(); }
    void setCallLogEnabled(bool enabled) { mLogEnabled = enabled; }
    // Calls of one function in the log, e.g. "SSendCmd".
    std::vector<LibraryCall> callsNamed(const std::string& name) const;

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
    std::string linkFault() const override;

private:
    static constexpr double kBoardSafeVppVolts = 8.5;
    static constexpr double kBitBangedVppVolts = 13.0;

    // Starts a call: reads the clock, counts it, and tells whether the link still works.
    bool begin(uint64_t& nowUs);
    int32_t record(const char* name, std::vector<int32_t> args, int32_t result, uint64_t nowUs);
    bool chipInProgrammingMode() const;
    // VDD on and VPP off: the chip is in programming mode by the low-voltage key, or takes
    // the bits clocked in as its key.
    bool chipEnteredByKey() const;
    bool chipListensForKey() const;
    // Line traffic reaches the chip: programming mode by either entry.
    bool chipSeesTraffic() const { return chipInProgrammingMode() || chipEnteredByKey(); }
    // The power check asks for VPP too: the PRO type until command 117 tells it otherwise.
    bool powerCheckWantsVpp() const;
    void answer(const std::string& text);
    void enterProgramming(bool vppFirst, uint64_t nowUs);
    void supplyChanged(bool wasProgramming, bool vppFirst, uint64_t nowUs);
    void powerOff(uint64_t nowUs);
    std::string blockTest(int code, uint64_t nowUs);

    Clock& mClock;
    std::unique_ptr<SimChip> mChip;
    bool mInCircuit = false;
    std::set<int32_t> mPorts{1, 2, 3, 4, 5, 6, 7, 8, 9};
    FaultPlan mFaults;
    std::string mFirmwareDate = "20240315";
    std::string mFirmwareVersion = "1.02";

    int32_t mOpenPort = 0;
    int32_t mType = 0;
    bool mVcc = false;
    bool mVpp = false;
    int32_t mLed = 0;
    int32_t mPgc = 0;
    int32_t mPgd = 0;
    int32_t mVppLevel = -1;
    double mBoardVppVolts = kBoardSafeVppVolts;
    bool mFastCheckReady = false;
    bool mLowVoltageEntry = false;  // command 117 in this session
    std::deque<int32_t> mAnswer;
    int mPollsBeforeNext = 0;
    int64_t mCalls = 0;
    bool mLost = false;
    int mSessions = 0;
    std::vector<LibraryCall> mLog;
    bool mLogEnabled = true;
};

}  // namespace velkaro::sim
