#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>

#include "link/clock.h"
#include "sim/pin_target.h"

struct vkr_board;
struct vkr_hal;

namespace velkaro::sim {

// The intelligent programmer's board on the host: the firmware's portable core (firmware/
// core) running over a hardware layer that drives a PinTarget's pins at the clock's time.
// Half clocks and delays advance the clock through waitUntilMicroseconds, so the chip
// model checks the waveform times the firmware really keeps. The serial port is two byte
// queues; nothing runs until poll(), which lets the core take every byte received so far
// (running each complete frame and queuing its reply) and give up a frame whose bytes
// stopped coming 50 ms ago.
//
// Time: the clock runs as it would on the ATmega328P at 16 MHz, and the pins change at
// the board's time to the nanosecond. The firmware's delays wait what they say; every pin
// step, every operation and every byte the core takes or sends costs what its instructions
// take there, fitted to whole runs of the firmware's own build under an AVR emulator: a
// pin step inside the bit loops 560 ns (a bit is three steps, its half-clock waits
// included); each read of bits 5 us more for the call and the loop round it; an operation
// 27 us besides its pin steps and waits (the frame is checked operation by operation
// before any runs, then each is decoded again and the supply checked after it); a byte
// 10 us of the main loop (the ring, the frame's state, its CRC). These include the timer
// interrupt and the main loop's rounds, so they are a little above what a profile of one
// operation shows. Each byte sent stays kByteUs on the wire (one start bit, eight data
// bits, one stop bit at 1 000 000 baud) before the host can read it.
//
// The board refers to the target and the clock and owns neither; both must outlive it.
// Constructing it is the board's power-on: the lines go to their safe state and the
// start-up banner is queued.
class ProBoard {
public:
    static constexpr uint64_t kByteUs = 10;
    static constexpr uint32_t kPinStepNs = 560;
    static constexpr uint32_t kByteWorkNs = 10000;
    static constexpr uint32_t kOpWorkNs = 27000;
    static constexpr uint32_t kReadCallNs = 5000;

    ProBoard(PinTarget& target, Clock& clock);
    ~ProBoard();
    ProBoard(const ProBoard&) = delete;
    ProBoard& operator=(const ProBoard&) = delete;

    // Host side of the serial link: a byte sent to the board, and the next byte the board
    // sent (false when there is none).
    void receive(uint8_t byte);
    void receive(std::span<const uint8_t> bytes);
    bool transmit(uint8_t& byte);
    size_t bytesToTransmit() const { return mToHost.size(); }
    // When the next byte the board sent has crossed the wire; nothing when none was sent.
    std::optional<uint64_t> nextByteArrivesUs() const;

    // Lets the core process everything received so far.
    void poll();

    // A reset (the port opening pulses DTR): bytes not yet taken are lost, the supplies go
    // off and the banner is sent again.
    void reset();

    // Outputs that reach no pin of the target.
    int ledPosition() const { return mLed; }
    // The regulator's output in volts (docs/pro-circuit.md): 8.5, 12.0 or 13.0.
    double vppVolts() const { return mVppVolts; }

    // Fault: the target's VDD rail is held down (a short on the target). The rail also
    // counts as down with an empty socket, as the simulated programmer reports no target
    // power then.
    void setSupplyShorted(bool shorted) { mShorted = shorted; }

private:
    static ProBoard& self(void* ctx) { return *static_cast<ProBoard*>(ctx); }
    static void setVdd(void* ctx, bool on);
    static void setVpp(void* ctx, bool on);
    static void setVppLevel(void* ctx, uint8_t level);
    static bool targetPowered(void* ctx);
    static void setPgc(void* ctx, bool high);
    static void setPgd(void* ctx, bool high);
    static void releasePgd(void* ctx);
    static bool readPgd(void* ctx);
    static void setLed(void* ctx, uint8_t position);
    static void delayUs(void* ctx, uint16_t us);
    static uint32_t micros(void* ctx);
    static int uartRead(void* ctx);
    static void uartWrite(void* ctx, uint8_t byte);
    static uint32_t countOscEdges(void* ctx, uint32_t gateUs);
    // Time the board's own instructions take.
    void spend(uint32_t ns);
    // The board's time to the nanosecond: the clock's and what is not yet passed on to it.
    uint64_t nowNs();

    struct SentByte {
        uint8_t byte;
        uint64_t arrivesUs;
    };

    PinTarget& mTarget;
    Clock& mClock;
    std::unique_ptr<vkr_hal> mHal;
    std::unique_ptr<vkr_board> mBoard;
    std::deque<uint8_t> mToBoard;
    std::deque<SentByte> mToHost;
    uint64_t mWireFreeUs = 0;  // when the transmitter has sent everything queued so far
    uint32_t mSpentNs = 0;     // instruction time not yet passed on to the clock
    int mLed = 0;
    double mVppVolts = 0.0;
    bool mShorted = false;
};

}  // namespace velkaro::sim
