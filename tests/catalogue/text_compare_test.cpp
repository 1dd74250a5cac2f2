#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/text_compare.h"

namespace velkaro {
namespace {

TEST(EqualsIgnoreCase, FoldsAsciiLettersOnly) {
    EXPECT_TRUE(equalsIgnoreCase("PIC16F84A", "pic16f84a"));
    EXPECT_TRUE(equalsIgnoreCase("", ""));
    EXPECT_FALSE(equalsIgnoreCase("COM1", "COM"));
    EXPECT_FALSE(equalsIgnoreCase("COM", "COM1"));
    // The neighbours of the letter ranges are no letters: '@' '[' '`' '{' stay apart.
    EXPECT_FALSE(equalsIgnoreCase("@", "`"));
    EXPECT_FALSE(equalsIgnoreCase("[", "{"));
    // Bytes of UTF-8 sequences and Latin-1 letters are compared as they are.
    EXPECT_FALSE(equalsIgnoreCase("\xC3\xA9", "\xC3\x89"));
    EXPECT_FALSE(equalsIgnoreCase("\xE9", "\xC9"));
    EXPECT_TRUE(equalsIgnoreCase(std::string_view("a\0b", 3), std::string_view("A\0B", 3)));
    EXPECT_FALSE(equalsIgnoreCase(std::string_view("a\0b", 3), std::string_view("a\0c", 3)));
}

TEST(LessIgnoreCase, OrdersAsLowerCaseBytes) {
    std::vector<std::string> names = {"pic16F628", "PIC12F508", "_x", "PIC16f628", "\xC3\xA9", "Z"};
    std::stable_sort(names.begin(), names.end(), lessIgnoreCase);
    // Equal names keep their order; '_' (0x5F) sorts before every letter of either case.
    EXPECT_EQ(names, (std::vector<std::string>{"_x", "PIC12F508", "pic16F628", "PIC16f628", "Z",
                                               "\xC3\xA9"}));
    EXPECT_FALSE(lessIgnoreCase("abc", "ABC"));
    EXPECT_FALSE(lessIgnoreCase("ABC", "abc"));
    EXPECT_TRUE(lessIgnoreCase("ab", "ABC"));
    EXPECT_FALSE(lessIgnoreCase("ABC", "ab"));
}

}  // namespace
}  // namespace velkaro
