// Saving and loading a 12- or 14-bit chip's non-volatile contents as text (see sim/README.md).
#include <algorithm>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

#include "base/text_compare.h"
#include "sim/midrange/midrange_chip.h"
#include "sim/midrange/midrange_chip_internal.h"
#include "sim/state_text_reader.h"

namespace velkaro::sim {

namespace {

constexpr int kWordsPerLine = 8;
constexpr int kBytesPerLine = 16;

}  // namespace

std::vector<uint16_t> MidrangeChip::erasedConfigArea() const {
    MidrangeChip fresh(mDevice);
    fresh.eraseConfigArea(true);
    return fresh.mConfigArea;
}

// State file: see src/sim/README.md. Only lines that differ from an erased chip are written.
void MidrangeChip::saveState(std::ostream& out) const {
    out << "# Velkaro simulated chip state\n";
    out << "chip " << mDevice.name << "\n";
    auto words = [&](const char* keyword, const std::vector<uint16_t>& area,
                     const std::vector<uint16_t>& erased, uint32_t base) {
        for (size_t i = 0; i < area.size(); i += kWordsPerLine) {
            const size_t end = std::min(area.size(), i + kWordsPerLine);
            if (std::equal(area.begin() + i, area.begin() + end, erased.begin() + i))
                continue;
            out << keyword << ' ' << hexText(static_cast<uint32_t>(base + i), 4);
            for (size_t k = i; k < end; ++k)
                out << ' ' << hexText(area[k], is12Bit() ? 3 : 4);
            out << '\n';
        }
    };
    words("program", mProgram, std::vector<uint16_t>(mProgram.size(), blank()), 0);
    words("config", mConfigArea, erasedConfigArea(), configAreaBase());
    for (size_t i = 0; i < mData.size(); i += kBytesPerLine) {
        const size_t end = std::min(mData.size(), i + kBytesPerLine);
        if (std::all_of(mData.begin() + i, mData.begin() + end,
                        [](uint8_t b) { return b == 0xFF; }))
            continue;
        out << "data " << hexText(static_cast<uint32_t>(i), 4);
        for (size_t k = i; k < end; ++k)
            out << ' ' << hexText(mData[k], 2);
        out << '\n';
    }
}

bool MidrangeChip::loadState(std::istream& in) {
    StateTextReader lines(in, StateComments::Anywhere);
    auto refuse = [&](bool wholeText = false) {
        mLoadErrorLine = wholeText ? 0 : lines.lineNumber();
        return false;
    };
    std::vector<uint16_t> program(mProgram.size(), blank());
    std::vector<uint16_t> configArea = erasedConfigArea();
    std::vector<uint8_t> data(mData.size(), 0xFF);
    bool named = false;
    std::string_view line;
    while (lines.next(line)) {
        const std::vector<std::string_view> fields = stateFields(line);
        if (fields.empty())
            continue;  // form feeds or vertical tabs alone hold nothing either
        const std::string_view keyword = fields[0];
        if (keyword == "chip") {
            // Anything after the name is ignored.
            if (named || fields.size() < 2 || !equalsIgnoreCase(fields[1], mDevice.name))
                return refuse();
            named = true;
            continue;
        }
        if (!named || (keyword != "program" && keyword != "config" && keyword != "data"))
            return refuse();
        uint32_t address = 0;
        if (fields.size() < 2 || !parseStateHex(fields[1], address))
            return refuse();
        for (size_t i = 2; i < fields.size(); ++i) {
            uint32_t value = 0;
            if (!parseStateHex(fields[i], value))
                return refuse();
            if (keyword == "program") {
                if (address >= program.size() || value > blank())
                    return refuse();
                program[address] = static_cast<uint16_t>(value);
            } else if (keyword == "config") {
                const uint32_t base = configAreaBase();
                if (address < base || address - base >= configArea.size() || value > blank())
                    return refuse();
                configArea[address - base] = static_cast<uint16_t>(value);
            } else {
                if (address >= data.size() || value > 0xFF)
                    return refuse();
                data[address] = static_cast<uint8_t>(value);
            }
            ++address;
        }
    }
    if (!named)
        return refuse(true);
    mProgram = std::move(program);
    mConfigArea = std::move(configArea);
    mData = std::move(data);
    return true;
}

}  // namespace velkaro::sim
