#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "link/virtual_clock.h"
#include "sim/sim_chip.h"
#include "sim/simulated_programmer.h"

namespace velkaro {

// The desktop program's programmer while no hardware backend exists: the simulator on
// virtual time. With a chip named, that chip sits in the socket for the whole run.
// Otherwise the socket follows the device list: each selection puts a chip of that type
// in (an empty socket when the simulator has no model of it), and every chip keeps its
// contents until the program ends, so switching away and back finds it as it was left.
class SimulatedSocket {
public:
    // `chipName` empty: follow the device list. Nullptr, with `error` set, when a named
    // chip has no model.
    static std::unique_ptr<SimulatedSocket> create(const std::string& chipName, std::string& error);

    ProgrammerLibrary& library() { return mProgrammer; }
    Clock& clock() { return mClock; }
    sim::SimulatedProgrammer& programmer() { return mProgrammer; }

    // The device list selected `deviceName`: swap in its chip (kept from earlier or new).
    // Does nothing when a fixed chip was named.
    void followDevice(const std::string& deviceName);
    bool followsDeviceList() const { return !mFixed; }

private:
    SimulatedSocket();

    VirtualClock mClock;
    sim::SimulatedProgrammer mProgrammer;
    bool mFixed = false;
    std::string mCurrentKey;  // upper-case device name of the chip in the socket
    std::map<std::string, std::unique_ptr<sim::SimChip>> mShelf;
};

}  // namespace velkaro
