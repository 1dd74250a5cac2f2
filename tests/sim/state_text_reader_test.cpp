// The line and field reader behind the chip models' state texts, and the rules each model
// builds on it.
#include "sim/state_text_reader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "sim/sim_chip.h"

namespace velkaro::sim {
namespace {

// Every line the reader returns, with its number.
std::vector<std::pair<int, std::string>> readAll(const std::string& text, StateComments rule) {
    std::istringstream in(text);
    StateTextReader reader(in, rule);
    std::vector<std::pair<int, std::string>> lines;
    std::string_view line;
    while (reader.next(line))
        lines.emplace_back(reader.lineNumber(), std::string(line));
    return lines;
}

using Lines = std::vector<std::pair<int, std::string>>;

TEST(StateTextReader, SkipsBlankAndCommentLinesAndCountsEveryLine) {
    const std::string text =
        "# heading\r\n"
        " \t \n"
        "  chip X  \r\n"
        "\n"
        "program 0 1 # note\n"
        "   # indented\n"
        "\f\n"
        "end";  // no final newline
    EXPECT_EQ(readAll(text, StateComments::Anywhere),
              (Lines{{3, "chip X"}, {5, "program 0 1"}, {7, "\f"}, {8, "end"}}));
    EXPECT_EQ(readAll(text, StateComments::WholeLine),
              (Lines{{3, "chip X"}, {5, "program 0 1 # note"}, {7, "\f"}, {8, "end"}}));
    // A comment that leaves only blanks leaves nothing.
    EXPECT_EQ(readAll("x\n \t# c\r\n#\ny#z\n", StateComments::Anywhere),
              (Lines{{1, "x"}, {4, "y"}}));
    EXPECT_TRUE(readAll("", StateComments::WholeLine).empty());

    std::istringstream in("a\n\n");
    StateTextReader reader(in, StateComments::WholeLine);
    EXPECT_EQ(reader.lineNumber(), 0);
    std::string_view line;
    ASSERT_TRUE(reader.next(line));
    EXPECT_FALSE(reader.next(line));
    EXPECT_EQ(reader.lineNumber(), 2) << "the blank lines read before the end count";
}

TEST(StateTextReader, FieldsAndHexNumbers) {
    EXPECT_EQ(stateFields(" a\tbb\v\fc\r\nd  "),
              (std::vector<std::string_view>{"a", "bb", "c", "d"}));
    EXPECT_TRUE(stateFields("").empty());
    EXPECT_TRUE(stateFields(" \f\v").empty());
    // Bytes beyond ASCII and NULs belong to a field.
    const std::string_view odd("a\xC3\xA9#\0b c", 8);
    EXPECT_EQ(stateFields(odd), (std::vector<std::string_view>{odd.substr(0, 6), "c"}));

    uint32_t value = 7;
    for (const auto& [text, expected] :
         {std::pair{"0", 0u}, std::pair{"fF", 0xFFu}, std::pair{"FFFFFFFF", 0xFFFFFFFFu},
          std::pair{"00000012", 0x12u}}) {
        EXPECT_TRUE(parseStateHex(text, value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
    for (const char* bad : {"", "123456789", "12G", "0x1", "+1", "-1", " 1", "1 "}) {
        value = 7;
        EXPECT_FALSE(parseStateHex(bad, value)) << bad;
        EXPECT_EQ(value, 7u) << bad;
    }
}

bool loads(const char* chipName, const std::string& text) {
    auto chip = makeSimChip(chipName);
    std::istringstream in(text);
    return chip->loadState(in);
}

// The 12/14-bit text ends comments anywhere and lets other white space stand alone; the
// PIC18 text knows only whole-line comments, and a line of form feeds is no blank line.
TEST(StateTextReader, EachModelKeepsItsOwnCommentAndBlankRules) {
    EXPECT_TRUE(loads("PIC16F84A", "chip PIC16F84A # socket 1\nprogram 0000 1234#x\n\f\v\n"));
    EXPECT_TRUE(loads("PIC16F84A", "chip PIC16F84A extra words\n"));
    EXPECT_TRUE(loads("PIC18F452", "chip PIC18F452\n\t# comment\nend\n\n#\n"));
    EXPECT_FALSE(loads("PIC18F452", "chip PIC18F452 # socket 1\nend\n"));
    EXPECT_FALSE(loads("PIC18F452", "chip PIC18F452\nend # last\n"));
    EXPECT_FALSE(loads("PIC18F452", "chip PIC18F452\n\f\nend\n"));
    EXPECT_FALSE(loads("PIC18F452", "chip PIC18F452\nend\n\v\n"));
}

TEST(StateTextReader, MidrangeRefusalNamesItsLine) {
    auto chip = makeSimChip("PIC16F628A");
    for (const auto& [text, line] :
         {std::pair{"# saved\n\nchip PIC16F628A\r\nprogram 0000 1\n  # x\nprogram 0800 0\n", 6},
          std::pair{"program 0000 2805\nchip PIC16F628A\n", 1},
          std::pair{"chip PIC16F628A\nchip PIC16F628A\n", 2},
          std::pair{"chip PIC16F628A\ndata 0000 12 100\n", 2},
          std::pair{"# nothing but comments\n\n", 0}}) {
        std::istringstream in(text);
        EXPECT_FALSE(chip->loadState(in)) << text;
        EXPECT_EQ(chip->loadErrorLine(), line) << text;
    }
}

}  // namespace
}  // namespace velkaro::sim
