#include "app/app_settings.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "app/file_history.h"
#include "app/file_lock.h"
#include "app/paths.h"
#include "app/workspace.h"
#include "catalogue/ini_file.h"
#include "link/programmer_types.h"
#include "link/real_clock.h"

namespace velkaro {

namespace {

// Every saved option flag with its section and key, in file order.
template <typename Settings, typename Visit>
void forEachFlag(Settings& s, Visit visit) {
    visit("ReadSetting", "ProgMem", s.readOptions.ProgEn);
    visit("ReadSetting", "DataMem", s.readOptions.DataEn);
    visit("WriteSetting", "ProgMem", s.writeOptions.ProgEn);
    visit("WriteSetting", "DataMem", s.writeOptions.DataEn);
    visit("WriteSetting", "OscCal", s.writeOptions.OscCal);
    visit("WriteSetting", "DevIdChk", s.writeOptions.DevIdChk);
    visit("EraseSetting", "ProgMem", s.eraseOptions.ProgEn);
    visit("EraseSetting", "DataMem", s.eraseOptions.DataEn);
    visit("EraseSetting", "BuffClear", s.eraseOptions.BuffClear);
    visit("EraseSetting", "DevIdChk", s.eraseOptions.DevIdChk);
    visit("BlankSetting", "ProgMem", s.blankOptions.ProgEn);
    visit("BlankSetting", "DataMem", s.blankOptions.DataEn);
    visit("ProgSetting", "ProgMem", s.progOptions.ProgEn);
    visit("ProgSetting", "DataMem", s.progOptions.DataEn);
    visit("ProgSetting", "OscCal", s.progOptions.OscCalEn);
    // The historical key names lack the "c" of "Check".
    visit("ProgSetting", "BlankChek", s.progOptions.BlankEn);
    visit("ProgSetting", "VerifyChek", s.progOptions.VerifyEn);
    visit("ProgSetting", "DevIdChk", s.progOptions.DevIdChk);
}

constexpr const char* kHistorySection = "FileHistory";

}  // namespace

void AppSettings::applyTo(Workspace& workspace) const {
    workspace.readOptions = readOptions;
    workspace.writeOptions = writeOptions;
    // The erase window's "keep OSCCAL" choice is not saved: keep what the run has.
    const bool keepOscCal = workspace.eraseOptions.OscCalEn;
    workspace.eraseOptions = eraseOptions;
    workspace.eraseOptions.OscCalEn = keepOscCal;
    workspace.blankOptions = blankOptions;
    workspace.progOptions = progOptions;
    workspace.LastFile = LastFile;
    workspace.FileHistory = FileHistory;
    if (workspace.link) {
        workspace.link->setHardwareType(HardwareType);
        workspace.link->setEntryMode(Entry);
        // A port beyond the list selects none: the link keeps its own.
        workspace.link->setPortIndex(Port - 1);
    }
}

void AppSettings::takeFrom(const Workspace& workspace) {
    readOptions = workspace.readOptions;
    writeOptions = workspace.writeOptions;
    eraseOptions = workspace.eraseOptions;
    blankOptions = workspace.blankOptions;
    progOptions = workspace.progOptions;
    LastFile = workspace.LastFile;
    FileHistory = workspace.FileHistory;
    if (workspace.link) {
        HardwareType = workspace.link->hardwareType();
        Entry = workspace.link->entryMode();
        Port = workspace.link->portIndex() + 1;
    }
}

AppSettings readSettings(const IniFile& ini) {
    AppSettings s;
    s.ProgrammerTypes = ini.keyNames(kProgrammerTypeSection);
    // Without the section the programmer list would be empty and nothing could run.
    if (s.ProgrammerTypes.empty()) {
        for (const ProgrammerType& type : programmerTypes())
            s.ProgrammerTypes.emplace_back(type.name);
    }
    s.HardwareType = ini.readInteger("Setting", "HardwareType", 0);
    const std::string entry = ini.readString("Setting", "Entry", "");
    if (const std::optional<EntryMode> mode = findEntryMode(entry)) {
        s.Entry = *mode;
    } else if (!entry.empty()) {
        s.entryProblem = "[Setting] Entry=" + entry +
                         ": not auto, hv or lvp; auto (the programmer's safe entry) is used";
    }
    s.Device = ini.readString("LastSetting", "Device", "PIC16F84A");
    s.Port = std::max(1, ini.readInteger("LastSetting", "Port", 1));
    s.LastFile = ini.readString("LastSetting", "LastFile", "");
    forEachFlag(s, [&](const char* section, const char* key, bool& flag) {
        flag = ini.readBool(section, key, true);
    });
    // Each entry is the text after the first "="; the key names are not interpreted.
    for (const std::string& entry : ini.sectionEntries(kHistorySection)) {
        const auto equals = entry.find('=');
        s.FileHistory.push_back(equals == std::string::npos ? std::string()
                                                            : entry.substr(equals + 1));
    }
    return s;
}

void writeSettings(const AppSettings& settings, IniFile& ini) {
    // A file without the programmer list gets the one in use, so that it lists them itself.
    if (ini.keyNames(kProgrammerTypeSection).empty())
        for (const std::string& name : settings.ProgrammerTypes)
            ini.writeString(kProgrammerTypeSection, name, "");
    ini.writeInteger("Setting", "HardwareType", settings.HardwareType);
    if (settings.Entry != EntryMode::Automatic || !ini.readString("Setting", "Entry", "").empty())
        ini.writeString("Setting", "Entry", std::string(entryModeName(settings.Entry)));
    ini.writeString("LastSetting", "Device", settings.Device);
    ini.writeInteger("LastSetting", "Port", settings.Port);
    ini.writeString("LastSetting", "LastFile", settings.LastFile);
    forEachFlag(settings, [&](const char* section, const char* key, const bool& flag) {
        ini.writeBool(section, key, flag);
    });
    ini.eraseSection(kHistorySection);
    const size_t count = std::min(settings.FileHistory.size(), kShownHistoryEntries);
    for (size_t k = 1; k <= count; ++k)
        ini.writeString(kHistorySection, "File" + std::to_string(k), settings.FileHistory[k - 1]);
}

AppSettings LoadSettings(const std::string& path) {
    const IniFile ini(path);
    AppSettings settings = readSettings(ini);
    settings.fileError = ini.loadError();
    return settings;
}

namespace {

// How long a save waits for another program's save of the same file to finish.
constexpr int kSettingsLockWaitMs = 2000;

// The history after this program's save: its own list first, then what another program
// added to the file meanwhile, without repeats.
std::vector<std::string> mergedHistory(const std::vector<std::string>& ours,
                                       const std::vector<std::string>& loaded,
                                       const std::vector<std::string>& inFile) {
    std::vector<std::string> merged = ours;
    for (const std::string& entry : inFile) {
        const bool known = std::find(loaded.begin(), loaded.end(), entry) != loaded.end() ||
                           std::find(merged.begin(), merged.end(), entry) != merged.end();
        if (!known)
            merged.push_back(entry);
    }
    return merged;
}

}  // namespace

bool SaveSettings(const std::string& path, const AppSettings& settings, const AppSettings* loaded) {
    // Two programs saving at once would each write over what the other just read.
    RealClock wall;
    FileLock lock;
    std::string lockError;
    if (!lock.acquire(path, wall, kSettingsLockWaitMs, lockError))
        return false;
    // Start from the file as it is, so sections we do not own (the programmer list, port
    // mappings) survive.
    IniFile ini(path);
    if (!ini.loadError().empty())
        return false;
    if (loaded == nullptr) {
        writeSettings(settings, ini);
        return ini.save(path);
    }
    // Only what this program changed since it read the file goes in: a key another
    // program (or the user in an editor) changed meanwhile keeps that value.
    IniFile before;
    IniFile after;
    AppSettings merged = settings;
    merged.FileHistory =
        mergedHistory(settings.FileHistory, loaded->FileHistory, readSettings(ini).FileHistory);
    writeSettings(*loaded, before);
    writeSettings(merged, after);
    for (const std::string& section : after.sectionNames()) {
        if (section == kHistorySection)
            continue;
        for (const std::string& key : after.keyNames(section)) {
            const std::string value = after.readString(section, key, "");
            if (!before.hasKey(section, key) || before.readString(section, key, "") != value)
                ini.writeString(section, key, value);
        }
    }
    if (merged.FileHistory != readSettings(ini).FileHistory) {
        ini.eraseSection(kHistorySection);
        for (const std::string& key : after.keyNames(kHistorySection))
            ini.writeString(kHistorySection, key, after.readString(kHistorySection, key, ""));
    }
    return ini.save(path);
}

std::string userConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0')
        return joinPath(home, ".config");
    return {};
}

std::string settingsFilePath(const std::string& programDir, bool programDirWritable,
                             const std::string& configHome) {
    namespace fs = std::filesystem;
    const std::string shipped = joinPath(programDir, kSettingsFileName);
    if (programDirWritable || configHome.empty())
        return shipped;
    const std::string folder = joinPath(configHome, "velkaro");
    const std::string userFile = joinPath(folder, kSettingsFileName);
    std::error_code error;
    if (fs::exists(userFile, error))
        return userFile;
    fs::create_directories(folder, error);
    if (error)
        return shipped;
    if (fs::exists(shipped, error))
        fs::copy_file(shipped, userFile, error);
    // Without a seed (or when the copy failed) the first save creates the file.
    return userFile;
}

std::string settingsFilePath(const std::string& programDir) {
    const bool writable = ::access(programDir.c_str(), W_OK) == 0;
    return settingsFilePath(programDir, writable, userConfigHome());
}

}  // namespace velkaro
