#include "sim/pro_board_stream.h"

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
    mBoard.receive(std::span<const uint8_t>(data, size));
    mBoard.poll();
    return true;
}

int ProBoardStream::read(uint8_t* data, size_t size, int timeoutMs) {
    if (!mOpen) {
        fail("the port is not open");
        return -1;
    }
    mBoard.poll();
    if (mBoard.bytesToTransmit() == 0) {
        // Nothing yet: the host waits, and the board's own timers run meanwhile.
        mClock.waitUntilMicroseconds(mClock.nowMicroseconds() +
                                     static_cast<uint64_t>(timeoutMs < 0 ? 0 : timeoutMs) * 1000);
        mBoard.poll();
    }
    size_t n = 0;
    while (n < size && mBoard.transmit(data[n]))
        ++n;
    return static_cast<int>(n);
}

}  // namespace velkaro::sim
