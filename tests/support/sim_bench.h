#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/workspace.h"
#include "link/virtual_clock.h"
#include "sim/sim_chip.h"
#include "sim/simulated_programmer.h"
#include "support/recording_ui.h"

namespace velkaro::test {

// A workspace on the simulated programmer with the real device.ini, for end-to-end runs
// of the chip operations. Addresses given to the helpers are those of the image: program
// words, ID and configuration word indexes, data bytes, whatever the chip's family.
class SimBench {
public:
    SimBench();
    // Fails the running test when the target was left powered or the port open, or when
    // the chip noted a protocol violation that the test did not take with takeNotes(): no
    // operation may end that way, whatever its result.
    ~SimBench();
    SimBench(const SimBench&) = delete;
    SimBench& operator=(const SimBench&) = delete;

    // Devices of device.ini for which the simulator has a chip model (read once a process).
    static const std::vector<std::string>& modelledDevices();
    // Those of them whose resolved definition passes `keep`, in device.ini's order.
    static std::vector<std::string> modelledDevices(bool (*keep)(const DeviceDefinition&));

    // Selects `device` and puts a fresh (erased) chip of the same name into the socket.
    void load(const std::string& device);

    Workspace& workspace() { return mWorkspace; }
    const DeviceDefinition& device() const { return mWorkspace.device; }
    MemoryImage& image() { return mWorkspace.image; }
    sim::SimulatedProgrammer& programmer() { return mProgrammer; }
    sim::SimChip& chip() { return *mProgrammer.chip(); }
    RecordingUi& ui() { return mUi; }
    // The chip's protocol notes so far, which the test thereby expects; the bench forgets them.
    std::vector<std::string> takeNotes();

    uint16_t programWord(int32_t index);
    void setProgramWord(int32_t index, uint16_t word);
    uint16_t idWord(int k);
    void setIdWord(int k, uint16_t value);
    uint16_t configWord(int k);
    void setConfigWord(int k, uint16_t value);
    uint8_t dataByte(int32_t index);
    void setDataByte(int32_t index, uint8_t value);

    // Fills program, ID and data memory with a recognisable pattern within the device's
    // masks (an OSCCAL word stays as the factory set it) and clears one oscillator bit of
    // the first configuration word.
    void writePattern();

private:
    VirtualClock mClock;
    sim::SimulatedProgrammer mProgrammer;
    Workspace mWorkspace;
    RecordingUi mUi;
};

// Names a case of a table over devices after its device, so each device is a test of its
// own (CTest runs them side by side): `INSTANTIATE_TEST_SUITE_P(Modelled, Suite,
// testing::ValuesIn(SimBench::modelledDevices()), deviceCaseName)`.
std::string deviceCaseName(const testing::TestParamInfo<std::string>& info);
std::string namedCaseName(const testing::TestParamInfo<const char*>& info);

// The modelled enhanced-core devices other than the family's representative, for tables
// whose cases are device names.
const std::vector<const char*>& enhancedSiblings();

// Whether programmer type `type` has no VPP level within the device's range and no
// low-voltage entry for it, so that every operation on it is refused before the port opens.
bool vppRefused(const DeviceDefinition& device, int type);

}  // namespace velkaro::test
