// The "VKR-20 PRO" block blank test: leaving fast mode with its power polling, and the
// 16-bit core's block test against the simulator.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "link/virtual_clock.h"
#include "operations/blank_check.h"
#include "operations/operation_support.h"
#include "support/fake_library.h"
#include "support/recording_ui.h"
#include "support/sim_bench.h"

namespace velkaro {
namespace {

using test::call;

class LeaveFastMode : public ::testing::Test {
protected:
    LeaveFastMode() { link.setUi(ui); }

    VirtualClock clock;
    test::FakeLibrary library;
    DeviceDefinition device;
    MemoryImage image;
    test::RecordingUi ui;
    ProgrammerLink link{library, clock, device, image};
};

TEST_F(LeaveFastMode, LinesLowEndCommandThenPollsUntilThePowerIsBack) {
    library.checkPowerResult = 1;
    ops::leaveFastMode(link);
    EXPECT_EQ(library.calls(),
              (std::vector<test::LibraryCall>{call("SSetPGD", {0}), call("SSetPGC", {0}),
                                              call("SSendCmd", {113}), call("SCheckPower")}));
    EXPECT_EQ(clock.sleptMilliseconds(), 100u);
}

TEST_F(LeaveFastMode, GivesUpAfterThirtyOnePollsWithoutPower) {
    library.checkPowerResult = 2;  // only bit 0 counts
    ops::leaveFastMode(link);
    EXPECT_EQ(library.count("SCheckPower"), 31);
    EXPECT_EQ(clock.sleptMilliseconds(), 31u * 10 + 100);
}

TEST_F(LeaveFastMode, OnlyAStarAnswerMeansBlank) {
    library.answerCommand(104, "*#");
    EXPECT_TRUE(ops::blockIsBlank(link, 104));
    library.answerCommand(104, "E#");
    EXPECT_FALSE(ops::blockIsBlank(link, 104));
    library.answerCommand(104, "");  // no answer at all
    EXPECT_FALSE(ops::blockIsBlank(link, 104));
}

size_t sendCmdCount(test::SimBench& bench, int code) {
    const auto calls = bench.programmer().callsNamed("SSendCmd");
    return static_cast<size_t>(std::count_if(calls.begin(), calls.end(),
                                             [&](const auto& c) { return c.args.at(0) == code; }));
}

TEST(ExtendedFastBlankCheck, BlockOf1024WordsThenSingleWords) {
    test::SimBench bench;
    const auto list = test::SimBench::modelledDevices();
    if (std::find(list.begin(), list.end(), "PIC18F452") == list.end())
        GTEST_SKIP() << "PIC18F452 is not modelled";
    bench.load("PIC18F452");
    bench.workspace().device.ProgSize = 1500;
    bench.programmer().clearCallLog();

    EXPECT_EQ(blankCheck(bench.workspace(), bench.ui(), true, false), kResultOk);
    EXPECT_EQ(sendCmdCount(bench, 102), 1u);
    EXPECT_EQ(sendCmdCount(bench, 109), 1u);
    EXPECT_EQ(sendCmdCount(bench, 113), 1u);
    // 476 words of two table reads, the device ID, the ID bytes and the configuration words.
    const DeviceDefinition& d = bench.device();
    EXPECT_EQ(bench.programmer().callsNamed("SReadBit").size(),
              2u * 476 + 2u + static_cast<size_t>(d.IdCount + 2 * d.ConfigCount));
    EXPECT_EQ(bench.ui().statusTexts().front(), "プログラムメモリチェック中...");

    bench.setProgramWord(1000, 0x1234);
    EXPECT_EQ(blankCheck(bench.workspace(), bench.ui(), true, false), kResultProgramError);
    bench.setProgramWord(1000, 0xFFFF);
    bench.setProgramWord(1400, 0x1234);
    EXPECT_EQ(blankCheck(bench.workspace(), bench.ui(), true, false), kResultProgramError);
    EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
}

}  // namespace
}  // namespace velkaro
