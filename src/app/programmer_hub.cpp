#include "app/programmer_hub.h"

#include "link/real_clock.h"
#include "link/virtual_clock.h"

namespace velkaro {

ProgrammerHub::ProgrammerHub(Clock& clock, HardwareSettings hardware)
    : mClock(clock),
      mHardware(std::move(hardware)),
      mSimulator(clock),
      mSimLines(mPins, clock, mHardware.jdmLines),
      mLinkClock(clock),
      mSimJdm(mSimLines, clock, mHardware.jdmLines,
              [](int port) { return "COM" + std::to_string(port); }),
      mHardJdm(mPortLines, clock, mHardware.jdmLines,
               [this](int port) { return mHardware.portPath(port); }),
      mHardPro(mPortStream, [this](int port) { return mHardware.portPath(port); }),
      mBoardStream(mPins, clock),
      mEmuPro(mBoardStream, [](int port) { return "emulated COM" + std::to_string(port); }),
      mActive(&mSimulator) {}

ProgrammerHub::~ProgrammerHub() = default;

std::unique_ptr<sim::SimChip> ProgrammerHub::insertChip(std::unique_ptr<sim::SimChip> chip) {
    return chipOnPins() ? mPins.insertChip(std::move(chip))
                        : mSimulator.insertChip(std::move(chip));
}

sim::SimChip* ProgrammerHub::chip() {
    return chipOnPins() ? mPins.chip() : mSimulator.chip();
}

void ProgrammerHub::moveChip(bool toPins) {
    if (toPins)
        mPins.insertChip(mSimulator.insertChip(nullptr));
    else
        mSimulator.insertChip(mPins.insertChip(nullptr));
}

void ProgrammerHub::setEmulatedBoard(bool emulated) {
    const bool before = chipOnPins();
    mEmulateBoard = emulated;
    if (chipOnPins() != before)
        moveChip(chipOnPins());
}

std::string ProgrammerHub::lastError() const {
    if (!mError.empty())
        return mError;
    if (mActive == &mHardJdm)
        return mHardJdm.lastError();
    if (mActive == &mSimJdm)
        return mSimJdm.lastError();
    if (mActive == &mHardPro)
        return mHardPro.lastError();
    if (mActive == &mEmuPro)
        return mEmuPro.lastError();
    return mSimulator.linkFault();
}

std::string ProgrammerHub::checkLeftSafe() const {
    std::string left = mSimulator.checkLeftSafe();
    auto add = [&](const std::string& what) {
        if (what.empty())
            return;
        if (!left.empty())
            left += ", ";
        left += what;
    };
    add(mSimLines.checkLeftSafe());
    if (mPortLines.isOpen() || mPortStream.isOpen())
        add("serial port open");
    if (mBoardStream.isOpen())
        add("emulated board's port open");
    return left;
}

int32_t ProgrammerHub::SSetMode(int32_t mode) {
    // The chip follows the type into the socket that type uses.
    const bool before = chipOnPins();
    mType = mode;
    if (chipOnPins() != before)
        moveChip(chipOnPins());
    mSimulator.SSetMode(mode);
    return 1;
}

int32_t ProgrammerHub::SOpen(int32_t port) {
    mError.clear();
    const bool hardware = isHardwarePort(port);
    if (jdmType())
        mActive = hardware ? static_cast<ProgrammerLibrary*>(&mHardJdm) : &mSimJdm;
    else if (hardware)
        mActive = &mHardPro;
    else
        mActive = mEmulateBoard ? static_cast<ProgrammerLibrary*>(&mEmuPro) : &mSimulator;
    ProProgrammer* pro = mActive == &mHardPro  ? &mHardPro
                         : mActive == &mEmuPro ? &mEmuPro
                                               : nullptr;
    mLinkClock.setDelaySink(pro);
    const int32_t opened = mActive->SOpen(port);
    if (opened != 0 && !hardware)
        ++mSimulatedOpens;
    return opened;
}

int32_t ProgrammerHub::SClose() {
    return mActive->SClose();
}
int32_t ProgrammerHub::SVccOn(int32_t type) {
    return mActive->SVccOn(type);
}
int32_t ProgrammerHub::SVppOn(int32_t type) {
    return mActive->SVppOn(type);
}
int32_t ProgrammerHub::SPowerOff() {
    return mActive->SPowerOff();
}
int32_t ProgrammerHub::SCheckPower() {
    return mActive->SCheckPower();
}
int32_t ProgrammerHub::SCheckOSC() {
    return mActive->SCheckOSC();
}
int32_t ProgrammerHub::SSendCmd(int32_t code) {
    return mActive->SSendCmd(code);
}
int32_t ProgrammerHub::SGetc() {
    return mActive->SGetc();
}
int32_t ProgrammerHub::SSetLED(int32_t position) {
    return mActive->SSetLED(position);
}
int32_t ProgrammerHub::SSetPGC(int32_t level) {
    return mActive->SSetPGC(level);
}
int32_t ProgrammerHub::SSetPGD(int32_t level) {
    return mActive->SSetPGD(level);
}
int32_t ProgrammerHub::SWriteBit(int32_t value, int32_t count) {
    return mActive->SWriteBit(value, count);
}
int32_t ProgrammerHub::SWriteWord(int32_t word) {
    return mActive->SWriteWord(word);
}
int32_t ProgrammerHub::SReadWord() {
    return mActive->SReadWord();
}
int32_t ProgrammerHub::SReadBit(int32_t count) {
    return mActive->SReadBit(count);
}

ProgrammerSet assembleProgrammers(HardwareSettings hardware, bool realTime) {
    ProgrammerSet set;
    if (realTime)
        set.clock = std::make_unique<RealClock>();
    else
        set.clock = std::make_unique<VirtualClock>();
    set.hub = std::make_unique<ProgrammerHub>(*set.clock, std::move(hardware));
    set.hub->simulator().setCallLogEnabled(false);
    return set;
}

}  // namespace velkaro
