// The PRO board's firmware core (frame receiver and operation runner) on the host, fed any
// bytes as the input of its serial port, with a chip in the socket: every reply is a whole
// frame with a correct CRC and at most 250 payload bytes, a frame that arrives whole is
// answered once with its own sequence number, and the target is unpowered after a
// POWER_OFF, after a supply failure and after the host has been silent for two seconds.
//
// The input is a list of steps, each a kind byte and its bytes:
//   0 raw      n, n bytes          sent as they are (noise, partial frames, anything)
//   1 frame    n, n payload bytes  wrapped as a frame with a correct CRC
//   2 frame    n, n payload bytes  as 1, then a frame holding POWER_OFF alone
//   3 wait     t                   t * 20 ms of silence
//   4 socket   s                   a short on the target's supply on or off, or the socket
//                                  emptied / filled again
//   5 reset                        the board resets (the port opened again)
//   6 overlong l, n, n bytes         a frame header with a length of 251 + l % 5, answered at
//                                  once as a bad frame, then n bytes the board must drop
// The opcodes are the board's business: the harness knows only POWER_OFF and the framing,
// so it keeps working as operations are added.
#include <optional>
#include <vector>

#include "core/protocol.h"
#include "harness_support.h"
#include "link/virtual_clock.h"
#include "sim/pin_target.h"
#include "sim/pro_board.h"
#include "sim/sim_chip.h"

using namespace velkaro;

namespace {

constexpr uint64_t kByteTimeoutUs = VKR_BYTE_TIMEOUT_US;
constexpr uint64_t kHostTimeoutUs = VKR_HOST_TIMEOUT_US;
constexpr size_t kMaxInput = 4096;  // enough for a few dozen frames; keeps runs fast

struct Reply {
    uint8_t sequence;
    uint8_t status;
};

class Bench {
public:
    explicit Bench(const DeviceDefinition* device) {
        if (device)
            mChip = device->DeviceName;
        fillSocket();
        mBoard.emplace(mTarget, mClock);
        if (drainText() != "VKR20PRO\n")
            fuzz::fail("no start-up banner");
    }

    // Sends `bytes` and lets the board take them; the replies it sent meanwhile.
    std::vector<Reply> send(const std::vector<uint8_t>& bytes) {
        mBoard->receive(bytes);
        mBoard->poll();
        if (!bytes.empty())
            mHeardUs = mClock.peekMicroseconds();
        return replies();
    }

    // Time passes without a byte from the host.
    std::vector<Reply> wait(uint64_t us) {
        mClock.advanceMicroseconds(us);
        mBoard->poll();
        std::vector<Reply> r = replies();
        if (mClock.peekMicroseconds() - mHeardUs >= kHostTimeoutUs)
            requireOff("the host has been silent for two seconds");
        return r;
    }

    // A frame sent whole after the receiver has given up whatever came before: exactly one
    // reply, with the frame's sequence number.
    Reply frame(const std::vector<uint8_t>& payload) {
        wait(kByteTimeoutUs);
        const uint8_t sequence = ++mSequence;
        std::vector<uint8_t> bytes{VKR_FRAME_START, sequence, static_cast<uint8_t>(payload.size())};
        bytes.insert(bytes.end(), payload.begin(), payload.end());
        bytes.push_back(vkr_crc8(0, bytes.data() + 1, bytes.size() - 1));
        const std::vector<Reply> r = send(bytes);
        if (r.size() != 1)
            fuzz::fail("a whole frame was answered " + std::to_string(r.size()) + " times");
        if (r[0].sequence != sequence)
            fuzz::fail("a reply carries another frame's sequence number");
        if (r[0].status == VKR_STATUS_BAD_FRAME)
            fuzz::fail("a whole frame with a correct CRC was called bad");
        if (r[0].status == VKR_STATUS_POWER_LOST)
            requireOff("a reply reported the target's supply lost");
        return r[0];
    }

    // A length above 250 is answered at once as a bad frame with the frame's sequence
    // number; what follows is noise.
    void overlong(uint8_t length, const std::vector<uint8_t>& rest) {
        wait(kByteTimeoutUs);
        const uint8_t sequence = ++mSequence;
        const std::vector<Reply> r = send({VKR_FRAME_START, sequence, length});
        if (r.size() != 1 || r[0].sequence != sequence || r[0].status != VKR_STATUS_BAD_FRAME)
            fuzz::fail("a length above 250 was not refused at once");
        send(rest);
    }

