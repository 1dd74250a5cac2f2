#include "image/intel_hex_reader.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "base/hex_digit.h"

namespace velkaro {

namespace {

constexpr uint32_t kDataByteBase = 0x4200;   // EEPROM byte 0 in a classic word-mapped file
constexpr uint32_t kDataUpper = 0xF00000;    // linear base of EEPROM, byte mapping
constexpr size_t kMaxRecordBytes = 255 + 5;  // count, address, type, data, checksum

void setWordByte(uint16_t& word, bool high, uint8_t b) {
    word = high ? static_cast<uint16_t>((word & 0x00FF) | (b << 8))
                : static_cast<uint16_t>((word & 0xFF00) | b);
}

// Places data bytes by the device's address mapping and keeps the reader's tallies.
class Placer {
public:
    Placer(const DeviceDefinition& device, MemoryImage& image, HexReadResult& result)
        : mDevice(device), mImage(image), mResult(result) {
        mProgBytes = 2 * std::min<uint64_t>(std::max(device.ProgSize, 0), image.ProgMemory.size());
        mDataBytes = std::min<uint64_t>(std::max(device.EpromSize, 0), image.DataMemory.size());
        mIdCount = std::clamp(device.IdCount, 0, DeviceDefinition::kMaxIdWords);
        mConfigCount = std::clamp(device.ConfigCount, 0, DeviceDefinition::kMaxConfigWords);
        mWordMapping = device.traits().wordAddressedHex;
        mLinearWords = mWordMapping && device.traits().linearWordHex;
        mDataWordBase = hexDataWordBase(device.traits());
    }

    // Places `count` bytes from `byteAddr` on; returns how many lay outside every region and
    // reports the first such byte's position through `firstStray`.
    size_t placeAll(uint32_t upper, uint32_t byteAddr, const uint8_t* bytes, size_t count) {
        const uint64_t first =
            mWordMapping && !mLinearWords ? byteAddr : uint64_t{upper} + byteAddr;
        if (count > 0 && first + count <= mProgBytes) {
            // The common case, a record wholly inside program memory.
            uint16_t* words = mImage.ProgMemory.data() + first / 2;
            size_t j = 0;
            if (first & 1) {
                setWordByte(*words++, true, bytes[0]);
                j = 1;
            }
            for (; j + 1 < count; j += 2)
                *words++ = static_cast<uint16_t>(bytes[j] | (bytes[j + 1] << 8));
            if (j < count)
                setWordByte(*words, false, bytes[j]);
            noteProgram(first, first + count - 1, count);
            return 0;
        }
        size_t strays = 0;
        for (size_t j = 0; j < count; ++j) {
            if (!place(upper, byteAddr + static_cast<uint32_t>(j), bytes[j]))
                ++strays;
        }
        return strays;
    }

    // Returns false when the byte lay outside every region.
    bool place(uint32_t upper, uint32_t byteAddr, uint8_t b) {
        if (!mWordMapping)
            return placeByteMapped(upper, byteAddr, b);
        return placeWordMapped(mLinearWords ? uint64_t{upper} + byteAddr : byteAddr, b);
    }

private:
    void placeProgram(uint64_t byteAddr, uint8_t b) {
        setWordByte(mImage.ProgMemory[byteAddr / 2], byteAddr & 1, b);
        noteProgram(byteAddr, byteAddr, 1);
    }

    void noteProgram(uint64_t lowest, uint64_t highest, size_t count) {
        mResult.programBytes += static_cast<long>(count);
        if (mResult.lowestProgramByte < 0 || static_cast<long>(lowest) < mResult.lowestProgramByte)
            mResult.lowestProgramByte = static_cast<long>(lowest);
        mResult.highestProgramByte =
            std::max(mResult.highestProgramByte, static_cast<long>(highest));
    }

