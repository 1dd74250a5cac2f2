// velkaro-cli hex and dump: load a HEX file as the desktop program opens it, then save it
// again, summarise it, or show it as the main window's views do.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "app/open_image_file.h"
#include "app/save_image_file.h"
#include "app/workspace.h"
#include "cli/cli_context.h"
#include "cli/cli_support.h"
#include "image/listing.h"

namespace velkaro::cli {

namespace {

struct HexOptions {
    std::string input;
    std::string output;
    bool strict = false;
};

// Selects the device and loads options.input into the workspace's image, warnings on
// stderr; kExitOk when the image may be used.
int loadInput(CliContext& context, Workspace& workspace, const HexOptions& options,
              OpenImageResult& result) {
    const int prepared = prepareWorkspace(context, workspace);
    if (prepared != kExitOk)
        return prepared;
    StderrMessageSink messages;
    result = OpenImageFile(workspace, options.input, messages);
    if (!result.loaded())
        return kExitFileError;
    if (result.status == OpenImageStatus::LoadedWithWarnings && options.strict)
        return kExitWarnings;
    return kExitOk;
}

void printSummary(const Workspace& workspace, const HexReadResult& read) {
    const DeviceDefinition& device = workspace.device;
    std::printf("device %s, %s layout\n", device.DeviceName.c_str(),
                std::string(device.traits().hexLayout).c_str());
    if (read.programBytes > 0)
        std::printf("program memory: %ld bytes at %04lX-%04lX\n", read.programBytes,
                    read.lowestProgramByte, read.highestProgramByte);
    else
        std::printf("program memory: 0 bytes\n");
    std::printf("ID words: %ld bytes\n", read.idBytes);
    std::printf("configuration words: %ld bytes\n", read.configBytes);
    std::printf("data memory: %ld bytes\n", read.dataBytes);
    if (read.ignoredBytes > 0)
        std::printf("ignored (high bytes of data memory words): %ld bytes\n", read.ignoredBytes);
    if (read.outOfRangeBytes > 0)
        std::printf("outside the device: %ld bytes\n", read.outOfRangeBytes);
    std::printf("records: %d, checksum errors: %d, bad records: %d%s\n", read.records,
                read.checksumErrors, read.badRecords, read.endRecordSeen ? "" : ", no end record");
    if (read.extraTextRecords > 0)
        std::printf("records with text after the checksum: %d\n", read.extraTextRecords);
}

int runHex(CliContext& context, const HexOptions& options) {
    Workspace workspace(context.dataDir);
    OpenImageResult result;
    const int loaded = loadInput(context, workspace, options, result);
    if (loaded != kExitOk)
        return loaded;
    if (options.output.empty()) {
        printSummary(workspace, result.read);
        return kExitOk;
    }
    StderrMessageSink messages;
    const HexWriteResult saved =
        SaveImageFile(options.output, workspace.device, workspace.image, messages);
    return saved.ok() ? kExitOk : kExitFileError;
}

void printLines(const std::vector<std::string>& lines) {
    for (const auto& line : lines)
        std::printf("%s\n", line.c_str());
}

int runDump(CliContext& context, const HexOptions& options) {
    Workspace workspace(context.dataDir);
    OpenImageResult result;
    const int loaded = loadInput(context, workspace, options, result);
    if (loaded != kExitOk)
        return loaded;
    const DeviceDefinition& device = workspace.device;
    const MemoryImage& image = workspace.image;
    std::printf("[Program]\n");
    printLines(programListing(image.ProgMemory));
    std::printf("[EEPROM]\n");
    printLines(dataListing(image.DataMemory));
    std::printf("ID %s\n", idText(device, image).c_str());
    for (int i = 0; i < std::min(device.ConfigCount, DeviceDefinition::kMaxConfigWords); ++i)
        std::printf("%s %s\n", configLabel(device, i).c_str(),
                    wordText(image.ConfigWords[i]).c_str());
    if (device.OscCal != 0)
        std::printf("OSCCAL %s\n", wordText(image.OscCalValue).c_str());
    if (device.BGMask != 0)
        std::printf("BG %s\n", wordText(image.BGValue).c_str());
    return kExitOk;
}

}  // namespace

void registerHexCommands(CLI::App& app, CliContext& context) {
    auto hexOptions = std::make_shared<HexOptions>();
    CLI::App* hex = app.add_subcommand(
        "hex", "Load an Intel HEX file into the device's buffer; save it with -o, else summarise");
    hex->add_option("IN", hexOptions->input, "HEX file to load (.hex or .obj)")->required();
    hex->add_option("-o,--output", hexOptions->output, "Save the loaded buffer to this file");
    hex->add_flag("--strict", hexOptions->strict,
                  "Fail (exit 7) when the file loads with warnings");
    hex->callback([&context, hexOptions] { context.exitCode = runHex(context, *hexOptions); });

    auto dumpOptions = std::make_shared<HexOptions>();
    CLI::App* dump = app.add_subcommand(
        "dump", "Load an Intel HEX file and show the buffer as the main window does");
    dump->add_option("IN", dumpOptions->input, "HEX file to load (.hex or .obj)")->required();
    dump->add_flag("--strict", dumpOptions->strict,
                   "Fail (exit 7) when the file loads with warnings");
    dump->callback([&context, dumpOptions] { context.exitCode = runDump(context, *dumpOptions); });
}

}  // namespace velkaro::cli
