// Which backend of the hub serves a session, and that what the hub reports comes from that
// backend: its failures, the clock its waits run on, and whatever any backend left on.
#include <gtest/gtest.h>

#include <string>

#include "app/programmer_hub.h"
#include "link/virtual_clock.h"

namespace velkaro {
namespace {

constexpr int kPro = 0;
constexpr int kJdm = 1;
constexpr int kSimulatedPort = 1;
constexpr int kMappedPort = 2;
constexpr const char* kMissingDevice = "/nonexistent/velkaro-tty";

HardwareSettings withMappedPort() {
    HardwareSettings hardware;
    hardware.portPaths[kMappedPort - 1] = kMissingDevice;
    return hardware;
}

TEST(ProgrammerHub, EachTypePortAndBoardChoiceOpensItsOwnBackend) {
    struct Case {
        int type;
        int port;
        bool emulatedBoard;
        const char* backend;
        bool waitsOnBoard;
    };
    const Case cases[] = {
        {kPro, kSimulatedPort, false, "simulated programmer", false},
        {kPro, kSimulatedPort, true, "emulated PRO board", true},
        {kPro, kMappedPort, false, "PRO on a serial port", true},
        {kPro, kMappedPort, true, "PRO on a serial port", true},
        {kJdm, kSimulatedPort, false, "JDM on simulated lines", false},
        {kJdm, kSimulatedPort, true, "JDM on simulated lines", false},
        {kJdm, kMappedPort, false, "JDM on a serial port", false},
        {kJdm, kMappedPort, true, "JDM on a serial port", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.backend) + (c.emulatedBoard ? ", board emulated" : ""));
        VirtualClock clock;
        ProgrammerHub hub(clock, withMappedPort());
        hub.setEmulatedBoard(c.emulatedBoard);
        hub.SSetMode(c.type);
        const bool opened = hub.SOpen(c.port) != 0;
        EXPECT_EQ(hub.active().name, c.backend);
        EXPECT_EQ(&hub.backendFor(c.port), &hub.active());
        EXPECT_EQ(hub.active().delaySink != nullptr, c.waitsOnBoard);
        if (c.port == kMappedPort) {
            // No device behind the mapping: the serial backend says so, the simulator is
            // not asked and counts no session.
            EXPECT_FALSE(opened);
            EXPECT_NE(hub.lastError().find(kMissingDevice), std::string::npos) << hub.lastError();
            EXPECT_EQ(hub.simulatedOpens(), 0);
        } else {
            EXPECT_TRUE(opened) << hub.lastError();
            EXPECT_EQ(hub.lastError(), "");
            EXPECT_EQ(hub.simulatedOpens(), 1);
            EXPECT_NE(hub.checkLeftSafe(), "") << "the open port is reported";
        }
        hub.SPowerOff();
        hub.SClose();
        EXPECT_EQ(hub.checkLeftSafe(), "");
    }
}

TEST(ProgrammerHub, WhatAnEarlierBackendLeftOnIsReportedAfterTheTypeChanges) {
    VirtualClock clock;
    ProgrammerHub hub(clock, {});
    hub.SSetMode(kPro);
    ASSERT_NE(hub.SOpen(kSimulatedPort), 0);
    ASSERT_NE(hub.SVccOn(0), 0);
    // The next session goes to another backend without the first having been closed.
    hub.SSetMode(kJdm);
    ASSERT_NE(hub.SOpen(kSimulatedPort), 0);
    EXPECT_EQ(hub.active().name, "JDM on simulated lines");
    hub.SClose();
    EXPECT_NE(hub.checkLeftSafe().find("VCC on"), std::string::npos) << hub.checkLeftSafe();
    hub.SSetMode(kPro);
    hub.SOpen(kSimulatedPort);
    hub.SPowerOff();
    hub.SClose();
    EXPECT_EQ(hub.checkLeftSafe(), "");
}

}  // namespace
}  // namespace velkaro
