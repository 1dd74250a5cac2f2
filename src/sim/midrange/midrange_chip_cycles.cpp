// Programming and erase cycles of a 12- or 14-bit chip: how they start, end and what they change.
#include <algorithm>
#include <string>

#include "sim/midrange/midrange_chip.h"
#include "sim/midrange/midrange_chip_internal.h"

namespace velkaro::sim {

void MidrangeChip::beginProgramming(CycleKind kind, uint32_t durationUs, uint64_t nowUs) {
    if (kind == CycleKind::None)
        return;
    if (mLastLoad == LastLoad::Data)
        startCycle(CycleTarget::Data, CycleKind::EraseProgram, mDevice.protocol->dataWriteTimeUs,
                   nowUs);
    else
        startCycle(CycleTarget::Program, kind, durationUs, nowUs);
}

void MidrangeChip::startCycle(CycleTarget target, CycleKind kind, uint32_t durationUs,
                              uint64_t nowUs) {
    mCycle = Cycle{target, kind, nowUs, durationUs, mPc};
    countCycle(durationUs);
}

// Ends the running cycle at `nowUs`: complete when its time has passed, cut short otherwise.
// An externally timed cycle ends properly only with the device's End Programming command;
// any other traffic, or the supply going, leaves its words half programmed.
void MidrangeChip::settle(uint64_t nowUs, bool byEndCommand) {
    if (!mCycle)
        return;
    const Cycle cycle = *mCycle;
    mCycle.reset();
    bool complete = nowUs >= cycle.startUs + cycle.durationUs;
    if (cycle.kind == CycleKind::ProgramOnlyExternal && !byEndCommand) {
        note("externally timed cycle not ended by End Programming (" +
             hexText(mDevice.protocol->endCode, 2) + ") after " +
             std::to_string(nowUs - cycle.startUs) + " us: words left half programmed");
        complete = false;
    } else if (!complete) {
        note("cycle cut short after " + std::to_string(nowUs - cycle.startUs) + " us (needs " +
             std::to_string(cycle.durationUs) + " us)");
    }
    finishCycle(cycle, complete);
}

// A bulk erase other than the one that lifts code protection does nothing on a protected
// chip; on families cleared by 09 from the configuration area every bulk erase runs.
bool MidrangeChip::bulkEraseAllowed(CycleTarget target, uint32_t pc) {
    if (!mCodeProtected && !mDataProtected)
        return true;
    const ProtectionClear clear = mDevice.protocol->protectionClear;
    if (clear == ProtectionClear::BulkFromConfig)
        return true;
    if (clear == ProtectionClear::SetupAtConfig && target == CycleTarget::SetupErase &&
        pc == configWordAddr(0))
        return true;
    if (clear == ProtectionClear::ChipErase && target == CycleTarget::Chip)
        return true;
    note(std::string("erase refused on a code-protected chip: only ") +
         (clear == ProtectionClear::SetupAtConfig ? "01, 07, 08 at the configuration word"
                                                  : "the chip erase (1F)") +
         " lifts the protection");
    return false;
}

void MidrangeChip::finishCycle(const Cycle& cycle, bool complete) {
    switch (cycle.target) {
        case CycleTarget::Program: {
            const uint32_t latchCount = static_cast<uint32_t>(mLatch.size());
            if (inProgramMemory(cycle.pc)) {
                const uint32_t index = cycle.pc % mDevice.progWords;
                const uint32_t first = index - index % latchCount;
                if (mCodeProtected)
                    note("programming cycle into code-protected program memory ignored");
                else
                    for (uint32_t i = 0; i < latchCount; ++i)
                        programWord(first + i, mLatch[i], cycle.kind, complete);
            } else if (configAreaWritable(cycle.pc)) {
                programWord(cycle.pc, mLatch[cycle.pc % latchCount], cycle.kind, complete);
            }
            // The latches return to all ones after every cycle.
            std::fill(mLatch.begin(), mLatch.end(), blank());
            break;
        }
        case CycleTarget::Data:
            if (mDataProtected)
                note("programming cycle into protected data memory ignored");
            if (!mData.empty() && !mDataProtected) {
                // An EEPROM write cut short leaves the high nibble erased.
                mData[cycle.pc % mData.size()] =
                    complete ? mDataLatch : static_cast<uint8_t>(mDataLatch | 0xF0);
            }
            break;
        case CycleTarget::BulkProgram:
            if (!complete || !bulkEraseAllowed(cycle.target, cycle.pc))
                break;
            eraseProgram();
            // 14-bit: from the configuration area it also takes IDs and configuration.
            // 12-bit: always the configuration word; from the ID area also the IDs and the
            // backup OSCCAL.
            if (is12Bit())
                eraseConfigArea(!inProgramMemory(cycle.pc) && cycle.pc != mDevice.adrMask);
            else if (!inProgramMemory(cycle.pc))
                eraseConfigArea(true);
            latchProtection();
            break;
        case CycleTarget::BulkData:
            if (!complete || !bulkEraseAllowed(cycle.target, cycle.pc))
                break;
            eraseData();
            break;
        case CycleTarget::Chip:
            if (!complete || !bulkEraseAllowed(cycle.target, cycle.pc))
                break;
            // Like 09, the chip erase reaches the IDs and the configuration word (and so the
            // protection bits) only with the counter in the configuration area.
            eraseProgram();
            if (!inProgramMemory(cycle.pc))
                eraseConfigArea(true);
            eraseData();
            latchProtection();
            break;
        case CycleTarget::SetupErase:
            if (!complete || !bulkEraseAllowed(cycle.target, cycle.pc))
                break;
            if (!inProgramMemory(cycle.pc)) {
                // At the configuration word the sequence clears code protection and erases
                // program memory, IDs and configuration, and the EEPROM only when protection
                // was on; elsewhere in the configuration area it reaches program memory, IDs
                // and configuration but not the EEPROM.
                const bool wasProtected = mCodeProtected || mDataProtected;
                eraseProgram();
                eraseConfigArea(true);
                if (cycle.pc == configWordAddr(0) && wasProtected)
                    eraseData();
            } else if (mLastLoad == LastLoad::Data) {
                if (mDevice.protocol->setupErasesData)
                    eraseData();
                else
                    note(
                        "01, 07, 08 after Load Data Memory does not erase the EEPROM of this "
                        "device (0B, then 08 does)");
            } else {
                eraseProgram();
            }
            latchProtection();
            break;
    }
}

void MidrangeChip::programWord(uint32_t address, uint16_t value, CycleKind kind, bool complete) {
    uint16_t* word = inProgramMemory(address) ? &mProgram[address] : configSlot(address);
    if (!word)
        return;
    const uint16_t erased = blank();
    // A cycle cut short programs only the low half of the word's bits.
    const uint16_t lowBits = is12Bit() ? 0x003F : 0x007F;
    const uint16_t effective =
        complete ? value : static_cast<uint16_t>(value | (erased & ~lowBits));
    uint16_t result =
        kind == CycleKind::EraseProgram ? effective : static_cast<uint16_t>(*word & effective);
    result &= erased;
    for (int i = 0; i < 2; ++i)
        if (address == configWordAddr(i) && (i == 0 || mDevice.configMask[1] != 0))
            result &= implementedConfigMask(i);
    if (address == configWordAddr(0)) {
        // Protection bits go back to 1 only through the erase that lifts protection.
        const uint16_t lifted = static_cast<uint16_t>(effective & ~*word & protectionBits());
        if (lifted != 0) {
            note("configuration write cannot lift code protection (bits " + hexText(lifted, 4) +
                 " stay 0)");
            result = static_cast<uint16_t>(result & ~lifted);
        }
    }
    *word = result;
}

}  // namespace velkaro::sim
