// Intel HEX reader: any text loads without a fault, and an image that loaded survives a
// write and a second read unchanged wherever the writer accepts it. The first byte picks
// the device (and so the memory layout).
#include "harness_support.h"
#include "image/intel_hex_reader.h"
#include "image/intel_hex_writer.h"
#include "image/memory_image.h"

using namespace velkaro;

namespace {

void compare(const DeviceDefinition& d, const MemoryImage& a, const MemoryImage& b) {
    if (a.ProgMemory != b.ProgMemory)
        fuzz::fail(d.DeviceName + ": program memory differs after the round trip");
    if (a.DataMemory != b.DataMemory)
        fuzz::fail(d.DeviceName + ": data memory differs after the round trip");
    for (int k = 0; k < d.ConfigCount; ++k)
        if (a.ConfigWords[k] != b.ConfigWords[k])
            fuzz::fail(d.DeviceName + ": configuration word differs after the round trip");
    // The byte-addressed layout gives each ID word one byte.
    const uint16_t idMask = d.traits().idHexMask;
    for (int k = 0; k < d.IdCount; ++k)
        if ((a.IdWords[k] & idMask) != (b.IdWords[k] & idMask))
            fuzz::fail(d.DeviceName + ": ID word differs after the round trip");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const auto& devices = fuzz::sampleDevices();
    const DeviceDefinition& device = devices[data[0] % devices.size()];
    MemoryImage image;
    image.ResizeImage(device);
    ReadIntelHexText(fuzz::textOf(data + 1, size - 1), device, image);

    std::string text;
    if (!EncodeIntelHex(device, image, text).ok())
        return 0;  // refused as a whole: nothing is written
    MemoryImage again;
    again.ResizeImage(device);
    const HexReadResult read = ReadIntelHexText(text, device, again);
    if (!read.clean() || !read.endRecordSeen || read.recordsAfterEnd != 0)
        fuzz::fail(device.DeviceName + ": the written file does not read cleanly");
    compare(device, image, again);
    std::string twice;
    if (!EncodeIntelHex(device, again, twice).ok() || twice != text)
        fuzz::fail(device.DeviceName + ": a second write differs from the first");
    return 0;
}
