#include "operations/operation_support.h"

#include "link/programmer_types.h"

namespace velkaro::ops {

bool fastCheckAvailable(const ProgrammerLink& link) {
    return programmerTypeOf(link.hardwareType()).can.fastBlankCheck &&
           link.device().ResetVector == 0;
}

void leaveFastMode(ProgrammerLink& link) {
    constexpr int kPowerPolls = 31;
    ProgrammerLibrary& library = link.library();
    library.SSetPGD(0);
    library.SSetPGC(0);
    library.SSendCmd(kBlockTestEnd);
    for (int poll = 0; poll < kPowerPolls; ++poll) {
        if (library.SCheckPower() & 1)
            break;
        link.clock().sleepMilliseconds(10);
    }
    link.clock().sleepMilliseconds(100);
}

bool blockIsBlank(ProgrammerLink& link, int command) {
    link.library().SSendCmd(command);
    std::string answer;
    link.ReadAnswer(answer);
    return answer == "*";
}

void selectDataMemory16(ProgrammerLink& link) {
    link.SendCoreInstruction(0, 0x9EA6);  // EECON1.EEPGD = 0
    link.SendCoreInstruction(0, 0x9CA6);  // EECON1.CFGS = 0
}

namespace {

// The instructions that bring data byte `address` into TABLAT.
void loadDataByte16(ProgrammerLink& link, int32_t address) {
    link.SendCoreInstruction(0, static_cast<uint16_t>(0x0E00 | (address & 0xFF)));
    link.SendCoreInstruction(0, 0x6EA9);  // EEADR
    link.SendCoreInstruction(0, static_cast<uint16_t>(0x0E00 | ((address >> 8) & 0xFF)));
    link.SendCoreInstruction(0, 0x6EAA);  // EEADRH
    link.SendCoreInstruction(0, 0x80A6);  // EECON1.RD
    link.SendCoreInstruction(0, 0x50A8);  // W = EEDATA
    link.SendCoreInstruction(0, 0x6EF5);  // TABLAT = W
    if (link.device().Algorithm == 2)
        link.SendCoreInstruction(0, 0x0000);  // newer parts need a NOP before the shift-out
}

}  // namespace

uint8_t readDataByte16(ProgrammerLink& link, int32_t address) {
    loadDataByte16(link, address);
    return link.ShiftOutTablat();
}

void queueDataByte16(ProgrammerLink& link, int32_t address) {
    loadDataByte16(link, address);
    link.QueueShiftOutTablat();
}

}  // namespace velkaro::ops
