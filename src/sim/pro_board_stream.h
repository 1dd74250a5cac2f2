#pragma once

#include "link/clock.h"
#include "link/serial_stream.h"
#include "sim/pin_target.h"
#include "sim/pro_board.h"

namespace velkaro::sim {

// The intelligent programmer's board, emulated by its own firmware core built for the host
// (ProBoard), behind a serial stream: what the PRO backend talks to when no real board is
// attached and the emulated one is asked for. Opening the stream resets the board, as DTR
// does on the real one; time passes on `clock` while the host waits for an answer.
class ProBoardStream : public SerialStream {
public:
    ProBoardStream(PinTarget& target, Clock& clock);

    ProBoard& board() { return mBoard; }

    bool open(const std::string& path, int baud) override;
    void close() override;
    bool isOpen() const override { return mOpen; }
    bool write(const uint8_t* data, size_t size) override;
    int read(uint8_t* data, size_t size, int timeoutMs) override;

private:
    Clock& mClock;
    ProBoard mBoard;
    bool mOpen = false;
    uint64_t mWireFreeUs = 0;  // when the last byte sent to the board has crossed the wire
};

}  // namespace velkaro::sim