    bool placeWordMapped(uint64_t byteAddr, uint8_t b) {
        const auto wordAddr = static_cast<int64_t>(byteAddr / 2);
        const bool high = byteAddr & 1;
        if (byteAddr < mProgBytes) {
            placeProgram(byteAddr, b);
        } else if (wordAddr >= mDevice.IdAdr && wordAddr < int64_t{mDevice.IdAdr} + mIdCount) {
            setWordByte(mImage.IdWords[wordAddr - mDevice.IdAdr], high, b);
            ++mResult.idBytes;
        } else if (wordAddr >= mDevice.ConfigBaseAdr &&
                   wordAddr < int64_t{mDevice.ConfigBaseAdr} + mConfigCount) {
            setWordByte(mImage.ConfigWords[wordAddr - mDevice.ConfigBaseAdr], high, b);
            ++mResult.configBytes;
        } else if (wordAddr >= mDataWordBase &&
                   static_cast<uint64_t>(wordAddr) < mDataWordBase + 2 * mDataBytes) {
            // Each EEPROM byte is the low byte of a word; the high bytes, and the upper half
            // of the word range, are padding that toolchains write and we ignore.
            const uint64_t k = byteAddr - 2 * uint64_t{mDataWordBase};
            if (k % 2 == 0 && k < 2 * mDataBytes) {
                mImage.DataMemory[k / 2] = b;
                ++mResult.dataBytes;
            } else {
                ++mResult.ignoredBytes;
            }
        } else {
            return false;
        }
        return true;
    }

    bool placeByteMapped(uint32_t upper, uint32_t byteAddr, uint8_t b) {
        const uint64_t linear = uint64_t{upper} + byteAddr;
        const uint32_t wordAddr = byteAddr / 2;
        if (linear < mProgBytes) {
            placeProgram(linear, b);
        } else if (upper == static_cast<uint32_t>(mDevice.IdAdr) &&
                   byteAddr < static_cast<uint32_t>(mIdCount)) {
            mImage.IdWords[byteAddr] = b;  // one ID byte per ID word
            ++mResult.idBytes;
        } else if (upper == static_cast<uint32_t>(mDevice.ConfigBaseAdr) &&
                   wordAddr < static_cast<uint32_t>(mConfigCount)) {
            setWordByte(mImage.ConfigWords[wordAddr], byteAddr & 1, b);
            ++mResult.configBytes;
        } else if (upper == kDataUpper && byteAddr < mDataBytes) {
            mImage.DataMemory[byteAddr] = b;
            ++mResult.dataBytes;
        } else {
            return false;
        }
        return true;
    }

    const DeviceDefinition& mDevice;
    MemoryImage& mImage;
    HexReadResult& mResult;
    uint64_t mProgBytes = 0;
    uint64_t mDataBytes = 0;
    int mIdCount = 0;
    int mConfigCount = 0;
    bool mWordMapping = true;
    bool mLinearWords = false;
    uint32_t mDataWordBase = 0;
};

class RecordReader {
public:
    RecordReader(const DeviceDefinition& device, MemoryImage& image, HexReadResult& result)
        : mResult(result),
          mPlacer(device, image, result),
          mWordMapping(device.traits().wordAddressedHex),
          mLinearWords(mWordMapping && device.traits().linearWordHex) {}

    void line(std::string_view text, int lineNumber) {
        if (text.empty() || text[0] != ':')
            return;
        if (mResult.endRecordSeen) {
            ++mResult.recordsAfterEnd;
            return;
        }
        mLineNumber = lineNumber;
        size_t count = 0;
        bool extraText = false;
        if (!decode(text, count, extraText)) {
            ++mResult.badRecords;
            problem(HexProblem::BadRecord);
            return;
        }
        ++mResult.records;
        if (mChecksum != 0) {
            ++mResult.checksumErrors;
            problem(HexProblem::BadChecksum);
        }
        if (extraText) {
            // The record ends where its count says; what follows is not part of it.
            ++mResult.extraTextRecords;
            problem(HexProblem::ExtraText);
        }
        const uint8_t type = mBytes[3];
        const uint32_t field = (uint32_t{mBytes[1]} << 8) | mBytes[2];
        const uint32_t value = (uint32_t{mBytes[4]} << 8) | mBytes[5];
        switch (type) {
            case 0x00:
                data(field, count);
                break;
            case 0x01:
                mResult.endRecordSeen = true;
                break;
            case 0x02:
            case 0x04:
                if (count != 2) {
                    // Counted as a bad record instead of a record; the address is unknown.
                    --mResult.records;
                    ++mResult.badRecords;
                    problem(HexProblem::BadRecord);
                } else if (type == 0x02) {
                    mSegment = value;
                } else {
                    mUpper = value << 16;
                    if (value != 0) {
                        mLeftFirst64K = true;
                        // The linear word mapping places these bytes by their full
                        // address: outside the device they are counted as strays.
                        if (mWordMapping && !mLinearWords)
                            ++mResult.pic18AddressRecords;
                    }
                }
                break;
            default:
                break;  // start addresses and unknown types carry no data
        }
    }

