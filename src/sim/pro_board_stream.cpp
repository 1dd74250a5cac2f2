#include "sim/pro_board_stream.h"

#include <algorithm>

namespace velkaro::sim {

ProBoardStream::ProBoardStream(PinTarget& target, Clock& clock)
    : mClock(clock), mBoard(target, clock) {}

bool ProBoardStream::open(const std::string&, int) {
    // Whatever the board said before the port opened is gone, as with a real port.
    uint8_t stale = 0;
    while (mBoard.transmit(stale)) {
    }
    mBoard.reset();
    mOpen = true;
    return true;
}

void ProBoardStream::close() {
    mOpen = false;
}

bool ProBoardStream::write(const uint8_t* data, size_t size) {
    if (!mOpen)
        return fail("the port is not open");
    // The bytes cross the wire one after the other; the board takes each as it arrives, so
    // it may run one frame while the next is still coming.
    uint64_t arrives = std::max(mClock.nowMicroseconds(), mWireFreeUs);
    for (size_t i = 0; i < size; ++i) {
        arrives += ProBoard::kByteUs;
        mClock.waitUntilMicroseconds(arrives);
        mBoard.receive(data[i]);
        mBoard.poll();
    }
    mWireFreeUs = arrives;
    return true;
}

int ProBoardStream::read(uint8_t* data, size_t size, int timeoutMs) {
    if (!mOpen) {
        fail("the port is not open");
        return -1;
    }
    mBoard.poll();
    const uint64_t deadline =
        mClock.nowMicroseconds() + static_cast<uint64_t>(timeoutMs < 0 ? 0 : timeoutMs) * 1000;
    std::optional<uint64_t> next = mBoard.nextByteArrivesUs();
    if (!next || *next > deadline) {
        // Nothing yet: the host waits, and the board's own timers run meanwhile.
        mClock.waitUntilMicroseconds(deadline);
        mBoard.poll();
        next = mBoard.nextByteArrivesUs();
    }
    if (next)
        mClock.waitUntilMicroseconds(std::min(*next, deadline));
    size_t n = 0;
    const uint64_t now = mClock.nowMicroseconds();
    while (n < size && mBoard.nextByteArrivesUs().value_or(now + 1) <= now &&
           mBoard.transmit(data[n]))
        ++n;
    return static_cast<int>(n);
}

}  // namespace velkaro::sim
