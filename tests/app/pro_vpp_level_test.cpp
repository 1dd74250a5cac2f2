// The PRO backend's VPP level commands down to the board: each reaches the regulator as the
// level it names, and the board is back at its lowest level once the session ends.
#include <gtest/gtest.h>

#include <string>

#include "link/pro_programmer.h"
#include "link/programmer_commands.h"
#include "link/virtual_clock.h"
#include "sim/pin_target.h"
#include "sim/pro_board_stream.h"
#include "sim/sim_chip.h"

namespace velkaro {
namespace {

TEST(ProVppLevel, EachCommandSetsItsLevelForTheSessionOnly) {
    struct Case {
        int32_t command;
        double volts;
    };
    for (const Case c : {Case{kCmdVppHigh, 13.0}, Case{kCmdVppLow, 12.0}, Case{kCmdVpp8V5, 8.5}}) {
        SCOPED_TRACE(c.command);
        VirtualClock clock;
        sim::PinTarget pins(sim::makeSimChip("PIC16F84A"));
        sim::ProBoardStream stream(pins, clock);
        ProProgrammer pro(stream, [](int port) { return "emulated COM" + std::to_string(port); });
        ASSERT_EQ(pro.SOpen(1), 1) << pro.lastError();
        EXPECT_EQ(pro.SSendCmd(c.command), 1);
        EXPECT_EQ(pro.SGetc(), '#');
        EXPECT_EQ(pro.SVccOn(0), 1);
        EXPECT_EQ(pro.SVppOn(0), 1);
        EXPECT_EQ(pro.SCheckPower() & 1, 1);  // a round trip: everything before has run
        EXPECT_EQ(stream.board().vppVolts(), c.volts);
        EXPECT_EQ(pins.vppVolts(), c.volts);
        EXPECT_EQ(pro.SPowerOff(), 1);
        EXPECT_EQ(pro.SClose(), 1);
        EXPECT_EQ(stream.board().vppVolts(), 8.5);
        EXPECT_FALSE(pins.vdd() || pins.vpp());
    }
}

}  // namespace
}  // namespace velkaro
