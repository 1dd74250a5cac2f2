#include "support/hex_devices.h"

namespace velkaro::test {

DeviceDefinition midrangeDevice() {
    DeviceDefinition device;
    device.Algorithm = 0;
    device.BitWidth = 14;
    device.BlankWord = 0x3FFF;
    device.ProgSize = 1024;
    device.EpromSize = 64;
    device.IdAdr = 0x2000;
    device.IdCount = 4;
    device.ConfigBaseAdr = 0x2007;
    device.ConfigCount = 1;
    device.ConfigMask = {0x3FFF, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    device.ConfigValue = {0x3FFF, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    return device;
}

DeviceDefinition enhancedMidrangeDevice() {
    DeviceDefinition device = midrangeDevice();
    device.Algorithm = 3;
    device.ProgSize = 4096;
    device.EpromSize = 256;
    device.IdAdr = 0x8000;
    device.ConfigBaseAdr = 0x8007;
    device.ConfigCount = 2;
    device.DeviceIDAdr = 0x8006;
    device.ConfigMask = {0x3FFF, 0x3703, 0, 0, 0, 0, 0, 0, 0, 0};
    device.ConfigValue = {0x3FFF, 0x3703, 0, 0, 0, 0, 0, 0, 0, 0};
    return device;
}

DeviceDefinition pic18Device(int progWords) {
    DeviceDefinition device;
    device.Algorithm = 1;
    device.BitWidth = 16;
    device.BlankWord = 0xFFFF;
    device.ProgSize = progWords;
    device.EpromSize = 256;
    device.IdAdr = 0x200000;
    device.IdCount = 8;
    device.ConfigBaseAdr = 0x300000;
    device.ConfigCount = 7;
    device.ConfigMask = {0x2700, 0x0F1F, 0x8300, 0x0085, 0xC00F, 0xE00F, 0x400F, 0, 0, 0};
    device.ConfigValue = {0x2700, 0x0F1F, 0x8300, 0x0085, 0xC00F, 0xE00F, 0x400F, 0, 0, 0};
    return device;
}

MemoryImage blankImage(const DeviceDefinition& device) {
    MemoryImage image;
    image.ResizeImage(device);
    return image;
}

}  // namespace velkaro::test
