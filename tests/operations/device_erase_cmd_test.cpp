// The erase command-string language, against the scripted library: what each string sends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/link_fixture.h"
#include "operations/midrange/device_erase_cmd.h"

namespace velkaro {
namespace {

using test::describe;

class DeviceEraseCmd : public test::LinkTest {
protected:
    // The calls a string sends, as "SWriteBit(1,6)"/"SWriteWord(16383)", and the result.
    std::vector<std::string> run(const std::string& text, int level = 0) {
        library.clearCalls();
        slept = clock.sleptMilliseconds();
        result = runDeviceEraseCmd(link, text, level);
        slept = clock.sleptMilliseconds() - slept;
        std::vector<std::string> sent;
        for (const auto& c : library.calls())
            sent.push_back(describe(c));
        return sent;
    }
    static std::string cmd(int code) { return "SWriteBit(" + std::to_string(code) + ",6)"; }
    static std::string data(int word) { return "SWriteWord(" + std::to_string(word) + ")"; }

    bool result = false;
    uint64_t slept = 0;
};

TEST_F(DeviceEraseCmd, ExamplesSendTheirCommandsAndSleepTheirTime) {
    EXPECT_EQ(run("C1,C7,C8,W10,C1,C7"),
              (std::vector<std::string>{cmd(1), cmd(7), cmd(8), cmd(1), cmd(7)}));
    EXPECT_TRUE(result);
    EXPECT_EQ(slept, 20u) << "W waits n + 10 ms with the real sleep";
    EXPECT_EQ(run("L3(C6)"), (std::vector<std::string>(3, cmd(6))));
    EXPECT_TRUE(result);
    EXPECT_EQ(run("c2,d3fff,c9,c8,w0"), run("C2,D3FFF,C9,C8,W0")) << "letters in either case";
    EXPECT_EQ(run("C2,D 0x3FFF ,C9"), (std::vector<std::string>{cmd(2), data(0x3FFF), cmd(9)}))
        << "arguments are trimmed and read as %x reads them";
    EXPECT_EQ(run("C11F"), (std::vector<std::string>{cmd(0x1F)})) << "low six bits of a command";
    EXPECT_EQ(run("D12345"), (std::vector<std::string>{data(0x2345)})) << "low 16 bits";
}

TEST_F(DeviceEraseCmd, EdgeCases) {
    EXPECT_TRUE(run("").empty());
    EXPECT_TRUE(result);
    EXPECT_TRUE(run("  \t ").empty());
    EXPECT_TRUE(result);

    EXPECT_TRUE(run("W").empty());
    EXPECT_EQ(slept, 10u) << "W without a number";
    run("Wabc,W-4");
    EXPECT_EQ(slept, 16u);

    EXPECT_EQ(run("C1,L2(C6)"), (std::vector<std::string>{cmd(1), cmd(6), cmd(6)}))
        << "a group at the very end";
    EXPECT_TRUE(result);
    EXPECT_EQ(run("L2(C6),C9"), (std::vector<std::string>{cmd(6), cmd(6), cmd(9)}));

    EXPECT_EQ(run("C1, C7,C8"), (std::vector<std::string>{cmd(1), cmd(8)}))
        << "a blank after a comma is the next token's letter";
    EXPECT_TRUE(run("L0(C6),Lx(C6),L-1(C6)").empty()) << "counts of 0, not a number, below 0";
    EXPECT_TRUE(result);
    EXPECT_EQ(run("L2(C6,L2(C8))"),
              (std::vector<std::string>{cmd(6), cmd(8), cmd(8), cmd(6), cmd(8), cmd(8)}));

    EXPECT_TRUE(run("Q12,CZZ,D,C").empty()) << "other letters and non-numbers send nothing";
    EXPECT_TRUE(result);
}

TEST_F(DeviceEraseCmd, SyntaxErrorsEndTheListAfterWhatWasSent) {
    EXPECT_EQ(run("C1,L3C6,C7"), (std::vector<std::string>{cmd(1)}));
    EXPECT_FALSE(result) << "L without (";
    EXPECT_EQ(run("C1,L2(C6,C7"), (std::vector<std::string>{cmd(1)}));
    EXPECT_FALSE(result) << "group without its )";
    EXPECT_EQ(run("L1(C6,L1(C7),C8"), (std::vector<std::string>{}));
    EXPECT_FALSE(result);
    EXPECT_EQ(run("L2(L1(C6,),C8"), (std::vector<std::string>{}));
    EXPECT_FALSE(result);
    EXPECT_EQ(run("L2(L1(C6,L1(),C8)"), (std::vector<std::string>{}));
    EXPECT_FALSE(result);
    EXPECT_EQ(run("L2(C6,Lx),C8"), (std::vector<std::string>{cmd(6), cmd(6), cmd(8)}))
        << "a failing group does not stop the list around it";
    EXPECT_TRUE(result);
}

// Loops that would keep the program busy for years stop after a bounded number of steps;
// the longest real walk is far below that bound.
TEST_F(DeviceEraseCmd, RunawayLoopsStopAfterTheStepBudget) {
    EXPECT_TRUE(run("L2147483647(L2147483647(Q)),C9").empty()) << "nothing after the stop";
    EXPECT_FALSE(result);
    run("L2147483647()");
    EXPECT_FALSE(result);
    EXPECT_EQ(run("L1025(C6),C9").size(), 1026u);
    EXPECT_TRUE(result);
}

// A typo in a wait, or a loop around one, cannot put the program to sleep for days: one
// wait is cut to a minute, and a string stops before its waits pass ten minutes in all.
TEST_F(DeviceEraseCmd, WaitsAreBoundedOneByOneAndInAll) {
    struct Case {
        const char* text;
        uint64_t slept;
        size_t sent;
        bool result;
    } cases[] = {
        {"W59989,C1", 59999, 1, true},        {"W59990,C1", 60000, 1, true},
        {"W2147483647,C1", 60000, 1, true},   {"L10(W70000),C1", 600000, 1, true},
        {"L11(W70000),C1", 600000, 0, false}, {"L2147483647(L2147483647(W0)),C1", 600000, 0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(c.text).size(), c.sent) << c.text;
        EXPECT_EQ(slept, c.slept) << c.text;
        EXPECT_EQ(result, c.result) << c.text;
    }
}

TEST_F(DeviceEraseCmd, TwentyLevelsRunTheTwentyFirstIsSkipped) {
    std::string text = "C6";
    for (int depth = 1; depth <= 21; ++depth)
        text = "C" + std::to_string(depth % 10) + ",L1(" + text + ")";
    // Levels 0..20 send their leading command; the body at level 21 (C6) is skipped.
    const std::vector<std::string> sent = run(text);
    EXPECT_TRUE(result);
    ASSERT_EQ(sent.size(), 21u);
    EXPECT_EQ(sent.front(), cmd(1));
    EXPECT_EQ(sent.back(), cmd(1)) << "the twentieth group still runs";
    EXPECT_TRUE(run("C6", 21).empty());
    EXPECT_FALSE(result);
    EXPECT_EQ(run("C6", 20), (std::vector<std::string>{cmd(6)}));
}

}  // namespace
}  // namespace velkaro
