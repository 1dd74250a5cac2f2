// The link against the simulated programmer and chip models: the primitives as sent here
// must be what the models, written from the chips' own programming documents, expect.
#include <memory>

#include "catalogue/device_catalogue.h"
#include "link/link_messages.h"
#include "link_fixture.h"
#include "sim/pic18/pic18_chip.h"
#include "sim/simulated_programmer.h"
#include "support/paths.h"

namespace velkaro::test {
namespace {

class SimulatorLinkTest : public ::testing::Test {
protected:
    void insert(const char* name) {
        auto chip = sim::makeSimChip(name);
        ASSERT_NE(chip, nullptr) << name;
        chip_ = chip.get();
        programmer.insertChip(std::move(chip));
        device.DeviceName = name;
    }

    VirtualClock clock;
    sim::SimulatedProgrammer programmer{clock};
    sim::SimChip* chip_ = nullptr;
    DeviceDefinition device;
    MemoryImage image;
    RecordingUi ui;
    ProgrammerLink link{programmer, clock, device, image};
};

TEST_F(SimulatorLinkTest, PowerSequenceLeavesNothingOnAndLightsTheSocket) {
    insert("PIC16F84A");
    link.setUi(ui);
    device.Position = 4;
    device.VppVoltage = 13.0;
    ASSERT_TRUE(link.OpenLink(true, false));
    EXPECT_TRUE(programmer.vccOn());
    EXPECT_TRUE(programmer.vppOn());
    EXPECT_EQ(programmer.vppLevelCommand(), 1);
    EXPECT_EQ(programmer.ledPosition(), 4);
    link.CloseLink();
    EXPECT_EQ(programmer.checkLeftSafe(), "");
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(SimulatorLinkTest, EmptySocketGivesThePowerMessage) {
    link.setUi(ui);
    EXPECT_FALSE(link.OpenLink(true, false));
    EXPECT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(programmer.checkLeftSafe(), "");
}

TEST_F(SimulatorLinkTest, PortAndSupplyFaultsGiveTheirMessages) {
    struct Case {
        sim::FaultPlan faults;
        std::string_view message;
    };
    for (const Case& c : {Case{{.portWillNotOpen = true}, kMsgProgrammerUnavailable},
                          Case{{.supplyFails = true}, kMsgNoTargetPower},
                          Case{{.noPower = true}, kMsgNoTargetPower},
                          Case{{.connectionLostAfterCalls = 4}, kMsgNoTargetPower}}) {
        VirtualClock faultClock;
        sim::SimulatedProgrammer faulty{faultClock};
        faulty.insertChip(sim::makeSimChip("PIC16F84A"));
        faulty.setFaults(c.faults);
        ProgrammerLink faultLink{faulty, faultClock, device, image};
        RecordingUi faultUi;
        faultLink.setUi(faultUi);
        EXPECT_FALSE(faultLink.OpenLink(true, false)) << c.message;
        EXPECT_FALSE(faultLink.LinkOpen());
        EXPECT_EQ(faultUi.messages(), std::vector<std::string>{std::string(c.message)});
        EXPECT_EQ(faulty.checkLeftSafe(), "") << c.message;
        EXPECT_EQ(faulty.programmingSessions(), 0) << c.message;
        if (c.faults.portWillNotOpen) {
            EXPECT_TRUE(faulty.callsNamed("SVccOn").empty()) << "power untouched";
        }
    }
}

// The simulator's slow answers against the link's poll budgets: the "#" on poll 199 still
// counts, on poll 200 it does not; an answer of nine characters fits 400 polls only while
// each takes at most 44.
TEST_F(SimulatorLinkTest, SlowAnswersMeetThePollBudgets) {
    for (int slow : {198, 199}) {
        programmer.setFaults({.slowAnswerPolls = slow});
        programmer.SOpen(1);
        programmer.SSendCmd(115);
        EXPECT_EQ(link.WaitAck(), slow == 198) << slow;
        programmer.SClose();
    }
    for (int slow : {43, 44}) {
        programmer.setFaults({.slowAnswerPolls = slow});
        std::string date, version;
        EXPECT_EQ(link.QueryFirmware(date, version), slow == 43) << slow;
    }
    EXPECT_EQ(programmer.checkLeftSafe(), "");
}

TEST_F(SimulatorLinkTest, SilentOrLostProgrammerFailsTheFirmwareQuery) {
    std::string date, version;
    programmer.setFaults({.noAcknowledge = true});
    EXPECT_FALSE(link.QueryFirmware(date, version));
    EXPECT_EQ(date, "");
    EXPECT_EQ(programmer.callsNamed("SGetc").size(), 400u);
    EXPECT_EQ(programmer.checkLeftSafe(), "");

    // The programmer disappears after the date's fourth character (calls are counted from
    // the programmer's first).
    const auto before = static_cast<int64_t>(programmer.callLog().size());
    programmer.setFaults({.connectionLostAfterCalls = before + 2 + 4});
    EXPECT_FALSE(link.QueryFirmware(date, version));
    EXPECT_EQ(date, "2024");
    EXPECT_TRUE(programmer.connectionLost());
    EXPECT_EQ(programmer.checkLeftSafe(), "");

    // A powered link whose programmer is gone still closes, and nothing is left on.
    VirtualClock lostClock;
    sim::SimulatedProgrammer lost{lostClock};
    lost.insertChip(sim::makeSimChip("PIC16F84A"));
    ProgrammerLink lostLink{lost, lostClock, device, image};
    ASSERT_TRUE(lostLink.OpenLink(false, false));
    lost.setFaults({.connectionLostAfterCalls = static_cast<int64_t>(lost.callLog().size())});
    lostLink.SendCommand(4);
    EXPECT_EQ(lostLink.ReceiveData(), 0);
    EXPECT_FALSE(lostLink.CloseLink()) << "a session over a lost link is no success";
    EXPECT_NE(lostLink.linkFault().find("connection lost"), std::string::npos);
    EXPECT_FALSE(lostLink.LinkOpen());
    EXPECT_EQ(lost.checkLeftSafe(), "");
}

TEST_F(SimulatorLinkTest, FirmwareOfTheSimulatedPro) {
    programmer.setFirmware("20231201", "3.5");
    std::string date, version;
    EXPECT_TRUE(link.QueryFirmware(date, version));
    EXPECT_EQ(firmwareVersionText(date, version), "ﾌｧｰﾑｳｪｱﾊﾞｰｼﾞｮﾝ 2023/12/01 Ver.3.5");
}

TEST_F(SimulatorLinkTest, CalibrationWordsOfAPic12f675) {
    insert("PIC12F675");
    device.ProgSize = 1024;
    device.OscCal = 0x3FF;
    device.BGMask = 0x3000;
    device.IdAdr = 0x2000;
    device.ConfigBaseAdr = 0x2007;
    ASSERT_TRUE(link.ReadCalibrationWords());
    EXPECT_EQ(image.OscCalValue, chip_->peek(0x3FF) & 0x3FFF);
    EXPECT_EQ(image.BGValue, chip_->peek(0x2007) & 0x3000);
    EXPECT_NE(image.BGValue, 0);
    EXPECT_EQ(programmer.checkLeftSafe(), "");
}

// A 12F675 running on its internal oscillator with MCLR disabled answers only when the link
// raises VPP before VCC.
TEST_F(SimulatorLinkTest, SupplyOrderDecidesWhetherARunningChipCanBeRead) {
    insert("PIC12F675");
    chip_->poke(0x2007, 0x31D4);  // INTRCIO, MCLR off
    device.ProgSize = 1024;
    device.OscCal = 0x3FF;
    device.BGMask = 0;
    for (int sequence : {0, 1}) {
        device.PowerOnSequence = sequence;
        image.OscCalValue = 0;
        ASSERT_TRUE(link.ReadCalibrationWords());
        EXPECT_EQ(image.OscCalValue, sequence == 1 ? chip_->peek(0x3FF) : 0) << sequence;
        EXPECT_EQ(programmer.checkLeftSafe(), "");
    }
}

TEST_F(SimulatorLinkTest, Pic18RowWrittenWithThePulseReadsBack) {
    insert("PIC18F4520");
    device.Algorithm = 2;
    device.ProgOnlyCycle = 1;
    link.measureCallsPerMillisecond();
    ASSERT_TRUE(link.OpenLink(false, false));
    link.SendCoreInstruction(0, 0x8EA6);  // program memory, not configuration
    link.SendCoreInstruction(0, 0x9CA6);
    link.SetTablePointer(0x000040);
    for (int i = 0; i < 15; ++i)
        link.SendCoreInstruction(13, static_cast<uint16_t>(0x1100 * (i + 1) + i));
    link.SendCoreInstruction(15, 0xBEEF);
    link.ProgrammingPulse();

    link.SetTablePointer(0x000040);
    for (int i = 0; i < 15; ++i) {
        const int word = 0x1100 * (i + 1) + i;
        EXPECT_EQ(link.TableReadByte(), word & 0xFF) << i;
        EXPECT_EQ(link.TableReadByte(), (word >> 8) & 0xFF) << i;
    }
    EXPECT_EQ(link.TableReadByte(), 0xEF);
    EXPECT_EQ(link.TableReadByte(), 0xBE);
    link.CloseLink();
    const auto& pic18 = dynamic_cast<const sim::Pic18Chip&>(*chip_);
    EXPECT_TRUE(pic18.notes().empty()) << pic18.notes().front();
}

// Every shipped device with calibration words, read from its simulated chip.
TEST(SimulatorCalibrationWords, ShippedDefinitionsFindTheFactoryValues) {
    DeviceCatalogue catalogue(sourceDir() + "/data");
    SilentMessageSink messages;
    int checked = 0;
    for (const std::string& name : catalogue.FillDeviceList()) {
        DeviceDefinition device;
        ConfigFieldTable fields;
        catalogue.LoadSection(name, device, fields, messages);
        auto chip = sim::makeSimChip(name);
        if (!chip || device.isExtendedFamily() || (device.OscCal == 0 && device.BGMask == 0))
            continue;
        VirtualClock clock;
        sim::SimulatedProgrammer programmer{clock};
        sim::SimChip& model = *chip;
        programmer.insertChip(std::move(chip));
        MemoryImage image;
        ProgrammerLink link{programmer, clock, device, image};

        ASSERT_TRUE(link.ReadCalibrationWords()) << name;
        if (device.OscCal != 0) {
            EXPECT_EQ(image.OscCalValue, model.peek(device.OscCal) & device.BlankWord) << name;
        }
        if (device.BGMask != 0) {
            EXPECT_EQ(image.BGValue, model.peek(device.ConfigBaseAdr) & device.BGMask) << name;
            EXPECT_NE(image.BGValue, 0) << name;
        }
        EXPECT_EQ(programmer.checkLeftSafe(), "") << name;
        ++checked;
    }
    EXPECT_GE(checked, 4);
}

}  // namespace
}  // namespace velkaro::test
