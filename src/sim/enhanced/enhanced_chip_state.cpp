// Saving and loading an enhanced 14-bit chip's non-volatile contents as text (see
// sim/README.md): the format of the 12/14-bit chips, with the configuration space at 0x8000.
#include <algorithm>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

#include "base/text_compare.h"
#include "sim/enhanced/enhanced_chip.h"
#include "sim/enhanced/enhanced_chip_internal.h"
#include "sim/state_text_reader.h"

namespace velkaro::sim {

using namespace enhanced;

namespace {

constexpr size_t kWordsPerLine = 8;
constexpr size_t kBytesPerLine = 16;

template <typename T>
void writeLines(std::ostream& out, const char* keyword, const std::vector<T>& area,
                const std::vector<T>& erased, uint32_t base, size_t perLine, int width) {
    for (size_t i = 0; i < area.size(); i += perLine) {
        const size_t end = std::min(area.size(), i + perLine);
        if (std::equal(area.begin() + i, area.begin() + end, erased.begin() + i))
            continue;
        out << keyword << ' ' << hexText(static_cast<uint32_t>(base + i), 4);
        for (size_t k = i; k < end; ++k)
            out << ' ' << hexText(area[k], width);
        out << '\n';
    }
}

}  // namespace

// Only lines that differ from an erased chip are written.
void EnhancedChip::saveState(std::ostream& out) const {
    out << "# Velkaro simulated chip state\n";
    out << "chip " << mDevice.name << "\n";
    writeLines(out, "program", mProgram, std::vector<uint16_t>(mProgram.size(), kBlank), 0,
               kWordsPerLine, 4);
    writeLines(out, "config", mConfig, factoryConfigSpace(), kConfigBase, kWordsPerLine, 4);
    writeLines(out, "data", mData, std::vector<uint8_t>(mData.size(), 0xFF), 0, kBytesPerLine, 2);
}

bool EnhancedChip::loadState(std::istream& in) {
    StateTextReader lines(in, StateComments::Anywhere);
    auto refuse = [&](bool wholeText = false) {
        mLoadErrorLine = wholeText ? 0 : lines.lineNumber();
        return false;
    };
    std::vector<uint16_t> program(mProgram.size(), kBlank);
    std::vector<uint16_t> config = factoryConfigSpace();
    std::vector<uint8_t> data(mData.size(), 0xFF);
    bool named = false;
    std::string_view line;
    while (lines.next(line)) {
        const std::vector<std::string_view> fields = stateFields(line);
        if (fields.empty())
            continue;
        const std::string_view keyword = fields[0];
        if (keyword == "chip") {
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
        for (size_t i = 2; i < fields.size(); ++i, ++address) {
            uint32_t value = 0;
            if (!parseStateHex(fields[i], value))
                return refuse();
            if (keyword == "program") {
                if (address >= program.size() || value > kBlank)
                    return refuse();
                program[address] = static_cast<uint16_t>(value);
            } else if (keyword == "config") {
                if (address < kConfigBase || address - kConfigBase >= config.size() ||
                    value > kBlank)
                    return refuse();
                config[address - kConfigBase] = static_cast<uint16_t>(value);
            } else {
                if (address >= data.size() || value > 0xFF)
                    return refuse();
                data[address] = static_cast<uint8_t>(value);
            }
        }
    }
    if (!named)
        return refuse(true);
    mProgram = std::move(program);
    mConfig = std::move(config);
    mData = std::move(data);
    return true;
}

}  // namespace velkaro::sim
