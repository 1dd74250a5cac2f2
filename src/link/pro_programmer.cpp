#include "link/pro_programmer.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "core/protocol.h"
#include "link/programmer_commands.h"
#include "link/programmer_types.h"

namespace velkaro {

namespace {

constexpr size_t kFramesInFlight = 2;
constexpr int kReplyTimeoutMs = 1000;
constexpr int kBannerTimeoutMs = 2000;
constexpr const char* kBanner = "VKR20PRO\n";

const char* statusText(uint8_t status) {
    switch (status) {
        case VKR_STATUS_BAD_FRAME:
            return "the programmer received a garbled frame";
        case VKR_STATUS_UNKNOWN_OP:
            return "the programmer does not know an operation (firmware too old?)";
        case VKR_STATUS_POWER_LOST:
            return "the target's supply failed (a short, or a chip in backwards?)";
        case VKR_STATUS_TOO_LONG:
            return "the programmer could not answer a frame that asked for too much";
        default:
            return "the programmer reported an unknown error";
    }
}

// Firmware from version 1.03 on ("D.DD") runs core instructions in bulk (CORE_RUN).
bool takesCoreRuns(const std::string& version) {
    const auto digit = [&](size_t i) { return version[i] >= '0' && version[i] <= '9'; };
    return version.size() == 4 && digit(0) && version[1] == '.' && digit(2) && digit(3) &&
           version >= "1.03";
}

// A read's value from its result bytes, little-endian; 0 when there are none (a failure).
int32_t readValue(const std::vector<uint8_t>& r) {
    if (r.size() == 2)
        return r[0] | (r[1] << 8);
    return r.size() == 1 ? r[0] : 0;
}

}  // namespace

ProProgrammer::ProProgrammer(SerialStream& stream, std::function<std::string(int)> portPath)
    : mStream(stream), mPortPath(std::move(portPath)) {}

ProProgrammer::~ProProgrammer() {
    if (mOpen)
        SClose();
}

void ProProgrammer::fail(std::string why) {
    if (mError.empty())
        mError = std::move(why);
    if (mStream.isOpen()) {
        // Whatever is still listening is asked to switch the target off.
        uint8_t frame[] = {VKR_FRAME_START, static_cast<uint8_t>(mSequence + 1), 1,
                           VKR_OP_POWER_OFF, 0};
        frame[4] = vkr_crc8(0, frame + 1, 3);
        mStream.write(frame, sizeof frame);
        mStream.close();
    }
    mOpen = false;
    mPayload.clear();
    mOperations.clear();
    mPayloadResults = 0;
    mPayloadDelayUs = 0;
    mInFlight.clear();
    mAnswer.clear();
    mPendingReads.clear();
    mResults.clear();
}

bool ProProgrammer::readExact(uint8_t* data, size_t size, int timeoutMs) {
    size_t got = 0;
    while (got < size) {
        const int n = mStream.read(data + got, size - got, timeoutMs);
        if (n < 0) {
            fail(mStream.error().empty() ? "the serial port failed" : mStream.error());
            return false;
        }
        if (n == 0) {
            fail("the programmer stopped answering");
            return false;
        }
        got += static_cast<size_t>(n);
        mBytesReceived += static_cast<uint64_t>(n);
    }
    return true;
}

bool ProProgrammer::receiveReply(const InFlight& frame, std::vector<uint8_t>& results) {
    const int timeoutMs = kReplyTimeoutMs + static_cast<int>(frame.delayUs / 1000);
    uint8_t header[3];
    if (!readExact(header, sizeof header, timeoutMs))
        return false;
    if (header[0] != VKR_FRAME_START) {
        fail("garbled answer from the programmer (no frame start)");
        return false;
    }
    std::vector<uint8_t> payload(header[2] + 1u);
    if (!readExact(payload.data(), payload.size(), timeoutMs))
        return false;
    uint8_t crc = vkr_crc8(0, header + 1, 2);
    crc = vkr_crc8(crc, payload.data(), header[2]);
    if (crc != payload.back()) {
        fail("garbled answer from the programmer (checksum)");
        return false;
    }
    if (header[1] != frame.sequence) {
        fail("the programmer answered out of turn (a frame was lost)");
        return false;
    }
    if (header[2] == 0) {
        fail("garbled answer from the programmer (no status)");
        return false;
    }
    if (payload[0] != 0) {
        fail(statusText(payload[0]));
        return false;
    }
    if (header[2] != 1 + frame.resultBytes) {
        fail("garbled answer from the programmer (length)");
        return false;
    }
    results.assign(payload.begin() + 1, payload.begin() + header[2]);
    return true;
}

bool ProProgrammer::send() {
    if (!mOpen)
        return false;
    while (mInFlight.size() >= kFramesInFlight) {
        if (!receiveOldest())
            return false;
    }
    ++mSequence;
    std::vector<uint8_t> frame;
    frame.reserve(mPayload.size() + 4);
    frame.push_back(VKR_FRAME_START);
    frame.push_back(mSequence);
    frame.push_back(static_cast<uint8_t>(mPayload.size()));
    frame.insert(frame.end(), mPayload.begin(), mPayload.end());
    frame.push_back(vkr_crc8(0, frame.data() + 1, frame.size() - 1));
    if (!mStream.write(frame.data(), frame.size())) {
        fail(mStream.error().empty() ? "the serial port failed" : mStream.error());
        return false;
    }
    mBytesSent += frame.size();
    mInFlight.push_back({mSequence, mPayloadResults, mPayloadDelayUs});
    mPayload.clear();
    mOperations.clear();
    mPayloadResults = 0;
    mPayloadDelayUs = 0;
    return true;
}

bool ProProgrammer::receiveOldest() {
    std::vector<uint8_t> results;
    const InFlight oldest = mInFlight.front();
    mInFlight.pop_front();
    if (!receiveReply(oldest, results))
        return false;
    mResults.insert(mResults.end(), results.begin(), results.end());
    return true;
}

bool ProProgrammer::exchange() {
    if (!send())
        return false;
    ++mRoundTrips;
    while (!mInFlight.empty()) {
        if (!receiveOldest())
            return false;
    }
    return true;
}

bool ProProgrammer::queue(std::initializer_list<uint8_t> operation, size_t resultBytes) {
    if (!mOpen)
        return false;
    // A reply holds at most 249 result bytes after its status.
    if ((mPayload.size() + operation.size() > size_t{VKR_MAX_PAYLOAD} ||
         mPayloadResults + resultBytes > size_t{VKR_MAX_PAYLOAD} - 1) &&
        !send())
        return false;
    mOperations.push_back(mPayload.size());
    mPayload.insert(mPayload.end(), operation);
    mPayloadResults += resultBytes;
    if (resultBytes > 0)
        mPendingReads.push_back(resultBytes);
    return true;
}

std::vector<uint8_t> ProProgrammer::takeResults(size_t index) {
    if (index >= mPendingReads.size())
        return {};
    size_t offset = 0;
    for (size_t i = 0; i < index; ++i)
        offset += mPendingReads[i];
    const size_t size = mPendingReads[index];
    while (mOpen && mResults.size() < offset + size) {
        if (mInFlight.empty()) {
            if (mPayloadResults == 0) {
                fail("results went missing between the frames");  // never expected
                return {};
            }
            if (!send())
                return {};
            ++mRoundTrips;
        }
        if (!receiveOldest())
            return {};
    }
    if (!mOpen)
        return {};
    const auto first = mResults.begin() + static_cast<std::ptrdiff_t>(offset);
    std::vector<uint8_t> bytes(first, first + static_cast<std::ptrdiff_t>(size));
    mResults.erase(first, first + static_cast<std::ptrdiff_t>(size));
    mPendingReads.erase(mPendingReads.begin() + static_cast<std::ptrdiff_t>(index));
    return bytes;
}

std::vector<uint8_t> ProProgrammer::ask(std::initializer_list<uint8_t> operation,
                                        size_t resultBytes) {
    if (!queue(operation, resultBytes))
        return {};
    return takeNewest();
}

void ProProgrammer::answer(const std::string& text) {
    for (char c : text)
        mAnswer.push_back(static_cast<unsigned char>(c));
}

void ProProgrammer::queueDelay(uint64_t microseconds) {
    if (mOpen)
        mDelayedUs += microseconds;
    // Waits in a row travel as one.
    if (mOpen && microseconds > 0 && operationAt(0) == VKR_OP_DELAY_US) {
        uint8_t* last = &mPayload[mOperations.back() + 1];
        const uint64_t queued = last[0] | (last[1] << 8);
        const uint64_t added = std::min<uint64_t>(microseconds, 0xFFFF - queued);
        last[0] = static_cast<uint8_t>((queued + added) & 0xFF);
        last[1] = static_cast<uint8_t>((queued + added) >> 8);
        mPayloadDelayUs += added;
        microseconds -= added;
    }
    while (mOpen && microseconds > 0) {
        const uint16_t piece = static_cast<uint16_t>(std::min<uint64_t>(microseconds, 0xFFFF));
        if (!queue({VKR_OP_DELAY_US, static_cast<uint8_t>(piece & 0xFF),
                    static_cast<uint8_t>(piece >> 8)}))
            return;
        mPayloadDelayUs += piece;
        microseconds -= piece;
    }
}

int32_t ProProgrammer::SOpen(int32_t port) {
    const std::string path = mPortPath ? mPortPath(port) : std::string();
    if (path.empty()) {
        mError = "COM" + std::to_string(port) + " is not set up for a serial device";
        return 0;
    }
    if (mOpen)
        SClose();
    mError.clear();
    mAnswer.clear();
    mInFlight.clear();
    mPendingReads.clear();
    mResults.clear();
    mPayload.clear();
    mOperations.clear();
    mPayloadResults = 0;
    mPayloadDelayUs = 0;
    mCoreRuns = false;
    if (!mStream.open(path, kBaud)) {
        mError = mStream.error();
        return 0;
    }
    // The board resets as the port opens and says who it is.
    std::string seen;
    const std::string banner = kBanner;
    while (seen.find(banner) == std::string::npos) {
        uint8_t c = 0;
        const int n = mStream.read(&c, 1, kBannerTimeoutMs);
        if (n <= 0 || seen.size() > 256) {
            mStream.close();
            mError = "no " + programmerTypesWith(&ProgrammerCapabilities::programmerCommands) +
                     " answers on " + path +
                     " (no start-up message: another device, or no firmware?)";
            return 0;
        }
        seen.push_back(static_cast<char>(c));
    }
    mOpen = true;
    // The firmware's version, which also shows that the link works both ways.
    const std::vector<uint8_t> version = ask({VKR_OP_VERSION}, 4);
    if (version.size() != 4)
        return 0;
    mCoreRuns = takesCoreRuns(std::string(version.begin(), version.end()));
    ++mSessions;
    return 1;
}

int32_t ProProgrammer::SClose() {
    if (!mOpen)
        return 1;
    // The socket LED stays as it is: showing a socket is SOpen, SSetLED, SClose.
    const bool ok = queue({VKR_OP_POWER_OFF}) && exchange();
    mStream.close();
    mOpen = false;
    // Reads nobody took are dropped with the session.
    mPendingReads.clear();
    mResults.clear();
    return ok ? 1 : 0;
}

int32_t ProProgrammer::SSetMode(int32_t) {
    return 1;
}

int32_t ProProgrammer::SVccOn(int32_t) {
    if (!queue({VKR_OP_VDD_ON}))
        return 0;
    answer("#");  // the supply report the program waits for
    return 1;
}

int32_t ProProgrammer::SVppOn(int32_t) {
    return queue({VKR_OP_VPP_ON}) ? 1 : 0;
}

int32_t ProProgrammer::SPowerOff() {
    return queue({VKR_OP_POWER_OFF}) ? 1 : 0;
}

int32_t ProProgrammer::SCheckPower() {
    const std::vector<uint8_t> r = ask({VKR_OP_CHECK_POWER}, 1);
    return r.size() == 1 ? r[0] : 0;
}

int32_t ProProgrammer::SCheckOSC() {
    const std::vector<uint8_t> r = ask({VKR_OP_MEASURE_OSC}, 2);
    if (r.size() != 2)
        return 0;
    char text[16];
    std::snprintf(text, sizeof text, "%X#", static_cast<unsigned>(r[0] | (r[1] << 8)));
    answer(text);
    return 1;
}

int32_t ProProgrammer::SSendCmd(int32_t code) {
    if (!mOpen)
        return 0;
    auto text = [](const std::vector<uint8_t>& r) { return std::string(r.begin(), r.end()); };
    switch (code) {
        case kCmdFirmwareDate: {
            const std::vector<uint8_t> r = ask({VKR_OP_FIRMWARE_DATE}, 8);
            if (r.empty())
                return 0;
            answer(text(r) + "#");
            break;
        }
        case kCmdFirmwareVersion: {
            const std::vector<uint8_t> r = ask({VKR_OP_VERSION}, 4);
            if (r.empty())
                return 0;
            answer(text(r) + "#");
            break;
        }
        case kCmdVppHigh:
        case kCmdVppLow:
        case kCmdVpp8V5: {
            const uint8_t level = code == kCmdVppHigh  ? VKR_VPP_13V
                                  : code == kCmdVppLow ? VKR_VPP_12V
                                                       : VKR_VPP_8V5;
            if (!queue({VKR_OP_VPP_LEVEL, level}))
                return 0;
            answer("#");
            break;
        }
        case kCmdLowVoltageEntry:
            if (!queue({VKR_OP_LOW_VOLTAGE, 1}))
                return 0;
            answer("#");
            break;
        case kCmdPrepareFastCheck:
            if (!queue({VKR_OP_BLOCK_PREPARE, 1}))
                return 0;
            answer("#");
            break;
        case kBlockTestEnd:
            if (!queue({VKR_OP_BLOCK_PREPARE, 0}))
                return 0;
            break;
        case kBlockTest14Bit:
        case kBlockTestOtherWidth:
        case kBlockTest16Bit: {
            const uint8_t kind = code == kBlockTest14Bit ? 0 : code == kBlockTestOtherWidth ? 1 : 2;
            const std::vector<uint8_t> r = ask({VKR_OP_BLOCK_TEST, kind}, 1);
            if (r.size() != 1)
                return 0;
            answer(r[0] == 1 ? "*#" : r[0] == 0 ? "-#" : "?#");
            break;
        }
        case kBlockTestStart16Bit:
        default:
            break;  // nothing on the board needs it
    }
    return 1;
}

int32_t ProProgrammer::SGetc() {
    if (mAnswer.empty())
        return -1;
    const int32_t c = mAnswer.front();
    mAnswer.pop_front();
    return c;
}

int32_t ProProgrammer::SSetLED(int32_t position) {
    return queue({VKR_OP_SET_LED, static_cast<uint8_t>(position)}) ? 1 : 0;
}

int32_t ProProgrammer::SSetPGC(int32_t level) {
    if (level == 0 && mOpen && foldClock())
        return 1;
    return queue({VKR_OP_SET_PGC, static_cast<uint8_t>(level != 0)}) ? 1 : 0;
}

int32_t ProProgrammer::SSetPGD(int32_t level) {
    return queue({VKR_OP_SET_PGD, static_cast<uint8_t>(level != 0)}) ? 1 : 0;
}

int32_t ProProgrammer::SWriteBit(int32_t value, int32_t count) {
    const auto v = static_cast<uint32_t>(value);
    // The link sends at most 16 bits at once; more would not fit the operation.
    const auto n = static_cast<uint8_t>(count < 1 ? 1 : count > 16 ? 16 : count);
    const auto low = static_cast<uint8_t>(v & 0xFF);
    const auto high = static_cast<uint8_t>((v >> 8) & 0xFF);
    bool ok;
    if (n == 6 && mOpen && foldReadRun(static_cast<uint8_t>(v & 0x3F))) {
        ok = true;
    } else if (n == 6) {
        ok = queue({static_cast<uint8_t>(VKR_OP_CMD6 | (v & 0x3F))});
    } else if (n == 4) {
        ok = queue({static_cast<uint8_t>(VKR_OP_CMD4 | (v & 0x0F))});
    } else if (n == 16 && mCoreRuns && (operationAt(0) & 0xF0) == VKR_OP_CMD4 &&
               foldCoreRun(low, high)) {
        ok = true;
    } else if (n == 16 && mPayload.size() + 2 <= size_t{VKR_MAX_PAYLOAD} &&
               (operationAt(0) & 0xF0) == VKR_OP_CMD4) {
        // A 4-bit command and its operand: one operation.
        mPayload[mOperations.back()] |= VKR_OP_CMD4_WORD;
        mPayload.push_back(low);
        mPayload.push_back(high);
        ok = true;
    } else if (n <= 8) {
        ok = queue({static_cast<uint8_t>(VKR_OP_WRITE_N | (n - 1)), low});
    } else {
        ok = queue({VKR_OP_WRITE_BITS, n, low, high});
    }
    return ok ? 1 : 0;
}

int32_t ProProgrammer::SWriteWord(int32_t word) {
    const auto w = static_cast<uint32_t>(word);
    const auto low = static_cast<uint8_t>(w & 0xFF);
    const auto high = static_cast<uint8_t>((w >> 8) & 0xFF);
    if (mOpen && foldWriteRun(low, high))
        return 1;
    return queue({VKR_OP_WRITE_WORD, low, high}) ? 1 : 0;
}

int32_t ProProgrammer::SReadWord() {
    queueReadWord();
    return takeRead();
}

int32_t ProProgrammer::SReadBit(int32_t count) {
    queueReadBits(count);
    return takeRead();
}

void ProProgrammer::queueReadWord() {
    if (!queue({VKR_OP_READ_WORD}, 2))
        mPendingReads.push_back(0);  // taken as 0, as after any failure
}

uint8_t ProProgrammer::operationAt(size_t back) const {
    return back < mOperations.size() ? mPayload[mOperations[mOperations.size() - 1 - back]] : 0;
}

bool ProProgrammer::foldReadRun(uint8_t stepCommand) {
    constexpr uint8_t kMostWords = (size_t{VKR_MAX_PAYLOAD} - 1) / 2;
    if (operationAt(0) != VKR_OP_READ_WORD || (operationAt(1) & 0xC0) != VKR_OP_CMD6)
        return false;
    const size_t first = mOperations[mOperations.size() - 2];
    const auto readCommand = static_cast<uint8_t>(mPayload[first] & 0x3F);
    if (operationAt(2) == VKR_OP_READ_RUN) {
        uint8_t* run = &mPayload[mOperations[mOperations.size() - 3] + 1];
        if (run[0] < kMostWords && run[1] == readCommand && run[2] == stepCommand) {
            ++run[0];
            mPayload.resize(first);
            mOperations.resize(mOperations.size() - 2);
            return true;
        }
    }
    if (first + 4 > size_t{VKR_MAX_PAYLOAD})
        return false;
    mPayload.resize(first);
    mPayload.insert(mPayload.end(), {VKR_OP_READ_RUN, 1, readCommand, stepCommand});
    mOperations.resize(mOperations.size() - 1);
    return true;
}

bool ProProgrammer::foldWriteRun(uint8_t low, uint8_t high) {
    if ((operationAt(0) & 0xC0) != VKR_OP_CMD6 || (operationAt(1) & 0xC0) != VKR_OP_CMD6)
        return false;
    const size_t first = mOperations[mOperations.size() - 2];
    const auto a = static_cast<uint8_t>(mPayload[first] & 0x3F);
    const auto b = static_cast<uint8_t>(mPayload[first + 1] & 0x3F);
    if (operationAt(2) == VKR_OP_WRITE_RUN) {
        uint8_t* run = &mPayload[mOperations[mOperations.size() - 3] + 1];
        if (run[1] == a && run[2] == b) {  // the run ends where the two commands start
            ++run[0];
            mPayload.resize(first);
            mPayload.insert(mPayload.end(), {low, high});
            mOperations.resize(mOperations.size() - 2);
            return true;
        }
    }
    if (first + 6 > size_t{VKR_MAX_PAYLOAD})
        return false;
    mPayload.resize(first);
    mPayload.insert(mPayload.end(), {VKR_OP_WRITE_RUN, 1, a, b, low, high});
    mOperations.resize(mOperations.size() - 1);
    return true;
}

bool ProProgrammer::foldCoreRun(uint8_t low, uint8_t high) {
    constexpr uint8_t kMostOperands = (size_t{VKR_MAX_PAYLOAD} - 3) / 2;
    const auto command = static_cast<uint8_t>(operationAt(0) & 0x0F);
    const size_t last = mOperations.back();  // the command, queued just before
    if (operationAt(1) == VKR_OP_CORE_RUN) {
        uint8_t* run = &mPayload[mOperations[mOperations.size() - 2] + 1];
        if (run[0] >= kMostOperands || run[1] != command ||
            mPayload.size() + 1 > size_t{VKR_MAX_PAYLOAD})
            return false;
        ++run[0];
        mPayload.resize(last);
        mPayload.insert(mPayload.end(), {low, high});
        mOperations.pop_back();
        return true;
    }
    // The second operand after the same command: the two make a run.
    if (operationAt(1) != (VKR_OP_CMD4_WORD | command))
        return false;
    const size_t first = mOperations[mOperations.size() - 2];
    if (first + 7 > size_t{VKR_MAX_PAYLOAD})
        return false;
    const uint8_t previousLow = mPayload[first + 1];
    const uint8_t previousHigh = mPayload[first + 2];
    mPayload.resize(first);
    mPayload.insert(mPayload.end(),
                    {VKR_OP_CORE_RUN, 2, command, previousLow, previousHigh, low, high});
    mOperations.pop_back();
    return true;
}

bool ProProgrammer::foldClock() {
    constexpr uint8_t kOneBit = VKR_OP_WRITE_N;
    constexpr uint8_t kEightBits = VKR_OP_WRITE_N | 7;
    const auto zeroBits = [&](size_t index) {
        const uint8_t op = mPayload[mOperations[index]];
        return op >= kOneBit && op <= kEightBits && mPayload[mOperations[index] + 1] == 0;
    };
    const size_t count = mOperations.size();
    if (count < 2 || operationAt(0) != VKR_OP_SET_PGC || mPayload.back() != 1)
        return false;
    // PGD is driven low: set so in this frame, with only clocks that leave it low since.
    bool low = false;
    for (size_t i = count - 1; i-- > 0 && !low;) {
        const uint8_t op = mPayload[mOperations[i]];
        if (op == VKR_OP_SET_PGD && mPayload[mOperations[i] + 1] == 0)
            low = true;
        else if (op != VKR_OP_SET_PGC && !zeroBits(i))
            return false;
    }
    if (!low)
        return false;
    const size_t rise = mOperations.back();
    if (zeroBits(count - 2) && operationAt(1) != kEightBits) {
        ++mPayload[mOperations[count - 2]];  // one more bit of 0
        mPayload.resize(rise);
        mOperations.pop_back();
    } else {
        mPayload[rise] = kOneBit;
        mPayload[rise + 1] = 0;
    }
    return true;
}

bool ProProgrammer::foldShiftRun() {
    constexpr uint8_t kWriteEightBits = VKR_OP_WRITE_N | 7;
    if (operationAt(0) != kWriteEightBits || (operationAt(1) & 0xF0) != VKR_OP_CMD4 ||
        mPayload.back() != 0 || mPayloadResults + 1 > size_t{VKR_MAX_PAYLOAD} - 1)
        return false;
    const size_t first = mOperations[mOperations.size() - 2];
    const auto command = static_cast<uint8_t>(mPayload[first] & 0x0F);
    if (operationAt(2) == VKR_OP_SHIFT_RUN) {
        uint8_t* run = &mPayload[mOperations[mOperations.size() - 3] + 1];
        if (run[0] < size_t{VKR_MAX_PAYLOAD} - 1 && run[1] == command) {
            ++run[0];
            mPayload.resize(first);
            mOperations.resize(mOperations.size() - 2);
            return true;
        }
    }
    mPayload.resize(first);
    mPayload.insert(mPayload.end(), {VKR_OP_SHIFT_RUN, 1, command});
    mOperations.resize(mOperations.size() - 1);
    return true;
}

void ProProgrammer::queueReadBits(int32_t count) {
    const auto n = static_cast<uint8_t>(count < 1 ? 1 : count > 16 ? 16 : count);
    if (n == 8 && mOpen && foldShiftRun()) {
        mPayloadResults += 1;
        mPendingReads.push_back(1);
        return;
    }
    if (!queue({static_cast<uint8_t>(VKR_OP_READ_N | (n - 1))}, n <= 8 ? 1 : 2))
        mPendingReads.push_back(0);
}

int32_t ProProgrammer::takeRead() {
    if (mPendingReads.empty())
        return 0;
    if (mPendingReads.front() == 0 || !mOpen) {
        mPendingReads.pop_front();
        return 0;
    }
    return readValue(takeResults(0));
}

}  // namespace velkaro
