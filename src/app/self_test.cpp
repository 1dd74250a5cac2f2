#include "app/self_test.h"

#include <cstdio>
#include <optional>

#include "app/hardware_settings.h"
#include "app/programmer_hub.h"
#include "app/workspace.h"
#include "link/link_messages.h"
#include "link/programmer_types.h"
#include "operations/device_id.h"

namespace velkaro {

namespace {

std::string lineName(const LinePin& pin) {
    return std::string(pin.inverted ? "inverted " : "") + std::string(portLineName(pin.line));
}

// The loop from PGD out to PGD in; an empty advice when it works.
SelfTestStep checkPgdLoop(ProgrammerHub& hub, JdmProgrammer& jdm) {
    const LineAssignment& lines = jdm.assignment();
    SelfTestStep step;
    step.what = "PGD out (" + lineName(lines.pgdOut) + ") read back on PGD in (" +
                lineName(lines.pgdIn) + ")";
    hub.SSetPGD(1);
    const std::optional<bool> high = jdm.readPgd();
    hub.SSetPGD(0);
    const std::optional<bool> low = jdm.readPgd();
    if (!high || !low) {
        step.advice = hub.lastError();
    } else if (*high == *low) {
        step.advice = std::string("PGD in stays ") + (*high ? "high" : "low") +
                      ": is the programmer plugged into this port, and is the PGD in line (" +
                      lineName(lines.pgdIn) + ") wired?";
    } else if (*high != true) {
        step.advice =
            "PGD in shows the opposite of PGD out: one of the two lines has the wrong polarity "
            "in the settings ([" +
            std::string(jdmLinesSection()) + "] PGDOut or PGDIn; a leading \"!\" inverts)";
    }
    step.ok = step.advice.empty();
    return step;
}

// How long a call on the port's lines takes, from a run of reads of PGD in; a remark on
// the settings' figure when the port is far from it. Nothing when a read fails.
std::optional<SelfTestStep> measurePortCalls(ProgrammerHub& hub, JdmProgrammer& jdm, Clock& clock) {
    constexpr int kReads = 200;
    const uint64_t start = clock.nowMicroseconds();
    for (int i = 0; i < kReads; ++i) {
        if (!jdm.readPgd())
            return std::nullopt;
    }
    const uint64_t us = (clock.nowMicroseconds() - start + kReads / 2) / kReads;
    SelfTestStep step{true,
                      "port calls take " + std::to_string(us) + " us each (" +
                          std::to_string(kReads) + " reads of PGD in)",
                      {}};
    const uint64_t set = hub.hardware().portCallUs;
    if (us > 2 * set + 5 || 2 * us + 5 < set)
        step.what += "; [" + std::string(jdmLinesSection()) + "] " + kPortCallKey + "=" +
                     std::to_string(us) + " makes the simulator's times match this port (now " +
                     std::to_string(set) + ")";
    return step;
}

}  // namespace

SelfTestResult runSelfTest(Workspace& ws, ProgrammerHub& hub, const std::string& portText) {
    SelfTestResult result;
    ProgrammerLink& link = *ws.link;
    auto fail = [&](std::string what, std::string advice, SelfTestResult::Failure failure) {
        result.steps.push_back({false, std::move(what), std::move(advice)});
        result.failure = failure;
        return result;
    };

    hub.SSetMode(link.hardwareType());
    if (hub.SOpen(link.portIndex() + 1) == 0)
        return fail("opening " + portText, hub.lastError(), SelfTestResult::Failure::Programmer);
    if (programmerTypeOf(link.hardwareType()).can.bitBanged) {
        result.steps.push_back({true, "port opened; VPP, VDD, PGC and PGD off", {}});
        JdmProgrammer& jdm =
            hub.isHardwarePort(link.portIndex() + 1) ? hub.hardwareJdm() : hub.simulatedJdm();
        SelfTestStep loop = checkPgdLoop(hub, jdm);
        const std::optional<SelfTestStep> calls =
            loop.ok ? measurePortCalls(hub, jdm, link.clock()) : std::nullopt;
        hub.SClose();
        if (!loop.ok)
            return fail(loop.what, loop.advice, SelfTestResult::Failure::Programmer);
        result.steps.push_back(loop);
        if (calls)
            result.steps.push_back(*calls);
    } else {
        hub.SClose();
        std::string date, version;
        if (!link.QueryFirmware(date, version))
            return fail(
                "firmware query",
                "no answer from the programmer on " + portText + ": is it plugged in and powered?",
                SelfTestResult::Failure::Programmer);
        result.steps.push_back({true, "firmware " + firmwareVersionText(date, version), {}});
    }

    const DeviceDefinition& device = ws.device;
    if (!ws.DevIdChkEnabled() || device.DeviceIDMask == 0 || device.DeviceIDAdr == 0) {
        result.note = device.DeviceName + " has no device ID: programming mode not checked";
        return result;
    }
    // A programming voltage outside the chip's range is refused before anything reaches the
    // chip; that, not the wiring, is what the user has to hear.
    // By the low-voltage key no VPP is needed.
    const ProgrammerType& type = programmerTypeOf(link.hardwareType());
    if (!link.usesLowVoltageEntry() &&
        !chooseVppLevel(type.can.vppLevels, device.VppVoltage, device.vppMin(), device.vppMax()))
        return fail("programming voltage for " + device.DeviceName,
                    vppUnavailableMessage(device.vppMin(), device.vppMax(), type.name),
                    SelfTestResult::Failure::Programmer);
    const uint16_t raw = readDeviceId(ws);
    const uint16_t mask = static_cast<uint16_t>(device.DeviceIDMask);
    char text[32];
    std::snprintf(text, sizeof text, "device ID %04X", raw);
    if ((raw & mask) != (static_cast<uint16_t>(device.DeviceID) & mask)) {
        const bool nothing = (raw & mask) == 0 || (raw & mask) == mask;
        return fail(
            std::string(text) + " (expected " + device.DeviceName + ")",
            nothing ? (link.usesLowVoltageEntry()
                           ? "no chip answers to the low-voltage key: check that the chip sits "
                             "the right way round, that PGC and PGD reach its clock and data "
                             "pins, and that its LVP bit is set (with LVP 0 it needs VPP)"
                           : "no chip answers in programming mode: check that the chip sits the "
                             "right way round, that VPP reaches MCLR and PGC the chip's clock "
                             "pin, and the polarity of both in the settings")
                    : "another chip answers: select its device, or check the socket",
            nothing ? SelfTestResult::Failure::Programmer : SelfTestResult::Failure::DeviceId);
    }
    result.steps.push_back(
        {true, "programming mode, " + std::string(text) + " (" + device.DeviceName + ")", {}});
    return result;
}

}  // namespace velkaro
