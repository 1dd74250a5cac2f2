#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/cli_runner.h"

namespace velkaro {
namespace {

using test::CliRun;
using test::readFile;

// Runs the built velkaro-cli with `arguments` (already shell-quoted where needed).
CliRun runCli(const std::string& arguments) {
    test::TempDir scratch;
    return test::runVelkaroCli(arguments, scratch);
}

class CliCatalogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream(mDir.file("device.ini"))
            << "[PIC16F84A]\nDeviceID=0x0560\nDeviceIDMask=0x3FE0\nProgSize=1024\n"
               "[alpha]\nProgSize=512\n[Zulu]\nDefault=alpha\n";
    }
    std::string dataDir() const { return "--data-dir '" + mDir.path() + "' "; }

    test::TempDir mDir;
};

TEST_F(CliCatalogueTest, DevicesListsSectionsInListOrder) {
    const CliRun result = runCli(dataDir() + "devices");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "alpha\nPIC16F84A\nZulu\n");
}

TEST_F(CliCatalogueTest, NoCommandPrintsTheDeviceListThenTheUsage) {
    const CliRun result = runCli(dataDir());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.rfind("alpha\nPIC16F84A\nZulu\n\n", 0), 0u);
    EXPECT_NE(result.out.find("Usage:"), std::string::npos);
}

TEST_F(CliCatalogueTest, GlobalOptionsWorkBeforeAndAfterTheCommand) {
    const CliRun before = runCli(dataDir() + "--device zulu info");
    const CliRun after = runCli("info --device zulu " + dataDir());
    EXPECT_EQ(before.exitCode, 0);
    EXPECT_EQ(before.out, after.out);
    EXPECT_NE(before.out.find("DeviceName = Zulu\n"), std::string::npos);
    EXPECT_NE(before.out.find("ProgSize = 512\n"), std::string::npos);
}

TEST_F(CliCatalogueTest, UnknownDeviceIsAUsageError) {
    const CliRun result = runCli(dataDir() + "info --device PIC99X");
    EXPECT_EQ(result.exitCode, 64);
    EXPECT_TRUE(result.out.empty());
    EXPECT_NE(result.err.find("PIC99X"), std::string::npos);
}

TEST_F(CliCatalogueTest, DefaultDeviceComesFromTheSettingsFileElseFirstItem) {
    EXPECT_NE(runCli(dataDir() + "info").out.find("DeviceName = PIC16F84A\n"), std::string::npos);
    std::ofstream(mDir.file("velkaro.ini")) << "[LastSetting]\nDevice=ZULU\n";
    EXPECT_NE(runCli(dataDir() + "info").out.find("DeviceName = Zulu\n"), std::string::npos);
    std::ofstream(mDir.file("velkaro.ini")) << "[LastSetting]\nDevice=Gone\n";
    EXPECT_NE(runCli(dataDir() + "info").out.find("DeviceName = alpha\n"), std::string::npos);
}

TEST_F(CliCatalogueTest, LookupIdPrintsTheMatchOrAnEmptyLine) {
    const CliRun found = runCli(dataDir() + "lookup-id 0x0563");
    EXPECT_EQ(found.exitCode, 0);
    EXPECT_EQ(found.out, "PIC16F84A\n");
    const CliRun none = runCli(dataDir() + "lookup-id 0x1234");
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.out, "\n");
    EXPECT_FALSE(none.err.empty());
    EXPECT_EQ(runCli(dataDir() + "lookup-id 0x10000").exitCode, 64);
    EXPECT_EQ(runCli(dataDir() + "lookup-id zz").exitCode, 64);
}

TEST_F(CliCatalogueTest, NestingMessageGoesToStderrAndTheDumpStillPrints) {
    std::string text;
    for (int i = 0; i < 22; ++i)
        text += "[S" + std::to_string(i) + "]\nDefault=S" + std::to_string(i + 1) + "\n";
    std::ofstream(mDir.file("device.ini")) << text;
    const CliRun result = runCli(dataDir() + "info --device S0");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.err.find("device.iniのネスティングが深すぎます。"), std::string::npos);
    EXPECT_NE(result.out.find("DeviceName = S0\n"), std::string::npos);
}

// Each folder of tests/cli/golden holds device.ini, Config.ini, device.txt (the name to
// select) and expected.json, the output of `info --json`.
TEST(CliGolden, InfoJsonMatchesEveryGoldenFolder) {
    const std::filesystem::path root = test::sourceDir() + "/tests/cli/golden";
    int cases = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root)) {
        if (!entry.is_directory())
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        std::string name = readFile((entry.path() / "device.txt").string());
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
            name.pop_back();
        const CliRun result = runCli("--data-dir '" + entry.path().string() + "' info --json " +
                                     "--device '" + name + "'");
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.out, readFile((entry.path() / "expected.json").string()));
        ++cases;
    }
    EXPECT_GT(cases, 0);
}

TEST(CliShippedData, Pic12F675InfoShowsTheResolvedDefinition) {
    const CliRun result = runCli("info --device PIC12F675 --json");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("\"OscCal\": 1023,"), std::string::npos);
    EXPECT_NE(result.out.find("\"BGMask\": 12288,"), std::string::npos);
    EXPECT_NE(result.out.find("\"label\": \"FOSC\""), std::string::npos);
    EXPECT_TRUE(result.err.empty());
}

}  // namespace
}  // namespace velkaro
