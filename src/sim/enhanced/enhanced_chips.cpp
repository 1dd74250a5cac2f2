// The simulator's own table of enhanced 14-bit core devices. Sizes, latch and erase-row
// sizes, device IDs and minimum times come from the devices' programming documents as
// collected in the project's reference notes; configuration masks and the CP, CPD, FOSC,
// MCLRE and LVP bits from gputils' processor data. See src/sim/README.md for what is
// judgement.
#include "base/text_compare.h"
#include "sim/chip_families.h"
#include "sim/enhanced/enhanced_chip.h"

namespace velkaro::sim {

namespace {

// clang-format off
// document, TPINT row, TPINT configuration, EEPROM byte, TPEXT, TDIS, TERAB, TERAR (µs).
// The EEPROM byte time is TPINT as the configuration words have it (see README).
constexpr EnhancedTimes kDS41390{"DS41390", 2500, 5000, 5000, 2100, 300, 5000, 2500};
constexpr EnhancedTimes kDS41439{"DS41439", 2500, 5000, 5000, 2100, 100, 5000, 2500};
constexpr EnhancedTimes kDS41397{"DS41397", 2500, 5000, 5000, 2100, 300, 5000, 2500};
constexpr EnhancedTimes kDS41573{"DS41573", 2500, 5000, 5000, 2100, 300, 5000, 2500};
constexpr EnhancedTimes kDS41620{"DS41620", 2500, 5000, 5000, 2100, 300, 5000, 2500};
constexpr EnhancedTimes kDS41442{"DS41442", 2500, 5000, 5000, 2100, 300, 5000, 2500};
constexpr EnhancedTimes kDS40001683{"DS40001683", 2500, 5000, 5000, 2100, 300, 5000, 2500};
constexpr EnhancedTimes kDS40001720{"DS40001720", 2500, 5000, 5000, 2100, 300, 5000, 2500};

// Device ID words carry revision 2: in bits 4:0 of 0x8006, or, on the parts with a full
// 14-bit device ID, as revision ID 0x2002 at 0x8005.
// name, times, program words, EEPROM bytes, latches, erase row, device ID, revision ID,
// {configuration masks}, CPD bit, FOSC bits, internal-oscillator value, calibration words
const std::vector<EnhancedDevice> kDevices = {
    {"PIC12F1822", &kDS41390, 2048, 256, 16, 16, 0x2702, 0, {0x3FFF, 0x3703, 0}, 0x0100, 0x0007, 0x0004, 2},
    {"PIC16F1823", &kDS41390, 2048, 256, 16, 16, 0x2722, 0, {0x3FFF, 0x3703, 0}, 0x0100, 0x0007, 0x0004, 2},
    {"PIC16F1824", &kDS41390, 4096, 256, 32, 32, 0x2742, 0, {0x3FFF, 0x3703, 0}, 0x0100, 0x0007, 0x0004, 2},
    {"PIC16F1825", &kDS41390, 8192, 256, 32, 32, 0x2762, 0, {0x3FFF, 0x3703, 0}, 0x0100, 0x0007, 0x0004, 2},
    {"PIC16F1826", &kDS41390, 2048, 256, 8, 32, 0x2782, 0, {0x3FFF, 0x3703, 0}, 0x0100, 0x0007, 0x0004, 2},
    {"PIC16F1827", &kDS41390, 4096, 256, 8, 32, 0x27A2, 0, {0x3FFF, 0x3703, 0}, 0x0100, 0x0007, 0x0004, 2},
    {"PIC16F1828", &kDS41390, 4096, 256, 32, 32, 0x27C2, 0, {0x3FFF, 0x3703, 0}, 0x0100, 0x0007, 0x0004, 2},
    {"PIC16F1829", &kDS41390, 8192, 256, 32, 32, 0x27E2, 0, {0x3FFF, 0x3703, 0}, 0x0100, 0x0007, 0x0004, 2},
    {"PIC12F1840", &kDS41439, 4096, 256, 32, 32, 0x1B82, 0, {0x3FFF, 0x3703, 0}, 0x0100, 0x0007, 0x0004, 2},
    {"PIC16F1847", &kDS41439, 8192, 256, 32, 32, 0x1482, 0, {0x3FFF, 0x3703, 0}, 0x0100, 0x0007, 0x0004, 2},
    {"PIC16F1933", &kDS41397, 4096, 256, 8, 32, 0x2302, 0, {0x3FFF, 0x3733, 0}, 0x0100, 0x0007, 0x0004, 2},
    {"PIC16F1934", &kDS41397, 4096, 256, 8, 32, 0x2342, 0, {0x3FFF, 0x3733, 0}, 0x0100, 0x0007, 0x0004, 2},
    {"PIC16F1936", &kDS41397, 8192, 256, 8, 32, 0x2362, 0, {0x3FFF, 0x3733, 0}, 0x0100, 0x0007, 0x0004, 2},
    {"PIC16F1937", &kDS41397, 8192, 256, 8, 32, 0x2382, 0, {0x3FFF, 0x3733, 0}, 0x0100, 0x0007, 0x0004, 2},
    {"PIC16F1938", &kDS41397, 16384, 256, 8, 32, 0x23A2, 0, {0x3FFF, 0x3733, 0}, 0x0100, 0x0007, 0x0004, 2},
    {"PIC16F1939", &kDS41397, 16384, 256, 8, 32, 0x23C2, 0, {0x3FFF, 0x3733, 0}, 0x0100, 0x0007, 0x0004, 2},
    {"PIC16F1454", &kDS41620, 8192, 0, 32, 32, 0x3020, 0x2002, {0x3EFF, 0x3FF3, 0}, 0, 0x0007, 0x0004, 2},
    {"PIC16F1455", &kDS41620, 8192, 0, 32, 32, 0x3021, 0x2002, {0x3EFF, 0x3FF3, 0}, 0, 0x0007, 0x0004, 2},
    {"PIC16F1459", &kDS41620, 8192, 0, 32, 32, 0x3023, 0x2002, {0x3EFF, 0x2FF3, 0}, 0, 0x0007, 0x0004, 2},
    {"PIC12F1501", &kDS41573, 1024, 0, 16, 16, 0x2CC2, 0, {0x0EFB, 0x2E03, 0}, 0, 0x0003, 0x0000, 2},
    {"PIC16F1503", &kDS41573, 2048, 0, 16, 16, 0x2CE2, 0, {0x0EFB, 0x2E03, 0}, 0, 0x0003, 0x0000, 2},
    {"PIC16F1507", &kDS41573, 2048, 0, 16, 16, 0x2D02, 0, {0x0EFB, 0x2E03, 0}, 0, 0x0003, 0x0000, 2},
    {"PIC16F1508", &kDS41573, 4096, 0, 32, 32, 0x2D22, 0, {0x3EFF, 0x3E03, 0}, 0, 0x0007, 0x0004, 2},
    {"PIC16F1509", &kDS41573, 8192, 0, 32, 32, 0x2D42, 0, {0x3EFF, 0x3E03, 0}, 0, 0x0007, 0x0004, 2},
    {"PIC16F1516", &kDS41442, 8192, 0, 32, 32, 0x1682, 0, {0x3EFF, 0x3E13, 0}, 0, 0x0007, 0x0004, 2},
    {"PIC16F1518", &kDS41442, 16384, 0, 32, 32, 0x16C2, 0, {0x3EFF, 0x3E13, 0}, 0, 0x0007, 0x0004, 2},
    {"PIC16F1519", &kDS41442, 16384, 0, 32, 32, 0x16E2, 0, {0x3EFF, 0x3E13, 0}, 0, 0x0007, 0x0004, 2},
    {"PIC16F1705", &kDS40001683, 8192, 0, 32, 32, 0x3055, 0x2002, {0x3EFF, 0x3F87, 0}, 0, 0x0007, 0x0004, 8},
    {"PIC16F1709", &kDS40001683, 8192, 0, 32, 32, 0x3054, 0x2002, {0x3EFF, 0x3F87, 0}, 0, 0x0007, 0x0004, 8},
    {"PIC16F1619", &kDS40001720, 8192, 0, 32, 32, 0x307D, 0x2002, {0x3EE7, 0x2F87, 0x3F7F}, 0, 0x0007, 0x0004, 8},
};
// clang-format on

}  // namespace

const std::vector<EnhancedDevice>& enhancedDevices() {
    return kDevices;
}

const EnhancedDevice* findEnhancedDevice(std::string_view name) {
    for (const auto& device : kDevices)
        if (equalsIgnoreCase(device.name, name))
            return &device;
    return nullptr;
}

std::unique_ptr<SimChip> makeEnhancedChip(std::string_view name) {
    const EnhancedDevice* device = findEnhancedDevice(name);
    if (!device)
        return nullptr;
    return std::make_unique<EnhancedChip>(*device);
}

std::vector<std::string> enhancedChipNames() {
    std::vector<std::string> names;
    for (const auto& device : kDevices)
        names.emplace_back(device.name);
    return names;
}

}  // namespace velkaro::sim
