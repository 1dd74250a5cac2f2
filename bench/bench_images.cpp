#include "bench_images.h"

#include <algorithm>
#include <cstddef>
#include <random>
#include <vector>

#include "image/intel_hex_writer.h"

namespace velkaro::bench {

namespace {

std::string record(uint32_t address, uint8_t type, const std::vector<uint8_t>& data) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::vector<uint8_t> bytes{static_cast<uint8_t>(data.size()),
                               static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                               type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    std::string text = ":";
    unsigned sum = 0;
    for (uint8_t b : bytes) {
        sum += b;
        text += kDigits[b >> 4];
        text += kDigits[b & 0xF];
    }
    const auto check = static_cast<uint8_t>(0x100 - (sum & 0xFF));
    text += kDigits[check >> 4];
    text += kDigits[check & 0xF];
    return text + "\r\n";
}

void linearAddress(std::string& out, uint32_t upper) {
    out += record(0, 0x04, {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)});
}

}  // namespace

DeviceDefinition pic18Device128k() {
    DeviceDefinition device;
    device.Algorithm = 1;
    device.BitWidth = 16;
    device.BlankWord = 0xFFFF;
    device.ProgSize = 65536;
    device.EpromSize = 1024;
    device.IdAdr = 0x200000;
    device.IdCount = 8;
    device.ConfigBaseAdr = 0x300000;
    device.ConfigCount = 7;
    device.ConfigMask = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0, 0, 0};
    return device;
}

DeviceDefinition pic16f877aDevice() {
    DeviceDefinition device;
    device.ProgSize = 8192;
    device.EpromSize = 256;
    return device;
}

MemoryImage filledImage(const DeviceDefinition& device, uint32_t seed) {
    MemoryImage image;
    image.ResizeImage(device);
    std::mt19937 random(seed);
    for (auto& w : image.ProgMemory)
        w = static_cast<uint16_t>(random()) & device.BlankWord;
    for (auto& b : image.DataMemory)
        b = static_cast<uint8_t>(random());
    for (int i = 0; i < device.IdCount; ++i)
        image.IdWords[i] = device.Algorithm == 0 ? static_cast<uint16_t>(random() & 0x3FFF)
                                                 : static_cast<uint16_t>(random() & 0xFF);
    for (int i = 0; i < device.ConfigCount; ++i)
        image.ConfigWords[i] = static_cast<uint16_t>(random()) & device.ConfigMask[i];
    return image;
}

std::string orderedHex(const DeviceDefinition& device, const MemoryImage& image) {
    if (device.Algorithm == 0) {
        std::string text;
        FormatIntelHex(device, image, text);
        return text;
    }
    std::string out;
    uint32_t upper = 0;
    linearAddress(out, 0);
    for (size_t i = 0; i < 2 * image.ProgMemory.size(); i += 16) {
        const auto address = static_cast<uint32_t>(i);
        if ((address >> 16) != upper) {
            upper = address >> 16;
            linearAddress(out, upper);
        }
        std::vector<uint8_t> data;
        for (size_t w = i / 2; w < i / 2 + 8; ++w) {
            data.push_back(static_cast<uint8_t>(image.ProgMemory[w]));
            data.push_back(static_cast<uint8_t>(image.ProgMemory[w] >> 8));
        }
        out += record(address & 0xFFFF, 0, data);
    }
    linearAddress(out, 0x20);
    std::vector<uint8_t> ids;
    for (int i = 0; i < device.IdCount; ++i)
        ids.push_back(static_cast<uint8_t>(image.IdWords[i]));
    out += record(0, 0, ids);
    linearAddress(out, 0x30);
    std::vector<uint8_t> config;
    for (int i = 0; i < device.ConfigCount; ++i) {
        config.push_back(static_cast<uint8_t>(image.ConfigWords[i]));
        config.push_back(static_cast<uint8_t>(image.ConfigWords[i] >> 8));
    }
    out += record(0, 0, config);
    linearAddress(out, 0xF0);
    for (size_t k = 0; k < image.DataMemory.size(); k += 16)
        out += record(
            static_cast<uint32_t>(k), 0,
            std::vector<uint8_t>(image.DataMemory.begin() + static_cast<std::ptrdiff_t>(k),
                                 image.DataMemory.begin() + static_cast<std::ptrdiff_t>(k + 16)));
    out += ":00000001FF\r\n";
    return out;
}

std::string shuffledHex(const std::string& ordered, uint32_t seed) {
    std::mt19937 random(seed);
    std::string out;
    std::vector<std::string> block;
    auto flush = [&] {
        std::shuffle(block.begin(), block.end(), random);
        for (const auto& line : block)
            out += line;
        block.clear();
    };
    size_t pos = 0;
    while (pos < ordered.size()) {
        const size_t end = ordered.find('\n', pos);
        const std::string line = ordered.substr(pos, end - pos + 1);
        pos = end + 1;
        if (line.compare(7, 2, "00") == 0) {
            block.push_back(line);
        } else {
            flush();
            out += line;
        }
    }
    flush();
    return out;
}

}  // namespace velkaro::bench
