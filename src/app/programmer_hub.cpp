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
      mBackends(makeBackends()),
      mActive(&mBackends.front()) {
    mSimLines.setCallMicroseconds(mHardware.portCallUs);
}

ProgrammerHub::~ProgrammerHub() = default;

std::vector<ProgrammerHub::Backend> ProgrammerHub::makeBackends() {
    auto closed = [](bool open, const char* what) { return open ? std::string(what) : ""; };
    return {
        {"simulated programmer", &mSimulator, false, PortKind::Simulated, false,
         [this] { return mSimulator.linkFault(); }, [this] { return mSimulator.checkLeftSafe(); },
         nullptr},
        {"JDM on simulated lines", &mSimJdm, true, PortKind::Simulated, std::nullopt,
         [this] { return mSimJdm.lastError(); }, [this] { return mSimLines.checkLeftSafe(); },
         nullptr},
        {"JDM on a serial port", &mHardJdm, true, PortKind::Serial, std::nullopt,
         [this] { return mHardJdm.lastError(); },
         [this, closed] { return closed(mPortLines.isOpen(), "serial port open"); }, nullptr},
        {"PRO on a serial port", &mHardPro, false, PortKind::Serial, std::nullopt,
         [this] { return mHardPro.lastError(); },
         [this, closed] { return closed(mPortStream.isOpen(), "serial port open"); }, &mHardPro},
        {"emulated PRO board", &mEmuPro, false, PortKind::Simulated, true,
         [this] { return mEmuPro.lastError(); },
         [this, closed] { return closed(mBoardStream.isOpen(), "emulated board's port open"); },
         &mEmuPro},
    };
}

const ProgrammerHub::Backend& ProgrammerHub::backendFor(int32_t port) const {
    const PortKind kind = isHardwarePort(port) ? PortKind::Serial : PortKind::Simulated;
    for (const Backend& backend : mBackends) {
        if (backend.bitBanged == jdmType() && backend.port == kind &&
            backend.emulatedBoard.value_or(mEmulateBoard) == mEmulateBoard)
            return backend;
    }
    return mBackends.front();  // every combination has a row; the simulator if one were missing
}

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
    return mActive->lastError();
}

std::string ProgrammerHub::checkLeftSafe() const {
    std::string left;
    for (const Backend& backend : mBackends) {
        const std::string what = backend.leftOn();
        if (what.empty())
            continue;
        if (!left.empty())
            left += ", ";
        left += what;
    }
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
    mActive = &backendFor(port);
    mLinkClock.setDelaySink(mActive->delaySink);
    const int32_t opened = lib().SOpen(port);
    if (opened != 0 && mActive->port == PortKind::Simulated)
        ++mSimulatedOpens;
    return opened;
}

int32_t ProgrammerHub::SClose() {
    return lib().SClose();
}
int32_t ProgrammerHub::SVccOn(int32_t type) {
    return lib().SVccOn(type);
}
int32_t ProgrammerHub::SVppOn(int32_t type) {
    return lib().SVppOn(type);
}
int32_t ProgrammerHub::SPowerOff() {
    return lib().SPowerOff();
}
int32_t ProgrammerHub::SCheckPower() {
    return lib().SCheckPower();
}
int32_t ProgrammerHub::SCheckOSC() {
    return lib().SCheckOSC();
}
int32_t ProgrammerHub::SSendCmd(int32_t code) {
    return lib().SSendCmd(code);
}
int32_t ProgrammerHub::SGetc() {
    return lib().SGetc();
}
int32_t ProgrammerHub::SSetLED(int32_t position) {
    return lib().SSetLED(position);
}
int32_t ProgrammerHub::SSetPGC(int32_t level) {
    return lib().SSetPGC(level);
}
int32_t ProgrammerHub::SSetPGD(int32_t level) {
    return lib().SSetPGD(level);
}
int32_t ProgrammerHub::SWriteBit(int32_t value, int32_t count) {
    return lib().SWriteBit(value, count);
}
int32_t ProgrammerHub::SWriteWord(int32_t word) {
    return lib().SWriteWord(word);
}
int32_t ProgrammerHub::SReadWord() {
    return lib().SReadWord();
}
int32_t ProgrammerHub::SReadBit(int32_t count) {
    return lib().SReadBit(count);
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
