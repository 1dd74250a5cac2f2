#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_chip.h"

namespace velkaro::sim {

// How a chip carries out a programming cycle.
enum class CycleKind {
    None,                // the command does not exist on this device
    EraseProgram,        // erases the target, then programs it; internally timed
    ProgramOnly,         // programs (can only clear bits); internally timed
    ProgramOnlyExternal  // programs until the next command (End Programming); timed by the host
};

// Where a bulk erase starts: at once, or armed by 09/0B and started by the next 08.
enum class EraseStart { Immediate, OnBeginCommand };

// The one erase that lifts code protection on a family. Programming the configuration word
// can only clear its protection bits; every other erase leaves them, and a bulk erase that
// is not the named one is refused while the chip is protected.
enum class ProtectionClear {
    SetupAtConfig,   // 01, 07, 08 with the counter at the configuration word
    BulkFromConfig,  // 09 after Load Configuration (12-bit parts: any 09)
    ChipErase        // 1F
};

// Commands, cycle semantics and minimum times of one 12/14-bit family. Times in µs.
struct MidrangeProtocol {
    uint64_t commands = 0;                   // bit n set: 6-bit command code n exists
    CycleKind beginCycle = CycleKind::None;  // command 08
    uint32_t beginTimeUs = 0;
    uint8_t progOnlyCode = 0;  // e.g. 0x18; 0 = none
    CycleKind progOnlyCycle = CycleKind::None;
    uint32_t progOnlyTimeUs = 0;
    uint8_t endCode = 0;           // End Programming (0x0E, 0x0A, 0x17); 0 = none
    uint32_t dataWriteTimeUs = 0;  // any programming cycle on data memory (erase and write)
    EraseStart bulkEraseStart = EraseStart::Immediate;
    uint32_t bulkEraseTimeUs = 0;   // 09 and 0B
    uint32_t chipEraseTimeUs = 0;   // 1F
    uint32_t setupEraseTimeUs = 0;  // the 01, 07, 08 sequence
    ProtectionClear protectionClear = ProtectionClear::BulkFromConfig;
    // The program-only command (18) also starts an armed bulk erase: the documents ask for
    // "Begin Programming" after 09/0B without saying which of the two.
    bool progOnlyStartsErase = false;
    // Discharge time after End Programming before the next command (TDIS); 0 = not checked.
    uint32_t dischargeUs = 0;
    // Families that must see VPP before VDD once the configuration selects the internal
    // oscillator with MCLR disabled: with VDD first their program starts at once and the
    // chip never enters programming mode. The oscillator-select bits and their internal
    // oscillator value (bit 0, CLKOUT or I/O, does not matter); mask 0 = no such rule.
    uint16_t intOscFieldMask = 0;
    uint16_t intOscValue = 0;
    // The 01-07-08 sequence after Load Data Memory erases the EEPROM. The 16F84A documents
    // 0B, then 08 for that; only the non-A parts erase data memory with the sequence.
    bool setupErasesData = true;
};

// One real device as the simulator models it.
struct MidrangeDevice {
    const char* name;
    const MidrangeProtocol* protocol;
    int wordBits;            // 12 or 14
    uint16_t progWords;      // program memory size, words (a power of two)
    uint16_t dataBytes;      // EEPROM, bytes; 0 = none
    uint16_t configMask[2];  // implemented bits of the configuration word(s); [1] = 0: one word
    uint16_t cpMask;         // code protection is off while all these bits are 1
    uint16_t cpdMask;        // data protection is off while all these bits are 1; 0 = none
    uint16_t deviceId;       // at 0x2006 with revision bits; 0 = the device has no ID word
    uint16_t osccalAddr;     // factory OSCCAL instruction in program memory; 0 = none
    uint16_t bgMask;         // band-gap calibration bits in the configuration word; 0 = none
    uint16_t adrMask;        // 12-bit: the counter's wrap mask, where the configuration word sits
    uint16_t latchWords;     // program-memory write latches (words programmed per cycle)
    uint16_t calWordAddr;    // 14-bit calibration word(s) in the configuration area; 0 = none
    uint8_t calWordCount;
};

// A 12- or 14-bit core chip in programming mode (6-bit commands, word addresses).
// Memory layout as the peek/poke addresses see it:
//   program memory  0 .. progWords-1
//   14-bit: configuration area 0x2000..0x200F (IDs 0x2000-0x2003, device ID 0x2006,
//           configuration 0x2007[, 0x2008], calibration words where the device has them)
//   12-bit: progWords .. adrMask (IDs at progWords, backup OSCCAL at progWords+4,
//           configuration word at adrMask; 0xFFF is accepted as its alias)
class MidrangeChip : public SimChip {
public:
    explicit MidrangeChip(const MidrangeDevice& device);

    std::string name() const override { return mDevice.name; }
    bool extendedFamily() const override { return false; }

    void powerUp(bool vppFirst, double vppVolts, uint64_t nowUs) override;
    void linesAtEntry(int pgc, int pgd) override;
    void powerDown(uint64_t nowUs) override;

    void writeBits(uint32_t value, int count, uint64_t nowUs) override;
    void writeWord(uint16_t word, uint64_t nowUs) override;
    uint16_t readWord(uint64_t nowUs) override;
    uint32_t readBits(int count, uint64_t nowUs) override;
    void setPgc(int level, uint64_t nowUs) override;
    void setPgd(int level, uint64_t nowUs) override;

