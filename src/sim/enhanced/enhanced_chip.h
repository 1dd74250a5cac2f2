#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_chip.h"

namespace velkaro::sim {

// Minimum times of one programming document for the enhanced 14-bit core, µs.
struct EnhancedTimes {
    const char* document;        // the programming document the figures come from
    uint32_t rowProgramUs;       // TPINT after 08 on a program-memory row
    uint32_t configProgramUs;    // TPINT after 08 on a user ID or configuration word
    uint32_t dataProgramUs;      // after 08 on an EEPROM byte
    uint32_t externalProgramUs;  // TPEXT, from 18 to 0A
    uint32_t dischargeUs;        // TDIS, from 0A to the next command
    uint32_t bulkEraseUs;        // TERAB, 09 and 0B
    uint32_t rowEraseUs;         // TERAR, 11
};

// One real device of the enhanced 14-bit core (PIC12F1xxx, PIC16F1xxx) as the simulator
// models it.
struct EnhancedDevice {
    const char* name;
    const EnhancedTimes* times;
    uint16_t progWords;      // program memory, words
    uint16_t dataBytes;      // EEPROM, bytes; 0 = none (then 03, 05 and 0B do not exist)
    uint8_t latchWords;      // write latches: the words one 08 or 18 programs
    uint8_t eraseRowWords;   // the words one 11 erases
    uint16_t deviceId;       // the word at 0x8006 as it leaves the factory, revision included
    uint16_t revisionId;     // the word at 0x8005; 0 = a reserved location on this device
    uint16_t configMask[3];  // implemented bits of the configuration words from 0x8007;
                             // a third mask of 0: the device has two words
    uint16_t cpdMask;        // data protection bit in configuration word 1; 0 = none
    uint16_t foscMask;       // oscillator-select bits in configuration word 1
    uint16_t intOscValue;    // their value for the internal oscillator
    uint8_t calWordCount;    // read-only calibration words after the configuration words

    uint32_t configWordCount() const { return configMask[2] != 0 ? 3 : 2; }
};

// An enhanced 14-bit core chip in programming mode: 6-bit commands, word addresses,
// row-wise program-only writes. Memory layout as the peek/poke addresses see it:
//   program memory       0 .. progWords-1
//   configuration space  0x8000..0x801F: user IDs 0x8000-0x8003, revision ID 0x8005 where
//                        the device has one, device ID 0x8006, configuration words
//                        from 0x8007 (two, or three on the 16F161x), calibration words
//                        after them
// The counter runs over 0..0x7FFF and, once Load Configuration has moved it there, over
// 0x8000..0xFFFF; only Reset Address or leaving programming mode bring it back to 0.
class EnhancedChip : public SimChip {
public:
    explicit EnhancedChip(const EnhancedDevice& device);

    std::string name() const override { return mDevice.name; }
    bool extendedFamily() const override { return false; }

    void powerUp(bool vppFirst, double vppVolts, uint64_t nowUs) override;
    void linesAtEntry(int pgc, int pgd) override;
    void powerDown(uint64_t nowUs) override;
    void vddRises(uint64_t nowUs) override;
    void keyBits(uint32_t value, int count, uint64_t nowUs) override;

    void writeBits(uint32_t value, int count, uint64_t nowUs) override;
    void writeWord(uint16_t word, uint64_t nowUs) override;
    uint16_t readWord(uint64_t nowUs) override;
    uint32_t readBits(int count, uint64_t nowUs) override;
    void setPgc(int, uint64_t) override {}
    void setPgd(int, uint64_t) override {}

    bool inProgrammingMode() const override { return mInProgramming; }
    DataFrame dataFrameAfter(unsigned code) const override;
    void commandFrameStarts(uint64_t nowUs) override { mFrameStartUs = nowUs; }

    uint16_t peek(uint32_t address) const override;
    void poke(uint32_t address, uint16_t value) override;
    uint8_t peekData(uint32_t address) const override;
    void pokeData(uint32_t address, uint8_t value) override;

    void setStuckBits(uint32_t address, uint16_t mask, uint16_t value) override;
    // 1 MHz while program memory holds a program: these parts run from their factory-
    // calibrated internal oscillator and need no OSCCAL value.
    double oscillatorHz() const override;

