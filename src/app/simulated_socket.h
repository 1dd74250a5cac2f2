#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/hardware_settings.h"
#include "app/programmer_hub.h"
#include "link/clock.h"
#include "sim/sim_chip.h"
#include "sim/simulated_programmer.h"

namespace velkaro {

// The desktop program's programmers: every port mapped to a serial device in the settings
// is real hardware, every other port the simulator. While no port is mapped (or with
// --simulate) everything runs on virtual time, so simulated operations take no wall time;
// once one is, the clock is the real one. With a chip named, that chip sits in the
// simulated socket for the whole run. Otherwise the socket follows the device list: each
// selection puts a chip of that type in (an empty socket when the simulator has no model
// of it), and every chip keeps its contents until the program ends, so switching away and
// back finds it as it was left.
class SimulatedSocket {
public:
    // `chipName` empty: follow the device list. `simulateOnly`: ignore the port mappings.
    // Nullptr, with `error` set, when a named chip has no model.
    static std::unique_ptr<SimulatedSocket> create(const std::string& chipName, std::string& error,
                                                   HardwareSettings hardware = {},
                                                   bool simulateOnly = true);

    ProgrammerLibrary& library() { return *mHub; }
    Clock& clock() { return mHub->linkClock(); }
    ProgrammerHub& hub() { return *mHub; }
    // The simulated PRO programmer (the simulated chip sits in its socket while that type
    // is selected).
    sim::SimulatedProgrammer& programmer() { return mHub->simulator(); }
    bool usesHardware() const { return mHardware; }

    // The device list selected `deviceName`: swap in its chip (kept from earlier or new).
    // Does nothing when a fixed chip was named.
    void followDevice(const std::string& deviceName);

private:
    SimulatedSocket() = default;

    std::unique_ptr<Clock> mClock;
    std::unique_ptr<ProgrammerHub> mHub;
    bool mHardware = false;
    bool mFixed = false;
    std::string mCurrentKey;  // upper-case device name of the chip in the socket
    std::map<std::string, std::unique_ptr<sim::SimChip>> mShelf;
};

}  // namespace velkaro
