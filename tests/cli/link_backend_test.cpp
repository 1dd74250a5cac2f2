#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

    backend.reset();  // the state stays locked while its backend lives
    backend = create();
    ASSERT_NE(backend, nullptr) << error;
    EXPECT_EQ(backend->hub().simulator().chip()->peek(0x10), 0x1234);
    EXPECT_EQ(backend->hub().simulator().chip()->peekData(3), 0x5A);

    const std::string saved = readAll(context.simState);
    backend.reset();
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
    // The state cannot even be locked there: refused before the command runs.
    context.simState = dir.file("missing-folder/chip.state");
    EXPECT_EQ(create(), nullptr);
    EXPECT_EQ(exitCode, kExitFileError);
    EXPECT_NE(error.find("chip.state"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing-folder")));

    // A folder that goes away while the command runs: its save is reported.
    std::filesystem::create_directory(dir.file("gone"));
    context.simState = dir.file("gone/chip.state");
    auto backend = create();
    ASSERT_NE(backend, nullptr) << error;
    std::filesystem::remove_all(dir.file("gone"));
    EXPECT_FALSE(backend->saveSimState(error));
    EXPECT_NE(error.find("chip.state"), std::string::npos);
}

TEST_F(LinkBackendTest, ASimStateInUseIsRefusedAndItsSaveLeavesNoTemporaryFile) {
    context.simState = dir.file("chip.state");
    auto first = create();
    ASSERT_NE(first, nullptr) << error;
    EXPECT_EQ(create(), nullptr);  // after a brief wait
    EXPECT_EQ(exitCode, kExitFileError);
    EXPECT_NE(error.find("in use by another velkaro process"), std::string::npos) << error;
    ASSERT_TRUE(first->saveSimState(error)) << error;
    first.reset();
    EXPECT_NE(create(), nullptr) << error;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "chip.state" || name == "chip.state.lock") << name;
    }
}

// A settings file that names hardware it cannot use stops the command before anything
// runs, instead of leaving the port to the simulator; the message names file, line, reason.
TEST_F(LinkBackendTest, UnusableHardwareSettingsStopTheCommand) {
    context.dataDir = dir.path();
    const std::string path = dir.file("velkaro.ini");
    struct Case {
        std::string text;
        std::string expected;  // after "PATH: "
    };
    const std::vector<Case> cases = {
        {std::string("[Port]\nCOM1=/dev/ttyUSB0\n") + '\0' + "\n",
         path + " is not a text file (it holds NUL bytes)"},
        {"[Port]\rCOM1=/dev/ttyUSB0\r", "line 1: line ends are CR alone"},
        {"[Port]\nCOM1=\"/dev/ttyUSB0\"\n", "line 2: [Port] COM1=\"/dev/ttyUSB0\": not a device"},
        {"[Port]\nCOM1=ttyUSB0\n", "line 2: [Port] COM1=ttyUSB0: not a device path"},
        {"[Port]\n\nCOM10=\n", "line 3: [Port] COM10: no such port"},
        {"[VKR-20 JDM]\nPGC=CTS\n", "line 2: [VKR-20 JDM] "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.text;
        context.simulate.reset();
        EXPECT_EQ(create(), nullptr);
        EXPECT_EQ(exitCode, kExitFileError);
        EXPECT_NE(error.find(path + ": " + c.expected), std::string::npos) << error;
        // --simulate sets the file's hardware aside.
        context.simulate = "";
        EXPECT_NE(create(), nullptr) << error;
    }
    std::ofstream(path, std::ios::binary | std::ios::trunc) << "[Port]\r\nCOM2=/dev/ttyUSB0\r\n";
    context.simulate.reset();
    auto backend = create();
    ASSERT_NE(backend, nullptr) << error;
    EXPECT_FALSE(backend->usesHardware());  // COM1 is not mapped
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
