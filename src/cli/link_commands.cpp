// Commands that talk to the programmer itself: the firmware query, a power test, the
// connection self-test, and the list of serial ports.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <string>

#include "app/app_settings.h"
#include "app/hardware_settings.h"
#include "app/workspace.h"
#include "cli/cli_context.h"
#include "cli/cli_support.h"
#include "cli/link_backend.h"
#include "cli/link_options.h"
#include "link/programmer_link.h"
#include "link/serial_port_lines.h"
#include "operations/device_id.h"
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
    session.link->measureCallsPerMillisecond();
    return kExitOk;
}

// Saves the simulated chip; a failure turns a success into a file error. A hardware
// failure gets the port's own reason.
int closeSession(LinkSession& session, int exitCode) {
    std::string error;
    if (exitCode == kExitHardwareError) {
        if (const std::string why = session.backend->hub().lastError(); !why.empty())
            std::cerr << "velkaro-cli: " << why << '\n';
    }
    if (!session.backend->saveSimState(error)) {
        std::cerr << "velkaro-cli: " << error << '\n';
        if (exitCode == kExitOk)
            return kExitFileError;
    }
    return exitCode;
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

// What the user should check when a step of the self-test fails.
void selfTestFailed(const std::string& step, const std::string& advice) {
    std::cout << "FAILED  " << step << '\n' << "        " << advice << '\n';
}

// Checks the programmer step by step and names the first step that fails: the port, the
// lines the circuit lets us see, then programming mode and the device ID.
void runSelfTest(CliContext& context) {
    LinkSession session(context.dataDir);
    context.exitCode = openSession(context, session);
    if (context.exitCode != kExitOk)
        return;
    ProgrammerLink& link = *session.link;
    ProgrammerHub& hub = session.backend->hub();
    const std::string port = session.backend->portText();
    std::cout << "Self-test of the " << programmerName(link.hardwareType()) << " on " << port
              << '\n';

    if (link.hardwareType() == ProgrammerLink::kProgrammerJdm) {
        JdmProgrammer& jdm =
            session.backend->usesHardware() ? hub.hardwareJdm() : hub.simulatedJdm();
        const LineAssignment& lines = jdm.assignment();
        auto lineName = [](const LinePin& pin) {
            return std::string(pin.inverted ? "inverted " : "") +
                   std::string(portLineName(pin.line));
        };
        hub.SSetMode(link.hardwareType());
        if (hub.SOpen(link.portIndex() + 1) == 0) {
            selfTestFailed("opening " + port, hub.lastError());
            context.exitCode = closeSession(session, kExitHardwareError);
            return;
        }
        std::cout << "ok      port opened; VPP, VDD, PGC and PGD off\n";
        std::optional<bool> high, low;
        hub.SSetPGD(1);
        high = jdm.readPgd();
        hub.SSetPGD(0);
        low = jdm.readPgd();
        hub.SClose();
        const std::string loop = "PGD out (" + lineName(lines.pgdOut) + ") read back on PGD in (" +
                                 lineName(lines.pgdIn) + ")";
        if (!high || !low) {
            selfTestFailed(loop, hub.lastError());
            context.exitCode = closeSession(session, kExitHardwareError);
            return;
        }
        if (*high != true || *low != false) {
            std::string advice;
            if (*high == *low)
                advice = std::string("PGD in stays ") + (*high ? "high" : "low") +
                         ": is the programmer plugged into this port, and is the PGD in line "
                         "wired (or a chip holding PGD)?";
            else
                advice =
                    "PGD in shows the opposite of PGD out: one of the two lines is set with the "
                    "wrong polarity in the settings ([VKR-20 JDM] PGDOut / PGDIn, \"!\" inverts)";
            selfTestFailed(loop, advice);
            context.exitCode = closeSession(session, kExitHardwareError);
            return;
        }
        std::cout << "ok      " << loop << '\n';
        std::cout << "        (VPP on " << lineName(lines.vpp) << ", PGC on " << lineName(lines.pgc)
                  << ", VDD "
                  << (lines.vdd.line == PortLine::None ? "from the port"
                                                       : "on " + lineName(lines.vdd))
                  << ": not sensed by this circuit; the device ID shows them working)\n";
    } else {
        std::string date, version;
        if (!link.QueryFirmware(date, version)) {
            selfTestFailed("firmware query", "no answer from the programmer on " + port +
                                                 ": is it plugged in and powered?");
            context.exitCode = closeSession(session, kExitHardwareError);
            return;
        }
        std::cout << "ok      firmware " << firmwareVersionText(date, version) << '\n';
    }

    const DeviceDefinition& device = session.workspace.device;
    if (device.DeviceIDAdr == 0 || device.DeviceIDMask == 0 || device.DeviceID == 0) {
        std::cout << "--      " << device.DeviceName
                  << " has no device ID: programming mode not checked\n";
        context.exitCode = closeSession(session, kExitOk);
        return;
    }
    session.workspace.attachProgrammer(session.backend->library(), session.backend->clock());
    session.workspace.link->setPortIndex(link.portIndex());
    session.workspace.link->setHardwareType(link.hardwareType());
    session.workspace.link->setUi(session.ui);
    session.workspace.link->measureCallsPerMillisecond();
    const uint16_t raw = readDeviceId(session.workspace);
    const uint16_t mask = static_cast<uint16_t>(device.DeviceIDMask);
    char text[64];
    std::snprintf(text, sizeof text, "device ID %04X", raw);
    if ((raw & mask) != (static_cast<uint16_t>(device.DeviceID) & mask)) {
        const bool nothing = (raw & mask) == 0 || (raw & mask) == mask;
        selfTestFailed(std::string(text) + " (expected " + device.DeviceName + ")",
                       nothing ? "no chip answers in programming mode: check that the chip sits "
                                 "the right way round, VPP reaches MCLR and PGC reaches the chip"
                               : "another chip answers: select its device, or check the socket");
        context.exitCode = closeSession(session, kExitIdMismatch);
        return;
    }
    std::cout << "ok      programming mode, " << text << " (" << device.DeviceName << ")\n";
    std::cout << "Self-test passed.\n";
    context.exitCode = closeSession(session, kExitOk);
}

}  // namespace

void registerLinkCommands(CLI::App& app, CliContext& context) {
    app.add_subcommand("ports", "List the serial ports and the COM number each is mapped to")
        ->callback([&context] { runPorts(context); });
    app.add_subcommand("selftest",
                       "Check the programmer's lines, programming mode and the device ID")
        ->callback([&context] { runSelfTest(context); });
    app.add_subcommand("firmware", "Show the firmware date and version of a VKR-20 PRO programmer")
        ->callback([&context] { runFirmware(context); });
    app.add_subcommand("power-test",
                       "Open the link and power the target as an operation would, then close")
        ->callback([&context] { runPowerTest(context); });
}

}  // namespace velkaro::cli
