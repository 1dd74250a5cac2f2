#pragma once

#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace velkaro::cli {

// Exit codes of velkaro-cli (documented in README.md).
enum ExitCode : int {
    kExitOk = 0,
    kExitProgramError = 1,     // program memory: write/verify/blank failed there
    kExitDataError = 2,        // data memory
    kExitConfigError = 3,      // configuration or ID words
    kExitHardwareError = 4,    // programmer or link failure
    kExitCancelled = 5,        // Ctrl-C
    kExitFileError = 6,        // a file could not be read or written
    kExitWarnings = 7,         // the input loaded with warnings and --strict was given
    kExitIdMismatch = 8,       // device ID of another device, or a lock-out not confirmed (--yes)
    kExitNoId = 9,             // no device ID could be read
    kExitVppUnavailable = 10,  // the programmer cannot apply the device's programming voltage,
                               // or the device takes no low-voltage key (--lvp)
    kExitUsage = 64,           // bad arguments, unknown device
    kExitInternal = 70,
};

// The global options, shared by every command; filled by CLI11 before a command runs.
struct CliContext {
    std::string dataDir;     // where device.ini and Config.ini are read
    std::string deviceName;  // --device; empty: settings file's last device, else PIC16F84A
    std::string port;        // --port: COM1..COM9 or 1..9
    std::string programmer;  // --programmer: type index or name
    std::optional<std::string> simulate;  // --simulate[=CHIP]; "" = the selected device's chip
    std::string simState;                 // --sim-state FILE
    bool emulateBoard = false;            // --emulate-board: the PRO's firmware, emulated
    bool lowVoltage = false;              // --lvp: enter by the low-voltage key
    bool highVoltage = false;             // --hv: enter with VPP
    int exitCode = kExitOk;               // set by the command that ran
};

// One function per group of commands; each adds its subcommands to `app`.
void registerCatalogueCommands(CLI::App& app, CliContext& context);
void registerHexCommands(CLI::App& app, CliContext& context);
void registerLinkCommands(CLI::App& app, CliContext& context);
void registerDeviceCommands(CLI::App& app, CliContext& context);
void registerLintCommands(CLI::App& app, CliContext& context);

}  // namespace velkaro::cli
