#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/result_code.h"

namespace velkaro {

// Where a verify or a blank check first found the chip other than expected, for the line
// below the result's message.
struct FirstDifference {
    enum class Region { None, Program, ProgramBlock, Id, Config, Data };
    Region region = Region::None;
    // Program memory: the word index, as the listing numbers it; ID and configuration: the
    // address the device gives them (as the configuration labels show it); data: the byte.
    uint32_t address = 0;
    uint32_t lastAddress = 0;  // ProgramBlock: the block's last word (the programmer tests
                               // a block at once and does not say which word)
    uint32_t expected = 0;     // the buffer's value (verify) or the erased value (blank check)
    uint32_t found = 0;        // the chip's value, under the same mask
    bool known() const { return region != Region::None; }
};

// The fixed message of a program, data or configuration error (empty for other codes).
std::string_view regionErrorMessage(ResultCode code);

// The result's message with the place below it, e.g. "…でエラーが発生しました。" and
// "最初に異なるアドレス: プログラムメモリ 0012h（バッファ 2805h、デバイス 3FFFh）". Only the
// message when nothing is known.
std::string verifyFailureText(std::string_view resultMessage, const FirstDifference& where);
// The same for a blank check: "ブランクでない最初のアドレス: …（読み出し値 …h）".
std::string blankFailureText(std::string_view resultMessage, const FirstDifference& where);

}  // namespace velkaro
