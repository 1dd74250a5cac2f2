// Opening and closing the link: supply order, programmer commands, power check, LED.
#include <vector>

#include "link/link_messages.h"
#include "link_fixture.h"

namespace velkaro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST_F(LinkTest, OpenLinkOnProPowersVccFirstAndLightsTheSocket) {
    device.VppVoltage = 13.0;
    device.VccType = 2;
    device.VppType = 3;
    device.Position = 5;
    library.answerCommand(114, "#");
    ASSERT_TRUE(link.setPortIndex(3));

    EXPECT_TRUE(link.OpenLink(true, false));

    EXPECT_TRUE(link.LinkOpen());
    EXPECT_THAT(library.callsWithoutPolls(),
                ElementsAre(call("SSetMode", {0}), call("SOpen", {4}), call("SSendCmd", {114}),
                            call("SVccOn", {2}), call("SVppOn", {3}), call("SCheckPower"),
                            call("SSetLED", {5})));
    EXPECT_EQ(library.count("SGetc"), 1);  // the acknowledgement ended the wait
    EXPECT_EQ(clock.sleptMilliseconds(), 600u);
    EXPECT_THAT(ui.messages(), IsEmpty());

    // Each 200 ms in its place: between the supplies, before the power check, and after
    // the LED, before the caller's first command.
    const auto calls = library.callsWithoutPolls();
    const auto at = [&](size_t i) { return calls[i].timeUs; };
    EXPECT_LT(at(3) - at(2), 200'000u);
    EXPECT_GE(at(4) - at(3), 200'000u);
    EXPECT_GE(at(5) - at(4), 200'000u);
    EXPECT_GE(clock.peekMicroseconds() - at(6), 200'000u);
}

TEST_F(LinkTest, PowerOnSequenceOneSwitchesVppFirstAnyOtherValueVccFirst) {
    device.VccType = 1;
    device.VppType = 2;
    for (int sequence : {0, 1, 2, 7, -1}) {
        device.PowerOnSequence = sequence;
        library.clearCalls();
        ASSERT_TRUE(link.OpenLink(false, false));
        std::vector<LibraryCall> supplies;
        for (const LibraryCall& c : library.calls())
            if (c.name == "SVccOn" || c.name == "SVppOn")
                supplies.push_back(c);
        if (sequence == 1) {
            EXPECT_THAT(supplies, ElementsAre(call("SVppOn", {2}), call("SVccOn", {1})));
        } else {
            EXPECT_THAT(supplies, ElementsAre(call("SVccOn", {1}), call("SVppOn", {2})))
                << "PowerOnSequence " << sequence;
        }
        link.CloseLink();
    }
}

TEST_F(LinkTest, VppLevelCommandDependsOnVoltageAboveTwelve) {
    for (auto [volts, command] : {std::pair{12.0, 115}, {12.1, 114}, {5.0, 115}, {13.0, 114}}) {
        device.VppVoltage = volts;
        library.clearCalls();
        ASSERT_TRUE(link.OpenLink(false, false));
        EXPECT_EQ(library.calls()[2], call("SSendCmd", {command})) << volts;
        link.CloseLink();
    }
}

TEST_F(LinkTest, JdmSendsNoProgrammerCommandAndLightsNoLed) {
    link.setHardwareType(ProgrammerLink::kProgrammerJdm);
    EXPECT_TRUE(link.OpenLink(false, true));
    EXPECT_THAT(library.calls(),
                ElementsAre(call("SSetMode", {1}), call("SOpen", {1}), call("SVccOn", {0}),
                            call("SVppOn", {0}), call("SCheckPower")));
    EXPECT_EQ(clock.sleptMilliseconds(), 400u);
}

TEST_F(LinkTest, FastCheckPreparationFollowsTheVppCommandAndItsMissingAckIsIgnored) {
    EXPECT_TRUE(link.OpenLink(false, true));
    const auto calls = library.callsWithoutPolls();
    ASSERT_GE(calls.size(), 6u);
    EXPECT_THAT(std::vector(calls.begin() + 2, calls.begin() + 6),
                ElementsAre(call("SSendCmd", {114}), call("SSetPGD", {1}), call("SSetPGC", {1}),
                            call("SSendCmd", {119})));
    EXPECT_EQ(library.count("SGetc"), 400);  // two full acknowledgement budgets
    EXPECT_EQ(ui.pumps(), 400);
}

TEST_F(LinkTest, NegativeSupplyTypesAreSentAsZero) {
    device.VccType = -3;
    device.VppType = -1;
    ASSERT_TRUE(link.OpenLink(false, false));
    EXPECT_EQ(library.count("SVccOn"), 1);
    for (const LibraryCall& c : library.calls()) {
        if (c.name == "SVccOn" || c.name == "SVppOn") {
            EXPECT_THAT(c.args, ElementsAre(0)) << c.name;
        }
    }
}

TEST_F(LinkTest, PowerBitClearFailsWithThePowerMessageAndClosesTheLink) {
    library.checkPowerResult = 2;
    EXPECT_FALSE(link.OpenLink(true, false));
    EXPECT_FALSE(link.LinkOpen());
    EXPECT_THAT(ui.messages(), ElementsAre(std::string(kMsgNoTargetPower)));
    const auto calls = library.callsWithoutPolls();
    EXPECT_THAT(std::vector(calls.end() - 2, calls.end()),
                ElementsAre(call("SPowerOff"), call("SClose")));
    EXPECT_EQ(library.count("SSetLED"), 0);
    EXPECT_EQ(clock.sleptMilliseconds(), 500u);  // two supply waits and the close
}

TEST_F(LinkTest, FailedFirstSupplySkipsTheSecondAndTheMessageNeedsShowMessages) {
    library.vccResult = 0;
    EXPECT_FALSE(link.OpenLink(false, false));
    EXPECT_EQ(library.count("SVppOn"), 0);
    EXPECT_EQ(library.count("SCheckPower"), 0);
    EXPECT_EQ(library.count("SPowerOff"), 1);
    EXPECT_THAT(ui.messages(), IsEmpty());
}

TEST_F(LinkTest, PortThatDoesNotOpenLeavesPowerAlone) {
    library.openResult = 0;
    EXPECT_FALSE(link.OpenLink(true, false));
    EXPECT_THAT(library.calls(), ElementsAre(call("SSetMode", {0}), call("SOpen", {1})));
    EXPECT_THAT(ui.messages(), ElementsAre(std::string(kMsgProgrammerUnavailable)));
    EXPECT_FALSE(link.LinkOpen());

    ui.clear();
    EXPECT_FALSE(link.OpenLink(false, false));
    EXPECT_THAT(ui.messages(), IsEmpty());
}

TEST_F(LinkTest, PortIndexOutsideComOneToNineIsRefused) {
    EXPECT_TRUE(link.setPortIndex(8));
    EXPECT_FALSE(link.setPortIndex(9));
    EXPECT_FALSE(link.setPortIndex(-1));
    EXPECT_EQ(link.portIndex(), 8);
    link.ShowSocketLed();
    EXPECT_EQ(library.calls().front(), call("SOpen", {9}));
}

TEST_F(LinkTest, CloseLinkPowersOffClosesAndWaitsEvenWhenNotOpen) {
    EXPECT_TRUE(link.CloseLink());
    EXPECT_THAT(library.calls(), ElementsAre(call("SPowerOff"), call("SClose")));
    EXPECT_EQ(clock.sleptMilliseconds(), 100u);
    EXPECT_GE(clock.peekMicroseconds() - library.calls()[1].timeUs, 100'000u);  // after SClose
    EXPECT_FALSE(link.LinkOpen());
}

// A session's end counts: a power-off or close the programmer does not confirm fails the
// session, says why below the hardware message, and keeps later phases from opening.
TEST_F(LinkTest, AnUnconfirmedPowerOffOrCloseFailsTheSession) {
    for (const bool powerOffFails : {true, false}) {
        SCOPED_TRACE(powerOffFails);
        library.powerOffResult = powerOffFails ? 0 : 1;
        library.closeResult = powerOffFails ? 1 : 0;
        link.beginOperation();
        ASSERT_TRUE(link.OpenLink(false, false));
        EXPECT_FALSE(link.CloseLink());
        EXPECT_FALSE(link.LinkOpen());
        EXPECT_NE(link.linkFault().find("did not confirm"), std::string::npos);
        EXPECT_EQ(link.checkedResult(kResultOk), kResultHardwareError);
        EXPECT_EQ(link.checkedResult(kResultDataError), kResultHardwareError);
        EXPECT_EQ(link.checkedResult(kResultCancelled), kResultCancelled);
        library.clearCalls();
        EXPECT_FALSE(link.OpenLink(false, false));
        EXPECT_EQ(library.count("SOpen"), 0) << "nothing more goes out in this operation";
        ui.clear();
        link.ReportResult(kResultHardwareError);
        EXPECT_THAT(ui.messages(),
                    ElementsAre(std::string(kMsgHardwareError) + "\r" + link.linkFault()));
        link.endOperation();
    }
    // The next operation starts sound; closing an unopened link judges nothing.
    library.powerOffResult = library.closeResult = 1;
    link.beginOperation();
    EXPECT_EQ(link.linkFault(), "");
    EXPECT_TRUE(link.OpenLink(false, false));
    EXPECT_TRUE(link.CloseLink());
    library.powerOffResult = 0;
    EXPECT_TRUE(link.CloseLink());
    link.endOperation();
}

TEST_F(LinkTest, SocketLedOpensThePortOnlyWhenTheLinkIsClosed) {
    device.Position = 3;
    link.ShowSocketLed();
    EXPECT_THAT(library.calls(),
                ElementsAre(call("SOpen", {1}), call("SSetLED", {3}), call("SClose")));

    library.clearCalls();
    library.openResult = 0;
    link.SwitchLedOff();
    EXPECT_THAT(library.calls(), ElementsAre(call("SOpen", {1})));

    library.openResult = 1;
    ASSERT_TRUE(link.OpenLink(false, false));
    library.clearCalls();
    link.ShowSocketLed();
    EXPECT_THAT(library.calls(), ElementsAre(call("SSetLED", {3})));
    library.clearCalls();
    link.SwitchLedOff();
    EXPECT_THAT(library.calls(),
                ElementsAre(call("SSetLED", {0}), call("SPowerOff"), call("SClose")));
    EXPECT_FALSE(link.LinkOpen());
}

TEST_F(LinkTest, LinkWithoutUiShowsNothingAndDoesNotFail) {
    ProgrammerLink bare{library, clock, device, image};
    library.openResult = 0;
    EXPECT_FALSE(bare.OpenLink(true, false));
    EXPECT_FALSE(bare.ReportResult(kResultHardwareError));
}

TEST(OscCalibrationAvailable, NeedsProAndACalibrationFile) {
    DeviceDefinition device;
    EXPECT_FALSE(oscCalibrationAvailable(0, device));
    device.OscCalFile = "osccal.hex";
    EXPECT_TRUE(oscCalibrationAvailable(0, device));
    EXPECT_FALSE(oscCalibrationAvailable(1, device));
    EXPECT_FALSE(oscCalibrationAvailable(2, device));
}

}  // namespace
}  // namespace velkaro::test
