// Saving and loading a PIC18's non-volatile contents as text (format in sim/README.md).
#include <cstdio>
#include <istream>
#include <ostream>
#include <string_view>

#include "base/text_compare.h"
#include "sim/pic18/pic18_chip.h"
#include "sim/state_text_reader.h"

namespace velkaro::sim {

namespace {

constexpr uint32_t kBytesPerLine = 32;

bool parseHexBytes(std::string_view text, std::vector<uint8_t>& bytes) {
    if (text.empty() || text.size() % 2 != 0)
        return false;
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        uint32_t value;
        if (!parseStateHex(text.substr(i, 2), value))
            return false;
        bytes.push_back(static_cast<uint8_t>(value));
    }
    return true;
}

void writeLine(std::ostream& out, const char* region, uint32_t address, const uint8_t* bytes,
               size_t count) {
    char head[32];
    std::snprintf(head, sizeof head, "%s %06X ", region, static_cast<unsigned>(address));
    out << head;
    for (size_t i = 0; i < count; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        out << pair;
    }
    out << '\n';
}

// Writes `data` in lines of 32 bytes, leaving out lines that are all 0xFF when `skipBlank`.
void writeRegion(std::ostream& out, const char* region, uint32_t base, const uint8_t* data,
                 size_t size, bool skipBlank) {
    for (size_t offset = 0; offset < size; offset += kBytesPerLine) {
        const size_t count = std::min<size_t>(kBytesPerLine, size - offset);
        bool blank = true;
        for (size_t i = 0; i < count; ++i)
            blank = blank && data[offset + i] == 0xFF;
        if (!(blank && skipBlank))
            writeLine(out, region, base + static_cast<uint32_t>(offset), data + offset, count);
    }
}

}  // namespace

void Pic18Chip::saveState(std::ostream& out) const {
    char line[64];
    out << "chip " << mModel.name << '\n';
    std::snprintf(line, sizeof line, "devid %04X\n", mDeviceId);
    out << line;
    writeRegion(out, "program", 0, mProgram.data(), mProgram.size(), true);
    writeRegion(out, "id", kIdAddress, mIds.data(), mIds.size(), false);
    writeRegion(out, "config", kConfigAddress, mConfig.data(), mConfig.size(), false);
    writeRegion(out, "eeprom", 0, mEeprom.data(), mEeprom.size(), true);
    for (const auto& [address, stuck] : mStuck) {
        std::snprintf(line, sizeof line, "stuck %06X %02X %02X\n", static_cast<unsigned>(address),
                      stuck.first, stuck.second);
        out << line;
    }
    out << "end\n";
}

bool Pic18Chip::loadState(std::istream& in) {
    StateTextReader lines(in, StateComments::WholeLine);
    auto refuse = [&](bool wholeText = false) {
        mLoadErrorLine = wholeText ? 0 : lines.lineNumber();
        return false;
    };
    // Everything is parsed into a fresh chip first, so a bad file changes nothing here.
    Pic18Chip fresh(mModel);
    struct Record {
        uint32_t address;
        std::vector<uint8_t> bytes;
    };
    std::vector<Record> records;
    bool sawChip = false;
    bool sawEnd = false;
    std::string_view line;
    while (lines.next(line)) {
        if (sawEnd)
            return refuse();  // nothing may follow "end"
        // A record has at most four fields; those it does not have read as empty.
        const std::vector<std::string_view> fields = stateFields(line);
        if (fields.size() > 4)
            return refuse();
        auto field = [&](size_t i) { return i < fields.size() ? fields[i] : std::string_view(); };
        const std::string_view keyword = field(0), first = field(1), second = field(2),
                               third = field(3);
        if (!sawChip) {
            if (keyword != "chip" || !equalsIgnoreCase(first, mModel.name) || !second.empty())
                return refuse();
            sawChip = true;
            continue;
        }
        uint32_t address = 0;
        if (keyword == "end" && first.empty()) {
            sawEnd = true;
        } else if (keyword == "devid") {
            uint32_t id;
            if (!parseStateHex(first, id) || id > 0xFFFF || !second.empty())
                return refuse();
            fresh.mDeviceId = static_cast<uint16_t>(id);
        } else if (keyword == "stuck") {
            uint32_t mask, level;
            if (!parseStateHex(first, address) || !parseStateHex(second, mask) ||
                !parseStateHex(third, level) || mask > 0xFF || level > 0xFF || !fresh.cell(address))
                return refuse();
            fresh.mStuck[address] = {static_cast<uint8_t>(mask), static_cast<uint8_t>(level)};
        } else {
            uint32_t base, size;
            if (keyword == "program") {
                base = 0;
                size = programBytes();
            } else if (keyword == "id") {
                base = kIdAddress;
                size = kIdBytes;
            } else if (keyword == "config") {
                base = kConfigAddress;
                size = kConfigBytes;
            } else if (keyword == "eeprom") {
                base = 0;
                size = static_cast<uint32_t>(mEeprom.size());
            } else {
                return refuse();
            }
            Record record;
            if (!parseStateHex(first, address) || !parseHexBytes(second, record.bytes) ||
                !third.empty() || address < base || address - base > size ||
                record.bytes.size() > size - (address - base))
                return refuse();
            record.address = keyword == "eeprom" ? kEepromBase + address : address;
            records.push_back(std::move(record));
        }
    }
    if (!sawEnd)
        return refuse(true);
    fresh.eraseAll();  // stuck bits apply from here on
    for (const Record& record : records)
        for (size_t i = 0; i < record.bytes.size(); ++i)
            fresh.storeByte(record.address + static_cast<uint32_t>(i), record.bytes[i]);
    mProgram = std::move(fresh.mProgram);
    mIds = fresh.mIds;
    mConfig = fresh.mConfig;
    mEeprom = std::move(fresh.mEeprom);
    mDeviceId = fresh.mDeviceId;
    mStuck = std::move(fresh.mStuck);
    return true;
}

}  // namespace velkaro::sim
