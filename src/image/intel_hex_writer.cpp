#include "image/intel_hex_writer.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "base/atomic_file.h"
#include "image/intel_hex_reader.h"

namespace velkaro {

namespace {

constexpr size_t kProgramRecordBytes = 16;
constexpr size_t kDataRecordBytes = 8;

// Builds records into one string; remembers when an address field did not fit.
class RecordWriter {
public:
    // With `linear`, data records take full byte addresses: an extended linear address record
    // goes before each one whose upper 16 bits differ from those in force.
    RecordWriter(std::string& out, bool linear) : mOut(out), mLinear(linear) {}

    // Names the region the next records belong to, for reporting an overflow.
    void region(HexRegion region) { mRegion = region; }

    void begin(uint64_t address, uint8_t type) {
        if (mLinear && type == 0x00)
            address = withinLinearPage(address);
        if (address > 0xFFFF)
            overflow();
        mBytes[0] = 0;  // count, set in end()
        mBytes[1] = static_cast<uint8_t>(address >> 8);
        mBytes[2] = static_cast<uint8_t>(address);
        mBytes[3] = type;
        mSize = 4;
    }
    void byte(uint8_t b) {
        if (mSize - 4 == 255)
            overflow();
        else
            mBytes[mSize++] = b;
    }
    void word(uint16_t w) {
        byte(static_cast<uint8_t>(w));
        byte(static_cast<uint8_t>(w >> 8));
    }
    void end() {
        mBytes[0] = static_cast<uint8_t>(mSize - 4);
        std::array<char, 1 + 2 * (kMaxRecord + 1) + 2> line;
        size_t at = 0;
        unsigned sum = 0;
        line[at++] = ':';
        for (size_t i = 0; i < mSize; ++i) {
            sum += mBytes[i];
            at = hex(line, at, mBytes[i]);
        }
        at = hex(line, at, static_cast<uint8_t>(0x100 - (sum & 0xFF)));
        line[at++] = '\r';
        line[at++] = '\n';
        mOut.append(line.data(), at);
    }
    void addressRecord(uint8_t type, uint16_t value) {
        begin(0, type);
        word(static_cast<uint16_t>((value >> 8) | (value << 8)));  // big-endian value
        end();
    }
    // The first region whose records did not fit the format; None when all did.
    HexRegion overflowRegion() const { return mOverflowRegion; }

private:
    void overflow() {
        if (mOverflowRegion == HexRegion::None)
            mOverflowRegion = mRegion;
    }

    // The address field for the full byte address `address`, after selecting its 64 KiB
    // page with an extended linear address record where another one is in force.
    uint64_t withinLinearPage(uint64_t address) {
        const uint64_t upper = address >> 16;
        if (upper > 0xFFFF)
            return address;  // beyond 32 bits: begin() reports the overflow
        if (upper != mUpper) {
            addressRecord(0x04, static_cast<uint16_t>(upper));
            mUpper = upper;
        }
        return address & 0xFFFF;
    }

    template <size_t N>
    static size_t hex(std::array<char, N>& line, size_t at, uint8_t b) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        line[at] = kDigits[b >> 4];
        line[at + 1] = kDigits[b & 0xF];
        return at + 2;
    }

    static constexpr size_t kMaxRecord = 4 + 255;  // count, address, type and data

