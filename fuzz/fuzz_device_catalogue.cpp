// device.ini loading: any text as device.ini loads every section it lists (following Alias
// and Default chains) within the limits the operations rely on, and the linter reads it.
#include <filesystem>
#include <string>

#include "catalogue/config_fields.h"
#include "catalogue/device_catalogue.h"
#include "catalogue/device_keys.h"
#include "catalogue/device_lint.h"
#include "catalogue/message_sink.h"
#include "harness_support.h"
#include "image/intel_hex_writer.h"
#include "image/memory_image.h"

using namespace velkaro;

namespace {

void checkLimits(const DeviceDefinition& d) {
    const auto within = [&](int64_t v, int64_t low, int64_t high, const char* what) {
        if (v < low || v > high)
            fuzz::fail(d.DeviceName + ": " + what + " " + std::to_string(v) + " out of bounds");
    };
    for (const DeviceKey& key : deviceKeys()) {
        if (key.clamped)
            within(*key.integerIn(d), key.low, key.high, key.name.c_str());
    }
    within(d.OscCal, 0, d.ProgSize == 0 ? 0 : d.ProgSize - 1, "OscCal");
    for (const int32_t address : {d.IdAdr, d.ConfigBaseAdr, d.DeviceIDAdr, d.ResetVector})
        within(address, 0, d.addressLimit(), "address");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = fuzz::textOf(data, size);
    // A folder per input: the catalogue keeps parsed files by path, size and time.
    static int run = 0;
    const std::string dir = fuzz::scratchDir() + "/" + std::to_string(++run);
    std::filesystem::create_directory(dir);
    fuzz::writeFile(dir + "/device.ini", text);

    const DeviceCatalogue catalogue(dir);
    const std::vector<std::string> names = catalogue.FillDeviceList();
    SilentMessageSink silent;
    ConfigFieldTable fields;
    int loaded = 0;
    for (const std::string& name : names) {
        if (++loaded > 16)
            break;
        DeviceDefinition device;
        catalogue.LoadSection(name, device, fields, silent);
        device.DeviceName = name;
        checkLimits(device);
        catalogue.ReadDeviceKey(name, "DataShiftOut", silent);
        // The image and the HEX layout take whatever shape the device has (small ones only:
        // a megaword image costs more than the rest of the run).
        if (device.ProgSize <= 0x4000) {
            MemoryImage image;
            image.ResizeImage(device);
            std::string hex;
            EncodeIntelHex(device, image, hex);
        }
    }
    if (!names.empty())
        catalogue.LookupDeviceById(static_cast<uint16_t>(size * 0x9E37), names);

    const DeviceFileMap map{std::string(text)};
    lintDeviceFile(map, [&](const std::string& name) {
        DeviceDefinition device;
        catalogue.LoadSection(name, device, fields, silent);
        return device;
    });

    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
