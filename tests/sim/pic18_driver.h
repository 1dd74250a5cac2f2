#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string_view>
#include <vector>

#include "link/virtual_clock.h"
#include "sim/chip_families.h"
#include "sim/pic18/pic18_chip.h"
#include "sim/sim_chip.h"

namespace velkaro::test {

// A modelled PIC18 by name, as its concrete type so tests can look at its notes.
inline std::unique_ptr<sim::Pic18Chip> makePic18(std::string_view name) {
    auto chip = sim::makePic18Chip(name);
    if (auto* pic18 = dynamic_cast<sim::Pic18Chip*>(chip.get())) {
        chip.release();
        return std::unique_ptr<sim::Pic18Chip>(pic18);
    }
    return nullptr;
}

// Plays the program's PIC18 line sequences against a simulated chip, in the order the
// program's primitives send them, on a virtual clock. Waits are explicit microseconds so
// that tests can cut them short.
class Pic18Driver {
public:
    explicit Pic18Driver(sim::SimChip& chip) : mChip(chip) {
        // The K-series take 8-9 V on MCLR; the others are driven at 13 V.
        const auto* pic18 = dynamic_cast<const sim::Pic18Chip*>(&chip);
        if (pic18 && pic18->model().family == sim::Pic18Family::K)
            mVpp = 8.5;
    }

    uint64_t now() const { return mClock.peekMicroseconds(); }
    void wait(uint64_t us) { mClock.advanceMicroseconds(us); }

    void powerUp() { mChip.powerUp(false, mVpp, now()); }
    void powerDown() { mChip.powerDown(now()); }

    void command(uint32_t code, uint16_t operand) {
        mChip.writeBits(code, 4, now());
        mChip.writeBits(operand, 16, now());
    }
    void core(uint16_t instruction) { command(0, instruction); }
    void core(std::initializer_list<uint16_t> instructions) {
        for (uint16_t i : instructions)
            core(i);
    }

    void setTablePointer(uint32_t address) {
        core({static_cast<uint16_t>(0x0E00 | ((address >> 16) & 0xFF)), 0x6EF8,
              static_cast<uint16_t>(0x0E00 | ((address >> 8) & 0xFF)), 0x6EF7,
              static_cast<uint16_t>(0x0E00 | (address & 0xFF)), 0x6EF6});
    }

    uint8_t readWithCommand(uint32_t code) {
        mChip.writeBits(code, 4, now());
        mChip.writeBits(0, 8, now());
        return static_cast<uint8_t>(mChip.readBits(8, now()) & 0xFF);
    }
    uint8_t tableReadByte() { return readWithCommand(9); }
    uint8_t shiftOutTablat() { return readWithCommand(2); }
    uint16_t readWord() {
        const uint8_t low = tableReadByte();
        return static_cast<uint16_t>(low | tableReadByte() << 8);
    }

    // Follows command 15: PGC held high on the 4th clock for `holdUs`, then low for `lowUs`
    // before the NOP's operand.
    void programmingPulse(uint64_t holdUs = 1000, uint64_t lowUs = 100) {
        mChip.setPgd(0, now());
        mChip.setPgc(0, now());
        for (int cycle = 0; cycle < 4; ++cycle) {
            mChip.setPgc(1, now());
            if (cycle == 3)
                wait(holdUs);
            mChip.setPgc(0, now());
        }
        wait(lowUs);
        mChip.writeBits(0, 16, now());
    }

    // EECON1: EEPGD set and CFGS clear select program memory and the user IDs; CFGS set
    // selects the configuration bytes.
    void selectCode() { core({0x8EA6, 0x9CA6}); }
    void selectConfig() { core({0x8EA6, 0x8CA6}); }

    // One write block: program memory selected, command 13 for all words but the last,
    // command 15 for the last.
    void writeBlock(uint32_t byteAddress, const std::vector<uint16_t>& words,
                    uint64_t holdUs = 1000, uint64_t lowUs = 100) {
        selectCode();
        setTablePointer(byteAddress);
        for (size_t i = 0; i + 1 < words.size(); ++i)
            command(13, words[i]);
        command(15, words.back());
        programmingPulse(holdUs, lowUs);
    }

    // Single- (0x00) or multi-panel (0x40) mode through 0x3C0006.
    void panelMode(uint16_t mode) {
        core({0x8EA6, 0x8CA6});
        if (mode)
            core(0x86A6);
        setTablePointer(0x3C0006);
        command(12, mode);
        core({0x8EA6, 0x9CA6});
    }

    // One configuration byte: configuration selected, command 15 with the byte in the half
    // its address takes (low for even, high for odd), then the pulse.
    void writeConfigByte(uint32_t address, uint8_t value, uint64_t lowUs = 100,
                         uint64_t holdUs = 1000) {
        selectConfig();
        setTablePointer(address);
        command(15, static_cast<uint16_t>(value * 0x0101));
        programmingPulse(holdUs, lowUs);
    }

    // The erase code written to 0x3C0005:0x3C0004, then the bulk-erase shape: a NOP, the
    // 4 clocks of a second NOP (the erase starts on the 4th), `waitUs` (P11) and `lowUs`
    // (P10) with PGD and PGC low, then that NOP's operand.
    void erase(uint16_t code, uint64_t waitUs, uint64_t lowUs = 100) {
        requestErase(code);
        core(0x0000);
        mChip.setPgd(0, now());
        mChip.writeBits(0, 4, now());
        wait(waitUs);
        wait(lowUs);
        mChip.writeBits(0, 16, now());
    }
    void requestErase(uint16_t code) {
        if (code > 0xFF) {
            setTablePointer(0x3C0005);
            command(12, static_cast<uint16_t>((code >> 8) * 0x0101));
        }
        setTablePointer(0x3C0004);
        command(12, static_cast<uint16_t>((code & 0xFF) * 0x0101));
    }

    uint8_t readEeprom(uint32_t address, bool nop) {
        core({0x9EA6, 0x9CA6, static_cast<uint16_t>(0x0E00 | (address & 0xFF)), 0x6EA9,
              static_cast<uint16_t>(0x0E00 | ((address >> 8) & 0xFF)), 0x6EAA, 0x80A6, 0x50A8,
              0x6EF5});
        if (nop)
            core(0x0000);
        return shiftOutTablat();
    }

    // The data write of the program: true when WR cleared within 100 polls 1 ms apart. PGC
    // then stays low for `lowUs` (P10) before WREN is cleared.
    bool writeEeprom(uint32_t address, uint8_t value, bool unlock, bool nop, uint64_t lowUs = 100) {
        core({0x9EA6, 0x9CA6, static_cast<uint16_t>(0x0E00 | (address & 0xFF)), 0x6EA9,
              static_cast<uint16_t>(0x0E00 | ((address >> 8) & 0xFF)), 0x6EAA,
              static_cast<uint16_t>(0x0E00 | value), 0x6EA8, 0x84A6});
        if (unlock)
            core({0x0E55, 0x6EA7, 0x0EAA, 0x6EA7});
        core(0x82A6);
        bool done = false;
        for (int poll = 0; poll < 100 && !done; ++poll) {
            if (poll > 0)
                wait(1000);
            core({0x50A6, 0x6EF5});
            if (nop)
                core(0x0000);
            done = (shiftOutTablat() & 0x02) == 0;
        }
        wait(lowUs);
        core(0x94A6);
        return done;
    }

private:
    sim::SimChip& mChip;
    double mVpp = 13.0;  // volts on MCLR at power-up
    VirtualClock mClock;
};

}  // namespace velkaro::test
