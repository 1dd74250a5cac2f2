#include "operations/midrange/device_erase_cmd.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "base/hex_digit.h"
#include "image/listing.h"

namespace velkaro {
namespace {

bool isBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlankOrControl(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlankOrControl(text.back()))
        text.remove_suffix(1);
    return text;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Leading blanks, an optional sign and decimal digits, as atoi reads them; 0 without digits.
// Saturates instead of overflowing.
int64_t decimalValue(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && isBlankOrControl(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i)
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), INT32_MAX);
    return negative ? -value : value;
}

// Whether a "%x" scan finds a number in `text`: an optional sign and "0x", then a digit.
bool holdsHexNumber(std::string_view text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    if (i < text.size() && hexDigit(text[i]) >= 0)
        return true;
    return i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'X' || text[i + 1] == 'x') &&
           hexDigit(text[i + 2]) >= 0;
}

// What one string may still do: tokens and loop turns, and time asleep.
struct Budget {
    int64_t steps = kDeviceEraseCmdMaxSteps;
    uint64_t waitedMs = 0;
};

void runToken(ProgrammerLink& link, char letter, std::string_view argument, Budget& budget) {
    argument = trimmed(argument);
    if (letter == 'W') {
        const auto ms = static_cast<uint32_t>(
            std::clamp<int64_t>(decimalValue(argument) + 10, 0, kDeviceEraseCmdMaxWaitMs));
        if (budget.waitedMs + ms > kDeviceEraseCmdMaxTotalWaitMs) {
            budget.steps = 0;  // the string stops here
            return;
        }
        budget.waitedMs += ms;
        link.clock().sleepMilliseconds(ms);
        return;
    }
    if ((letter != 'C' && letter != 'D') || !holdsHexNumber(argument))
        return;  // a misspelt number sends nothing rather than some other command
    const auto value = static_cast<uint16_t>(ParseHex(argument) & 0xFFFF);
    if (letter == 'C')
        link.SendCommand(value);
    else
        link.SendData(value);
}

// Runs `command` one level below `level`; every token and every turn of a loop uses one
// of the budget's steps. False on a syntax error of this list or when the budget ran out.
bool runList(ProgrammerLink& link, std::string_view command, int level, Budget& budget) {
    int64_t& steps = budget.steps;
    if (level > kDeviceEraseCmdMaxLevel)
        return false;
    std::string text(trimmed(command));
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });

    std::string_view rest = text;
    while (!rest.empty()) {
        if (steps <= 0)
            return false;
        --steps;
        const char letter = rest.front();
        rest.remove_prefix(1);
        if (letter == 'L') {
            const size_t open = rest.find('(');
            if (open == std::string_view::npos)
                return false;
            const int64_t count = decimalValue(rest.substr(0, open));
            rest.remove_prefix(open + 1);
            const size_t close = eraseCmdGroupEnd(rest);
            if (close == std::string_view::npos)
                return false;
            const std::string body(rest.substr(0, close));
            rest.remove_prefix(close + 1);
            if (!rest.empty() && rest.front() == ',')
                rest.remove_prefix(1);
            for (int64_t i = 0; i < count && steps > 0; ++i) {
                --steps;
                runList(link, body, level + 1, budget);
            }
            continue;
        }
        const size_t comma = rest.find(',');
        const std::string_view argument = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        runToken(link, letter, argument, budget);
    }
    return true;
}

}  // namespace

bool runDeviceEraseCmd(ProgrammerLink& link, std::string_view command, int level) {
    Budget budget;
    return runList(link, command, level, budget) && budget.steps > 0;
}

}  // namespace velkaro
