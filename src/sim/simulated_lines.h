#pragma once

#include <cstdint>
#include <optional>

#include "link/clock.h"
#include "link/line_assignment.h"
#include "link/serial_lines.h"
#include "sim/pin_target.h"

namespace velkaro::sim {

// Faults of the simulated bit-banged circuit. All default to "none".
struct LineFaults {
    bool portWillNotOpen = false;
    bool noModemLines = false;              // opens, but cannot drive DTR/RTS (a pseudo-terminal)
    bool nothingAttached = false;           // no programmer on the port: inputs read low
    bool vppMissing = false;                // the VPP line reaches no target
    std::optional<bool> pgdInStuckAt;       // the PGD input reads this whatever the line does
    int64_t connectionLostAfterCalls = -1;  // every port call after this many fails
};

// A serial port with a bit-banged programmer circuit on it and a pin-level target behind
// that. `wiring` is how the circuit was built (which port line reaches which pin, with
// its inversion); the programmer's settings may say otherwise, as a user's can.
class SimulatedLines : public SerialLines {
public:
    SimulatedLines(PinTarget& target, Clock& clock, LineAssignment wiring = {});

    void setFaults(const LineFaults& faults) { mFaults = faults; }
    void setWiring(const LineAssignment& wiring) { mWiring = wiring; }
    // How long each call on the lines takes; what it changes shows at the call's end.
    void setCallMicroseconds(uint32_t us) { mCallUs = us; }
    // The DTR and RTS lines as last set: true when on.
    bool dtr() const { return mDtr; }
    bool rts() const { return mRts; }
    // Empty when the target is unpowered and the port closed; otherwise what is left on.
    std::string checkLeftSafe() const;

    bool open(const std::string& path) override;
    void close() override;
    bool isOpen() const override { return mOpen; }
    bool setBreak(bool on) override;
    bool setDtr(bool on) override;
    bool setRts(bool on) override;
    bool setDtrRts(bool dtr, bool rts) override;
    bool readInputs(SerialInputs& inputs) override;

private:
    bool call();
    bool level(PortLine line) const;
    bool active(const LinePin& pin) const;
    void applyPins();

    PinTarget& mTarget;
    Clock& mClock;
    LineAssignment mWiring;
    LineFaults mFaults;
    bool mOpen = false;
    bool mTxd = false;
    bool mDtr = false;
    bool mRts = false;
    int64_t mCalls = 0;
    uint32_t mCallUs = kDefaultPortCallUs;
};

}  // namespace velkaro::sim