    std::string& mOut;
    bool mLinear = false;
    uint64_t mUpper = 0;  // the upper 16 bits in force (a file starts with 0)
    std::array<uint8_t, kMaxRecord> mBytes{};
    size_t mSize = 0;
    HexRegion mRegion = HexRegion::Program;
    HexRegion mOverflowRegion = HexRegion::None;
};

size_t programWords(const DeviceDefinition& device, const MemoryImage& image) {
    return std::min<size_t>(std::max(device.ProgSize, 0), image.ProgMemory.size());
}
size_t dataBytes(const DeviceDefinition& device, const MemoryImage& image) {
    return std::min<size_t>(std::max(device.EpromSize, 0), image.DataMemory.size());
}
int idCount(const DeviceDefinition& device) {
    return std::clamp(device.IdCount, 0, DeviceDefinition::kMaxIdWords);
}
int configCount(const DeviceDefinition& device) {
    return std::clamp(device.ConfigCount, 0, DeviceDefinition::kMaxConfigWords);
}

// The image keeps configuration word 1 without the band-gap bits, which it holds apart; the
// file carries them in place, as the reader takes them apart again, so a chip read into a
// file and written back from it keeps its factory calibration.
uint16_t savedConfigWord(const DeviceDefinition& device, const MemoryImage& image, int j) {
    if (j == 0 && device.BGMask != 0)
        return static_cast<uint16_t>(image.ConfigWords[0] | (image.BGValue & device.BGMask));
    return image.ConfigWords[j];
}

void writeProgram(RecordWriter& out, const DeviceDefinition& device, const MemoryImage& image) {
    out.region(HexRegion::Program);
    const size_t total = 2 * programWords(device, image);
    uint32_t lastSegment = 0;
    for (size_t i = 0; i < total;) {
        const size_t n = std::min(kProgramRecordBytes, total - i);
        const auto first = image.ProgMemory.begin() + static_cast<std::ptrdiff_t>(i / 2);
        const auto last = first + static_cast<std::ptrdiff_t>(n / 2);
        if (std::any_of(first, last, [&](uint16_t w) { return w != device.BlankWord; })) {
            out.begin(static_cast<uint32_t>(i % 0x10000), 0x00);
            std::for_each(first, last, [&](uint16_t w) { out.word(w); });
            out.end();
        }
        i += n;
        const auto segment = static_cast<uint32_t>((i & 0xF0000) >> 4);
        if (segment != lastSegment && i < total) {
            out.addressRecord(0x02, static_cast<uint16_t>(segment));
            lastSegment = segment;
        }
    }
    // The segment stays in force for every later record; the other regions are addressed
    // from 0.
    if (lastSegment != 0)
        out.addressRecord(0x02, 0);
}

void writeData(RecordWriter& out, const DeviceDefinition& device, const MemoryImage& image,
               bool wordMapping) {
    out.region(HexRegion::Data);
    const size_t total = dataBytes(device, image);
    for (size_t k = 0; k < total; k += kDataRecordBytes) {
        const size_t n = std::min(kDataRecordBytes, total - k);
        const auto first = image.DataMemory.begin() + static_cast<std::ptrdiff_t>(k);
        const auto last = first + static_cast<std::ptrdiff_t>(n);
        if (std::all_of(first, last, [](uint8_t b) { return b == 0xFF; }))
            continue;
        if (wordMapping) {
            out.begin(2 * (uint64_t{hexDataWordBase(device.traits())} + k), 0x00);
            std::for_each(first, last, [&](uint8_t b) { out.word(b); });
        } else {
            out.begin(static_cast<uint32_t>(k), 0x00);
            std::for_each(first, last, [&](uint8_t b) { out.byte(b); });
        }
        out.end();
    }
}

void writeWordMapped(RecordWriter& out, const DeviceDefinition& device, const MemoryImage& image) {
    writeProgram(out, device, image);
    out.region(HexRegion::Id);
    out.begin(static_cast<uint32_t>(2 * int64_t{device.IdAdr}), 0x00);
    for (int i = 0; i < idCount(device); ++i)
        out.word(image.IdWords[i]);
    out.end();
    out.region(HexRegion::Config);
    for (int j = 0; j < configCount(device); ++j) {
        out.begin(static_cast<uint32_t>(2 * (int64_t{device.ConfigBaseAdr} + j)), 0x00);
        out.word(savedConfigWord(device, image, j));
        out.end();
    }
    writeData(out, device, image, true);
}

void writeByteMapped(RecordWriter& out, const DeviceDefinition& device, const MemoryImage& image) {
    out.addressRecord(0x04, 0x0000);
    writeProgram(out, device, image);
    out.addressRecord(0x04, 0x00F0);
    writeData(out, device, image, false);
    out.region(HexRegion::Id);
    out.addressRecord(0x04, static_cast<uint16_t>(device.IdAdr >> 16));
    out.begin(0, 0x00);
    for (int i = 0; i < idCount(device); ++i)
        out.byte(static_cast<uint8_t>(image.IdWords[i]));
    out.end();
    out.region(HexRegion::Config);
    out.addressRecord(0x04, static_cast<uint16_t>(device.ConfigBaseAdr >> 16));
    for (int j = 0; j < configCount(device); ++j) {
        out.begin(static_cast<uint32_t>(2 * j), 0x00);
        out.word(savedConfigWord(device, image, j));
        out.end();
    }
}

}  // namespace

