#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "link/clock.h"
#include "link/serial_stream.h"
#include "sim/pin_target.h"

struct avr_t;
struct avr_irq_t;
struct avr_uart_t;

namespace velkaro::emu {

// The programmer board as built: the firmware's ELF running on an emulated ATmega328P at
// 16 MHz (simavr), its UART the serial port the host backend talks to, its GPIO pins wired
// to a pin-level chip as the circuit of docs/pro-circuit.md wires them (PGC PD2, PGD PD3,
// VPP PD4, T1 PD5 from the chip's clock-out, VDD PD7, VDD sense PC0, and the VPP level
// from PD6 and PB4 through the regulator to the target's VPP volts). Time is the
// emulated CPU's: the board's clock() counts its cycles (62.5 ns each), so the chip sees the
// firmware's own timing and a test reads programming times in emulated seconds.
class AvrBoard : public SerialStream {
public:
    // False from loaded() when the ELF cannot be read; error() tells why.
    AvrBoard(const std::string& elfPath, sim::PinTarget& target);
    ~AvrBoard() override;
    AvrBoard(const AvrBoard&) = delete;
    AvrBoard& operator=(const AvrBoard&) = delete;

    bool loaded() const { return mAvr != nullptr; }
    // Emulated time, for the host's clock.
    Clock& clock() { return mClock; }
    double seconds() const;

    // Faults: the link goes dead (the board runs on but no byte passes either way), one
    // byte from the host is garbled on the wire, the board resets.
    void hangAfterBytes(int64_t bytesFromHost) { mHangAfter = bytesFromHost; }
    void garbleByte(int64_t index) { mGarbleAt = index; }
    void resetAfterBytes(int64_t bytesFromHost) { mResetAfter = bytesFromHost; }
    void resetNow();

    bool open(const std::string& path, int baud) override;
    void close() override;
    bool isOpen() const override { return mOpen; }
    bool write(const uint8_t* data, size_t size) override;
    int read(uint8_t* data, size_t size, int timeoutMs) override;

    // Called from the emulator's callbacks.
    void onUartByte(uint8_t byte);
    void onPin(char port, int bit, uint32_t value);
    void onDirection(uint32_t ddr);
    void refreshPgdInput();
    uint64_t toggleOscillator();

private:
    class CycleClock : public Clock {
    public:
        explicit CycleClock(AvrBoard& board) : mBoard(board) {}
        uint32_t tickMilliseconds() override;
        uint64_t nowMicroseconds() override;
        void sleepMilliseconds(uint32_t ms) override;
        void waitUntilMicroseconds(uint64_t deadline) override;

    private:
        AvrBoard& mBoard;
    };

    uint64_t nowUs() const;
    uint64_t nowNs() const;
    bool pgdDriven() const;
    bool uartFull() const;
    // Runs the CPU until `untilUs` or until bytes from the board are waiting.
    bool runUntil(uint64_t untilUs, bool stopOnOutput);
    void updateOscillator();
    void updateVppLevel();

    sim::PinTarget& mTarget;
    CycleClock mClock;
    avr_t* mAvr = nullptr;
    avr_irq_t* mUartInput = nullptr;
    avr_uart_t* mUart = nullptr;
    avr_irq_t* mPgdPin = nullptr;
    avr_irq_t* mVddSense = nullptr;
    avr_irq_t* mOscPin = nullptr;
    bool mOpen = false;
    uint64_t mNextFeedCycle = 0;
    bool mPgdLatch = false;
    bool mFeeding = false;
    bool mOscRunning = false;
    bool mOscLevel = false;
    uint64_t mOscHalfPeriodCycles = 0;
    std::deque<uint8_t> mToBoard;
    std::deque<uint8_t> mFromBoard;
    int64_t mBytesFromHost = 0;
    int64_t mHangAfter = -1;
    int64_t mGarbleAt = -1;
    int64_t mResetAfter = -1;
    bool mHung = false;
};

}  // namespace velkaro::emu
