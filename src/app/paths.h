#pragma once

#include <string>

namespace velkaro {

// Directory of the running executable, without a trailing separator; data files
// (device.ini, Config.ini, the settings file) live there. "." when it cannot be found.
std::string executableDirectory();

// The folder holding device.ini and the other data files: beside the executable in the
// build tree (and a portable copy), else the installed data folder relative to the
// executable's folder (share/velkaro beside bin/). `exeDir` when neither holds device.ini.
std::string dataDirectory(const std::string& exeDir);
// The installed data folder relative to the executable's folder ("../share/velkaro").
std::string installedDataRelativePath();

// `directory` joined with `fileName` by one separator.
std::string joinPath(const std::string& directory, const std::string& fileName);

}  // namespace velkaro