HexRegion FormatIntelHex(const DeviceDefinition& device, const MemoryImage& image,
                         std::string& text) {
    text.clear();
    // At most 45 characters per 8 program words or per 8 data bytes, plus the short records.
    text.reserve(45 * (programWords(device, image) / 8 + dataBytes(device, image) / 8 + 2) + 1024);
    RecordWriter out(text, device.traits().wordAddressedHex && device.traits().linearWordHex);
    if (device.traits().wordAddressedHex)
        writeWordMapped(out, device, image);
    else
        writeByteMapped(out, device, image);
    text.append(":00000001FF\r\n");
    return out.overflowRegion();
}

HexRegion findReadBackDifference(const std::string& text, const DeviceDefinition& device,
                                 const MemoryImage& image) {
    MemoryImage copy;
    copy.ProgMemory.resize(image.ProgMemory.size());
    copy.DataMemory.resize(image.DataMemory.size());
    copy.ClearImage(device, true, true);
    const HexReadResult read = ReadIntelHexText(text, device, copy);

    const size_t words = programWords(device, image);
    if (!std::equal(image.ProgMemory.begin(), image.ProgMemory.begin() + std::ptrdiff_t(words),
                    copy.ProgMemory.begin()))
        return HexRegion::Program;
    const uint16_t idMask = device.traits().idHexMask;
    for (int i = 0; i < idCount(device); ++i) {
        if ((image.IdWords[i] & idMask) != (copy.IdWords[i] & idMask))
            return HexRegion::Id;
    }
    for (int j = 0; j < configCount(device); ++j) {
        if (savedConfigWord(device, image, j) != copy.ConfigWords[j])
            return HexRegion::Config;
    }
    const size_t bytes = dataBytes(device, image);
    if (!std::equal(image.DataMemory.begin(), image.DataMemory.begin() + std::ptrdiff_t(bytes),
                    copy.DataMemory.begin()))
        return HexRegion::Data;
    // Every record must have landed somewhere; a stray one means two regions collide.
    if (!read.clean()) {
        const int idBytesWritten = device.traits().idHexBytes * idCount(device);
        if (read.idBytes < idBytesWritten)
            return HexRegion::Id;
        if (read.configBytes < 2 * configCount(device))
            return HexRegion::Config;
        return read.dataBytes > 0 ? HexRegion::Data : HexRegion::Program;
    }
    return HexRegion::None;
}

HexWriteResult EncodeIntelHex(const DeviceDefinition& device, const MemoryImage& image,
                              std::string& text) {
    HexWriteResult result;
    result.region = FormatIntelHex(device, image, text);
    if (result.region == HexRegion::None)
        result.region = findReadBackDifference(text, device, image);
    if (result.region != HexRegion::None)
        result.status = HexWriteStatus::NotEncodable;
    return result;
}

HexWriteResult WriteIntelHex(const std::string& path, const DeviceDefinition& device,
                             const MemoryImage& image) {
    std::string text;
    HexWriteResult result = EncodeIntelHex(device, image, text);
    if (!result.ok())
        return result;
    if (!writeFileAtomically(path, text, result.error))
        result.status = HexWriteStatus::CannotWrite;
    return result;
}

}  // namespace velkaro