    void saveState(std::ostream& out) const override;
    bool loadState(std::istream& in) override;

    // The address counter as the chip holds it (for tests).
    uint32_t counter() const { return mPc; }
    // Protection as latched when programming mode was entered (or after a bulk erase).
    bool programProtected() const { return mCodeProtected; }
    bool dataProtected() const { return mDataProtected; }
    const EnhancedDevice& device() const { return mDevice; }

private:
    enum class Pending { None, LoadProgram, LoadData, ReadProgram, ReadData };
    enum class LastLoad { None, Program, Data };
    enum class Target { ProgramRow, ConfigWord, DataByte, BulkProgram, BulkData, RowErase };

    struct Cycle {
        Target target;
        bool external;  // 18: runs until 0A ends it
        uint64_t startUs;
        uint32_t durationUs;
        uint32_t pc;
    };

    bool hasCommand(unsigned code) const;
    static bool inProgramSpace(uint32_t pc) { return pc < 0x8000; }
    bool configWritable(uint32_t address) const;
    uint16_t configWriteMask(uint32_t address) const;
    bool isConfigWord(uint32_t address) const;
    uint16_t* configSlot(uint32_t address);
    const uint16_t* configSlot(uint32_t address) const;
    uint16_t configWord(int index) const { return mConfig[7 + index]; }

    std::vector<uint16_t> factoryConfigSpace() const;
    void eraseProgram();
    void eraseIdsAndConfig();
    void eraseData();
    void latchProtection();
    bool needsVppFirst() const;

    // Starts a programming session: counter at 0, latches blank, protection latched. The
    // high-voltage entry (powerUp) calls it once its checks pass, the low-voltage entry
    // (keyBits) once the key and its extra clock have come in.
    void enterProgramming();
    void keyBit(bool bit, bool alone);
    void command(unsigned code, uint64_t nowUs);
    void increment();
    void beginInternal(uint64_t nowUs);
    void beginExternal(uint64_t nowUs);
    void startCycle(Target target, bool external, uint32_t durationUs, uint64_t nowUs);
    void settle(uint64_t nowUs, bool byEndCommand);
    void finishCycle(const Cycle& cycle, bool done);
    void programRow(uint32_t pc);
    void programConfigWord(uint32_t pc);
    void programDataByte(uint32_t pc);
    void bulkEraseProgram(uint32_t pc);
    void eraseRow(uint32_t pc);
    void resetLatches();
    uint16_t readAtCounter() const;

    EnhancedDevice mDevice;
    std::vector<uint16_t> mProgram;
    std::vector<uint16_t> mConfig;  // 32 words from 0x8000
    std::vector<uint8_t> mData;

    bool mInProgramming = false;
    uint32_t mPc = 0;
    Pending mPending = Pending::None;
    LastLoad mLastLoad = LastLoad::None;
    std::vector<uint16_t> mLatch;  // program latches, 0x3FFF when not loaded
    uint8_t mDataLatch = 0xFF;
    std::optional<Cycle> mCycle;
    bool mCodeProtected = false;
    bool mDataProtected = false;
    bool mEntryLinesHigh = false;  // PGC or PGD high when the supplies came up
    // Low-voltage entry: the last bits clocked in with MCLR low, how many, and whether the
    // last 32 were the key (the next clock, given on its own, then enters).
    uint32_t mKeyShift = 0;
    uint32_t mKeyClocks = 0;
    bool mKeyComplete = false;
    bool mListening = false;  // VDD up with MCLR low, and the chip takes keys
    bool mLvpOffNoted = false;
    uint64_t mDischargeUntilUs = 0;         // after 0A: no command before this time
    std::optional<uint64_t> mFrameStartUs;  // first clock of the command being clocked in

    struct Stuck {
        uint32_t address;
        uint16_t mask;
        uint16_t value;
    };
    std::vector<Stuck> mStuck;
};

// The device table (enhanced_chips.cpp).
const EnhancedDevice* findEnhancedDevice(std::string_view name);
const std::vector<EnhancedDevice>& enhancedDevices();

}  // namespace velkaro::sim
