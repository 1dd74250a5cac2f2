// Programming and erase cycles of an enhanced 14-bit chip: how they start, end and what
// they change.
#include <algorithm>
#include <string>

#include "sim/enhanced/enhanced_chip.h"
#include "sim/enhanced/enhanced_chip_internal.h"

namespace velkaro::sim {

using namespace enhanced;

namespace {

const char* targetName(bool configSpace, bool data) {
    return data ? "EEPROM byte" : configSpace ? "configuration word" : "program row";
}

}  // namespace

// 08 writes what was loaded last: the data latch into the EEPROM byte at the counter, or
// the program latches into the row at the counter (program memory) or into the one word at
// the counter (configuration space: user IDs and configuration words one at a time).
void EnhancedChip::beginInternal(uint64_t nowUs) {
    const EnhancedTimes& t = *mDevice.times;
    if (mLastLoad == LastLoad::Data)
        startCycle(Target::DataByte, false, t.dataProgramUs, nowUs);
    else if (inProgramSpace(mPc))
        startCycle(Target::ProgramRow, false, t.rowProgramUs, nowUs);
    else
        startCycle(Target::ConfigWord, false, t.configProgramUs, nowUs);
}

// 18 programs a program-memory row until 0A; the configuration space and the EEPROM are
// written only internally timed.
void EnhancedChip::beginExternal(uint64_t nowUs) {
    if (mLastLoad == LastLoad::Data || !inProgramSpace(mPc)) {
        note(std::string("18 (externally timed) refused on a ") +
             targetName(!inProgramSpace(mPc), mLastLoad == LastLoad::Data) + " at " +
             hexText(mPc, 4) + ": only 08 writes it");
        return;
    }
    startCycle(Target::ProgramRow, true, mDevice.times->externalProgramUs, nowUs);
}

void EnhancedChip::startCycle(Target target, bool external, uint32_t durationUs, uint64_t nowUs) {
    mCycle = Cycle{target, external, nowUs, durationUs, mPc};
    countCycle(durationUs);
}

// Ends the running cycle at `nowUs`. A cycle whose time has not passed, or an externally
// timed one that 0A did not end, leaves memory as it was: the write is lost.
void EnhancedChip::settle(uint64_t nowUs, bool byEndCommand) {
    if (!mCycle)
        return;
    const Cycle cycle = *mCycle;
    mCycle.reset();
    const uint64_t elapsed = nowUs - cycle.startUs;
    bool done = elapsed >= cycle.durationUs;
    if (cycle.external && !byEndCommand) {
        note("externally timed programming not ended by 0A after " + std::to_string(elapsed) +
             " us: not done");
        done = false;
    } else if (!done) {
        note("next command " + std::to_string(elapsed) + " us into a cycle that needs " +
             std::to_string(cycle.durationUs) + " us: not done");
    }
    finishCycle(cycle, done);
}

void EnhancedChip::finishCycle(const Cycle& cycle, bool done) {
    if (done) {
        switch (cycle.target) {
            case Target::ProgramRow:
                programRow(cycle.pc);
                break;
            case Target::ConfigWord:
                programConfigWord(cycle.pc);
                break;
            case Target::DataByte:
                programDataByte(cycle.pc);
                break;
            case Target::BulkProgram:
                bulkEraseProgram(cycle.pc);
                break;
            case Target::BulkData:
                eraseData();
                break;
            case Target::RowErase:
                eraseRow(cycle.pc);
                break;
        }
    }
    // The latches return to their blank state after every programming cycle.
    if (cycle.target == Target::ProgramRow || cycle.target == Target::ConfigWord ||
        cycle.target == Target::DataByte)
        resetLatches();
}

void EnhancedChip::resetLatches() {
    std::fill(mLatch.begin(), mLatch.end(), kBlank);
    mDataLatch = 0xFF;
    mLastLoad = LastLoad::None;
}

// Flash is programmed without erasing: a bit goes from 1 to 0, never back.
void EnhancedChip::programRow(uint32_t pc) {
    if (mCodeProtected) {
        note("programming cycle into code-protected program memory ignored");
        return;
    }
    const uint32_t first = pc - pc % mLatch.size();
    for (uint32_t i = 0; i < mLatch.size(); ++i)
        if (first + i < mProgram.size())
            mProgram[first + i] &= mLatch[i];
}

void EnhancedChip::programConfigWord(uint32_t pc) {
    if (!configWritable(pc))
        return;  // revision and device IDs, calibration words, reserved: read-only
    uint16_t& word = *configSlot(pc);
    word &= static_cast<uint16_t>(mLatch[pc % mLatch.size()] & configWriteMask(pc));
}

// EEPROM bytes are erased and written by the one cycle.
void EnhancedChip::programDataByte(uint32_t pc) {
    if (mDataProtected) {
        note("programming cycle into protected data memory ignored");
        return;
    }
    mData[pc % mData.size()] = mDataLatch;
}

// From program space 09 erases program memory alone; from the configuration space also
// the user IDs and configuration words, and, when either protection was on, the EEPROM:
// the one way to lift code protection.
void EnhancedChip::bulkEraseProgram(uint32_t pc) {
    eraseProgram();
    if (inProgramSpace(pc))
        return;
    const bool wasProtected = mCodeProtected || mDataProtected;
    eraseIdsAndConfig();
    if (wasProtected)
        eraseData();
    latchProtection();
}

void EnhancedChip::eraseRow(uint32_t pc) {
    if (!inProgramSpace(pc)) {
        note("row erase (11) in the configuration space at " + hexText(pc, 4) + ": nothing erased");
        return;
    }
    if (mCodeProtected) {
        note("row erase in code-protected program memory ignored");
        return;
    }
    const uint32_t first = pc - pc % mDevice.eraseRowWords;
    for (uint32_t a = first; a < first + mDevice.eraseRowWords && a < mProgram.size(); ++a)
        mProgram[a] = kBlank;
}

}  // namespace velkaro::sim
