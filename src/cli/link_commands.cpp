// Commands that talk to the programmer itself: the firmware query, a power test, the
// connection self-test, and the list of serial ports.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <string>

#include "app/app_settings.h"
#include "app/hardware_settings.h"
#include "app/self_test.h"
#include "app/workspace.h"
#include "cli/cli_context.h"
#include "cli/cli_support.h"
#include "cli/link_backend.h"
#include "cli/link_options.h"
#include "link/link_messages.h"
#include "link/programmer_link.h"
#include "link/programmer_types.h"
#include "link/serial_port_lines.h"
#include "sim/simulated_programmer.h"

namespace velkaro::cli {

namespace {

// These commands show no progress and ask nothing: the link's messages go to stderr, and
// a question (none is asked here) is declined.
class StderrOperationUi : public OperationUi {
public:
    void showMessage(std::string_view text) override { std::cerr << text << '\n'; }
    void setProgress(int) override {}
    void setStatusText(std::string_view) override {}
    void pumpEvents() override {}
    bool cancelRequested() const override { return false; }
    bool askOkCancel(std::string_view) override { return false; }
    bool askYesNo(std::string_view, std::string_view) override { return false; }
    void setCaption(std::string_view) override {}
};

// The selected device, the backend serving the port and a link over it.
struct LinkSession {
    explicit LinkSession(const std::string& dataDir) : workspace(dataDir) {}
    Workspace workspace;
    std::unique_ptr<LinkBackend> backend;
    std::unique_ptr<ProgrammerLink> link;
    StderrOperationUi ui;
};

int openSession(CliContext& context, LinkSession& session) {
    const int prepared = prepareWorkspace(context, session.workspace);
    if (prepared != kExitOk)
        return prepared;
    std::string error;
    int exitCode = kExitOk;
    session.backend = LinkBackend::create(context, session.workspace.device, error, exitCode);
    if (!session.backend) {
        std::cerr << "velkaro-cli: " << error << '\n';
        return exitCode;
    }
    if (!session.backend->usesHardware() && session.backend->simulatedChip() == nullptr) {
        std::cerr << "velkaro-cli: the simulator has no model of "
                  << session.workspace.device.DeviceName << "; its socket is empty\n";
    }
    session.link =
        std::make_unique<ProgrammerLink>(session.backend->library(), session.backend->clock(),
                                         session.workspace.device, session.workspace.image);
    session.link->setUi(session.ui);
    session.link->setPortIndex(session.backend->portIndex());
    session.link->setHardwareType(session.backend->hardwareType());
    session.link->setEntryMode(entryModeOf(context));
    session.link->measureCallsPerMillisecond();
    return kExitOk;
}

// Saves the simulated chip; a failure turns a success into a file error. A hardware
// failure gets the port's own reason.
int closeSession(LinkSession& session, int exitCode, bool tellLinkError = true) {
    std::string error;
    if (exitCode == kExitHardwareError && tellLinkError) {
        if (const std::string why = session.backend->hub().lastError(); !why.empty())
            std::cerr << "velkaro-cli: " << why << '\n';
    }
    if (!session.backend->saveSimState(error)) {
        std::cerr << "velkaro-cli: " << error << '\n';
        if (exitCode == kExitOk)
            exitCode = kExitFileError;
    }
    return session.backend->checkLeftSafe(exitCode);
}

std::string portName(int index) {
    return "COM" + std::to_string(index + 1);
}

void runFirmware(CliContext& context) {
    LinkSession session(context.dataDir);
    context.exitCode = openSession(context, session);
    if (context.exitCode != kExitOk)
        return;
    ProgrammerLink& link = *session.link;
    if (!programmerTypeOf(link.hardwareType()).can.firmwareQuery) {
        std::cerr << "velkaro-cli: only the "
                  << programmerTypesWith(&ProgrammerCapabilities::firmwareQuery)
                  << " answers the firmware query\n";
        context.exitCode = closeSession(session, kExitUsage);
        return;
    }
    std::string date, version;
    if (link.QueryFirmware(date, version)) {
        std::cout << firmwareVersionText(date, version) << '\n';
        context.exitCode = closeSession(session, kExitOk);
    } else {
        std::cerr << "velkaro-cli: no firmware answer from the programmer on "
                  << portName(link.portIndex()) << '\n';
        context.exitCode = closeSession(session, kExitHardwareError);
    }
}

void runPowerTest(CliContext& context) {
    LinkSession session(context.dataDir);
    context.exitCode = openSession(context, session);
    if (context.exitCode != kExitOk)
        return;
    ProgrammerLink& link = *session.link;
    const DeviceDefinition& device = session.workspace.device;
    if (!link.OpenLink(true, false)) {
        const bool refused = link.refusal() == kResultVppUnavailable;
        context.exitCode =
            closeSession(session, refused ? kExitVppUnavailable : kExitHardwareError);
        return;
    }
    std::cout << "Target powered: " << device.DeviceName << " on " << portName(link.portIndex())
              << " (" << programmerName(link.hardwareType()) << "), "
              << (device.PowerOnSequence == 1 ? "VPP before VCC" : "VCC before VPP") << '\n';
    // A power-off the programmer did not confirm may have left the target on.
    if (!link.CloseLink()) {
        std::cerr << "velkaro-cli: " << kMsgHardwareError << '\n';
        if (link.linkFault() != session.backend->hub().lastError())  // else told below
            std::cerr << "velkaro-cli: " << link.linkFault() << '\n';
        context.exitCode = closeSession(session, kExitHardwareError);
        return;
    }
    std::cout << "Target switched off, link closed\n";
    context.exitCode = closeSession(session, kExitOk);
}

// The serial ports the system has, with the COM number the settings map to each.
void runPorts(CliContext& context) {
    const std::string settingsPath = settingsFilePath(context.dataDir);
    const HardwareSettings hardware = loadHardwareSettings(settingsPath);
    for (const std::string& problem : hardware.problems)
        std::cerr << "velkaro-cli: " << settingsPath << ": " << problem << '\n';
    const std::vector<SerialPortInfo> ports = listSerialPorts();
    if (ports.empty())
        std::cout << "No serial ports found.\n";
    for (const SerialPortInfo& port : ports) {
        const std::optional<int> com = hardware.portOf(port.path);
        char usb[16] = "-";
        if (port.usbVendor >= 0)
            std::snprintf(usb, sizeof usb, "%04x:%04x", port.usbVendor & 0xFFFF,
                          port.usbProduct & 0xFFFF);
        std::cout << port.path << "  " << (com ? "COM" + std::to_string(*com) : "-") << "  " << usb
                  << "  " << port.description << '\n';
    }
    // Mappings whose device is not there (an adapter not plugged in).
    for (int com = 1; com <= 9; ++com) {
        const std::string path = hardware.portPath(com);
        if (path.empty())
            continue;
        bool present = false;
        for (const SerialPortInfo& port : ports)
            present = present || port.path == path;
        if (!present)
            std::cout << path << "  COM" << com << "  (not present)\n";
    }
    context.exitCode = kExitOk;
}

// Checks the programmer step by step and names the first step that fails.
void runSelfTest(CliContext& context) {
    LinkSession session(context.dataDir);
    context.exitCode = openSession(context, session);
    if (context.exitCode != kExitOk)
        return;
    Workspace& ws = session.workspace;
    ProgrammerLink& link =
        ws.attachProgrammer(session.backend->library(), session.backend->clock());
    link.setPortIndex(session.link->portIndex());
    link.setHardwareType(session.link->hardwareType());
    link.setEntryMode(session.link->entryMode());
    link.setUi(session.ui);
    link.measureCallsPerMillisecond();
    const std::string port = session.backend->portText();
    std::cout << "Self-test of the " << programmerName(link.hardwareType()) << " on " << port
              << '\n';
    const SelfTestResult result = runSelfTest(ws, session.backend->hub(), port);
    for (const SelfTestStep& step : result.steps) {
        std::cout << (step.ok ? "ok      " : "FAILED  ") << step.what << '\n';
        if (!step.ok)
            std::cout << "        " << step.advice << '\n';
    }
    if (!result.note.empty())
        std::cout << "--      " << result.note << '\n';
    int exitCode = kExitOk;
    if (result.failure == SelfTestResult::Failure::Programmer)
        exitCode = kExitHardwareError;
    else if (result.failure == SelfTestResult::Failure::DeviceId)
        exitCode = kExitIdMismatch;
    else
        std::cout << "Self-test passed.\n";
    context.exitCode = closeSession(session, exitCode, false);  // the advice told it
}

}  // namespace

void registerLinkCommands(CLI::App& app, CliContext& context) {
    app.add_subcommand("ports", "List the serial ports and the COM number each is mapped to")
        ->callback([&context] { runPorts(context); });
    app.add_subcommand("selftest",
                       "Check the programmer's lines, programming mode and the device ID")
        ->callback([&context] { runSelfTest(context); });
    app.add_subcommand("firmware", "Show the firmware date and version of a " +
                                       programmerTypesWith(&ProgrammerCapabilities::firmwareQuery) +
                                       " programmer")
        ->callback([&context] { runFirmware(context); });
    app.add_subcommand("power-test",
                       "Open the link and power the target as an operation would, then close")
        ->callback([&context] { runPowerTest(context); });
}

}  // namespace velkaro::cli
