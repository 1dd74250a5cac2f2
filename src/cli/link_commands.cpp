// Commands that talk to the programmer itself: the firmware query and a power test.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <string>

#include "app/workspace.h"
#include "cli/cli_context.h"
#include "cli/cli_support.h"
#include "cli/link_backend.h"
#include "cli/link_options.h"
#include "link/programmer_link.h"
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
    if (session.backend->simulator().chip() == nullptr) {
        std::cerr << "velkaro-cli: the simulator has no model of "
                  << session.workspace.device.DeviceName << "; its socket is empty\n";
    }
    session.link =
        std::make_unique<ProgrammerLink>(session.backend->library(), session.backend->clock(),
                                         session.workspace.device, session.workspace.image);
    session.link->setUi(session.ui);
    session.link->setPortIndex(session.backend->portIndex());
    session.link->setHardwareType(session.backend->hardwareType());
    session.link->measureCallsPerMillisecond();
    return kExitOk;
}

// Saves the simulated chip; a failure turns a success into a file error.
int closeSession(LinkSession& session, int exitCode) {
    std::string error;
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
    if (link.hardwareType() != ProgrammerLink::kProgrammerPro) {
        std::cerr << "velkaro-cli: only the " << programmerName(ProgrammerLink::kProgrammerPro)
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
        context.exitCode = closeSession(session, kExitHardwareError);
        return;
    }
    std::cout << "Target powered: " << device.DeviceName << " on " << portName(link.portIndex())
              << " (" << programmerName(link.hardwareType()) << "), "
              << (device.PowerOnSequence == 1 ? "VPP before VCC" : "VCC before VPP") << '\n';
    link.CloseLink();
    std::cout << "Target switched off, link closed\n";
    context.exitCode = closeSession(session, kExitOk);
}

}  // namespace

void registerLinkCommands(CLI::App& app, CliContext& context) {
    app.add_subcommand("firmware", "Show the firmware date and version of a VKR-20 PRO programmer")
        ->callback([&context] { runFirmware(context); });
    app.add_subcommand("power-test",
                       "Open the link and power the target as an operation would, then close")
        ->callback([&context] { runPowerTest(context); });
}

}  // namespace velkaro::cli
