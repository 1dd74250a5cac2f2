// velkaro-cli osccal end to end against the simulator, the chip kept in a --sim-state file.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "sim/midrange/midrange_chip.h"
#include "support/cli_runner.h"

namespace velkaro {
namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(OsccalCommand, MeasuresWritesAndMeasuresAgain) {
    test::TempDir dir;
    auto run = [&](const std::string& arguments) {
        return test::runVelkaroCli("--device PIC12F675 --simulate --sim-state " +
                                       test::shellQuote(dir.file("chip.state")) + " osccal " +
                                       arguments + " </dev/null",
                                   dir);
    };
    sim::MidrangeChip fresh(*sim::findMidrangeDevice("PIC12F675"));
    char factory[8];
    std::snprintf(factory, sizeof factory, "%04X", fresh.factoryOsccalWord());

    // Without a terminal the question is answered Cancel: nothing is loaded or touched.
    test::CliRun result = run("--json");
    EXPECT_EQ(result.exitCode, 5) << result.err;

    // A blank chip runs nothing: no measurement, exit 4, the current value offered.
    result = run("--yes --json");
    EXPECT_EQ(result.exitCode, 4) << result.err;
    EXPECT_TRUE(contains(result.out, R"("frequency":0)")) << result.out;
    EXPECT_TRUE(contains(result.out, std::string(R"("recommended":")") + factory)) << result.out;

    // The factory value on a chip that is right at it: 1 MHz, nothing to change.
    result = run(std::string("--yes --json --write ") + (factory + 2));
    ASSERT_EQ(result.exitCode, 0) << result.err << result.out;
    EXPECT_TRUE(contains(result.out, R"("frequency":10000)")) << result.out;
    EXPECT_TRUE(contains(result.out, R"("written":true)")) << result.out;
    EXPECT_TRUE(contains(result.out, R"("seconds":)")) << result.out;
    EXPECT_TRUE(contains(result.out, "適正値")) << result.out;

    result = run("--yes");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "1MHzの測定値: 1000.0KHz")) << result.out;
    EXPECT_TRUE(contains(result.out, std::string("OSCCALの推奨値: ") + factory)) << result.out;

    EXPECT_EQ(run("--yes --write 12345").exitCode, 64);
    EXPECT_EQ(run("--yes --write zz").exitCode, 64);
    result = test::runVelkaroCli("--device PIC16F84A --simulate osccal --yes", dir);
    EXPECT_EQ(result.exitCode, 64);
    EXPECT_TRUE(contains(result.err, "calibration")) << result.err;
}

}  // namespace
}  // namespace velkaro
