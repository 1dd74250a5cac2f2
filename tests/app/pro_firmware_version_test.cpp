// A board still running firmware 1.02 knows no CORE_RUN: the host asks the version as the
// port opens and sends such a board only the operations it knows, so a PIC18 write works
// there as it did before; a 1.03 board gets the runs.
#include <gtest/gtest.h>

#include <deque>
#include <set>
#include <string>
#include <vector>

#include "app/workspace.h"
#include "catalogue/message_sink.h"
#include "core/protocol.h"
#include "link/pro_programmer.h"
#include "link/programmer_clock.h"
#include "link/virtual_clock.h"
#include "operations/verify_device.h"
#include "operations/write_device.h"
#include "sim/pin_target.h"
#include "sim/pro_board_stream.h"
#include "sim/sim_chip.h"
#include "support/paths.h"
#include "support/recording_ui.h"

namespace velkaro {
namespace {

// Argument bytes of the operation at `at` (docs/pro-protocol.md), the words of a run
// included.
size_t operationLength(const uint8_t* at) {
    static const uint8_t kArgs[] = {0, 0, 0, 1, 1, 3, 2, 0, 1, 2, 1, 0, 1, 1, 1, 0, 0, 0, 3, 2};
    const uint8_t op = at[0];
    if (op >= 1 && op <= sizeof kArgs)
        return 1 + kArgs[op - 1];
    if (op == VKR_OP_WRITE_RUN)
        return 4 + 2u * at[1];
    if (op == VKR_OP_CORE_RUN)
        return 3 + 2u * at[1];
    if (op == VKR_OP_LOW_VOLTAGE || (op >= VKR_OP_WRITE_N && op < VKR_OP_WRITE_N + 8))
        return 2;
    if (op >= VKR_OP_CMD4_WORD && op < VKR_OP_CMD6)
        return 3;
    return 1;
}

// The emulated board as a 1.02 board answers the version, the CRC made good; every
// operation the host sends is noted.
class BoardOfVersion : public SerialStream {
public:
    BoardOfVersion(SerialStream& inner, char lastDigit) : mInner(inner), mDigit(lastDigit) {}

    std::set<uint8_t> opcodesSent;

    bool open(const std::string& path, int baud) override {
        mPassed = 0;
        mHeld.clear();
        return mInner.open(path, baud) || fail(mInner.error());
    }
    void close() override { mInner.close(); }
    bool isOpen() const override { return mInner.isOpen(); }

    bool write(const uint8_t* data, size_t size) override {
        // Each write is one frame: start, sequence, length, payload, CRC.
        for (size_t at = 3; size > 4 && at < 3u + data[2] && at + 1 < size;) {
            opcodesSent.insert(data[at]);
            at += operationLength(data + at);
        }
        return mInner.write(data, size) || fail(mInner.error());
    }

    // The banner passes; the reply after it (the version asked as the port opens) is held
    // until it is whole and then changed.
    int read(uint8_t* data, size_t size, int timeoutMs) override {
        constexpr size_t kBanner = 9;
        constexpr size_t kVersionReply = 9;  // start, sequence, length 5, status, 4 characters, CRC
        if (mPassed >= kBanner && mPassed < kBanner + kVersionReply && mHeld.empty()) {
            std::vector<uint8_t> reply(kVersionReply);
            size_t got = 0;
            while (got < reply.size()) {
                const int n = mInner.read(reply.data() + got, reply.size() - got, timeoutMs);
                if (n <= 0)
                    return n;
                got += static_cast<size_t>(n);
            }
            EXPECT_EQ(std::string(reply.begin() + 4, reply.begin() + 8), "1.03");
            reply[7] = static_cast<uint8_t>(mDigit);
            reply[8] = vkr_crc8(0, reply.data() + 1, 7);
            mHeld.assign(reply.begin(), reply.end());
        }
        if (!mHeld.empty()) {
            size_t n = 0;
            for (; n < size && !mHeld.empty(); ++n) {
                data[n] = mHeld.front();
                mHeld.pop_front();
            }
            mPassed += n;
            return static_cast<int>(n);
        }
        const size_t room = mPassed < kBanner ? std::min(size, kBanner - mPassed) : size;
        const int n = mInner.read(data, room, timeoutMs);
        if (n > 0)
            mPassed += static_cast<size_t>(n);
        return n;
    }

private:
    SerialStream& mInner;
    char mDigit;
    size_t mPassed = 0;
    std::deque<uint8_t> mHeld;
};

TEST(ProFirmwareVersion, OnlyBoardsFromOneZeroThreeGetCoreRuns) {
    for (const char digit : {'2', '3'}) {
        SCOPED_TRACE(std::string("firmware 1.0") + digit);
        VirtualClock clock;
        sim::PinTarget pins(sim::makeSimChip("PIC18F4520"));
        sim::ProBoardStream board(pins, clock);
        BoardOfVersion stream(board, digit);
        ProProgrammer pro(stream, [](int port) { return "emulated COM" + std::to_string(port); });
        ProgrammerClock linkClock(clock);
        linkClock.setDelaySink(&pro);
        Workspace ws(test::binDir());
        SilentMessageSink messages;
        ws.SelectDevice("PIC18F4520", messages);
        ProgrammerLink& link = ws.attachProgrammer(pro, linkClock);
        link.setHardwareType(ProgrammerLink::kProgrammerPro);
        test::RecordingUi ui;
        link.setUi(ui);
        link.measureCallsPerMillisecond();

        ws.device.ProgSize = 256;
        for (int32_t i = 0; i < ws.device.ProgSize; ++i)
            ws.image.ProgMemory[i] = static_cast<uint16_t>(0x1234 + 0x0101 * i);
        ASSERT_EQ(runWrite(ws, ui, {true, false, true, false}).result, kResultOk)
            << pro.lastError();
        EXPECT_EQ(verifyDevice(ws, ui, true, false, true), kResultOk);
        EXPECT_EQ(stream.opcodesSent.count(VKR_OP_CORE_RUN), digit == '3' ? 1u : 0u);
        EXPECT_EQ(pins.chip()->takeNotes(), std::vector<std::string>{});
        EXPECT_FALSE(pins.vdd() || pins.vpp());
    }
}

}  // namespace
}  // namespace velkaro
