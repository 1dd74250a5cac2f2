// The PRO backend's reply parser: the programmer's calls run over a serial stream whose
// board is the firmware core on the host, but every answer it sends may be garbled on the
// way (bytes flipped, cut, dropped, added, or a frame of the input's own making). An
// independent reading of the bytes the host takes decides whether each reply checks (frame
// start, CRC, sequence number, the length the honest board gave, status 0); then:
//   - a call during which a reply did not check (or none came, or the port failed) fails,
//     and ends the session with an error: port closed, nothing sent after but one POWER_OFF;
//   - a session where every reply checked never fails;
//   - what the host sends is well framed, numbered one up, never more than one frame
//     ahead of the reply it waits for.
// The opcodes stay the backend's and the board's business: the harness reads only the
// framing, the honest board's reply lengths and the POWER_OFF the host sends on a failure.
#include <deque>
#include <string>
#include <vector>

#include "core/protocol.h"
#include "harness_support.h"
#include "link/pro_programmer.h"
#include "link/programmer_commands.h"
#include "link/virtual_clock.h"
#include "sim/pin_target.h"
#include "sim/pro_board.h"
#include "sim/sim_chip.h"

using namespace velkaro;

namespace {

constexpr size_t kMaxInput = 4096;
constexpr char kBanner[] = "VKR20PRO\n";

std::vector<uint8_t> framed(uint8_t sequence, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> f{VKR_FRAME_START, sequence, static_cast<uint8_t>(payload.size())};
    f.insert(f.end(), payload.begin(), payload.end());
    f.push_back(vkr_crc8(0, f.data() + 1, f.size() - 1));
    return f;
}

class GarblingStream : public SerialStream {
public:
    GarblingStream(fuzz::ByteReader& in, sim::PinTarget& target, Clock& clock)
        : mIn(in), mBoard(target, clock) {}

    // A reply (or the lack of one, or a port failure) the host must fail on.
    bool mustFail = false;
    // A reply checked only for its framing: the honest board refused the frame, so the
    // length the host expects is unknown; whether the host goes on is then its own call.
    bool uncertain = false;
    // The banner arrived intact (so SOpen has every reason to succeed).
    bool bannerIntact = false;
    std::string bannerSeen;  // what the host read before its first frame

    bool open(const std::string&, int) override {
        if (mOpen)
            fuzz::fail("the port was opened twice");
        mOpen = true;
        mustFail = uncertain = false;
        mToHost.clear();
        mExpected.clear();
        mHeader.clear();
        mJudged = 0;
        mFirstFrame = true;
        mSentPowerOff = false;
        mBannerRead.clear();
        bannerSeen.clear();
        uint8_t stale;
        while (mBoard.transmit(stale)) {
        }
        mBoard.reset();
        std::vector<uint8_t> banner = honestOutput();
        bannerIntact = false;
        switch (mIn.byte() % 8) {
            case 1: {  // noise first, which the host skips
                std::vector<uint8_t> noise = mIn.bytes(mIn.byte() % 16);
                noise.insert(noise.end(), banner.begin(), banner.end());
                banner = noise;
                break;
            }
            case 2:  // no banner at all
                banner.clear();
                break;
            case 3:  // something else
                banner = mIn.bytes(mIn.byte() % 16);
                break;
            default:
                bannerIntact = true;
                break;
        }
        mToHost.insert(mToHost.end(), banner.begin(), banner.end());
        return true;
    }

    void close() override { mOpen = false; }
    bool isOpen() const override { return mOpen; }

    bool write(const uint8_t* data, size_t size) override {
        if (!mOpen)
            fuzz::fail("a write to a closed port");
        const std::vector<uint8_t> frame(data, data + size);
        checkHostFrame(frame);
        if (mustFail) {
            // After a failure the host may only ask whatever listens to switch off.
            if (mSentPowerOff || frame.size() != 5 || frame[3] != VKR_OP_POWER_OFF)
                fuzz::fail("the host went on sending after a reply that did not check");
            mSentPowerOff = true;
            return true;
        }
        if (mHaveSequence && frame[1] != static_cast<uint8_t>(mLastSequence + 1))
            fuzz::fail("the host's sequence numbers do not count up by one");
        mHaveSequence = true;
        mLastSequence = frame[1];
        if (mExpected.size() - mJudged > 1)
            fuzz::fail("the host sent a frame while two were waiting for their replies");
        if (mFirstFrame) {
            mFirstFrame = false;
            // The host stops reading at the banner; what it read is the banner phase.
            bannerSeen = mBannerRead;
        }
        mBoard.receive(frame);
        mBoard.poll();
        std::vector<uint8_t> reply = honestOutput();
        if (reply.size() < 5 || reply.size() != reply[2] + 4u)
            fuzz::fail("the honest board did not answer a frame with one reply");
        mExpected.push_back({reply[1], reply[2], reply[3] == VKR_STATUS_OK});
        if (mIn.byte() % 16 == 15) {
            mustFail = true;
            return fail("the port failed (fuzz)");
        }
        garble(reply);
        mToHost.insert(mToHost.end(), reply.begin(), reply.end());
        return true;
    }

