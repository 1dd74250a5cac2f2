#pragma once

#include <string>

#include "link/virtual_clock.h"
#include "sim/midrange/midrange_chip.h"
#include "sim/simulated_programmer.h"

namespace velkaro::sim::test {

// A simulated programmer on a virtual clock with one 12/14-bit chip in its socket, driven
// with the raw library calls: 6-bit commands, data words and waits.
class Bench {
public:
    explicit Bench(const std::string& chipName) : programmer(clock) {
        auto made = makeSimChip(chipName);
        chip = dynamic_cast<MidrangeChip*>(made.get());
        programmer.insertChip(std::move(made));
    }

    void powerUp(bool vppFirst = false) {
        programmer.SSetMode(0);
        programmer.SOpen(1);
        if (vppFirst) {
            programmer.SVppOn(0);
            programmer.SVccOn(0);
        } else {
            programmer.SVccOn(0);
            programmer.SVppOn(0);
        }
    }
    void powerDown() {
        programmer.SPowerOff();
        programmer.SClose();
    }
    void cycle() {
        powerDown();
        powerUp();
    }

    void command(int code) { programmer.SWriteBit(code, 6); }
    void load(int code, int word) {
        command(code);
        programmer.SWriteWord(word);
    }
    int read(int code = 4) {
        command(code);
        return programmer.SReadWord();
    }
    void increment(int times = 1) {
        for (int i = 0; i < times; ++i)
            command(6);
    }
    void waitUs(uint64_t us) { clock.advanceMicroseconds(us); }

    // One programming cycle with the device's own command and its full time: 08 where it
    // exists, else the program-only command; End Programming when the device has one.
    void programCycle(bool dataMemory = false) {
        const MidrangeProtocol& p = *chip->device().protocol;
        const bool begin = p.beginCycle != CycleKind::None;
        command(begin ? 8 : p.progOnlyCode);
        waitUs(dataMemory ? p.dataWriteTimeUs : begin ? p.beginTimeUs : p.progOnlyTimeUs);
        if (p.endCode) {
            command(p.endCode);
            waitUs(p.dischargeUs);
        }
    }

    VirtualClock clock;
    SimulatedProgrammer programmer;
    MidrangeChip* chip = nullptr;
};

}  // namespace velkaro::sim::test
