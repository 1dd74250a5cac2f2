#include "image/data_edit.h"

#include <gtest/gtest.h>

namespace velkaro {
namespace {

std::vector<uint8_t> blankData(size_t size) {
    return std::vector<uint8_t>(size, 0xFF);
}

TEST(DataEdit, HighAndLowDigitsReplaceTheirHalfAndStepOverTheBlank) {
    auto data = blankData(64);
    data[0x12] = 0x3C;
    // Byte 0x12 is line 1, third byte: its high digit at column 5 + 3 * 2 + 1 = 12.
    const DataEditStep high = dataEditKey(data, {1, 12}, 'a');
    EXPECT_TRUE(high.changed);
    EXPECT_EQ(high.byteIndex, 0x12u);
    EXPECT_EQ(high.byteValue, 0xACu);
    EXPECT_EQ(high.patchAt, (ListingCaret{1, 12}));
    EXPECT_EQ(high.patchChar, 'A');
    EXPECT_EQ(high.caret, (ListingCaret{1, 13}));

    const DataEditStep low = dataEditKey(data, {1, 13}, '5');
    EXPECT_EQ(low.byteValue, 0x35u);
    EXPECT_EQ(low.caret, (ListingCaret{1, 15}));  // the next byte's high digit

    // On the blank before a byte nothing changes; the caret steps onto the digit.
    const DataEditStep blank = dataEditKey(data, {1, 14}, '7');
    EXPECT_FALSE(blank.changed);
    EXPECT_EQ(blank.caret, (ListingCaret{1, 15}));
}

TEST(DataEdit, NonHexKeysChangeNothing) {
    const auto data = blankData(64);
    for (char key : {'g', 'G', ' ', 'x', '\0', '\x7F'}) {
        const DataEditStep step = dataEditKey(data, {1, 12}, key);
        EXPECT_FALSE(step.changed) << int(key);
        EXPECT_FALSE(step.moveCaret) << int(key);
    }
}

TEST(DataEdit, AddressColumnsJumpToTheFirstDigit) {
    const auto data = blankData(32);
    for (size_t col = 0; col <= 5; ++col) {
        const DataEditStep step = dataEditKey(data, {1, col}, 'F');
        EXPECT_FALSE(step.changed);
        EXPECT_EQ(step.caret, (ListingCaret{1, 6})) << col;
    }
}

TEST(DataEdit, LastDigitOfALineWrapsToTheNextLineButNotPastTheLast) {
    const auto data = blankData(64);
    const DataEditStep wrap = dataEditKey(data, {0, 52}, '0');
    EXPECT_EQ(wrap.byteIndex, 15u);
    EXPECT_EQ(wrap.byteValue, 0xF0u);
    EXPECT_EQ(wrap.caret, (ListingCaret{1, 6}));

    const DataEditStep last = dataEditKey(data, {3, 52}, '0');
    EXPECT_TRUE(last.changed);
    EXPECT_EQ(last.byteIndex, 63u);
    EXPECT_EQ(last.caret, (ListingCaret{3, 53}));
    // Past the last digit of the last line, or on a partial line, nothing happens.
    EXPECT_FALSE(dataEditKey(data, {3, 53}, '0').moveCaret);
    EXPECT_FALSE(dataEditKey(blankData(40), {2, 6}, '0').moveCaret);
    EXPECT_FALSE(dataEditKey({}, {0, 6}, '0').moveCaret);
}

}  // namespace
}  // namespace velkaro
