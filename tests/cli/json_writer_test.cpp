// The --json result writer: every string it emits must be valid JSON in UTF-8.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/json_writer.h"

namespace velkaro::cli {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(JsonString, EscapesQuotesBackslashesAndControlCharacters) {
    EXPECT_EQ(jsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(jsonString("1\r\n2\t"), "\"1\\r\\n2\\t\"");
    EXPECT_EQ(jsonString(std::string("\x01\x1f", 2)), "\"\\u0001\\u001f\"");
}

TEST(JsonString, KeepsWellFormedUtf8AndReplacesEveryOtherByte) {
    EXPECT_EQ(jsonString("デバイスはブランクです。"), "\"デバイスはブランクです。\"");
    EXPECT_EQ(jsonString("\xF0\x9F\x98\x80"), "\"\xF0\x9F\x98\x80\"");  // four bytes
    // A Latin-1 file name, a lone continuation byte, a sequence cut short at the end.
    EXPECT_EQ(jsonString("a\xFF"
                         "b"),
              "\"a" + kReplacement + "b\"");
    EXPECT_EQ(jsonString("\x80"), "\"" + kReplacement + "\"");
    EXPECT_EQ(jsonString("x\xE3\x83"), "\"x" + kReplacement + kReplacement + "\"");
    // Overlong forms, a surrogate and a value past U+10FFFF are not UTF-8 either.
    EXPECT_EQ(jsonString("\xC0\xAF"), "\"" + kReplacement + kReplacement + "\"");
    EXPECT_EQ(jsonString("\xE0\x80\xAF"), "\"" + kReplacement + kReplacement + kReplacement + "\"");
    EXPECT_EQ(jsonString("\xED\xA0\x80"), "\"" + kReplacement + kReplacement + kReplacement + "\"");
    EXPECT_EQ(jsonString("\xF4\x90\x80\x80").size(), 2 + 4 * kReplacement.size());
}

TEST(JsonObject, MembersInOrderWithListsAndBooleans) {
    JsonObject object;
    object.add("command", "read")
        .add("exitCode", 6)
        .add("blank", false)
        .add("messages", std::vector<std::string>{"x\xFF", "y"});
    EXPECT_EQ(object.text(),
              "{\"command\":\"read\",\"exitCode\":6,\"blank\":false,"
              "\"messages\":[\"x" +
                  kReplacement + "\",\"y\"]}");
}

}  // namespace
}  // namespace velkaro::cli
