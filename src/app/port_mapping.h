#pragma once

#include <string>

namespace velkaro {

// Maps COM`port` (1..9) to the serial device `path` in the settings file at
// `settingsPath` ([Port] COMn=path); an empty path unmaps the port. A device mapped to
// another COM number moves, so that one device never serves two ports. The rest of the
// file stays as it is. The programs read the mapping when they start. Returns why it
// could not be saved, empty on success.
std::string savePortMapping(const std::string& settingsPath, int port, const std::string& path);

// Opens the serial device at `path` as the bit-banged programmer would (modem lines
// included) and closes it again. Returns why it cannot be used, empty when it opened.
std::string checkPortOpens(const std::string& path);

}  // namespace velkaro