    DataFrame dataFrameAfter(unsigned code) const override;
    void commandFrameStarts(uint64_t nowUs) override;

    uint16_t peek(uint32_t address) const override;
    void poke(uint32_t address, uint16_t value) override;
    uint8_t peekData(uint32_t address) const override;
    void pokeData(uint32_t address, uint8_t value) override;

    void setStuckBits(uint32_t address, uint16_t mask, uint16_t value) override;
    double oscillatorHz() const override;

    void saveState(std::ostream& out) const override;
    bool loadState(std::istream& in) override;

    // The address counter as the chip holds it (for tests).
    uint32_t counter() const { return mPc; }
    bool inProgrammingMode() const override { return mPowered; }
    // True when the configuration makes the chip run its program as soon as VDD rises
    // (internal oscillator, MCLR disabled) on a family that then needs VPP first.
    bool needsVppFirst() const;
    // Code protection as latched when programming mode was entered.
    bool programProtected() const { return mCodeProtected; }
    // Factory values this chip left the factory with.
    uint16_t factoryOsccalWord() const { return mFactoryOsccal; }
    uint16_t factoryBandGap() const { return mFactoryBandGap; }
    // A chip whose oscillator is off: it runs `ratio` times the nominal frequency at its
    // factory OSCCAL value (0.97 is 3 % slow). 1 by default; not part of the saved state.
    void setOscillatorError(double ratio) { mOscillatorRatio = ratio; }
    const MidrangeDevice& device() const { return mDevice; }

private:
    enum class Pending { None, LoadProgram, LoadData, LoadConfig, ReadProgram, ReadData };
    enum class LastLoad { None, Program, Data };
    enum class CycleTarget { Program, Data, BulkProgram, BulkData, Chip, SetupErase };

    struct Cycle {
        CycleTarget target;
        CycleKind kind;
        uint64_t startUs;
        uint32_t durationUs;
        uint32_t pc;
    };

    bool is12Bit() const { return mDevice.wordBits == 12; }
    uint16_t blank() const { return is12Bit() ? 0x0FFF : 0x3FFF; }
    uint32_t configAreaBase() const { return is12Bit() ? mDevice.progWords : 0x2000; }
    uint16_t configWordAddr(int index) const;
    uint16_t implementedConfigMask(int index) const;
    bool hasCommand(unsigned code) const;
    bool inProgramMemory(uint32_t pc) const;
    bool configAreaWritable(uint32_t address) const;
    uint16_t* configSlot(uint32_t address);
    const uint16_t* configSlot(uint32_t address) const;

    void resetToFactory();
    void eraseProgram();
    void eraseConfigArea(bool withIds);
    void eraseData();
    std::vector<uint16_t> erasedConfigArea() const;
    void latchProtection();
    void command(unsigned code, uint64_t frameStartUs, uint64_t nowUs);
    void increment();
    void startCycle(CycleTarget target, CycleKind kind, uint32_t durationUs, uint64_t nowUs);
    void beginProgramming(CycleKind kind, uint32_t durationUs, uint64_t nowUs);
    void settle(uint64_t nowUs, bool byEndCommand = false);
    void finishCycle(const Cycle& cycle, bool complete);
    bool bulkEraseAllowed(CycleTarget target, uint32_t pc);
    void programWord(uint32_t address, uint16_t value, CycleKind kind, bool complete);
    uint16_t readAtCounter() const;
    bool programIsPresent() const;
    bool readableUnderProtection(uint32_t index) const;
    uint16_t protectionBits() const { return mDevice.cpMask | mDevice.cpdMask; }

    MidrangeDevice mDevice;
    std::vector<uint16_t> mProgram;
    std::vector<uint16_t> mConfigArea;  // 14-bit: 16 words from 0x2000; 12-bit: progWords..adrMask
    std::vector<uint8_t> mData;
    uint16_t mFactoryOsccal = 0;
    uint16_t mFactoryBandGap = 0;
    double mOscillatorRatio = 1.0;

    bool mPowered = false;
    uint32_t mPc = 0;
    Pending mPending = Pending::None;
    LastLoad mLastLoad = LastLoad::None;
    std::vector<uint16_t> mLatch;  // program latches, all ones when not loaded
    uint8_t mDataLatch = 0xFF;
    int mSetupStep = 0;  // 1 after 01, 2 after 01 07
    std::optional<CycleTarget> mArmedErase;
    std::optional<Cycle> mCycle;
    bool mCodeProtected = false;
    bool mDataProtected = false;
    bool mEntryLinesHigh = false;           // PGC or PGD high when the supplies came up
    uint64_t mDischargeUntilUs = 0;         // after End Programming: no command before this time
    std::optional<uint64_t> mFrameStartUs;  // first clock of the command being clocked in

    struct Stuck {
        uint32_t address;
        uint16_t mask;
        uint16_t value;
    };
    std::vector<Stuck> mStuck;
};

// The device table (midrange_chips.cpp).
const MidrangeDevice* findMidrangeDevice(std::string_view name);
const std::vector<MidrangeDevice>& midrangeDevices();

}  // namespace velkaro::sim
