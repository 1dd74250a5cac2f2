// The shipped device database against an independent source: gputils' processor data (and
// the device-ID table of the reference notes). device.ini and the simulator's chip models
// come from the same programming documents; gputils does not.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "catalogue/device_catalogue.h"
#include "config_ini_generator.h"
#include "gputils_listing.h"
#include "support/paths.h"

namespace velkaro {
namespace {

using tools::GputilsProcessor;

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

uint16_t tsvNumber(const std::string& cell) {
    return static_cast<uint16_t>(std::strtoul(cell.c_str(), nullptr, 0));
}

// Device-ID mask and value by device name, from the reference table when it is there.
std::map<std::string, std::pair<uint16_t, uint16_t>> referenceDeviceIds() {
    std::map<std::string, std::pair<uint16_t, uint16_t>> ids;
    std::ifstream in(test::referenceDir() + "/pic-devices.tsv");
    std::string line;
    std::vector<std::string> header;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream row(line);
        for (std::string cell; std::getline(row, cell, '\t');)
            cells.push_back(cell);
        if (header.empty()) {
            header = cells;
            continue;
        }
        std::map<std::string, std::string> byColumn;
        for (size_t i = 0; i < cells.size() && i < header.size(); ++i)
            byColumn[header[i]] = cells[i];
        ids[byColumn["name"]] = {tsvNumber(byColumn["devid_mask"]),
                                 tsvNumber(byColumn["devid_value"])};
    }
    return ids;
}

// What the definition's configuration words must be by gputils: ten masks and the
// erased values under them.
struct ExpectedConfig {
    int count = 0;
    std::array<uint16_t, 10> mask{};
    std::array<uint16_t, 10> value{};
};

ExpectedConfig expectedConfig(const GputilsProcessor& p, uint16_t blankWord) {
    ExpectedConfig e;
    if (!p.configFirst)
        return e;
    const uint32_t base = p.byteAddressed() ? 0x300000u : *p.configFirst;
    e.count = static_cast<int>(tools::placeConfig(p, *p.configLast, base).word);
    for (const auto& word : p.config) {
        const auto at = tools::placeConfig(p, word.address, base);
        e.mask[at.word - 1] |= static_cast<uint16_t>(word.mask << at.shift);
        e.value[at.word - 1] |= static_cast<uint16_t>((word.defaultValue & word.mask) << at.shift);
    }
    // A word without implemented bits (CONFIG3 of the 18F248) keeps the mask 0: the chip
    // reads it as 0 whatever a file holds there.
    (void)blankWord;
    return e;
}

// The device IDs against Microchip's programming specifications, tabled in the reference.
TEST(ShippedDevicesVsReference, DeviceIds) {
    const auto referenceIds = referenceDeviceIds();
    if (referenceIds.empty())
        GTEST_SKIP() << "no device table at " << test::referenceDir() << "/pic-devices.tsv";
    DeviceCatalogue catalogue(test::sourceDir() + "/data");
    int compared = 0;
    for (const std::string& name : catalogue.FillDeviceList()) {
        const auto ids = referenceIds.find(name);
        if (ids == referenceIds.end())
            continue;
        SCOPED_TRACE(name);
        SilentMessageSink sink;
        ConfigFieldTable fields;
        DeviceDefinition d;
        catalogue.LoadSection(name, d, fields, sink);
        EXPECT_EQ(d.DeviceIDMask, ids->second.first);
        EXPECT_EQ(d.DeviceID, ids->second.second);
        ++compared;
    }
    EXPECT_GT(compared, 0) << "the reference table names none of the shipped devices";
}

TEST(ShippedDevicesVsGputils, SizesAddressesAndConfiguration) {
    if (!tools::gputilsAvailable())
        GTEST_SKIP() << "gpasm (gputils) is not installed; ./test.sh installs it";
    DeviceCatalogue catalogue(test::sourceDir() + "/data");
    int compared = 0;
    for (const std::string& name : catalogue.FillDeviceList()) {
        SCOPED_TRACE(name);
        SilentMessageSink sink;
        ConfigFieldTable fields;
        DeviceDefinition d;
        catalogue.LoadSection(name, d, fields, sink);

        const auto p = tools::queryGputils(lower(name));
        if (name == "PIC16C84") {
            // gputils lists no configuration data for the 16C84 and so no listing at all;
            // its values are checked against the reference table and the chip model.
            EXPECT_FALSE(p.has_value()) << "gputils knows the 16C84 now: compare it";
            continue;
        }
        ASSERT_TRUE(p.has_value()) << "gputils does not know " << name;
        ++compared;
        EXPECT_EQ(static_cast<uint32_t>(d.ProgSize), p->programWords());
        EXPECT_EQ(static_cast<uint32_t>(d.EpromSize), p->eepromBytes());
        ASSERT_TRUE(p->idFirst.has_value());
        EXPECT_EQ(static_cast<uint32_t>(d.IdAdr), *p->idFirst);
        EXPECT_EQ(static_cast<uint32_t>(d.IdCount), *p->idLast - *p->idFirst + 1);
        ASSERT_TRUE(p->configFirst.has_value());
        EXPECT_EQ(static_cast<uint32_t>(d.ConfigBaseAdr),
                  p->byteAddressed() ? 0x300000u : *p->configFirst);

        const ExpectedConfig e = expectedConfig(*p, d.BlankWord);
        EXPECT_EQ(d.ConfigCount, e.count);
        for (int k = 0; k < e.count && k < 10; ++k) {
            EXPECT_EQ(d.ConfigMask[k], e.mask[k]) << "ConfigMask" << k + 1;
            EXPECT_EQ(d.ConfigValue[k] & e.mask[k], e.value[k]) << "ConfigValue" << k + 1;
        }
    }
    EXPECT_GE(compared, 100);
}

// Config.ini is generated; a hand edit or a device whose ConfigSetting has no section
// shows up here.
TEST(ShippedConfigIni, IsWhatTheGeneratorMakesFromGputils) {
    if (!tools::gputilsAvailable())
        GTEST_SKIP() << "gpasm (gputils) is not installed; ./test.sh installs it";
    std::vector<std::string> missing;
    const auto sections = tools::configSectionsFromGputils(test::sourceDir() + "/data", missing);
    EXPECT_TRUE(missing.empty()) << missing.front() << " is unknown to gputils";
    std::ifstream in(test::sourceDir() + "/data/Config.ini", std::ios::binary);
    std::stringstream committed;
    committed << in.rdbuf();
    EXPECT_TRUE(committed.str() == tools::generateConfigIni(sections))
        << "data/Config.ini differs from the generated file: run "
           "build/bin/gen-config-ini data data/Config.ini";
}

}  // namespace
}  // namespace velkaro
