// The advice for a serial port the user may not open names a group only when joining it
// gives access: one with read and write permission that is not the superuser's.
#include <grp.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "link/serial_port_lines.h"

namespace velkaro {
namespace {

TEST(SerialPortAdvice, NamesOnlyAGroupThatGivesAccess) {
    const struct group* serial = ::getgrnam("dialout");
    if (serial == nullptr)
        GTEST_SKIP() << "this system has no dialout group";
    const unsigned gid = serial->gr_gid;
    EXPECT_EQ(serialGroupToJoin(gid, S_IFCHR | 0660), "dialout");
    EXPECT_EQ(serialGroupToJoin(gid, S_IFCHR | 0640), "") << "the group may not write";
    EXPECT_EQ(serialGroupToJoin(gid, S_IFCHR | 0600), "");
    EXPECT_EQ(serialGroupToJoin(0, S_IFCHR | 0660), "") << "never advise joining root";
}

}  // namespace
}  // namespace velkaro
