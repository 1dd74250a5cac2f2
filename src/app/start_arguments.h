#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velkaro {

// What the desktop program's command line asks for at start-up.
struct StartArguments {
    std::string file;                     // the last file named; empty when none
    bool deviceSwitchSeen = false;        // some "/p" argument was given
    int deviceIndex = -1;                 // index in the device list of the last "/p" name; -1 none
    std::optional<std::string> simulate;  // --simulate[=CHIP]; "" follows the device list
    bool emulateBoard = false;            // --emulate-board: the PRO's firmware, emulated
};

// Reads the arguments in order (the program name not included). "/p" followed by a device
// name selects that device (whole name, letter case ignored, blanks around it trimmed); a
// later "/p" replaces an earlier one, also when it names nothing listed. Any other
// argument names a file, the last one counting, except arguments of one "/" word
// ("/P...", "/x"): switches, ignored, unless such a file exists in the root folder. An
// absolute path is a file even when it starts with "/p". Empty arguments are ignored.
StartArguments parseStartArguments(const std::vector<std::string>& args,
                                   const std::vector<std::string>& deviceList);

}  // namespace velkaro
