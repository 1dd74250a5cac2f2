#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velkaro {

class IniFile;
// Supplies a parsed Config.ini on demand.
using ConfigSource = std::function<const IniFile&()>;

// One named configuration field of Config.ini.
struct ConfigField {
    std::string label;
    uint16_t mask = 0;
    int32_t word = 0;  // configuration word 1..9; 0 = none
    std::vector<std::string> optionNames;
    std::vector<std::string> optionValues;  // parallel to optionNames, raw texts
    int selected = -1;                      // index into optionNames, -1 = none
};

// The up to 60 rows the main window shows. Rows beyond count() are unused.
class ConfigFieldTable {
public:
    static constexpr int kMaxRows = 60;

    // Rebuilds from section `name` of the Config.ini at `configIniPath`, unless `name`
    // equals the name last built from (exact comparison). Returns whether it rebuilt.
    bool BuildConfigFields(const std::string& configIniPath, const std::string& name);
    // The same, with Config.ini supplied by `config`, which is called only when the table
    // is rebuilt with a non-empty name.
    bool BuildConfigFields(const ConfigSource& config, const std::string& name);

    int count() const { return mCount; }
    const ConfigField& row(int index) const { return mRows[index]; }
    ConfigField& row(int index) { return mRows[index]; }
    const std::string& builtName() const { return mBuiltName; }

private:
    std::array<ConfigField, kMaxRows> mRows{};
    int mCount = 0;
    std::string mBuiltName;
};

// Parses one Config.ini entry ("label(mask,word)(names)(values)").
ConfigField parseConfigEntry(std::string_view entry);
// Splits a comma/blank separated option list with double-quote rules.
std::vector<std::string> splitOptionList(std::string_view text);

// New configuration word after choosing an option: (value | (current & ~mask)) & 0xFFFF.
uint16_t applyConfigOption(uint16_t current, uint16_t mask, int32_t optionValue);
// Index of the first option whose value equals word & mask, or -1.
int matchingConfigOption(const ConfigField& field, uint16_t word);
// Brings every row's selection up to date with the configuration words (rows whose word
// number is 1..10); rows without a matching option keep their selection.
void SyncConfigBoxes(ConfigFieldTable& table, const uint16_t* configWords, int wordCount);

}  // namespace velkaro
