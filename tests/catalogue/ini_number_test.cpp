#include <gtest/gtest.h>

#include "catalogue/ini_number.h"

namespace velkaro {
namespace {

TEST(StripIniComment, DropsFromFirstSemicolonAndTrimsControlCharacters) {
    EXPECT_EQ(StripIniComment("  0x2007 ; config ; more"), "0x2007");
    EXPECT_EQ(StripIniComment("\t\x01value\r\n"), "value");
    EXPECT_EQ(StripIniComment("; only a comment"), "");
    EXPECT_EQ(StripIniComment(""), "");
}

TEST(ParseIniNumber, ReadsHexadecimalOnlyWithLowerCaseX) {
    EXPECT_EQ(ParseIniNumber("0x3FFF", 7), 16383);
    EXPECT_EQ(ParseIniNumber("0x10", 7), 16);
    EXPECT_EQ(ParseIniNumber("0xabCD", 7), 0xABCD);
    EXPECT_EQ(ParseIniNumber("0x2007 ; config word", 7), 8199);
    EXPECT_EQ(ParseIniNumber("0x12G4", 7), 0x12);
    EXPECT_EQ(ParseIniNumber("0X10", 7), 0);
    EXPECT_EQ(ParseIniNumber("FF", 7), 0);
}

TEST(ParseIniNumber, HexadecimalIsUnsigned32Bit) {
    EXPECT_EQ(ParseIniNumber("0xFFFFFFFF", 0), -1);
    EXPECT_EQ(ParseIniNumber("0x80000000", 0), INT32_MIN);
    EXPECT_EQ(ParseIniNumber("0x123456789", 0), 0x23456789);  // wraps at 32 bits
}

TEST(ParseIniNumber, HexPrefixWithoutDigitGivesTheDefault) {
    EXPECT_EQ(ParseIniNumber("0x", 42), 42);
    EXPECT_EQ(ParseIniNumber("0xZZ", 42), 42);
}

TEST(ParseIniNumber, ReadsDecimalWithSignUpToFirstNonDigit) {
    EXPECT_EQ(ParseIniNumber("1024", 7), 1024);
    EXPECT_EQ(ParseIniNumber("  10  ; ten", 7), 10);
    EXPECT_EQ(ParseIniNumber("+7", 0), 7);
    EXPECT_EQ(ParseIniNumber("-1", 0), -1);
    EXPECT_EQ(ParseIniNumber("2000h", 0), 2000);
    EXPECT_EQ(ParseIniNumber("abc", 7), 0);
    EXPECT_EQ(ParseIniNumber("-", 7), 0);
    EXPECT_EQ(ParseIniNumber("4294967297", 0), 1);  // wraps at 32 bits
}

TEST(ParseIniNumber, EmptyOrCommentOnlyGivesTheDefault) {
    EXPECT_EQ(ParseIniNumber("", 99), 99);
    EXPECT_EQ(ParseIniNumber("   ", 99), 99);
    EXPECT_EQ(ParseIniNumber(";0x10", 99), 99);
}

}  // namespace
}  // namespace velkaro
