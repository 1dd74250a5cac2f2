#include "operations/first_difference.h"

#include <cstdio>

#include "link/link_messages.h"

namespace velkaro {
namespace {

std::string hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*Xh", digits, static_cast<unsigned>(value));
    return text;
}

// Data bytes show as bytes, everything else as words.
int valueDigits(const FirstDifference& where) {
    return where.region == FirstDifference::Region::Data ? 2 : 4;
}

std::string placeText(const FirstDifference& where) {
    switch (where.region) {
        case FirstDifference::Region::Program:
            return "プログラムメモリ " + hex(where.address, 4);
        case FirstDifference::Region::ProgramBlock:
            return "プログラムメモリ " + hex(where.address, 4) + "〜" + hex(where.lastAddress, 4) +
                   " のブロック";
        case FirstDifference::Region::Id:
            return "ID " + hex(where.address, 4);
        case FirstDifference::Region::Config:
            return "Config(" + hex(where.address, 6) + ")";
        case FirstDifference::Region::Data:
            return "データメモリ " + hex(where.address, 4);
        case FirstDifference::Region::None:
            break;
    }
    return {};
}

}  // namespace

std::string_view regionErrorMessage(ResultCode code) {
    switch (code) {
        case kResultProgramError:
            return kMsgProgramMemoryError;
        case kResultDataError:
            return kMsgDataMemoryError;
        case kResultConfigError:
            return kMsgConfigMemoryError;
        default:
            return {};
    }
}

std::string verifyFailureText(std::string_view resultMessage, const FirstDifference& where) {
    std::string text(resultMessage);
    if (!where.known())
        return text;
    const int digits = valueDigits(where);
    return text + "\n最初に異なるアドレス: " + placeText(where) + "（バッファ " +
           hex(where.expected, digits) + "、デバイス " + hex(where.found, digits) + "）";
}

std::string blankFailureText(std::string_view resultMessage, const FirstDifference& where) {
    std::string text(resultMessage);
    if (!where.known())
        return text;
    if (where.region == FirstDifference::Region::ProgramBlock)
        return text + "\nブランクでない最初のブロック: " + placeText(where);
    return text + "\nブランクでない最初のアドレス: " + placeText(where) + "（読み出し値 " +
           hex(where.found, valueDigits(where)) + "）";
}

}  // namespace velkaro
