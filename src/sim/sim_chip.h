#pragma once

#include <cstdint>
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
    // first. powerDown() leaves programming mode: latches and counters are lost.
    virtual void powerUp(bool vppFirst, uint64_t nowUs) = 0;
    virtual void powerDown(uint64_t nowUs) = 0;
    // The levels the programmer holds PGC and PGD at as the supplies come up; told just
    // before powerUp(). A model that does not check the entry levels ignores them.
    virtual void linesAtEntry(int /*pgc*/, int /*pgd*/) {}

    // Line-level traffic while powered.
    virtual void writeBits(uint32_t value, int count, uint64_t nowUs) = 0;
    virtual void writeWord(uint16_t word, uint64_t nowUs) = 0;
    virtual uint16_t readWord(uint64_t nowUs) = 0;
    virtual uint32_t readBits(int count, uint64_t nowUs) = 0;
    virtual void setPgc(int level, uint64_t nowUs) = 0;
    virtual void setPgd(int level, uint64_t nowUs) = 0;

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

protected:
    int mLoadErrorLine = 0;

    void note(std::string text) {
        if (mNotes.size() < 1000)
            mNotes.push_back(std::move(text));
    }

private:
    std::vector<std::string> mNotes;
};

// Builds the model of a real device by name ("PIC16F84A", case-insensitive), or nullptr
// when the simulator has no model of it.
std::unique_ptr<SimChip> makeSimChip(std::string_view name);
// Names of every modelled device.
std::vector<std::string> simChipNames();

}  // namespace velkaro::sim
