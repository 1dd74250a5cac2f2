#include "emu/avr_board.h"

#include <avr_ioport.h>
#include <avr_uart.h>
#include <sim_avr.h>
#include <sim_cycle_timers.h>
#include <sim_elf.h>
#include <sim_irq.h>

#include <algorithm>
#include <cstdarg>
#include <cstdlib>

namespace velkaro::emu {

namespace {

constexpr uint32_t kFrequency = 16000000;
constexpr uint16_t kDdrD = 0x2A;  // DDRD and PORTD in the data space
constexpr uint16_t kPortD = 0x2B;
constexpr uint16_t kDdrB = 0x24;  // DDRB and PORTB
constexpr uint16_t kPortB = 0x25;
constexpr uint64_t kCyclesPerByte = kFrequency / 100000;  // ten bits at 1 Mbaud
constexpr uint64_t kPgdSettleCycles = 2;                  // 125 ns, past TDLY3 (80 ns)
constexpr int kPgc = 2, kPgd = 3, kVpp = 4, kOsc = 5, kVpp12V = 6, kVdd = 7;
constexpr int kVpp8V5 = 4;  // on port B

// The VPP regulator as docs/pro-circuit.md builds it: an LM317 with R8 from OUT to ADJ and
// R9 from ADJ to GND, R10 switched in parallel by D6 and R20 by D12.
double regulatorVolts(bool r10, bool r20) {
    double low = 2256.0;
    if (r10)
        low = 1.0 / (1.0 / low + 1.0 / 24000.0);
    if (r20)
        low = 1.0 / (1.0 / low + 1.0 / 3633.0);
    return 1.25 * (1.0 + low / 240.0);
}

struct PinHook {
    AvrBoard* board;
    char port;
    int bit;
};

void uartOut(avr_irq_t*, uint32_t value, void* param) {
    static_cast<AvrBoard*>(param)->onUartByte(static_cast<uint8_t>(value));
}
void pinChanged(avr_irq_t*, uint32_t value, void* param) {
    auto* hook = static_cast<PinHook*>(param);
    hook->board->onPin(hook->port, hook->bit, value);
}
void directionChanged(avr_irq_t*, uint32_t value, void* param) {
    static_cast<AvrBoard*>(param)->onDirection(value);
}
avr_cycle_count_t pgdSettled(avr_t*, avr_cycle_count_t, void* param) {
    static_cast<AvrBoard*>(param)->refreshPgdInput();
    return 0;
}
avr_cycle_count_t oscEdge(avr_t*, avr_cycle_count_t when, void* param) {
    const uint64_t half = static_cast<AvrBoard*>(param)->toggleOscillator();
    return half == 0 ? 0 : when + half;
}

PinHook gHooks[8];
PinHook gVpp8V5Hook;

// simavr's own messages (the ELF sections it loaded) would clutter the test output.
void quiet(avr_t*, const int, const char*, va_list) {}

}  // namespace

AvrBoard::AvrBoard(const std::string& elfPath, sim::PinTarget& target)
    : mTarget(target), mClock(*this) {
    avr_global_logger_set(quiet);
    elf_firmware_t firmware{};
    if (elf_read_firmware(elfPath.c_str(), &firmware) != 0) {
        fail("cannot read the firmware " + elfPath);
        return;
    }
    mAvr = avr_make_mcu_by_name("atmega328p");
    if (mAvr == nullptr) {
        fail("simavr has no ATmega328P");
        return;
    }
    avr_init(mAvr);
    mAvr->frequency = kFrequency;
    mAvr->log = 0;
    avr_load_firmware(mAvr, &firmware);
    // The core holds its own copies of the memories now.
    std::free(firmware.flash);
    std::free(firmware.eeprom);
    std::free(firmware.fuse);
    std::free(firmware.lockbits);

    uint32_t flags = 0;
    avr_ioctl(mAvr, AVR_IOCTL_UART_GET_FLAGS('0'), &flags);
    flags &= ~static_cast<uint32_t>(AVR_UART_FLAG_STDIO | AVR_UART_FLAG_POLL_SLEEP);
    avr_ioctl(mAvr, AVR_IOCTL_UART_SET_FLAGS('0'), &flags);
    avr_irq_register_notify(avr_io_getirq(mAvr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUTPUT),
                            uartOut, this);
    mUartInput = avr_io_getirq(mAvr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_INPUT);
    for (avr_io_t* io = mAvr->io_port; io != nullptr; io = io->next) {
        if (io->kind != nullptr && std::string(io->kind) == "uart" &&
            reinterpret_cast<avr_uart_t*>(io)->name == '0')
            mUart = reinterpret_cast<avr_uart_t*>(io);
    }

    for (int bit : {kPgc, kPgd, kVpp, kVpp12V, kVdd}) {
        gHooks[bit] = {this, 'D', bit};
        avr_irq_register_notify(avr_io_getirq(mAvr, AVR_IOCTL_IOPORT_GETIRQ('D'), bit), pinChanged,
                                &gHooks[bit]);
    }
    gVpp8V5Hook = {this, 'B', kVpp8V5};
    avr_irq_register_notify(avr_io_getirq(mAvr, AVR_IOCTL_IOPORT_GETIRQ('B'), kVpp8V5), pinChanged,
                            &gVpp8V5Hook);
    updateVppLevel();
    avr_irq_register_notify(
        avr_io_getirq(mAvr, AVR_IOCTL_IOPORT_GETIRQ('D'), IOPORT_IRQ_DIRECTION_ALL),
        directionChanged, this);
    mPgdPin = avr_io_getirq(mAvr, AVR_IOCTL_IOPORT_GETIRQ('D'), kPgd);
    mOscPin = avr_io_getirq(mAvr, AVR_IOCTL_IOPORT_GETIRQ('D'), kOsc);
    mVddSense = avr_io_getirq(mAvr, AVR_IOCTL_IOPORT_GETIRQ('C'), 0);
}

AvrBoard::~AvrBoard() {
    if (mAvr != nullptr)
        avr_terminate(mAvr);
}

uint64_t AvrBoard::nowNs() const {
    return mAvr == nullptr ? 0 : mAvr->cycle * 1000 / (kFrequency / 1000000);
}

uint64_t AvrBoard::nowUs() const {
    return mAvr == nullptr ? 0 : mAvr->cycle / (kFrequency / 1000000);
}

double AvrBoard::seconds() const {
    return mAvr == nullptr ? 0.0 : static_cast<double>(mAvr->cycle) / kFrequency;
}

uint32_t AvrBoard::CycleClock::tickMilliseconds() {
    // Reading the tick takes time, as on the PC: the board runs on meanwhile.
    mBoard.runUntil(mBoard.nowUs() + 1, false);
    return static_cast<uint32_t>(mBoard.nowUs() / 1000);
}
uint64_t AvrBoard::CycleClock::nowMicroseconds() {
    return mBoard.nowUs();
}
void AvrBoard::CycleClock::sleepMilliseconds(uint32_t ms) {
    mBoard.runUntil(mBoard.nowUs() + uint64_t{ms} * 1000, false);
}
void AvrBoard::CycleClock::waitUntilMicroseconds(uint64_t deadline) {
    mBoard.runUntil(deadline, false);
}

bool AvrBoard::uartFull() const {
    if (mUart == nullptr)
        return false;
    const auto next = (mUart->input.write + 1) & (uart_fifo_fifo_size - 1);
    return next == mUart->input.read;
}

bool AvrBoard::runUntil(uint64_t untilUs, bool stopOnOutput) {
    if (mAvr == nullptr)
        return false;
    // In cycles: the loop runs once per emulated instruction.
    const uint64_t untilCycle = untilUs * (kFrequency / 1000000);
    while (mAvr->cycle < untilCycle) {
        if (stopOnOutput && !mFromBoard.empty())
            return true;
        // Bytes reach the board at the line's pace, one per byte time, and only while the
        // emulated UART has room (simavr's receiver counts eleven bits a byte, so its
        // buffer, not the wire, sets the pace then).
        if (!mToBoard.empty() && mAvr->cycle >= mNextFeedCycle && !uartFull()) {
            avr_raise_irq(mUartInput, mToBoard.front());
            mToBoard.pop_front();
            mNextFeedCycle = mAvr->cycle + kCyclesPerByte;
        }
        const int state = avr_run(mAvr);
        if (state == cpu_Done || state == cpu_Crashed)
            return false;
    }
    return true;
}

void AvrBoard::onUartByte(uint8_t byte) {
    if (!mHung)
        mFromBoard.push_back(byte);
}

void AvrBoard::onPin(char port, int bit, uint32_t value) {
    if (mFeeding)
        return;
    if ((port == 'B' && bit == kVpp8V5) || (port == 'D' && bit == kVpp12V)) {
        updateVppLevel();
        return;
    }
    if (port != 'D')
        return;
    const uint64_t now = nowNs();
    const bool high = value != 0;
    switch (bit) {
        case kPgc:
            mTarget.setPgcNs(high, now);
            // The chip's data is on the line a moment after the edge: the model keeps it
            // back for TDLY3 (80 ns), so the input pin follows two cycles later.
            avr_cycle_timer_register(mAvr, kPgdSettleCycles, pgdSettled, this);
            break;
        case kPgd:
            if (pgdDriven())
                mTarget.setPgdNs(high, now);
            break;
        case kVpp:
            mTarget.setVppNs(high, now);
            updateOscillator();
            break;
        case kVdd:
            mTarget.setVddNs(high, now);
            mFeeding = true;
            avr_raise_irq(mVddSense, high ? 1 : 0);
            mFeeding = false;
            updateOscillator();
            break;
        default:
            break;
    }
}

// The direction register itself, not the change notices: simavr filters a notice that
// repeats the last value, and a reset clears the register without one.
bool AvrBoard::pgdDriven() const {
    return (mAvr->data[kDdrD] >> kPgd) & 1;
}

// A level transistor conducts while its pin drives high; an input leaves its gate to the
// pull-down.
void AvrBoard::updateVppLevel() {
    if (mAvr == nullptr)
        return;
    auto driven = [&](uint16_t ddr, uint16_t port, int bit) {
        return ((mAvr->data[ddr] & mAvr->data[port]) >> bit) & 1;
    };
    mTarget.setVppVolts(
        regulatorVolts(driven(kDdrD, kPortD, kVpp12V), driven(kDdrB, kPortB, kVpp8V5)));
}

void AvrBoard::onDirection(uint32_t) {
    const uint64_t now = nowNs();
    // Released, the line is held low by its pull-down unless the chip drives it.
    mTarget.setPgdNs(pgdDriven() && ((mAvr->data[kPortD] >> kPgd) & 1), now);
    refreshPgdInput();
}

void AvrBoard::refreshPgdInput() {
    if (mAvr == nullptr || pgdDriven())
        return;
    const bool level = mTarget.pgdNs(nowNs());
    mFeeding = true;
    avr_raise_irq(mPgdPin, level ? 1 : 0);
    mFeeding = false;
}

void AvrBoard::updateOscillator() {
    double hz = 0.0;
    if (mTarget.vdd() && !mTarget.vpp() && mTarget.chip() != nullptr)
        hz = mTarget.chip()->oscillatorHz();
    const uint64_t half = hz > 0.0 ? static_cast<uint64_t>(kFrequency / (2.0 * hz) + 0.5) : 0;
    if (half == mOscHalfPeriodCycles && (half == 0) != mOscRunning)
        return;
    mOscHalfPeriodCycles = std::max<uint64_t>(half, half == 0 ? 0 : 1);
    avr_cycle_timer_cancel(mAvr, oscEdge, this);
    mOscRunning = half != 0;
    if (mOscRunning)
        avr_cycle_timer_register(mAvr, mOscHalfPeriodCycles, oscEdge, this);
}

uint64_t AvrBoard::toggleOscillator() {
    if (!mOscRunning)
        return 0;
    mOscLevel = !mOscLevel;
    mFeeding = true;
    avr_raise_irq(mOscPin, mOscLevel ? 1 : 0);
    mFeeding = false;
    return mOscHalfPeriodCycles;
}

void AvrBoard::resetNow() {
    if (mAvr == nullptr)
        return;
    avr_reset(mAvr);
    // A reset makes every pin an input: the driver transistors' pull-downs switch all off.
    const uint64_t now = nowNs();
    mTarget.setVppNs(false, now);
    mTarget.setVddNs(false, now);
    mTarget.setPgcNs(false, now);
    mTarget.setPgdNs(false, now);
    updateOscillator();
    updateVppLevel();
    mToBoard.clear();
}

bool AvrBoard::open(const std::string&, int) {
    if (mAvr == nullptr)
        return false;
    mOpen = true;
    mHung = false;
    mFromBoard.clear();
    resetNow();  // opening the port pulses DTR, which resets the board
    return true;
}

void AvrBoard::close() {
    mOpen = false;
}

bool AvrBoard::write(const uint8_t* data, size_t size) {
    if (!mOpen)
        return fail("the port is not open");
    for (size_t i = 0; i < size; ++i) {
        uint8_t byte = data[i];
        if (mBytesFromHost == mGarbleAt)
            byte ^= 0x10;
        ++mBytesFromHost;
        if (mHangAfter >= 0 && mBytesFromHost > mHangAfter)
            mHung = true;
        if (!mHung)
            mToBoard.push_back(byte);
        if (mBytesFromHost == mResetAfter)
            resetNow();
    }
    return true;
}

int AvrBoard::read(uint8_t* data, size_t size, int timeoutMs) {
    if (!mOpen) {
        fail("the port is not open");
        return -1;
    }
    if (mFromBoard.empty() && !runUntil(nowUs() + uint64_t(std::max(timeoutMs, 0)) * 1000, true)) {
        fail("the emulated board stopped");
        return -1;
    }
    size_t n = 0;
    while (n < size && !mFromBoard.empty()) {
        data[n++] = mFromBoard.front();
        mFromBoard.pop_front();
    }
    return static_cast<int>(n);
}

}  // namespace velkaro::emu