    int read(uint8_t* data, size_t size, int) override {
        if (!mOpen)
            fuzz::fail("a read from a closed port");
        if (mustFail)
            fuzz::fail("the host read on after a reply that did not check");
        if (mToHost.empty()) {
            if (!mFirstFrame)
                mustFail = true;  // the host waits for a reply that never comes
            return 0;
        }
        size_t n = 0;
        while (n < size && !mToHost.empty()) {
            data[n] = mToHost.front();
            mToHost.pop_front();
            if (mFirstFrame)
                mBannerRead.push_back(static_cast<char>(data[n]));
            else
                judge(data[n]);
            ++n;
        }
        return static_cast<int>(n);
    }

private:
    struct Expected {
        uint8_t sequence;
        uint8_t length;
        bool known;  // the honest board answered OK, so the length is what the host wants
    };

    std::vector<uint8_t> honestOutput() {
        std::vector<uint8_t> out;
        for (uint8_t c; mBoard.transmit(c);)
            out.push_back(c);
        return out;
    }

    void checkHostFrame(const std::vector<uint8_t>& f) {
        if (f.size() < 4 || f[0] != VKR_FRAME_START || f[2] > VKR_MAX_PAYLOAD ||
            f.size() != f[2] + 4u || vkr_crc8(0, f.data() + 1, f.size() - 2) != f.back())
            fuzz::fail("the host sent a malformed frame");
    }

    // Changes the honest reply on its way as the input says.
    void garble(std::vector<uint8_t>& reply) {
        switch (mIn.byte() % 10) {
            case 2:
                if (!reply.empty()) {
                    const size_t at = mIn.byte() % reply.size();
                    reply[at] ^= static_cast<uint8_t>(mIn.byte() | 1);
                }
                break;
            case 3:
                reply.resize(mIn.byte() % (reply.size() + 1));
                break;
            case 4:
                reply.clear();
                break;
            case 5: {
                const std::vector<uint8_t> more = mIn.bytes(mIn.byte() % 8);
                reply.insert(reply.end(), more.begin(), more.end());
                break;
            }
            case 6: {  // a frame of the input's own, with a correct CRC
                const uint8_t shift = mIn.byte();
                const uint8_t sequence =
                    static_cast<uint8_t>(reply[1] + (shift >= 0xF0 ? shift : 0));
                reply = framed(sequence, mIn.bytes(mIn.byte() % 8));
                break;
            }
            case 7:
                reply = mIn.bytes(mIn.byte() % 16);
                break;
            default:
                break;
        }
    }

    // Follows the bytes the host takes, frame by frame, as the protocol says they read.
    void judge(uint8_t byte) {
        mHeader.push_back(byte);
        if (mHeader.size() == 3 && mHeader[0] != VKR_FRAME_START) {
            verdict(false);
            return;
        }
        if (mHeader.size() < 3 || mHeader.size() < mHeader[2] + 4u)
            return;
        const std::vector<uint8_t>& f = mHeader;
        bool good = f[2] >= 1 && vkr_crc8(0, f.data() + 1, f.size() - 2) == f.back() &&
                    f[3] == VKR_STATUS_OK;
        if (mJudged >= mExpected.size()) {
            good = false;  // a reply to nothing
        } else {
            const Expected& e = mExpected[mJudged];
            good = good && f[1] == e.sequence;
            if (good && !e.known)
                uncertain = true;
            good = good && (!e.known || f[2] == e.length);
        }
        verdict(good);
    }

    void verdict(bool good) {
        ++mJudged;
        mHeader.clear();
        if (!good)
            mustFail = true;
    }

