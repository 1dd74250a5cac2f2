// lint-devices: checks a device file for what the loader forgives silently, each device's
// waits against the minimum times of its simulated chip, and the Config.ini beside it.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>

#include "catalogue/device_catalogue.h"
#include "catalogue/device_lint.h"
#include "cli/cli_context.h"
#include "image/intel_hex_reader.h"
#include "link/programmer_link.h"
#include "link/programmer_types.h"
#include "sim/chip_families.h"
#include "sim/enhanced/enhanced_chip.h"
#include "sim/midrange/midrange_chip.h"
#include "sim/pic18/pic18_chip.h"

namespace velkaro::cli {

namespace {

uint64_t us(int32_t milliseconds) {
    return static_cast<uint64_t>(milliseconds) * 1000u;
}

// Waits of `d` that are shorter than its chip needs; a cycle cut short leaves cells half
// programmed or half erased. Devices without a chip model are not checked.
// Each finding comes with the key to blame.
std::vector<std::pair<std::string, std::string>> shortWaits(const std::string& name,
                                                            const DeviceDefinition& d) {
    std::vector<std::pair<std::string, std::string>> found;
    auto need = [&](const char* key, int32_t ms, uint64_t minimumUs) {
        if (us(ms) < minimumUs)
            found.emplace_back(key, "[" + name + "] " + key + " " + std::to_string(ms) +
                                        " ms is shorter than the chip's " +
                                        std::to_string(minimumUs) + " us");
    };
    for (const sim::MidrangeDevice& chip : sim::midrangeDevices()) {
        if (chip.name != name || d.isExtendedFamily())
            continue;
        const sim::MidrangeProtocol& p = *chip.protocol;
        if (d.ProgOnlyCmd != 0)
            need("ProgOnlyCycle", d.ProgOnlyCycle,
                 d.ProgOnlyCmd == 0x08 ? p.beginTimeUs : p.progOnlyTimeUs);
        if (p.beginCycle != sim::CycleKind::None && (d.ProgOnlyCmd == 0 || d.hasBeginProgram()))
            need("EraseProgCycle", d.EraseProgCycle, p.beginTimeUs);
        if (d.EpromSize > 0) {
            need("DataEraseProgCycle", d.DataEraseProgCycle, p.dataWriteTimeUs);
            if (d.ProgOnlyCmd != 0)
                need("DataProgOnlyCycle", d.DataProgOnlyCycle, p.dataWriteTimeUs);
        }
        if (d.hasBulkEraseProgram() || (d.CmdSet & 0x0040))
            need("BulkEraseCycle", d.BulkEraseCycle, p.bulkEraseTimeUs);
        if (d.ExtFlag1 & 3)
            need("BulkEraseCycle", d.BulkEraseCycle, p.setupEraseTimeUs);
        if (d.hasChipErase())
            need("ChipEraseCycle", d.ChipEraseCycle, p.chipEraseTimeUs);
        return found;
    }
    if (d.traits().family == DeviceFamily::EnhancedMidrange) {
        if (const sim::EnhancedDevice* chip = sim::findEnhancedDevice(name)) {
            const sim::EnhancedTimes& t = *chip->times;
            need("ProgOnlyCycle", d.ProgOnlyCycle, t.rowProgramUs);
            need("EraseProgCycle", d.EraseProgCycle, t.configProgramUs);
            need("BulkEraseCycle", d.BulkEraseCycle, t.bulkEraseUs);
            if (d.EpromSize > 0)
                need("DataEraseProgCycle", d.DataEraseProgCycle, t.dataProgramUs);
        }
        return found;
    }
    if (d.isExtendedFamily()) {
        if (const auto chip = sim::makePic18Chip(name)) {
            const sim::Pic18Timing& t = static_cast<const sim::Pic18Chip&>(*chip).timing();
            need("ProgOnlyCycle", d.ProgOnlyCycle, t.programHoldUs);
            need("ChipEraseCycle", d.ChipEraseCycle, t.eraseUs);
            if (t.configHoldUs > t.programHoldUs)
                need("ConfigProgCycle", d.ConfigProgCycle > 0 ? d.ConfigProgCycle : d.ProgOnlyCycle,
                     t.configHoldUs);
            const uint64_t dischargeUs =
                d.DischargeTime > 0 ? uint64_t(d.DischargeTime) : ProgrammerLink::kDischargeUs;
            if (dischargeUs < t.dischargeUs)
                found.emplace_back("DischargeTime", "[" + name + "] DischargeTime " +
                                                        std::to_string(dischargeUs) +
                                                        " us is shorter than the chip's " +
                                                        std::to_string(t.dischargeUs) + " us");
        }
    }
    return found;
}

// A device whose programming voltage the PRO, the programmer that makes several levels, has
// no level for: every operation on it would be refused.
std::vector<std::pair<std::string, std::string>> unreachableVpp(const std::string& name,
                                                                const DeviceDefinition& d) {
    const auto& pro = programmerTypeOf(ProgrammerLink::kProgrammerPro).can.vppLevels;
    if (chooseVppLevel(pro, d.VppVoltage, d.vppMin(), d.vppMax()) != nullptr)
        return {};
    return {{"VppVoltage", "[" + name + "] no level of the PRO lies within the chip's " +
                               "programming voltage range at or above VppVoltage"}};
}

struct LintOptions {
    std::string file;
};

// A device file is a few hundred KiB; anything near this is no device file.
constexpr uintmax_t kMaxDeviceFileBytes = uintmax_t{16} << 20;

// Reads device.ini or Config.ini whole; false with `error` set, naming the file, when it
// cannot be read, is too large or is not text.
bool readTextFile(const std::string& path, std::string& contents, std::string& error) {
    bool tooLarge = false;
    if (!readWholeFile(path, contents, kMaxDeviceFileBytes, &tooLarge)) {
        error = tooLarge ? path + " is larger than " + std::to_string(kMaxDeviceFileBytes >> 20) +
                               " MiB and is not read"
                         : "cannot read " + path;
        return false;
    }
    if (contents.find('\0') != std::string::npos) {
        error = path + " is not a text file";
        return false;
    }
    return true;
}

// Lints `path`; prints "FILE:LINE: message" lines and returns how many there were, or -1
// with `error` set when the file cannot be read, is too large or is not text.
int lintFile(const std::string& path, std::ostream& out, std::string& error) {
    std::string contents;
    if (!readTextFile(path, contents, error))
        return -1;
    const DeviceFileMap file(contents);

    // The loader reads device.ini from a folder: a file of another name is read from a
    // private copy.
    namespace fs = std::filesystem;
    fs::path folder = fs::path(path).parent_path();
    std::unique_ptr<fs::path, void (*)(fs::path*)> copy(nullptr, [](fs::path* p) {
        std::error_code ignored;
        fs::remove_all(*p, ignored);
        delete p;
    });
    if (fs::path(path).filename() != "device.ini") {
        copy.reset(new fs::path(fs::temp_directory_path() /
                                ("velkaro-lint-" + std::to_string(::getpid()))));
        fs::create_directories(*copy);
        std::ofstream(*copy / "device.ini", std::ios::binary) << contents;
        folder = *copy;
    }
    DeviceCatalogue catalogue(folder.empty() ? "." : folder.string());
    auto resolve = [&catalogue](const std::string& name) {
        SilentMessageSink sink;
        ConfigFieldTable fields;
        DeviceDefinition d;
        catalogue.LoadSection(name, d, fields, sink);
        return d;
    };
    std::vector<LintFinding> findings = lintDeviceFile(file, resolve);
    for (const auto& section : file.sections()) {
        const DeviceDefinition d = resolve(section.name);
        for (auto& [key, message] : shortWaits(section.name, d))
            findings.push_back({lineOfKey(file, section.name, key), std::move(message)});
        for (auto& [key, message] : unreachableVpp(section.name, d))
            findings.push_back({lineOfKey(file, section.name, key), std::move(message)});
    }
    // Config.ini beside the device file, when there is one; one that cannot be read is a
    // finding of its own (the program would show every device without its fields).
    const std::string configPath = (fs::path(path).parent_path() / "Config.ini").string();
    std::vector<LintFinding> configFindings;
    std::string configText, configError;
    std::error_code ec;
    if (fs::exists(configPath, ec) && readTextFile(configPath, configText, configError)) {
        const DeviceFileMap config(configText);
        configFindings = lintConfigFile(config);
        for (LintFinding& f : lintConfigSettings(file, config, resolve))
            findings.push_back(std::move(f));
    }

    auto byLine = [](const LintFinding& a, const LintFinding& b) { return a.line < b.line; };
    std::stable_sort(findings.begin(), findings.end(), byLine);
    std::stable_sort(configFindings.begin(), configFindings.end(), byLine);
    for (const auto& f : findings)
        out << path << ':' << f.line << ": " << f.message << '\n';
    for (const auto& f : configFindings)
        out << configPath << ':' << f.line << ": " << f.message << '\n';
    if (!configError.empty())
        out << configError << '\n';
    return static_cast<int>(findings.size() + configFindings.size() + !configError.empty());
}

}  // namespace

void registerLintCommands(CLI::App& app, CliContext& context) {
    auto options = std::make_shared<LintOptions>();
    auto* lint = app.add_subcommand(
        "lint-devices",
        "Check a device file (default: the data folder's device.ini) and the Config.ini beside it");
    lint->add_option("file", options->file, "device.ini to check");
    lint->callback([&context, options] {
        const std::string path =
            options->file.empty() ? context.dataDir + "/device.ini" : options->file;
        std::string error;
        const int count = lintFile(path, std::cout, error);
        if (count < 0) {
            std::cerr << "velkaro-cli: " << error << '\n';
            context.exitCode = kExitFileError;
        } else {
            if (count > 0)
                std::cerr << "velkaro-cli: " << count << " problem(s) in " << path << '\n';
            context.exitCode = count == 0 ? kExitOk : kExitWarnings;
        }
    });
}

}  // namespace velkaro::cli
