// Programmer answers, the firmware query and the result messages.
#include <string>

#include "link/link_messages.h"
#include "link_fixture.h"

namespace velkaro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

void queueSilence(FakeLibrary& library, int polls) {
    for (int i = 0; i < polls; ++i)
        library.queueGetc(-1);
}

TEST_F(LinkTest, WaitAckCountsTheLastPollAsTooLate) {
    queueSilence(library, 198);
    library.queueCharacters("#");
    EXPECT_TRUE(link.WaitAck());
    EXPECT_EQ(ui.pumps(), 199);

    library.clearCalls();
    queueSilence(library, 199);
    library.queueCharacters("#");
    EXPECT_FALSE(link.WaitAck());
    EXPECT_EQ(library.count("SGetc"), 200);
}

TEST_F(LinkTest, WaitAckIgnoresOtherCharactersAndGivesUpAfterItsBudget) {
    library.queueCharacters("ok\r\n#rest");
    EXPECT_TRUE(link.WaitAck());
    EXPECT_EQ(library.pendingCharacters(), 4u);  // nothing read past the "#"

    library.clearCalls();
    EXPECT_FALSE(link.WaitAck());
    EXPECT_EQ(library.count("SGetc"), 200);
}

TEST_F(LinkTest, ReadAnswerDropsControlCharactersAndStopsAtTheHash) {
    library.queueCharacters("\r\n2024 0115\x01#");
    std::string text = "old";
    EXPECT_TRUE(link.ReadAnswer(text));
    EXPECT_EQ(text, "2024 0115");
}

TEST_F(LinkTest, ReadAnswerBudgetIsFourHundredPolls) {
    std::string text;
    queueSilence(library, 397);
    library.queueCharacters("A#");
    EXPECT_TRUE(link.ReadAnswer(text));
    EXPECT_EQ(text, "A");

    queueSilence(library, 398);
    library.queueCharacters("B#");
    EXPECT_FALSE(link.ReadAnswer(text));
    EXPECT_EQ(text, "B");  // what arrived is kept

    ui.clear();
    EXPECT_FALSE(link.ReadAnswer(text));
    EXPECT_EQ(ui.pumps(), 400);
}

TEST_F(LinkTest, QueryFirmwareReadsDateAndVersionWithoutPoweringTheTarget) {
    library.answerCommand(100, "20240115#");
    library.answerCommand(118, "2.10#");
    link.setPortIndex(1);
    std::string date, version;
    EXPECT_TRUE(link.QueryFirmware(date, version));
    EXPECT_EQ(date, "20240115");
    EXPECT_EQ(version, "2.10");
    EXPECT_THAT(library.callsWithoutPolls(),
                ElementsAre(call("SOpen", {2}), call("SSendCmd", {100}), call("SSendCmd", {118}),
                            call("SClose")));
    EXPECT_EQ(firmwareVersionText(date, version), "ﾌｧｰﾑｳｪｱﾊﾞｰｼﾞｮﾝ 2024/01/15 Ver.2.10");
}

TEST_F(LinkTest, QueryFirmwareWithSevenCharacterDateFails) {
    library.answerCommand(100, "2024011#");
    library.answerCommand(118, "2.10#");
    std::string date, version;
    EXPECT_FALSE(link.QueryFirmware(date, version));
    EXPECT_EQ(firmwareVersionText(date, version), "");
}

TEST_F(LinkTest, QueryFirmwareStopsAfterAMissingDate) {
    std::string date, version;
    EXPECT_FALSE(link.QueryFirmware(date, version));
    EXPECT_THAT(library.callsWithoutPolls(),
                ElementsAre(call("SOpen", {1}), call("SSendCmd", {100}), call("SClose")));
}

TEST_F(LinkTest, QueryFirmwareAsksOnlyAProThatOpens) {
    std::string date, version;
    link.setHardwareType(ProgrammerLink::kProgrammerJdm);
    EXPECT_FALSE(link.QueryFirmware(date, version));
    EXPECT_THAT(library.calls(), IsEmpty());

    link.setHardwareType(ProgrammerLink::kProgrammerPro);
    library.openResult = 0;
    EXPECT_FALSE(link.QueryFirmware(date, version));
    EXPECT_THAT(library.calls(), ElementsAre(call("SOpen", {1})));
}

TEST_F(LinkTest, ReportResultShowsTheMessageOfEachCode) {
    struct Case {
        ResultCode code;
        bool result;
        std::string_view message;
    };
    const Case cases[] = {{0, true, ""},
                          {1, false, kMsgProgramMemoryError},
                          {2, false, kMsgDataMemoryError},
                          {3, false, kMsgConfigMemoryError},
                          {-1, false, kMsgHardwareError},
                          {7, false, kMsgHardwareError},
                          {-5, false, kMsgHardwareError},
                          {-2, false, ""}};
    for (const Case& c : cases) {
        ui.clear();
        EXPECT_EQ(link.ReportResult(c.code), c.result) << c.code;
        if (c.message.empty())
            EXPECT_THAT(ui.messages(), IsEmpty()) << c.code;
        else
            EXPECT_THAT(ui.messages(), ElementsAre(std::string(c.message))) << c.code;
    }
    EXPECT_EQ(kMsgHardwareError, "ハードウェアのエラーが発生しました。");
}

}  // namespace
}  // namespace velkaro::test