    fuzz::ByteReader& mIn;
    sim::ProBoard mBoard;
    bool mOpen = false;
    bool mFirstFrame = true;
    bool mSentPowerOff = false;
    bool mHaveSequence = false;
    uint8_t mLastSequence = 0;
    std::deque<uint8_t> mToHost;
    std::vector<Expected> mExpected;
    size_t mJudged = 0;
    std::vector<uint8_t> mHeader;
    std::string mBannerRead;
};

const int32_t kCommands[] = {kCmdFirmwareDate,     kBlockTestStart16Bit, kBlockTest14Bit,
                             kBlockTestOtherWidth, kBlockTest16Bit,      kBlockTestEnd,
                             kCmdVppHigh,          kCmdVppLow,           kCmdFirmwareVersion,
                             kCmdPrepareFastCheck};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > kMaxInput)
        return 0;
    const auto& devices = fuzz::sampleDevices();
    fuzz::ByteReader in(data, size);
    VirtualClock clock{0};
    sim::PinTarget target(sim::makeSimChip(devices[in.byte() % devices.size()].DeviceName));
    GarblingStream stream(in, target, clock);
    ProProgrammer programmer(
        stream, [](int port) { return port == 1 ? std::string("/dev/fuzz") : std::string(); });

    while (!in.empty()) {
        const uint8_t call = in.byte();
        const bool wasOpen = programmer.sessionOpen();
        const bool wasFailing = stream.mustFail;
        bool opening = false;
        bool closing = false;
        int32_t result = 1;
        switch (call % 18) {
            case 0:
                opening = true;
                result = programmer.SOpen(in.byte() % 8 == 7 ? 2 : 1);
                break;
            case 1:
                closing = true;
                result = programmer.SClose();
                break;
            case 2:
                result = programmer.SVccOn(0);
                break;
            case 3:
                result = programmer.SVppOn(0);
                break;
            case 4:
                result = programmer.SPowerOff();
                break;
            case 5:
                result = programmer.SCheckPower();
                break;
            case 6:
                result = programmer.SCheckOSC();
                break;
            case 7: {
                const uint8_t pick = in.byte();
                result =
                    programmer.SSendCmd(pick < 250 ? kCommands[pick % std::size(kCommands)] : pick);
                break;
            }
            case 8:
                programmer.SGetc();
                result = 0;  // no success to report
                break;
            case 9:
                result = programmer.SSetLED(in.byte());
                break;
            case 10:
                result = programmer.SSetPGC(in.byte() & 1);
                break;
            case 11:
                result = programmer.SSetPGD(in.byte() & 1);
                break;
            case 12: {
                const uint16_t value = in.word();
                result = programmer.SWriteBit(value, in.byte() % 20);
                break;
            }
            case 13:
                result = programmer.SWriteWord(in.word());
                break;
            case 14:
                result = programmer.SReadWord();
                break;
            case 15:
                result = programmer.SReadBit(in.byte() % 20);
                break;
            case 16:
                programmer.queueDelay(uint64_t{in.word()} * 16);
                result = 0;
                break;
            default:
                programmer.SSetMode(0);
                result = 0;
                break;
        }

        if (stream.mustFail && !wasFailing) {
            if (programmer.sessionOpen() || stream.isOpen())
                fuzz::fail("a reply that did not check left the session open");
            if (programmer.lastError().empty())
                fuzz::fail("a reply that did not check ended the session without an error");
            if (result != 0)
                fuzz::fail("a call reported success on a reply that did not check");
        } else if (!stream.mustFail && !stream.uncertain) {
            if (opening && stream.bannerIntact && result != 1 && !programmer.lastError().empty() &&
                programmer.lastError().find("not set up") == std::string::npos)
                fuzz::fail("SOpen failed on an intact banner: " + programmer.lastError());
            if (wasOpen && !opening && !closing && !programmer.sessionOpen())
                fuzz::fail("the session ended on replies that all checked: " +
                           programmer.lastError());
            if (closing && wasOpen && result != 1)
                fuzz::fail("SClose failed on replies that all checked");
        }
        if (opening && result == 1) {
            if (!programmer.sessionOpen())
                fuzz::fail("SOpen succeeded without a session");
            if (stream.bannerSeen.find(kBanner) == std::string::npos)
                fuzz::fail("SOpen succeeded without the start-up banner");
        }
    }
    return 0;
}
