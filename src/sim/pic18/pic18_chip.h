#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_chip.h"

namespace velkaro::sim {

// The two PIC18 programming families the simulator knows. They differ in their erase codes,
// the EEPROM unlock, the multi-panel write mode and the timing of the programming pulse.
enum class Pic18Family {
    Fxx2,   // 18F242/252/442/452, 18F248/258/448/458
    F2xxx,  // 18F2XXX/4XXX
    K,      // 18F2XK20/4XK20, 18F2XK22/4XK22, 18F2XK50/4XK50: the 2XXX protocol with their own
            // erase codes, a longer configuration pulse and VIHH of 9 V at most
};

// One real device, as the simulator's own table describes it. Sizes in bytes.
struct Pic18Model {
    const char* name;
    Pic18Family family;
    uint32_t programWords;
    uint32_t eepromBytes;
    uint32_t writeBufferBytes;
    uint32_t blockWords;  // erase block (2XXX) or panel (FXX2)
    uint16_t deviceId;    // DEVID2:DEVID1 with revision 0
    uint16_t deviceIdMask;
    std::array<uint16_t, 7> configMasks;  // CONFIGkH:CONFIGkL implemented bits
    std::array<uint16_t, 7> configBlank;  // value after an erase
    uint32_t eraseUs = 0;                 // P11 where the part's own differs from its family's
};

// Timing the chip demands, in microseconds.
struct Pic18Timing {
    uint64_t programHoldUs;  // P9: PGC held high on the 4th clock after command 15
    uint64_t configHoldUs;   // P9A: the same for a configuration byte
    uint64_t dischargeUs;    // P10: PGC low after the programming pulse
    uint64_t eraseUs;        // P11: self-timed bulk or block erase
    uint64_t eepromWriteUs;  // self-timed data EEPROM write (WR stays set meanwhile)
};

// Where the code-protection, write-protection and table-read-protection bits live: byte
// offsets from 0x300000 and the bit of the boot block, the data EEPROM and the
// configuration bytes (block k of program memory uses bit k of the low bytes).
struct Pic18ProtectionBits {
    static constexpr uint32_t kCpLow = 8;      // CONFIG5L: CP0..CP3
    static constexpr uint32_t kCpHigh = 9;     // CONFIG5H: CPB bit 6, CPD bit 7
    static constexpr uint32_t kWrtLow = 10;    // CONFIG6L: WRT0..WRT3
    static constexpr uint32_t kWrtHigh = 11;   // CONFIG6H: WRTC bit 5, WRTB bit 6, WRTD bit 7
    static constexpr uint32_t kEbtrLow = 12;   // CONFIG7L: EBTR0..EBTR3
    static constexpr uint32_t kEbtrHigh = 13;  // CONFIG7H: EBTRB bit 6
    static constexpr uint8_t kConfigBit = 0x20;
    static constexpr uint8_t kBootBit = 0x40;
    static constexpr uint8_t kDataBit = 0x80;
};

// A PIC18 in programming mode: the 4-bit command interface, the core instructions the program
// sends, table reads and writes through the write buffer, the programming pulse, the erase
// control registers at 0x3C0004..0x3C0006 and the data EEPROM behind EEADR/EEDATA/EECON1.
//
// Addresses are byte addresses: program memory from 0, user IDs 0x200000..0x200007,
// configuration 0x300000..0x30000D, device ID 0x3FFFFE/0x3FFFFF. Internally the data EEPROM
// lies at 0xF00000 (the usual HEX-file place); peekData/pokeData take plain EEPROM offsets.
class Pic18Chip : public SimChip {
public:
    explicit Pic18Chip(const Pic18Model& model);

    std::string name() const override { return mModel.name; }
    bool extendedFamily() const override { return true; }

    void powerUp(bool vppFirst, double vppVolts, uint64_t nowUs) override;
    void powerDown(uint64_t nowUs) override;

