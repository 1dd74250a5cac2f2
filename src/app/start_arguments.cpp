#include "app/start_arguments.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "app/file_history.h"

namespace velkaro {

namespace {

std::string trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

// "/name" with no further separator: a switch, unless it names a file in the root folder.
bool isSwitch(const std::string& arg) {
    if (arg.find('/', 1) != std::string::npos)
        return false;
    std::error_code error;
    return !std::filesystem::is_regular_file(arg, error);
}

}  // namespace

StartArguments parseStartArguments(const std::vector<std::string>& args,
                                   const std::vector<std::string>& deviceList) {
    StartArguments result;
    for (const std::string& arg : args) {
        if (arg.empty())
            continue;
        if (arg == "--emulate-board") {
            result.emulateBoard = true;
            continue;
        }
        if (arg == "--simulate") {
            result.simulate = std::string();
            continue;
        }
        if (arg.rfind("--simulate=", 0) == 0) {
            result.simulate = arg.substr(11);
            continue;
        }
        if (arg[0] != '/') {
            result.file = arg;
            continue;
        }
        if (!isSwitch(arg)) {
            result.file = arg;
            continue;
        }
        if (arg.size() >= 2 && arg[1] == 'p') {
            const std::string name = trimmed(std::string_view(arg).substr(2));
            result.deviceSwitchSeen = true;
            result.deviceIndex = -1;
            for (size_t i = 0; i < deviceList.size(); ++i) {
                if (samePathIgnoringCase(deviceList[i], name)) {
                    result.deviceIndex = static_cast<int>(i);
                    break;
                }
            }
        }
    }
    return result;
}

}  // namespace velkaro
