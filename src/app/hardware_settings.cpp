#include "app/hardware_settings.h"

#include "catalogue/ini_file.h"

namespace velkaro {

std::string HardwareSettings::portPath(int port) const {
    if (port < 1 || port > static_cast<int>(portPaths.size()))
        return {};
    return portPaths[static_cast<size_t>(port - 1)];
}

std::optional<int> HardwareSettings::portOf(const std::string& path) const {
    for (size_t i = 0; i < portPaths.size(); ++i)
        if (!path.empty() && portPaths[i] == path)
            return static_cast<int>(i + 1);
    return std::nullopt;
}

namespace {

// "line N: " for a problem with what the file holds at that line; nothing when it was not
// read from a file.
std::string at(int line) {
    return line > 0 ? "line " + std::to_string(line) + ": " : std::string();
}

}  // namespace

HardwareSettings readHardwareSettings(const IniFile& ini) {
    HardwareSettings settings;
    for (size_t i = 0; i < settings.portPaths.size(); ++i) {
        const std::string key = "COM" + std::to_string(i + 1);
        std::string path = ini.readString(kPortSection, key, "");
        if (!path.empty() && path.front() != '/') {
            settings.problems.push_back(at(ini.lineOf(kPortSection, key)) + "[" + kPortSection +
                                        "] " + key + "=" + path +
                                        ": not a device path (for example /dev/ttyUSB0)");
            path.clear();
        }
        settings.portPaths[i] = path;
    }
    LineAssignment lines;
    for (std::string_view key : LineAssignment::kKeys) {
        if (!ini.hasKey(kJdmLinesSection, key))
            continue;
        std::string error;
        if (!lines.set(key, ini.readString(kJdmLinesSection, key, ""), error))
            settings.problems.push_back(at(ini.lineOf(kJdmLinesSection, key)) + "[" +
                                        kJdmLinesSection + "] " + error);
    }
    if (const std::string problem = lines.problem(); !problem.empty()) {
        settings.problems.push_back(at(ini.sectionLine(kJdmLinesSection)) + "[" + kJdmLinesSection +
                                    "] " + problem);
        lines = {};
    }
    settings.jdmLines = lines;
    return settings;
}

HardwareSettings loadHardwareSettings(const std::string& path) {
    IniFile ini;
    ini.load(path);
    HardwareSettings settings = readHardwareSettings(ini);
    if (!ini.loadError().empty())
        settings.problems.insert(settings.problems.begin(), ini.loadError());
    return settings;
}

std::string hardwareProblemsMessage(const std::string& path, const HardwareSettings& settings) {
    if (settings.problems.empty())
        return {};
    // Lines driven by a half-read setting could put VPP where the clock should be.
    std::string text = "設定ファイル " + path +
                       " のハードウェア設定に問題があります。直すまで実機のポートは使わず、"
                       "シミュレータで動作します。";
    for (const std::string& problem : settings.problems)
        text += "\n" + problem;
    return text;
}

}  // namespace velkaro
