#include "app/port_mapping.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/hardware_settings.h"
#include "support/paths.h"

namespace velkaro {
namespace {

// The mapping lands in [Port] beside everything else the file holds, moves a device that
// served another port, and refuses what the programs could not read back.
TEST(PortMapping, SavedIntoThePortSectionKeepingTheRest) {
    test::TempDir dir;
    const std::string path = dir.file("velkaro.ini");
    std::ofstream(path) << "[ProgrammerType]\nVKR-20 PRO=\n[Port]\n; comment\nCOM2=/dev/ttyUSB0\n";
    EXPECT_EQ(savePortMapping(path, 3, "/dev/ttyUSB0"), "");
    HardwareSettings saved = loadHardwareSettings(path);
    EXPECT_EQ(saved.portPath(3), "/dev/ttyUSB0");
    EXPECT_EQ(saved.portPath(2), "") << "one device serves one port";
    EXPECT_TRUE(saved.problems.empty());

    EXPECT_EQ(savePortMapping(path, 3, ""), "");
    EXPECT_EQ(loadHardwareSettings(path).portPath(3), "");

    for (const auto& [port, device] :
         {std::pair{3, std::string("ttyUSB1")}, std::pair{10, std::string("/dev/ttyUSB1")}})
        EXPECT_NE(savePortMapping(path, port, device), "") << port << " " << device;
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    EXPECT_NE(text.str().find("[ProgrammerType]\nVKR-20 PRO=\n"), std::string::npos);
    EXPECT_NE(text.str().find("; comment\n"), std::string::npos);
    EXPECT_EQ(text.str().find("ttyUSB1"), std::string::npos);
}

TEST(PortMapping, APortThatCannotBeOpenedSaysWhy) {
    const std::string reason = checkPortOpens("/dev/velkaro-no-such-port");
    EXPECT_NE(reason.find("/dev/velkaro-no-such-port"), std::string::npos) << reason;
}

}  // namespace
}  // namespace velkaro
