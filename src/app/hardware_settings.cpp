#include "app/hardware_settings.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "base/text_compare.h"
#include "catalogue/ini_file.h"
#include "catalogue/ini_number.h"

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

// A key of [Port] other than COM1..COM9 maps nothing: the user meant a port and would get
// the simulator.
bool isPortKey(const std::string& key) {
    for (size_t i = 1; i <= HardwareSettings{}.portPaths.size(); ++i) {
        const std::string name = "COM" + std::to_string(i);
        if (equalsIgnoreCase(key, name))
            return true;
    }
    return false;
}

// The 1-based line of the first CR that ends a line on its own, or 0. The reader splits at
// LF only, so a file with CR-only line ends reads as one line and maps nothing.
int firstBareCrLine(const std::string& text) {
    int line = 1;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n')
            ++line;
        else if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] != '\n')
            return line;
    }
    return 0;
}

// Decimal digits only (a ";" comment aside), at most kMaxPortCallUs.
std::optional<uint32_t> microsecondsOf(const std::string& entry) {
    const std::string text = StripIniComment(entry);
    if (text.empty() || text.size() > 7)
        return std::nullopt;
    uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value > kMaxPortCallUs)
        return std::nullopt;
    return value;
}

}  // namespace

HardwareSettings readHardwareSettings(const IniFile& ini) {
    HardwareSettings settings;
    for (const std::string& key : ini.keyNames(kPortSection)) {
        if (!isPortKey(key))
            settings.problems.push_back(at(ini.lineOf(kPortSection, key)) + "[" + kPortSection +
                                        "] " + key + ": no such port (COM1 to COM9)");
    }
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
        if (!ini.hasKey(jdmLinesSection(), key))
            continue;
        std::string error;
        if (!lines.set(key, ini.readString(jdmLinesSection(), key, ""), error))
            settings.problems.push_back(at(ini.lineOf(jdmLinesSection(), key)) + "[" +
                                        std::string(jdmLinesSection()) + "] " + error);
    }
    if (const std::string problem = lines.problem(); !problem.empty()) {
        settings.problems.push_back(at(ini.sectionLine(jdmLinesSection())) + "[" +
                                    std::string(jdmLinesSection()) + "] " + problem);
        lines = {};
    }
    settings.jdmLines = lines;
    if (ini.hasKey(jdmLinesSection(), kPortCallKey)) {
        const std::string text = ini.readString(jdmLinesSection(), kPortCallKey, "");
        const std::optional<uint32_t> us = microsecondsOf(text);
        if (us)
            settings.portCallUs = *us;
        else
            settings.problems.push_back(at(ini.lineOf(jdmLinesSection(), kPortCallKey)) + "[" +
                                        std::string(jdmLinesSection()) + "] " + kPortCallKey + "=" +
                                        text + ": not a whole number of microseconds from 0 to " +
                                        std::to_string(kMaxPortCallUs));
    }
    return settings;
}

HardwareSettings loadHardwareSettings(const std::string& path) {
    IniFile ini;
    ini.load(path);
    HardwareSettings settings = readHardwareSettings(ini);
    if (!ini.loadError().empty()) {
        settings.problems.insert(settings.problems.begin(), ini.loadError());
        return settings;
    }
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (const int line = firstBareCrLine(text); line > 0) {
        settings.problems.insert(settings.problems.begin(),
                                 at(line) +
                                     "line ends are CR alone; the file reads as one line "
                                     "(save it with LF or CR LF line ends)");
    }
    return settings;
}

std::string outdatedCopyProblem(const std::string& inUse, const std::string& shipped) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (inUse == shipped || !fs::exists(shipped, error) || !fs::exists(inUse, error))
        return {};
    const auto copied = fs::last_write_time(inUse, error);
    const auto changed = fs::last_write_time(shipped, error);
    if (error || changed <= copied)
        return {};
    const IniFile copy(inUse);
    const IniFile original(shipped);
    for (const std::string_view section : {std::string_view(kPortSection), jdmLinesSection()}) {
        if (copy.sectionEntries(section) != original.sectionEntries(section))
            return inUse + " is older than " + shipped + " and its [" + std::string(section) +
                   "] differs: copy the hardware settings over (or delete the copy)";
    }
    return {};
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
