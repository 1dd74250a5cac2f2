// velkaro-cli: the command-line client of the core. Global options may stand before or
// after the command (`velkaro-cli --device X info` and `velkaro-cli info --device X`).
#include <CLI/CLI.hpp>

#include <cstdio>

#include "app/paths.h"
#include "catalogue/device_catalogue.h"
#include "cli/cli_context.h"
#include "cli/link_backend.h"
#include "link/programmer_types.h"

int main(int argc, char** argv) {
    using namespace velkaro::cli;
    CliContext context;
    context.dataDir = velkaro::dataDirectory(velkaro::executableDirectory());

    CLI::App app{"Velkaro command-line programmer for PIC microcontrollers", "velkaro-cli"};
    app.fallthrough();
    app.require_subcommand(0, 1);
    app.add_option("--data-dir", context.dataDir, "Folder holding device.ini and Config.ini")
        ->check(CLI::ExistingDirectory);
    app.add_option("--device", context.deviceName, "Device type (a section of device.ini)");
    app.add_option("--port", context.port, "Programmer port: COM1..COM9 or 1..9");
    app.add_option("--programmer", context.programmer,
                   "Programmer type: " + velkaro::programmerTypeChoices());
    app.add_option_function<std::string>(
           "--simulate", [&context](const std::string& chip) { context.simulate = chip; },
           "Serve every port by the simulator with CHIP in the socket (default: the device's chip)")
        ->expected(0, 1)
        ->default_str("");
    app.add_flag("--emulate-board", context.emulateBoard,
                 "Serve a simulated port's " +
                     velkaro::programmerTypesWith(&velkaro::ProgrammerCapabilities::firmwareQuery) +
                     " by its own firmware, built for this machine, driving the chip's pins");
    auto* lvp = app.add_flag("--lvp", context.lowVoltage,
                             "Enter programming mode by the low-voltage key (VDD only, MCLR low; "
                             "devices with an LVP bit)");
    app.add_flag("--hv", context.highVoltage, "Enter programming mode with VPP")->excludes(lvp);
    app.add_option("--sim-state", context.simState,
                   "Load the simulated chip from FILE when it exists; save it at exit");

    registerCatalogueCommands(app, context);
    registerHexCommands(app, context);
    registerLinkCommands(app, context);
    registerDeviceCommands(app, context);
    registerLintCommands(app, context);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kExitUsage;
    }
    if (app.get_subcommands().empty()) {
        // No command: show what can be chosen, then how to use the tool.
        for (const auto& name : velkaro::DeviceCatalogue(context.dataDir).FillDeviceList())
            std::printf("%s\n", name.c_str());
        std::printf("\n%s", app.help().c_str());
        return kExitOk;
    }
    // A command that left the target powered or the port open has a fault of its own,
    // whatever it reported.
    if (LinkBackend::leftUnsafe())
        return kExitInternal;
    return context.exitCode;
}
