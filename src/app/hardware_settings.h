#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/line_assignment.h"
#include "link/programmer_types.h"
#include "link/serial_lines.h"

namespace velkaro {

class IniFile;

// Where the programmers are: the serial device behind each of the ports COM1..COM9, and
// the lines of the bit-banged programmer. Kept in the settings file:
//
//   [Port]
//   COM1=/dev/ttyUSB0
//
//   [VKR-20 JDM]
//   VPP=TXD
//   VDD=none
//   PGC=RTS
//   PGDOut=DTR
//   PGDIn=CTS
//   PortCallUs=10
//
// PortCallUs is how long one call on the port's lines takes, in microseconds (the
// connection self-test measures it): what the simulated circuit charges for each call, so
// that its times predict a run on that port.
// A port with no device path is served by the simulator, so a machine with serial ports
// but no programmer never has them driven until the user maps one.
struct HardwareSettings {
    std::array<std::string, 9> portPaths;  // index 0 = COM1
    LineAssignment jdmLines;
    uint32_t portCallUs = kDefaultPortCallUs;
    // Problems found in the file, each naming the section and key; the defaults stand for
    // what could not be read.
    std::vector<std::string> problems;

    // The device of port n (1..9); empty when not mapped.
    std::string portPath(int port) const;
    // The port (1..9) mapped to `path`, or nothing.
    std::optional<int> portOf(const std::string& path) const;
};

inline constexpr const char* kPortSection = "Port";
inline constexpr const char* kPortCallKey = "PortCallUs";
// The longest port call the key accepts: one second.
inline constexpr uint32_t kMaxPortCallUs = 1'000'000;
// The section of the bit-banged programmer's lines: named after its type.
inline std::string_view jdmLinesSection() {
    return bitBangedTypeName();
}

HardwareSettings readHardwareSettings(const IniFile& ini);
// Reads the settings file at `path`; a missing file gives the defaults.
HardwareSettings loadHardwareSettings(const std::string& path);

// When the settings file in use (`inUse`) is the per-user copy of `shipped` (the program's
// folder is not writable) and is older than it with other [Port] or [VKR-20 JDM] entries,
// the copy may map a port the administrator has changed since: a problem naming both
// files; empty otherwise.
std::string outdatedCopyProblem(const std::string& inUse, const std::string& shipped);

// What the desktop program tells the user when the settings file at `path` has hardware
// problems: that no real port is used until they are fixed, then each problem. Empty when
// there are none.
std::string hardwareProblemsMessage(const std::string& path, const HardwareSettings& settings);

}  // namespace velkaro
