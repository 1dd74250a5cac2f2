#pragma once

#include <memory>
#include <string>

#include "app/file_lock.h"
#include "app/programmer_hub.h"
#include "catalogue/device_definition.h"
#include "cli/cli_context.h"
#include "link/clock.h"
#include "link/programmer_library.h"

namespace velkaro::cli {

// The programmer library behind the command line's port, with the clock the link runs
// on. A port mapped to a serial device in the settings file (or given as a device path)
// is real hardware on the real clock; every other port, and every port with --simulate,
// is the simulator on virtual time: with --simulate=CHIP that chip sits in the socket,
// otherwise the selected device's own model (the socket stays empty when the simulator
// has none).
class LinkBackend {
public:
    ~LinkBackend();
    LinkBackend(const LinkBackend&) = delete;
    LinkBackend& operator=(const LinkBackend&) = delete;

    // Nullptr, with `error` and `exitCode` set, when --port or --programmer name nothing
    // known (kExitUsage), --simulate names a chip the simulator lacks (kExitUsage), the
    // --sim-state file cannot be read or describes another chip (kExitFileError), or a
    // settings file names hardware it cannot use (kExitFileError), or another process holds
    // the --sim-state file past a brief wait (kExitFileError).
    static std::unique_ptr<LinkBackend> create(const CliContext& context,
                                               const DeviceDefinition& device, std::string& error,
                                               int& exitCode);

    ProgrammerLibrary& library();
    Clock& clock();
    ProgrammerHub& hub() { return *mHub; }
    int portIndex() const { return mPortIndex; }
    int hardwareType() const { return mHardwareType; }
    // True when the port is a real serial device.
    bool usesHardware() const { return mHardware; }
    // The simulated chip (nullptr on hardware or with an empty socket).
    sim::SimChip* simulatedChip() { return mHardware ? nullptr : mHub->chip(); }
    // The port as the user knows it: "COM1" or "COM1 (/dev/ttyUSB0)".
    std::string portText() const;

    // Writes the chip's state to the --sim-state file (a temporary file renamed over it,
    // so a failed write keeps the old state). True when saved or nothing is to be saved.
    bool saveSimState(std::string& error) const;

    // A command must leave the target unpowered and the port closed, whatever its result.
    // Returns `exitCode`, or kExitInternal after a message on stderr when the simulator
    // shows the target powered or the port open. A backend destroyed without this check
    // makes it then, and leftUnsafe() tells main() to exit with kExitInternal.
    int checkLeftSafe(int exitCode);
    static bool leftUnsafe();

private:
    LinkBackend();

    std::unique_ptr<Clock> mClock;
    std::unique_ptr<ProgrammerHub> mHub;
    std::string mStateFile;
    FileLock mStateLock;  // held from before the state is read until it is saved
    int mPortIndex = 0;
    int mHardwareType = 0;
    bool mHardware = false;
    bool mChecked = false;
};

}  // namespace velkaro::cli
