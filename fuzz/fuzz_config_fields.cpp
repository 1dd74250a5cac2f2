// Config.ini fields: any text as Config.ini builds the field table of each of its sections
// within its row limit, and choosing any option keeps the configuration word consistent.
#include "catalogue/config_fields.h"
#include "catalogue/ini_file.h"
#include "harness_support.h"

using namespace velkaro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = fuzz::textOf(data, size);
    IniFile ini;
    ini.parse(text);
    const ConfigSource source = [&ini]() -> const IniFile& { return ini; };

    uint16_t words[DeviceDefinition::kMaxConfigWords];
    for (int k = 0; k < DeviceDefinition::kMaxConfigWords; ++k)
        words[k] = static_cast<uint16_t>(0x3FFF - k * 0x0101 * (size & 7));
    int sections = 0;
    for (const std::string& name : ini.sectionNames()) {
        if (++sections > 8)
            break;
        ConfigFieldTable table;
        table.BuildConfigFields(source, name);
        if (table.count() < 0 || table.count() > ConfigFieldTable::kMaxRows)
            fuzz::fail("row count out of bounds");
        SyncConfigBoxes(table, words, DeviceDefinition::kMaxConfigWords);
        for (int r = 0; r < table.count(); ++r) {
            const ConfigField& field = table.row(r);
            if (field.selected < -1 || field.selected >= static_cast<int>(field.optionNames.size()))
                fuzz::fail("selected option out of bounds");
            for (size_t o = 0; o < field.optionValues.size() && o < 8; ++o) {
                const int32_t value = static_cast<int32_t>(o * 0x55);
                const uint16_t word = applyConfigOption(words[0], field.mask, value);
                if ((word & ~field.mask) != (words[0] & ~field.mask) && (value & ~field.mask) == 0)
                    fuzz::fail("an option changed bits outside its field");
                matchingConfigOption(field, word);
            }
        }
    }
    // Each entry on its own, as the parser sees it.
    for (const std::string& entry : ini.sectionEntries(
             ini.sectionNames().empty() ? std::string() : ini.sectionNames().front()))
        parseConfigEntry(entry);
    splitOptionList(text.substr(0, 4096));
    return 0;
}
