#include <gtest/gtest.h>

#include <string_view>

#include "base/hex_digit.h"

namespace velkaro {
namespace {

TEST(HexDigit, ReadsBothCasesAndRefusesEveryOtherByte) {
    constexpr std::string_view kLower = "0123456789abcdef";
    constexpr std::string_view kUpper = "0123456789ABCDEF";
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        const size_t lower = kLower.find(c);
        const size_t upper = kUpper.find(c);
        const int expected = lower != std::string_view::npos   ? static_cast<int>(lower)
                             : upper != std::string_view::npos ? static_cast<int>(upper)
                                                               : -1;
        EXPECT_EQ(hexDigit(c), expected) << "byte " << byte;
    }
}

}  // namespace
}  // namespace velkaro