    void writeBits(uint32_t value, int count, uint64_t nowUs) override;
    // The word-level calls are plain 16-bit shifts for this family.
    void writeWord(uint16_t word, uint64_t nowUs) override;
    uint16_t readWord(uint64_t nowUs) override;
    uint32_t readBits(int count, uint64_t nowUs) override;
    void setPgc(int level, uint64_t nowUs) override;
    void setPgd(int level, uint64_t nowUs) override;

    int pgdOutput() const override;
    ClockDelay delayBeforeNextClock() const override;

    // Byte access; unimplemented addresses read 0 and ignore writes. Configuration bytes are
    // stored under their implemented-bit masks.
    uint16_t peek(uint32_t address) const override;
    void poke(uint32_t address, uint16_t value) override;
    uint8_t peekData(uint32_t address) const override;
    void pokeData(uint32_t address, uint8_t value) override;

    // Works at any byte address the chip stores (program, IDs, configuration).
    void setStuckBits(uint32_t address, uint16_t mask, uint16_t value) override;

    // No calibration on these parts: the programmer never measures them.
    double oscillatorHz() const override { return 0.0; }

    void saveState(std::ostream& out) const override;
    bool loadState(std::istream& in) override;

    // What the chip saw and could not make sense of, for tests and the simulator's log.
    const std::vector<uint16_t>& unknownInstructions() const { return mUnknownInstructions; }
    bool inProgrammingMode() const override { return mPowered; }

    const Pic18Model& model() const { return mModel; }
    const Pic18Timing& timing() const { return mTiming; }

    static constexpr uint32_t kIdAddress = 0x200000;
    static constexpr uint32_t kIdBytes = 8;
    static constexpr uint32_t kConfigAddress = 0x300000;
    static constexpr uint32_t kConfigBytes = 14;
    static constexpr uint32_t kDeviceIdAddress = 0x3FFFFE;
    static constexpr uint32_t kEraseControlLow = 0x3C0004;
    static constexpr uint32_t kEraseControlHigh = 0x3C0005;
    static constexpr uint32_t kPanelMode = 0x3C0006;
    static constexpr uint32_t kEepromBase = 0xF00000;

private:
    enum class Phase { Command, Operand, ReadDummy, ReadOut };
    enum class Pulse { Idle, Armed, Programming, Discharging };

    // A self-timed or externally timed cycle that changed memory ahead of time; when it is
    // cut short the bytes from the cut onwards get their old values back.
    struct Cycle {
        bool active = false;
        uint64_t startUs = 0;
        uint64_t needUs = 0;
        std::vector<std::pair<uint32_t, uint8_t>> oldBytes;  // address, value before
    };

    struct WriteBuffer {
        uint32_t row = 0;
        bool dirty = false;
        std::vector<uint8_t> bytes;
    };

    // Memory map.
    uint8_t* cell(uint32_t address);
    const uint8_t* cell(uint32_t address) const;
    uint8_t readByte(uint32_t address) const;
    void storeByte(uint32_t address, uint8_t value);
    uint8_t configMask(uint32_t index) const;
    uint8_t configBlank(uint32_t index) const;
    void eraseAll();
    uint32_t programBytes() const { return mModel.programWords * 2; }
    uint32_t blockBytes() const { return mModel.blockWords * 2; }
    uint32_t bootBlockBytes() const;

    // Protection, read from the configuration bytes as they are now: a bit protects when
    // it is implemented and programmed (0). `block` is -1 for the boot block.
    bool protectionBit(uint32_t index, uint8_t bit) const;
    int blockOf(uint32_t address) const;
    uint8_t blockBit(int block) const;
    bool readProtected(uint32_t address) const;
    bool writeProtected(uint32_t address) const;
    bool dataReadProtected() const;
    bool dataWriteProtected() const;
    bool configWriteProtected() const;
    // A bulk or block erase sets the protection bits of what it erased back to 1.
    void releaseProtection(uint32_t index, uint8_t bits, Cycle& cycle);

