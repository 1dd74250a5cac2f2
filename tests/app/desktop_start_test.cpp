// What the desktop program decides before its window shows: arguments, data folder and
// the simulated socket.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "app/paths.h"
#include "app/simulated_socket.h"
#include "app/start_arguments.h"
#include "support/paths.h"

namespace velkaro {
namespace {

const std::vector<std::string> kDevices = {"PIC12F629", "PIC12F675", "PIC16F84A"};

TEST(StartArguments, LastFileAndLastDeviceSwitchWin) {
    const auto args = parseStartArguments(
        {"first.hex", "/pPIC16F84A", "/tmp/dir/second.hex", "/p pic12f675 "}, kDevices);
    EXPECT_EQ(args.file, "/tmp/dir/second.hex");
    EXPECT_EQ(args.deviceIndex, 1);

    // A later name that is not listed cancels an earlier hit.
    EXPECT_EQ(parseStartArguments({"/pPIC12F675", "/pPIC99"}, kDevices).deviceIndex, -1);
}

TEST(StartArguments, OtherSwitchesAndEmptyArgumentsAreIgnored) {
    const auto args = parseStartArguments({"/PPIC12F675", "", "/x", "a.hex"}, kDevices);
    EXPECT_FALSE(args.deviceSwitchSeen);
    EXPECT_EQ(args.deviceIndex, -1);
    EXPECT_EQ(args.file, "a.hex");
}

TEST(StartArguments, AbsolutePathsStartingWithPAreFiles) {
    const auto args = parseStartArguments({"/pPIC12F675", "/proj/blink.hex"}, kDevices);
    EXPECT_EQ(args.file, "/proj/blink.hex");
    EXPECT_EQ(args.deviceIndex, 1);
}

TEST(StartArguments, SimulateWithAndWithoutChip) {
    EXPECT_FALSE(parseStartArguments({"a.hex"}, kDevices).simulate.has_value());
    EXPECT_EQ(parseStartArguments({"--simulate"}, kDevices).simulate, "");
    const auto named = parseStartArguments({"--simulate=PIC16F84A", "a.hex"}, kDevices);
    EXPECT_EQ(named.simulate, "PIC16F84A");
    EXPECT_EQ(named.file, "a.hex");
}

TEST(DataDirectory, BesideTheProgramFirstThenTheInstalledFolder) {
    test::TempDir root;
    const std::filesystem::path bin = std::filesystem::path(root.path()) / "bin";
    const std::filesystem::path share = std::filesystem::path(root.path()) / "share/velkaro";
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(share);
    EXPECT_EQ(dataDirectory(bin.string()), bin.string());  // nothing anywhere

    std::ofstream(share / "device.ini") << "[PIC16F84A]\n";
    EXPECT_EQ(dataDirectory(bin.string()), share.string());

    std::ofstream(bin / "device.ini") << "[PIC16F84A]\n";
    EXPECT_EQ(dataDirectory(bin.string()), bin.string());
}

TEST(SimulatedSocket, FollowsTheDeviceListAndKeepsEachChip) {
    std::string error;
    auto socket = SimulatedSocket::create("", error);
    ASSERT_TRUE(socket);
    socket->followDevice("PIC16F84A");
    ASSERT_NE(socket->programmer().chip(), nullptr);
    EXPECT_EQ(socket->programmer().chip()->name(), "PIC16F84A");
    socket->programmer().chip()->poke(0, 0x1234);

    socket->followDevice("PIC12F675");
    EXPECT_EQ(socket->programmer().chip()->name(), "PIC12F675");
    socket->followDevice("NO-SUCH-CHIP");
    EXPECT_EQ(socket->programmer().chip(), nullptr);

    socket->followDevice("pic16f84a");
    ASSERT_NE(socket->programmer().chip(), nullptr);
    EXPECT_EQ(socket->programmer().chip()->peek(0), 0x1234);
}

TEST(SimulatedSocket, ANamedChipStaysWhateverTheDevice) {
    std::string error;
    EXPECT_EQ(SimulatedSocket::create("NO-SUCH-CHIP", error), nullptr);
    EXPECT_FALSE(error.empty());
    auto socket = SimulatedSocket::create("PIC12F675", error);
    ASSERT_TRUE(socket);
    socket->followDevice("PIC16F84A");
    EXPECT_EQ(socket->programmer().chip()->name(), "PIC12F675");
}

}  // namespace
}  // namespace velkaro
