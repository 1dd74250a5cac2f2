#pragma once

#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velkaro::sim {

// A simulated chip in the programmer's socket. The simulated programmer forwards the
// line-level library calls to it while the target is powered; `nowUs` is the clock's
// monotonic time in microseconds, against which the chip checks required waits.
class SimChip {
public:
    virtual ~SimChip() = default;

    virtual std::string name() const = 0;
    // True for the 16-bit core family (4-bit commands, byte addresses).
    virtual bool extendedFamily() const = 0;

    // Programming mode is entered when both supplies are on; `vppFirst` tells which came
    // first, `vppVolts` the level on MCLR/VPP. A level above what the chip's family takes
    // damages it: the chip notes it and stays out of programming mode. powerDown() leaves
    // programming mode: latches and counters are lost.
    virtual void powerUp(bool vppFirst, double vppVolts, uint64_t nowUs) = 0;
    virtual void powerDown(uint64_t nowUs) = 0;
    // The levels the programmer holds PGC and PGD at as the supplies come up; told just
    // before powerUp(). A model that does not check the entry levels ignores them.
    virtual void linesAtEntry(int /*pgc*/, int /*pgd*/) {}
    // Low-voltage entry: VDD came up with VPP off, MCLR held at VIL (vddRises), and bits are
    // clocked in on PGD, LSB first, while the chip is not in programming mode (keyBits;
    // `count` clocks, one for a clock given on its own). A model that takes the key enters
    // programming mode itself once it has checked it; the others ignore both. powerDown()
    // follows when VDD goes.
    virtual void vddRises(uint64_t /*nowUs*/) {}
    virtual void keyBits(uint32_t /*value*/, int /*count*/, uint64_t /*nowUs*/) {}

    // Line-level traffic while powered.
    virtual void writeBits(uint32_t value, int count, uint64_t nowUs) = 0;
    virtual void writeWord(uint16_t word, uint64_t nowUs) = 0;
    virtual uint16_t readWord(uint64_t nowUs) = 0;
    virtual uint32_t readBits(int count, uint64_t nowUs) = 0;
    virtual void setPgc(int level, uint64_t nowUs) = 0;
    virtual void setPgd(int level, uint64_t nowUs) = 0;

    // What the pin front end (PinTarget) needs from a model. True while the chip is in
    // programming mode: powered and the entry accepted.
    virtual bool inProgrammingMode() const = 0;
    // 6-bit cores: the 16-clock data frame that follows command `code` on this device.
    enum class DataFrame { None, Load, Read };
    virtual DataFrame dataFrameAfter(unsigned /*code*/) const { return DataFrame::None; }
    // 6-bit cores: the first clock of a command frame rose at `nowUs`. The command itself
    // arrives with writeBits() after its last clock; waits the chip demands before a
    // command are measured to this first clock, cycles the command starts from its last.
    virtual void commandFrameStarts(uint64_t /*nowUs*/) {}
    // Cores that shift their frames clock by clock (16-bit): while the chip shifts data
    // out, the bit it puts on PGD at the rising edge of the current output clock; -1 while
    // PGD is its input.
    virtual int pgdOutput() const { return -1; }
    // Cores that shift clock by clock: the delay the next rising edge of PGC must keep
    // after the last falling one when it starts a new part of a frame (a command's operand,
    // the data shifted out, the next command); no name within a part.
    struct ClockDelay {
        const char* name = nullptr;
        uint32_t minimumNs = 0;
    };
    virtual ClockDelay delayBeforeNextClock() const { return {}; }

    // Direct access for tests and saved state, bypassing protocol and protection.
    // 6-bit family: word addresses (program 0.., IDs/config/device ID at 0x2000.. or the
    // device's own configuration addresses); 16-bit family: byte addresses, value 0..255.
    virtual uint16_t peek(uint32_t address) const = 0;
    virtual void poke(uint32_t address, uint16_t value) = 0;
    virtual uint8_t peekData(uint32_t address) const = 0;
    virtual void pokeData(uint32_t address, uint8_t value) = 0;

    // Faults: bits that read back as `value` under `mask` at a program address, whatever
    // is written.
    virtual void setStuckBits(uint32_t address, uint16_t mask, uint16_t value) = 0;

    // Oscillator as the programmer measures it: Hz, or 0 when no program is running
    // (program memory blank or the chip not powered in run mode).
    virtual double oscillatorHz() const = 0;

    // Whole-chip state as text (see sim/README.md), for --sim-state.
    virtual void saveState(std::ostream& out) const = 0;
    // False, with the chip unchanged, when the text does not describe this chip.
    virtual bool loadState(std::istream& in) = 0;
    // After a refused loadState: the 1-based line it stopped at, or 0 when the text as a
    // whole is wrong (no chip named, no end).
    int loadErrorLine() const { return mLoadErrorLine; }

    // Every protocol rule the chip enforces leaves a note here when it is broken (a wait
    // too short, a wrong trigger, a missing End Programming, a write into protected
    // space), so that a test can tell a sloppy programmer from a correct one even where
    // the chip's contents happen to come out right. Bounded to 1000 entries.
    const std::vector<std::string>& notes() const { return mNotes; }
    // Returns the notes so far and forgets them.
    std::vector<std::string> takeNotes() { return std::exchange(mNotes, {}); }

    // The sum of the specified minimum times of every programming and erase cycle started
    // since the chip was made: what no programmer can take less than for the same work.
    uint64_t cycleMinimumUs() const { return mCycleMinimumUs; }

protected:
    friend class PinTarget;  // notes the waveform times it checks
    int mLoadErrorLine = 0;

    void countCycle(uint64_t minimumUs) { mCycleMinimumUs += minimumUs; }

    void note(std::string text) {
        if (mNotes.size() < 1000)
            mNotes.push_back(std::move(text));
    }

    // True when `vppVolts` is within `maxVolts`, the most VIHH the chip's MCLR/VPP pin
    // takes; otherwise notes the damage and returns false.
    bool vppWithinRating(double vppVolts, double maxVolts) {
        // The levels are decimal fractions: a hair above is rounding, not a higher voltage.
        if (vppVolts <= maxVolts + 1e-6)
            return true;
        char text[128];
        std::snprintf(text, sizeof text,
                      "VPP of %g V above the %g V this chip takes: damaged, no programming mode",
                      vppVolts, maxVolts);
        note(text);
        return false;
    }

private:
    std::vector<std::string> mNotes;
    uint64_t mCycleMinimumUs = 0;
};

// Builds the model of a real device by name ("PIC16F84A", case-insensitive), or nullptr
// when the simulator has no model of it.
std::unique_ptr<SimChip> makeSimChip(std::string_view name);

}  // namespace velkaro::sim
