// The programming voltage: each programmer type applies the level that suits the chip, and
// an operation whose chip accepts none of the type's levels is refused before the
// programmer is touched.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "app/programmer_hub.h"
#include "app/workspace.h"
#include "catalogue/message_sink.h"
#include "link/link_messages.h"
#include "link/programmer_commands.h"
#include "link/virtual_clock.h"
#include "operations/erase_window.h"
#include "operations/read_device.h"
#include "sim/sim_chip.h"
#include "support/paths.h"
#include "support/recording_ui.h"

namespace velkaro {
namespace {

constexpr int kPro = 0;
constexpr int kJdm = 1;

struct Case {
    const char* what;
    int type;
    const char* device;
    double vppVoltage;
    std::optional<double> vppMin, vppMax;  // narrowed range; none: the family's
    // The level command expected, 0 for none sent; nullopt: refused.
    std::optional<int32_t> levelCommand;
};

class VppRange : public testing::TestWithParam<Case> {};

TEST_P(VppRange, TheLevelWithinTheChipsRangeIsAppliedOrTheOperationIsRefusedUntouched) {
    const Case& c = GetParam();
    VirtualClock clock;
    ProgrammerHub hub(clock, {});
    Workspace ws(test::binDir());
    SilentMessageSink messages;
    ws.SelectDevice(c.device, messages);
    ws.device.VppVoltage = c.vppVoltage;
    ws.device.vppMinOverride = c.vppMin;
    ws.device.vppMaxOverride = c.vppMax;
    hub.insertChip(sim::makeSimChip(c.device));
    test::RecordingUi ui;
    ProgrammerLink& link = ws.attachProgrammer(hub, clock);
    link.setHardwareType(c.type);
    link.setUi(ui);
    hub.SSetMode(c.type);

    const FlowOutcome read = runRead(ws, ui, {true, false});
    std::vector<int32_t> levelCommands;
    for (const auto& call : hub.simulator().callLog()) {
        if (call.name == "SSendCmd" && (call.args[0] == kCmdVppHigh || call.args[0] == kCmdVppLow ||
                                        call.args[0] == kCmdVpp8V5))
            levelCommands.push_back(call.args[0]);
    }
    EXPECT_EQ(hub.checkLeftSafe(), "");

    if (!c.levelCommand) {
        EXPECT_EQ(read.result, kResultVppUnavailable);
        EXPECT_EQ(hub.simulatedOpens(), 0) << "no port opened";
        for (const auto& call : hub.simulator().callLog())
            EXPECT_EQ(call.name, "SSetMode") << "nothing opened, sent or powered";
        const std::string refusal = vppUnavailableMessage(
            ws.device.vppMin(), ws.device.vppMax(), c.type == kPro ? "VKR-20 PRO" : "VKR-20 JDM");
        EXPECT_EQ(ui.messages(), std::vector<std::string>{refusal});
        // A flow that counts its refused open as a failure of its own still tells the
        // refusal, and the next phase is refused the same way.
        test::RecordingUi eraseUi;
        const FlowOutcome erase = runErase(ws, eraseUi, {true, false, false, false, false});
        EXPECT_NE(erase.result, kResultOk);
        // The refusal alone: no erase was tried, so none failed.
        EXPECT_EQ(eraseUi.messages(), std::vector<std::string>{refusal});
        EXPECT_EQ(hub.simulatedOpens(), 0);
        for (const auto& call : hub.simulator().callLog())
            EXPECT_EQ(call.name, "SSetMode");
        EXPECT_EQ(hub.checkLeftSafe(), "");
        return;
    }
    EXPECT_EQ(read.result, kResultOk) << (ui.messages().empty() ? "" : ui.messages().front());
    if (*c.levelCommand == 0)
        EXPECT_EQ(levelCommands, std::vector<int32_t>{});
    else
        EXPECT_EQ(levelCommands, std::vector<int32_t>{*c.levelCommand});
}

// The families' ranges: 12.0-13.5 V for the 12/14-bit cores, 9.0-13.25 V for the 16-bit
// core, 8.0-9.0 V for the enhanced 14-bit core. Narrowed ranges stand for chips that accept less.
INSTANTIATE_TEST_SUITE_P(
    TypesAndRanges, VppRange,
    testing::Values(
        Case{"ProMidrange13V", kPro, "PIC16F84A", 13.0, {}, {}, kCmdVppHigh},
        Case{"ProMidrange12V", kPro, "PIC16F84A", 12.0, {}, {}, kCmdVppLow},
        Case{"ProMidrangeJustAbove12V", kPro, "PIC16F84A", 12.1, {}, {}, kCmdVppHigh},
        Case{"ProPic18Above13V", kPro, "PIC18F452", 13.2, {}, {}, kCmdVppHigh},
        Case{"ProNarrowedTo12V", kPro, "PIC16F84A", 13.0, 11.5, 12.5, kCmdVppLow},
        Case{"ProNarrowedTo8V5", kPro, "PIC16F84A", 8.5, 8.0, 9.0, kCmdVpp8V5},
        Case{"ProNarrowedBelowEveryLevel", kPro, "PIC16F84A", 7.5, 7.0, 8.0, std::nullopt},
        Case{"ProPic18NarrowedBetweenLevels", kPro, "PIC18F452", 12.5, 12.2, 12.8, std::nullopt},
        Case{"ProEnhancedMidrange", kPro, "PIC16F1827", 8.5, {}, {}, kCmdVpp8V5},
        Case{"JdmMidrange", kJdm, "PIC16F84A", 12.0, {}, {}, 0},
        // Left to choose, the JDM enters the enhanced core by the low-voltage key.
        Case{"JdmEnhancedMidrangeByKey", kJdm, "PIC16F1827", 8.5, {}, {}, 0},
        Case{"JdmPic18", kJdm, "PIC18F452", 13.0, {}, {}, 0},
        Case{"JdmNarrowedBelow13V", kJdm, "PIC16F84A", 12.0, 11.5, 12.5, std::nullopt},
        Case{"JdmNarrowedTo9V", kJdm, "PIC18F452", 8.5, 8.0, 9.0, std::nullopt}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.what); });

TEST(VppRange, RefusalNamesTheRangeAndTheProgrammer) {
    EXPECT_EQ(vppUnavailableMessage(8.0, 9.0, "VKR-20 JDM"),
              "このデバイスの書込電圧(8.0～9.0V)をVKR-20 JDMでは出せません。");
}

TEST(VppRange, LevelChoiceRoundsUpWithinTheRange) {
    const std::vector<VppLevel> levels{{12.0, kCmdVppLow}, {13.0, kCmdVppHigh}};
    auto chosen = [&](double wanted, double lo, double hi) {
        const VppLevel* level = chooseVppLevel(levels, wanted, lo, hi);
        return level ? level->volts : 0.0;
    };
    EXPECT_EQ(chosen(11.0, 9.0, 13.5), 12.0);
    EXPECT_EQ(chosen(12.0, 9.0, 13.5), 12.0);
    EXPECT_EQ(chosen(12.0000001, 9.0, 13.5), 12.0) << "rounding of a decimal value";
    EXPECT_EQ(chosen(12.5, 9.0, 13.5), 13.0);
    EXPECT_EQ(chosen(14.0, 9.0, 13.5), 13.0) << "the highest there is";
    EXPECT_EQ(chosen(14.0, 9.0, 12.5), 12.0) << "the highest within the range";
    EXPECT_EQ(chosen(11.0, 12.5, 13.5), 13.0) << "the lowest within the range";
    EXPECT_EQ(chosen(12.5, 12.1, 12.9), 0.0);
}

}  // namespace
}  // namespace velkaro
