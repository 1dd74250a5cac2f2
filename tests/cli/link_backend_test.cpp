#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cli/cli_context.h"
#include "cli/link_backend.h"
#include "sim/simulated_programmer.h"
#include "support/paths.h"

namespace velkaro::cli {
namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class LinkBackendTest : public ::testing::Test {
protected:
    LinkBackendTest() { device.DeviceName = "PIC16F84A"; }

    std::unique_ptr<LinkBackend> create() {
        return LinkBackend::create(context, device, error, exitCode);
    }

    CliContext context;
    DeviceDefinition device;
    std::string error;
    int exitCode = -1;
    test::TempDir dir;
};

TEST_F(LinkBackendTest, SimulatorServesThePortWithTheDevicesChip) {
    context.port = "COM5";
    context.programmer = "VKR-20 JDM";
    auto backend = create();
    ASSERT_NE(backend, nullptr) << error;
    EXPECT_EQ(exitCode, kExitOk);
    EXPECT_EQ(backend->portIndex(), 4);
    EXPECT_EQ(backend->hardwareType(), 1);
    ASSERT_NE(backend->hub().simulator().chip(), nullptr);
    EXPECT_EQ(backend->hub().simulator().chip()->name(), "PIC16F84A");
    EXPECT_NE(backend->library().SOpen(5), 0);
}

TEST_F(LinkBackendTest, SimulateNamesAnotherChipOrLeavesAnUnmodelledSocketEmpty) {
    context.simulate = "pic12f675";
    auto backend = create();
    ASSERT_NE(backend, nullptr) << error;
    EXPECT_EQ(backend->hub().simulator().chip()->name(), "PIC12F675");

    context.simulate = "";
    device.DeviceName = "PIC99X99";
    backend = create();
    ASSERT_NE(backend, nullptr) << error;
    EXPECT_EQ(backend->hub().simulator().chip(), nullptr);

    context.simulate = "PIC99X99";
    EXPECT_EQ(create(), nullptr);
    EXPECT_EQ(exitCode, kExitUsage);
    EXPECT_NE(error.find("PIC99X99"), std::string::npos);
}

TEST_F(LinkBackendTest, UnknownPortOrProgrammerIsAUsageError) {
    context.port = "COM0";
    EXPECT_EQ(create(), nullptr);
    EXPECT_EQ(exitCode, kExitUsage);
    context.port = "";
    context.programmer = "2";
    EXPECT_EQ(create(), nullptr);
    EXPECT_EQ(exitCode, kExitUsage);
}

TEST_F(LinkBackendTest, SimStateRoundTripsAndAForeignFileIsRefusedUntouched) {
    context.simState = dir.file("chip.state");
    auto backend = create();
    ASSERT_NE(backend, nullptr) << error;
    backend->hub().simulator().chip()->poke(0x10, 0x1234);
    backend->hub().simulator().chip()->pokeData(3, 0x5A);
    ASSERT_TRUE(backend->saveSimState(error)) << error;

    backend = create();
    ASSERT_NE(backend, nullptr) << error;
    EXPECT_EQ(backend->hub().simulator().chip()->peek(0x10), 0x1234);
    EXPECT_EQ(backend->hub().simulator().chip()->peekData(3), 0x5A);

    const std::string saved = readAll(context.simState);
    context.simulate = "PIC12F675";
    EXPECT_EQ(create(), nullptr);
    EXPECT_EQ(exitCode, kExitFileError);
    EXPECT_EQ(readAll(context.simState), saved);
}

TEST_F(LinkBackendTest, BadSimStateIsReportedWithItsLine) {
    context.simState = dir.file("chip.state");
    for (const auto& [text, where] :
         {std::pair<std::string, std::string>{"# saved\nchip PIC16F84A\nprogram 0000 4000\n",
                                              "chip.state\" (line 3)"},
          {"chip PIC18F452\nend\n", "chip.state\" (line 1)"},
          {"# nothing but a comment\n", "chip.state\""}}) {
        std::ofstream(context.simState, std::ios::binary | std::ios::trunc) << text;
        EXPECT_EQ(create(), nullptr);
        EXPECT_EQ(exitCode, kExitFileError);
        EXPECT_TRUE(error.size() >= where.size() &&
                    error.compare(error.size() - where.size(), where.size(), where) == 0)
            << error;
    }
}

TEST_F(LinkBackendTest, UnwritableSimStateIsReportedAndNothingIsLeftBehind) {
    context.simState = dir.file("missing-folder/chip.state");
    auto backend = create();
    ASSERT_NE(backend, nullptr) << error;
    EXPECT_FALSE(backend->saveSimState(error));
    EXPECT_NE(error.find("chip.state"), std::string::npos);
}

TEST_F(LinkBackendTest, TargetLeftPoweredOrPortLeftOpenTurnsAnyExitIntoAnInternalError) {
    auto backend = create();
    ASSERT_NE(backend, nullptr) << error;
    ProgrammerLibrary& library = backend->library();
    EXPECT_EQ(backend->checkLeftSafe(kExitProgramError), kExitProgramError);

    ASSERT_NE(library.SOpen(1), 0);
    EXPECT_EQ(backend->checkLeftSafe(kExitOk), kExitInternal);  // the port alone
    ASSERT_NE(library.SVppOn(0), 0);
    library.SClose();
    EXPECT_EQ(backend->checkLeftSafe(kExitOk), kExitOk);
    library.SOpen(1);
    library.SVccOn(0);
    library.SPowerOff();
    EXPECT_EQ(backend->checkLeftSafe(kExitOk), kExitInternal);
    EXPECT_TRUE(LinkBackend::leftUnsafe());
    library.SClose();
}

}  // namespace
}  // namespace velkaro::cli
