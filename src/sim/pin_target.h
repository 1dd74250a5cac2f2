#pragma once

#include <cstdint>
#include <memory>

#include "sim/sim_chip.h"

namespace velkaro::sim {

// A chip in a socket seen only through its pins: VDD, VPP/MCLR, PGC and PGD. The
// programmer side drives the supplies, the clock and its side of the data line; the front
// end decodes the documented ICSP waveforms itself (6-bit commands with 16-clock data
// frames on the 12/14-bit cores, 4-bit commands with 16-bit operands on the 16-bit core)
// and hands whole commands and words to the chip model behind it. Times are monotonic, in
// microseconds or nanoseconds. The waveform times the documents require (clock high and
// low, data set-up and hold around the clock edges, the delay between a command and its
// data, output valid after the clock) are checked to the nanosecond against their
// documented minimums, and broken ones leave a note in the chip's notes. The chip model
// behind the front end gets whole microseconds.
//
// PGD is shared: the programmer drives it through a series resistor, so while the chip
// drives it (the data bits of a read) the chip's level is what the line shows.
class PinTarget {
public:
    explicit PinTarget(std::unique_ptr<SimChip> chip = nullptr);
    ~PinTarget();
    PinTarget(const PinTarget&) = delete;
    PinTarget& operator=(const PinTarget&) = delete;

    // The socket; nullptr empties it. The previous chip is returned.
    std::unique_ptr<SimChip> insertChip(std::unique_ptr<SimChip> chip);
    SimChip* chip() { return mChip.get(); }
    const SimChip* chip() const { return mChip.get(); }

    // Programmer side. Programming mode is entered when both supplies are on, with the
    // order they came in and the PGC/PGD levels at that moment; it ends when either goes.
    // With VDD alone MCLR is low: the clocks go to the chip as its low-voltage key
    // (SimChip::keyBits), and once it enters programming mode the frames are decoded as
    // with VPP.
    void setVdd(bool on, uint64_t nowUs) { setVddNs(on, nowUs * 1000); }
    void setVpp(bool on, uint64_t nowUs) { setVppNs(on, nowUs * 1000); }
    void setPgc(bool high, uint64_t nowUs) { setPgcNs(high, nowUs * 1000); }
    void setPgd(bool high, uint64_t nowUs) { setPgdNs(high, nowUs * 1000); }
    // The same in nanoseconds, for a programmer whose half clocks are shorter than a
    // microsecond. A target keeps one time line: the two forms may be mixed, but time never
    // goes back.
    void setVddNs(bool on, uint64_t nowNs);
    void setVppNs(bool on, uint64_t nowNs);
    void setPgcNs(bool high, uint64_t nowNs);
    void setPgdNs(bool high, uint64_t nowNs);
    // The level VPP/MCLR is driven to while VPP is on, in volts: what the programmer's
    // circuit makes (about 13 V on a bit-banged port until told otherwise). The chip learns
    // it as it enters programming mode.
    void setVppVolts(double volts) { mVppVolts = volts; }
    double vppVolts() const { return mVppVolts; }

    // The PGD line as the programmer reads it.
    bool pgd(uint64_t nowUs) { return pgdNs(nowUs * 1000); }
    bool pgdNs(uint64_t nowNs);

    bool vdd() const { return mVdd; }
    bool vpp() const { return mVpp; }
    bool pgc() const { return mPgc; }
    bool programmerPgd() const { return mPgdDriven; }

private:
    struct Decoder;

    void supplyChanged(bool wasOn, bool vppFirst, uint64_t nowNs);
    void enterProgramming(bool vppFirst, uint64_t nowNs);
    void leaveProgramming(uint64_t nowNs);
    void listenForKey(uint64_t nowNs);
    bool active() const;
    void risingEdge(uint64_t nowNs);
    void fallingEdge(uint64_t nowNs);
    void decodeFall(bool level, uint64_t nowNs);
    void drive(int level, uint64_t nowNs);
    int lineLevel() const;
    void tellPgd(uint64_t nowNs);
    void noteTiming(std::string text);
    void advance(uint64_t nowNs);

    std::unique_ptr<SimChip> mChip;
    std::unique_ptr<Decoder> mDecoder;
    bool mVdd = false;
    bool mVpp = false;
    bool mPgc = false;
    bool mPgdDriven = false;
    double mVppVolts = 13.0;
    uint64_t mLastNs = 0;  // the latest time seen on any pin
};

}  // namespace velkaro::sim
