#include "image/memory_image.h"

#include <algorithm>

namespace velkaro {

void MemoryImage::ClearImage(const DeviceDefinition& device, bool program, bool data) {
    for (int i = 0; i < DeviceDefinition::kMaxConfigWords; ++i)
        ConfigWords[i] = static_cast<uint16_t>(device.ConfigValue[i]);
    if (program) {
        std::fill(ProgMemory.begin(), ProgMemory.end(), device.BlankWord);
        const int ids = std::clamp(device.IdCount, 0, DeviceDefinition::kMaxIdWords);
        std::fill_n(IdWords.begin(), ids, device.BlankWord);
    }
    if (data)
        std::fill(DataMemory.begin(), DataMemory.end(), uint8_t{0xFF});
    BGValue = 0;
    OscCalValue = 0;
}

void MemoryImage::ResizeImage(const DeviceDefinition& device) {
    const auto progSize = static_cast<size_t>(std::max(device.ProgSize, 0));
    const auto dataSize = static_cast<size_t>(std::max(device.EpromSize, 0));
    const bool progChanged = ProgMemory.size() != progSize;
    const bool dataChanged = DataMemory.size() != dataSize;
    if (progChanged) {
        ProgMemory.assign(progSize, device.BlankWord);
        ProgMemory.shrink_to_fit();
    }
    if (dataChanged) {
        DataMemory.assign(dataSize, 0xFF);
        DataMemory.shrink_to_fit();
    }
    const bool changed = progChanged || dataChanged;
    ClearImage(device, changed, changed);
}

}  // namespace velkaro
