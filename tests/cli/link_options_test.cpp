#include <gtest/gtest.h>

#include "cli/link_options.h"

namespace velkaro::cli {
namespace {

TEST(LinkOptions, PortByNameOrNumber) {
    EXPECT_EQ(parsePortIndex(""), 0);
    EXPECT_EQ(parsePortIndex("COM1"), 0);
    EXPECT_EQ(parsePortIndex("com9"), 8);
    EXPECT_EQ(parsePortIndex("4"), 3);
    for (const char* bad : {"COM0", "COM10", "0", "10", "COM", "LPT1", "/dev/ttyS0", " 1", "COMX"})
        EXPECT_EQ(parsePortIndex(bad), std::nullopt) << bad;
}

TEST(LinkOptions, ProgrammerByIndexOrListName) {
    EXPECT_EQ(parseProgrammerType(""), 0);
    EXPECT_EQ(parseProgrammerType("0"), 0);
    EXPECT_EQ(parseProgrammerType("1"), 1);
    EXPECT_EQ(parseProgrammerType("VKR-20 PRO"), 0);
    EXPECT_EQ(parseProgrammerType("vkr-20 jdm"), 1);
    for (const char* bad : {"2", "-1", "PRO", "VKR-20", "VKR-20 PRO "})
        EXPECT_EQ(parseProgrammerType(bad), std::nullopt) << bad;
    EXPECT_EQ(programmerName(1), "VKR-20 JDM");
}

}  // namespace
}  // namespace velkaro::cli
