#include "cli/cli_support.h"

#include <algorithm>
#include <iostream>

#include "app/app_settings.h"
#include "base/text_compare.h"

namespace velkaro::cli {

namespace {

// Index of `name` in `list` (whole name, letter case ignored), or -1.
int findDevice(const std::vector<std::string>& list, std::string_view name) {
    const auto found = std::find_if(list.begin(), list.end(), [&](const std::string& item) {
        return equalsIgnoreCase(item, name);
    });
    return found == list.end() ? -1 : static_cast<int>(found - list.begin());
}

}  // namespace

void StderrMessageSink::showMessage(std::string_view text) {
    std::cerr << text << '\n';
}

EntryMode entryModeOf(const CliContext& context) {
    if (context.lowVoltage)
        return EntryMode::LowVoltage;
    if (context.highVoltage)
        return EntryMode::HighVoltage;
    const AppSettings settings = LoadSettings(settingsFilePath(context.dataDir));
    if (!settings.entryProblem.empty())
        std::cerr << "velkaro-cli: " << settings.entryProblem << '\n';
    return settings.Entry;
}

int prepareWorkspace(CliContext& context, Workspace& workspace) {
    workspace.deviceList = workspace.catalogue.FillDeviceList();
    if (const std::string error = workspace.catalogue.fileError(); !error.empty()) {
        std::cerr << "velkaro-cli: " << error << '\n';
        return kExitFileError;
    }
    const auto& list = workspace.deviceList;

    std::string selected;
    if (!context.deviceName.empty()) {
        const int index = findDevice(list, context.deviceName);
        if (index < 0) {
            std::cerr << "velkaro-cli: unknown device \"" << context.deviceName
                      << "\" (not a section of " << workspace.catalogue.deviceIniPath()
                      << "; `velkaro-cli devices` lists them)\n";
            return kExitUsage;
        }
        selected = list[index];
    } else {
        // The desktop program's settings file: the device it had selected last.
        const std::string remembered = LoadSettings(settingsFilePath(context.dataDir)).Device;
        const int index = findDevice(list, remembered);
        if (index >= 0)
            selected = list[index];
        else if (!list.empty())
            selected = list.front();
    }

    StderrMessageSink messages;
    workspace.SelectDevice(selected, messages);
    return kExitOk;
}

}  // namespace velkaro::cli