    // After the last line: the verdicts that need the whole file.
    void finish() {
        if (mWordMapping || mLeftFirst64K || mWordEepromOddByteSet)
            mResult.wordEepromBytes = 0;
    }

private:
    // Decodes the record's bytes into mBytes; false when the line is malformed: longer than
    // a line may be, shorter than its count says, or a non-hex character in the record.
    // `extraText` tells whether characters other than blanks follow the checksum.
    bool decode(std::string_view text, size_t& count, bool& extraText) {
        if (text.size() > kMaxHexLineLength)
            return false;
        const long countField = ParseHexField(text, 1, 2);
        if (countField < 0)
            return false;
        count = static_cast<size_t>(countField);
        const size_t byteCount = count + 5;
        const size_t needed = 1 + 2 * byteCount;
        if (text.size() < needed)
            return false;
        int invalid = 0;  // negative once any character was no hex digit
        unsigned sum = 0;
        const char* digits = text.data() + 1;
        for (size_t i = 0; i < byteCount; ++i) {
            const int hi = hexDigit(digits[2 * i]);
            const int lo = hexDigit(digits[2 * i + 1]);
            invalid |= hi | lo;
            mBytes[i] = static_cast<uint8_t>(((hi & 0xF) << 4) | (lo & 0xF));
            sum += mBytes[i];
        }
        if (invalid < 0)
            return false;
        mChecksum = sum & 0xFF;
        extraText = false;
        for (size_t i = needed; i < text.size(); ++i)
            extraText = extraText || (text[i] != ' ' && text[i] != '\t');
        return true;
    }

    void data(uint32_t address, size_t count) {
        if (!mWordMapping && mUpper == 0)
            noteWordEeprom(mSegment * 16 + address, count);
        const size_t strays = mPlacer.placeAll(mUpper, mSegment * 16 + address, &mBytes[4], count);
        if (strays > 0) {
            mResult.outOfRangeBytes += static_cast<long>(strays);
            problem(HexProblem::OutOfRange);
        }
    }

    // A 12/14-bit file keeps its EEPROM at word 0x2100 on, one byte per word with a zero
    // high byte; PIC18 code there has instruction high bytes.
    void noteWordEeprom(uint32_t first, size_t count) {
        constexpr uint32_t kEnd = kDataByteBase + 0x200;
        if (first >= kEnd || first + count <= kDataByteBase)
            return;
        for (size_t j = 0; j < count; ++j) {
            const uint32_t address = first + static_cast<uint32_t>(j);
            if (address < kDataByteBase || address >= kEnd)
                continue;
            ++mResult.wordEepromBytes;
            if ((address & 1) != 0 && mBytes[4 + j] != 0)
                mWordEepromOddByteSet = true;
        }
    }

    void problem(HexProblem kind) {
        if (mResult.firstProblem == HexProblem::None) {
            mResult.firstProblem = kind;
            mResult.firstProblemLine = mLineNumber;
        }
    }

