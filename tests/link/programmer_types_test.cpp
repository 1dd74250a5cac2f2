// The programmer types' table as the link, the CLI and the settings rely on it.
#include <gtest/gtest.h>

#include "link/programmer_types.h"

namespace velkaro {
namespace {

TEST(ProgrammerTypes, EachTypeCanApplyAProgrammingVoltageAndSaysHowToSelectIt) {
    for (const ProgrammerType& type : programmerTypes()) {
        SCOPED_TRACE(std::string(type.name));
        const std::vector<VppLevel>& levels = type.can.vppLevels;
        ASSERT_FALSE(levels.empty());
        for (size_t i = 1; i < levels.size(); ++i)
            EXPECT_LT(levels[i - 1].volts, levels[i].volts) << "lowest first";
        for (const VppLevel& level : levels) {
            // Only a programmer that takes commands can be told a level; one with a choice
            // of levels must be told every one.
            if (!type.can.programmerCommands) {
                EXPECT_EQ(level.command, 0);
            } else if (levels.size() > 1) {
                EXPECT_NE(level.command, 0);
            }
        }
        // A programmer that does not switch VDD itself is the one whose VDD may come from
        // the port.
        EXPECT_EQ(type.can.switchesVdd, !type.can.bitBanged);
    }
}

TEST(ProgrammerTypes, NamesForMessagesComeFromTheTable) {
    EXPECT_EQ(programmerTypesWith(&ProgrammerCapabilities::firmwareQuery), "VKR-20 PRO");
    EXPECT_EQ(programmerTypesWith(&ProgrammerCapabilities::lowVoltageEntry),
              "VKR-20 PRO or VKR-20 JDM");
    EXPECT_EQ(bitBangedTypeName(), "VKR-20 JDM");
    EXPECT_EQ(programmerTypeChoices(), "0, 1, \"VKR-20 PRO\" or \"VKR-20 JDM\"");
}

}  // namespace
}  // namespace velkaro
