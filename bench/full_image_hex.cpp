// Writes a full image of a device type as a HEX file: every program word and data byte set
// from a fixed pseudo-random sequence, the IDs too, the configuration words as device.ini
// gives them (no protection, no oscillator change). The input of bench/run-link-bench.sh.
#include <iostream>
#include <random>

#include "app/workspace.h"
#include "catalogue/message_sink.h"
#include "image/intel_hex_writer.h"

int main(int argc, char** argv) {
    using namespace velkaro;
    if (argc != 4) {
        std::cerr << "usage: full_image_hex DATA_DIR DEVICE OUT.hex\n";
        return 64;
    }
    Workspace workspace(argv[1]);
    SilentMessageSink messages;
    workspace.SelectDevice(argv[2], messages);
    const DeviceDefinition& d = workspace.device;
    if (d.DeviceName != argv[2]) {
        std::cerr << argv[2] << ": no such device in " << argv[1] << "\n";
        return 65;
    }
    MemoryImage image = workspace.image;
    image.ClearImage(d, true, true);
    std::mt19937 random(7);
    const uint16_t wordMask = d.isExtendedFamily() ? 0xFFFF : d.BlankWord;
    for (int32_t i = 0; i < d.ProgSize; ++i) {
        if (!(d.OscCal > 0 && i == d.OscCal))  // the calibration word stays the chip's
            image.ProgMemory[i] = static_cast<uint16_t>(random() & wordMask);
    }
    for (auto& byte : image.DataMemory)
        byte = static_cast<uint8_t>(random());
    if (!WriteIntelHex(argv[3], d, image).ok()) {
        std::cerr << argv[3] << ": cannot write\n";
        return 6;
    }
    return 0;
}
