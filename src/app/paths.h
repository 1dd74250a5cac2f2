#pragma once

#include <string>

namespace velkaro {

// Directory of the running executable, without a trailing separator; data files
// (device.ini, Config.ini, the settings file) live there. "." when it cannot be found.
std::string executableDirectory();

// `directory` joined with `fileName` by one separator.
std::string joinPath(const std::string& directory, const std::string& fileName);

}  // namespace velkaro
