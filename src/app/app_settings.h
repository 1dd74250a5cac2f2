#pragma once

#include <string>
#include <vector>

#include "app/window_options.h"
#include "link/entry_mode.h"

namespace velkaro {

class IniFile;
struct Workspace;

// The program's memory between runs: one INI file read when the main window first opens
// and written when it closes. Missing keys (or numbers that are not numbers) read as the
// defaults below, and every option flag as ticked (the option structs themselves start as
// the windows show them before any settings are read).
struct AppSettings {
    // Key names of [ProgrammerType] in file order; the built-in types without the section.
    std::vector<std::string> ProgrammerTypes;
    int HardwareType = 0;
    std::string Device = "PIC16F84A";
    int Port = 1;  // COMn; read as at least 1, written as 0 when no port is selected
    std::string LastFile;
    // [Setting] Entry: how the link enters programming mode ("auto", "hv", "lvp"); written
    // only once it is other than "auto" or the file has it.
    EntryMode Entry = EntryMode::Automatic;
    // Why [Setting] Entry was not used (naming the key and the value), the default standing
    // for it; empty when it was read or is missing. Not saved.
    std::string entryProblem;

    ReadOptions readOptions;
    WriteOptions writeOptions;
    EraseOptions eraseOptions;
    BlankOptions blankOptions;
    ProgOptions progOptions;

    std::vector<std::string> FileHistory;  // most recent first; all entries of the file
    // Why the settings file was refused (too large, not text, unreadable), naming it;
    // empty when it was read or is missing. Not saved.
    std::string fileError;

    // Copies the remembered options, LastFile, the history and (when the workspace has a
    // link) the programmer type and port into / out of `workspace`. The device is selected
    // by the caller through the device list.
    void applyTo(Workspace& workspace) const;
    void takeFrom(const Workspace& workspace);
};

// The programmer types offered; without this section, the built-in ones
// (programmerTypes()) in the order of their type index.
inline constexpr const char* kProgrammerTypeSection = "ProgrammerType";

// Name of the settings file beside the programs.
inline constexpr const char* kSettingsFileName = "velkaro.ini";

// The settings held by `ini`, with the defaults where keys are missing.
AppSettings readSettings(const IniFile& ini);
// Writes every saved key of `settings` into `ini` (other sections stay): the history
// section is replaced by its first five entries.
void writeSettings(const AppSettings& settings, IniFile& ini);

// Reads `path`; a missing or unreadable file gives the defaults and an empty programmer
// list and history (with fileError set when the file is there but refused).
AppSettings LoadSettings(const std::string& path);
// Updates `path` by temporary file and rename; false on failure (callers stay silent),
// the old file then stays as it was. A file that is there but cannot be read (too large,
// not text) is never replaced: its sections we do not own would be lost. With `loaded` (the
// settings as this program read them) only the keys that changed since then are written,
// so what another program saved meanwhile stays, and the history keeps its entries too.
// Two programs' saves never interleave (the file is locked while one reads and writes it).
bool SaveSettings(const std::string& path, const AppSettings& settings,
                  const AppSettings* loaded = nullptr);

// Where the settings live. `programDir` (beside the executable) when that folder is
// writable; otherwise "velkaro/velkaro.ini" in the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config), created when missing and first seeded with a copy
// of the file shipped in `programDir`. Falls back to `programDir` when no configuration
// folder can be made (the settings are then read but not saved).
std::string settingsFilePath(const std::string& programDir);
// The same with the decision and the configuration folder given.
std::string settingsFilePath(const std::string& programDir, bool programDirWritable,
                             const std::string& configHome);

// The user's configuration folder: $XDG_CONFIG_HOME when set and absolute, else
// $HOME/.config; empty when neither is known.
std::string userConfigHome();

}  // namespace velkaro