    void powerOff() {
        const Reply r = frame({VKR_OP_POWER_OFF});
        if (r.status != VKR_STATUS_OK)
            fuzz::fail("POWER_OFF alone was not run");
        requireOff("POWER_OFF ran");
        if (mTarget.pgc() || mTarget.programmerPgd())
            fuzz::fail("POWER_OFF left PGC or PGD high");
    }

    void socket(uint8_t how) {
        if (how & 1) {
            mBoard->setSupplyShorted((how & 2) != 0);
        } else if (how & 2) {
            mTarget.insertChip(nullptr);
        } else {
            fillSocket();
        }
    }

    void reset() {
        mBoard->reset();
        if (drainText() != "VKR20PRO\n")
            fuzz::fail("no start-up banner after a reset");
        if (mTarget.vdd() || mTarget.vpp())
            fuzz::fail("a reset left the target powered");
    }

private:
    void fillSocket() {
        if (!mChip.empty() && mTarget.chip() == nullptr)
            mTarget.insertChip(sim::makeSimChip(mChip));
    }

    void requireOff(const std::string& after) {
        if (mTarget.vdd() || mTarget.vpp())
            fuzz::fail("the target is still powered after " + after);
    }

    std::string drainText() {
        std::string text;
        for (uint8_t c; mBoard->transmit(c);)
            text.push_back(static_cast<char>(c));
        return text;
    }

    // What the board sent since the last look, which must be whole, well-formed replies.
    std::vector<Reply> replies() {
        const std::string raw = drainText();
        std::vector<Reply> list;
        size_t at = 0;
        while (at < raw.size()) {
            const auto* b = reinterpret_cast<const uint8_t*>(raw.data()) + at;
            const size_t left = raw.size() - at;
            if (b[0] != VKR_FRAME_START)
                fuzz::fail("a reply does not start with the frame start");
            if (left < 3)
                fuzz::fail("a reply stops inside its header");
            const size_t length = b[2];
            if (length > VKR_MAX_PAYLOAD)
                fuzz::fail("a reply is longer than 250 bytes");
            if (length == 0)
                fuzz::fail("a reply without a status byte");
            if (left < length + 4)
                fuzz::fail("a reply stops before its end");
            if (vkr_crc8(0, b + 1, length + 2) != b[length + 3])
                fuzz::fail("a reply with a wrong CRC");
            const uint8_t status = b[3];
            if ((status == VKR_STATUS_BAD_FRAME || status == VKR_STATUS_TOO_LONG) && length != 1)
                fuzz::fail("a refused frame was answered with results");
            list.push_back({b[1], status});
            at += length + 4;
        }
        return list;
    }

    VirtualClock mClock{0};
    sim::PinTarget mTarget;
    std::string mChip;
    std::optional<sim::ProBoard> mBoard;
    uint64_t mHeardUs = 0;
    uint8_t mSequence = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > kMaxInput)
        return 0;
    const auto& devices = fuzz::sampleDevices();
    fuzz::ByteReader in(data, size);
    const uint8_t which = in.byte();
    Bench bench(which < devices.size() * 32 ? &devices[which % devices.size()] : nullptr);
    while (!in.empty()) {
        const uint8_t kind = in.byte() % 7;
        switch (kind) {
            case 0:
                bench.send(in.bytes(in.byte()));
                break;
            case 1:
            case 2: {
                const std::vector<uint8_t> payload = in.bytes(in.byte() % (VKR_MAX_PAYLOAD + 1));
                bench.frame(payload);
                if (kind == 2)
                    bench.powerOff();
                break;
            }
            case 3:
                bench.wait(uint64_t{in.byte()} * 20000);
                break;
            case 4:
                bench.socket(in.byte());
                break;
            case 5:
                bench.reset();
                break;
            default: {
                const auto length = static_cast<uint8_t>(VKR_MAX_PAYLOAD + 1 + in.byte() % 5);
                bench.overlong(length, in.bytes(in.byte()));
                break;
            }
        }
    }
    // However the session went, POWER_OFF switches the target off.
    bench.socket(0);
    bench.powerOff();
    return 0;
}