    HexReadResult& mResult;
    Placer mPlacer;
    std::array<uint8_t, kMaxRecordBytes> mBytes{};
    unsigned mChecksum = 0;
    uint32_t mSegment = 0;
    uint32_t mUpper = 0;
    int mLineNumber = 0;
    bool mWordMapping = true;
    bool mLinearWords = false;
    bool mLeftFirst64K = false;
    bool mWordEepromOddByteSet = false;
};

}  // namespace

long ParseHexField(std::string_view line, size_t position, size_t n) {
    if (position > line.size() || line.size() - position < n)
        return -1;
    long value = 0;
    for (size_t i = 0; i < n; ++i) {
        const int digit = hexDigit(line[position + i]);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

HexReadResult ReadIntelHexText(std::string_view text, const DeviceDefinition& device,
                               MemoryImage& image) {
    HexReadResult result;
    result.opened = true;
    RecordReader reader(device, image, result);
    const char* const data = text.data();
    size_t pos = 0;
    size_t nextLf = 0;  // position of the next LF at or after pos (text.size(): none)
    bool nextLfKnown = false;
    int lineNumber = 0;
    while (pos < text.size()) {
        // memchr scans fast; the LF found is kept until passed, so that a file with CR-only
        // line ends is not searched to its end once per line.
        if (!nextLfKnown || nextLf < pos) {
            const void* lf = std::memchr(data + pos, '\n', text.size() - pos);
            nextLf = lf ? static_cast<size_t>(static_cast<const char*>(lf) - data) : text.size();
            nextLfKnown = true;
        }
        const void* cr = std::memchr(data + pos, '\r', nextLf - pos);
        const size_t end = cr ? static_cast<size_t>(static_cast<const char*>(cr) - data) : nextLf;
        reader.line(text.substr(pos, end - pos), ++lineNumber);
        pos = end + 1;  // past CR or LF
        if (end < text.size() && text[end] == '\r' && pos < text.size() && text[pos] == '\n')
            ++pos;
    }
    reader.finish();
    return result;
}

namespace {

#if defined(__unix__) || defined(__APPLE__)
// How long a FIFO or device may take to have something to read before it is refused.
constexpr int kNotRegularWaitMs = 2000;
#endif

// Opens `path` for reading without hanging: a FIFO with no writer would block the open (and
// the program) for ever, so the open does not wait, and a file that is not a regular one
// must have data (or its end) to read within a short wait. nullptr when it cannot be read.
FILE* openForReading(const std::string& path) {
#if defined(__unix__) || defined(__APPLE__)
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat status {};
    bool usable = ::fstat(fd, &status) == 0;
    if (usable && !S_ISREG(status.st_mode)) {
        pollfd waiting{fd, POLLIN, 0};
        usable = ::poll(&waiting, 1, kNotRegularWaitMs) == 1 &&
                 (waiting.revents & (POLLIN | POLLHUP)) != 0;
    }
    if (usable)
        usable = ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0;
    FILE* file = usable ? ::fdopen(fd, "rb") : nullptr;
    if (!file)
        ::close(fd);
    return file;
#else
    return std::fopen(path.c_str(), "rb");
#endif
}

}  // namespace

bool readWholeFile(const std::string& path, std::string& contents, uintmax_t limit,
                   bool* tooLarge) {
    if (tooLarge)
        *tooLarge = false;
    auto refuse = [&] {
        if (tooLarge)
            *tooLarge = true;
        return false;
    };
    std::unique_ptr<FILE, int (*)(FILE*)> file(openForReading(path), &std::fclose);
    if (!file)
        return false;
    // One read of the size the file has now; a file that grows meanwhile (or a pipe, whose
    // size is unknown) is read on up to the limit.
    std::error_code error;
    const auto expected = std::filesystem::file_size(path, error);
    if (!error && expected > limit)
        return refuse();
    std::string buffer(error ? 65536 : static_cast<size_t>(expected) + 1, '\0');
    size_t total = 0;
    for (;;) {
        total += std::fread(buffer.data() + total, 1, buffer.size() - total, file.get());
        if (total < buffer.size())
            break;
        if (total > limit)
            return refuse();
        buffer.resize(static_cast<size_t>(std::min<uintmax_t>(2 * buffer.size(), limit + 1)));
    }
    if (std::ferror(file.get()))
        return false;
    buffer.resize(total);
    contents = std::move(buffer);
    return true;
}

HexReadResult ReadIntelHex(const std::string& path, const DeviceDefinition& device,
                           MemoryImage& image) {
    std::string text;
    if (!readWholeFile(path, text))
        return HexReadResult{};
    return ReadIntelHexText(text, device, image);
}

}  // namespace velkaro