    // Line level.
    void clockRise(uint64_t nowUs);
    void clockFall(bool bit, uint64_t nowUs);
    void shiftIn(bool bit, uint64_t nowUs);
    void settle(uint64_t nowUs);
    bool eraseBusy(uint64_t nowUs) const;
    bool eraseQuiet(uint64_t nowUs) const;
    void checkDataDischarge(uint64_t nowUs);
    uint8_t erasedValue(uint32_t address) const;
    bool multiPanel() const;

    // Commands.
    void beginCommand(uint64_t nowUs);
    void finishOperand(uint64_t nowUs);
    uint8_t tableRead(int command);
    void tableWrite(int command, uint16_t operand);
    void executeCore(uint16_t instruction, uint64_t nowUs);
    bool selectsCode() const;
    bool selectsConfig() const;
    uint8_t readSfr(uint8_t address) const;
    void writeSfr(uint8_t address, uint8_t value, uint64_t nowUs);
    void setEecon1Bit(int bit, bool set, uint64_t nowUs);
    void startEepromWrite(uint64_t nowUs);

    // Programming and erasing.
    void bufferWrite(uint32_t address, uint8_t value);
    void endProgrammingPulse(uint64_t nowUs);
    void checkDischarge(uint64_t nowUs);
    void startErase(uint64_t nowUs);
    std::vector<std::pair<uint32_t, uint32_t>> eraseRanges(uint16_t code) const;
    bool takesEraseCode(uint16_t code) const;
    void releaseErasedProtection(uint16_t code, Cycle& cycle);
    void cutShort(Cycle& cycle, uint64_t doneUs);

    Pic18Model mModel;
    Pic18Timing mTiming;

    // Non-volatile state.
    std::vector<uint8_t> mProgram;
    std::array<uint8_t, kIdBytes> mIds{};
    std::array<uint8_t, kConfigBytes> mConfig{};
    std::vector<uint8_t> mEeprom;
    uint16_t mDeviceId;
    std::map<uint32_t, std::pair<uint8_t, uint8_t>> mStuck;  // address -> mask, value

    // Programming-mode state, lost at power-down.
    bool mPowered = false;
    int mPgc = 0;
    int mPgd = 0;
    Phase mPhase = Phase::Command;
    int mBitCount = 0;
    uint32_t mShift = 0;
    int mCommand = 0;
    uint8_t mOut = 0;
    uint8_t mW = 0;
    uint32_t mTblptr = 0;
    uint8_t mTablat = 0;
    bool mTablatPending = false;  // 2XXX: a core write to TABLAT lands one instruction late
    uint8_t mTablatNext = 0;
    uint8_t mEecon1 = 0;
    uint16_t mEeadr = 0;
    uint8_t mEedata = 0;
    int mUnlock = 0;  // EECON2 sequence seen: 0 none, 1 after 0x55, 2 after 0xAA
    bool mGotoSecondWord = false;
    uint8_t mGotoLow = 0;
    uint32_t mPc = 0;
    std::array<uint8_t, 3> mEraseControl{};  // 0x3C0004, 0x3C0005, 0x3C0006
    bool mEraseArmed = false;                // a table write to 0x3C0004 was seen
    bool mEraseNopSeen = false;  // ... and the NOP after it; the next NOP's 4th clock starts it
    uint64_t mEraseQuietUntilUs = 0;       // end of P11 + P10 after the erase started
    std::optional<uint32_t> mConfigLatch;  // address of a pending configuration byte
    uint8_t mConfigLatchValue = 0;
    std::vector<WriteBuffer> mBuffers;
    Pulse mPulse = Pulse::Idle;
    uint64_t mPulseStartUs = 0;
    uint64_t mPulseEndUs = 0;
    Cycle mProgramCycle;
    Cycle mEraseCycle;
    bool mEraseClocksNoted = false;
    Cycle mEepromCycle;
    // P10 after a data write: armed when the write ends, checked after the TABLAT shift-out
    // that polls WR, against the next clock.
    bool mDataWriteEnded = false;
    bool mPollAfterWrite = false;
    std::optional<uint64_t> mDataDischargeFromUs;

    std::vector<uint16_t> mUnknownInstructions;
};

}  // namespace velkaro::sim
