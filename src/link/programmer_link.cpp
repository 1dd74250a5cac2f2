#include "link/programmer_link.h"

#include "link/link_messages.h"
#include "link/programmer_commands.h"
#include "link/programmer_types.h"

namespace velkaro {

namespace {

constexpr int32_t kAckCharacter = '#';
constexpr int32_t kNoCharacter = -1;
constexpr int kAckPollBudget = 200;
constexpr int kAnswerPollBudget = 400;

constexpr size_t kFirmwareDateLength = 8;

constexpr const char* kFaultNoTargetPower =
    "the target's supply did not come up (no chip, a short, or a supply that failed)";
constexpr const char* kFaultNotSwitchedOff =
    "the programmer did not confirm switching the target off";

OperationUi& silentUi() {
    static SilentOperationUi ui;
    return ui;
}

// Supply types are small codes; the library is never given a negative one.
int32_t supplyType(int32_t type) {
    return type < 0 ? 0 : type;
}

}  // namespace

ProgrammerLink::ProgrammerLink(ProgrammerLibrary& library, Clock& clock,
                               const DeviceDefinition& device, MemoryImage& image)
    : mLibrary(library), mClock(clock), mDevice(device), mImage(image), mUi(&silentUi()) {}

bool ProgrammerLink::setPortIndex(int index) {
    if (index < 0 || index >= kPortCount)
        return false;
    mPortIndex = index;
    return true;
}

std::optional<int32_t> ProgrammerLink::vppLevelCommand() const {
    const VppLevel* level = chooseVppLevel(programmerTypeOf(mHardwareType).can.vppLevels,
                                           mDevice.VppVoltage, mDevice.vppMin(), mDevice.vppMax());
    if (level == nullptr)
        return std::nullopt;
    return level->command;
}

std::string ProgrammerLink::vppRefusalMessage() const {
    return vppUnavailableMessage(mDevice.vppMin(), mDevice.vppMax(),
                                 programmerTypeOf(mHardwareType).name);
}

bool ProgrammerLink::usesLowVoltageEntry() const {
    switch (mEntryMode) {
        case EntryMode::LowVoltage:
            return true;
        case EntryMode::HighVoltage:
            return false;
        case EntryMode::Automatic:
            break;
    }
    return mDevice.allowsLowVoltageEntry() && programmerTypeOf(mHardwareType).can.lowVoltageEntry &&
           !vppLevelCommand();
}

void ProgrammerLink::refuse(std::string message, bool showMessages) {
    mRefusal = kResultVppUnavailable;
    mRefusalMessage = std::move(message);
    if (showMessages)
        showRefusal();
}

bool ProgrammerLink::OpenLink(bool showMessages, bool prepareFastCheck) {
    const ProgrammerCapabilities& can = programmerTypeOf(mHardwareType).can;
    mFailureReason.clear();
    const bool lowVoltage = usesLowVoltageEntry();
    // A chip that takes no key stays running while the key goes in: refused before the port
    // opens, as is a voltage outside the chip's range, which can damage it.
    std::optional<int32_t> vppCommand = 0;
    if (lowVoltage) {
        if (!mDevice.allowsLowVoltageEntry() || !can.lowVoltageEntry) {
            refuse(std::string(kMsgLowVoltageUnavailable), showMessages);
            return false;
        }
    } else {
        vppCommand = vppLevelCommand();
        if (!vppCommand) {
            refuse(vppRefusalMessage(), showMessages);
            return false;
        }
    }
    if (mOperationDepth == 0) {
        // A session outside any operation: nothing refused is pending.
        mRefusal = kResultOk;
        mRefusalMessage.clear();
        mRefusalShown = false;
    }
    // Indices beyond the two known types are the library's to interpret; a negative one
    // can only be a corrupt setting and is sent as the type it behaves as.
    if (!mFault.empty()) {
        // This operation's link has failed already: nothing more goes out.
        if (showMessages)
            showFailure(kMsgProgrammerUnavailable);
        return false;
    }
    mLibrary.SSetMode(mHardwareType < 0 ? kProgrammerJdm : mHardwareType);
    if (mLibrary.SOpen(mPortIndex + 1) == 0) {
        std::string why = mLibrary.linkFault();
        noteFault(why.empty() ? "COM" + std::to_string(mPortIndex + 1) + " could not be opened"
                              : std::move(why));
        if (showMessages)
            showFailure(kMsgProgrammerUnavailable);
        return false;
    }

    if (can.programmerCommands) {
        if (lowVoltage) {
            mLibrary.SSendCmd(kCmdLowVoltageEntry);
            WaitAck();
        } else if (*vppCommand != 0) {
            mLibrary.SSendCmd(*vppCommand);
            WaitAck();  // a missing acknowledgement does not stop the power-up
        }
        if (prepareFastCheck) {
            mLibrary.SSetPGD(1);
            mLibrary.SSetPGC(1);
            mLibrary.SSendCmd(kCmdPrepareFastCheck);
            WaitAck();
        }
    }

    const int32_t vpp = supplyType(mDevice.VppType);
    const int32_t vcc = supplyType(mDevice.VccType);
    const bool vppFirst = mDevice.PowerOnSequence == 1;
    bool powered = false;
    if (lowVoltage) {
        // MCLR stays at VIL for the whole session: VPP is never switched on.
        if (mLibrary.SVccOn(vcc) != 0) {
            settle(kSupplySettleMs);
            powered = (mLibrary.SCheckPower() & 1) != 0;
        }
        if (powered)
            sendLowVoltageKey();
    } else if ((vppFirst ? mLibrary.SVppOn(vpp) : mLibrary.SVccOn(vcc)) != 0) {
        settle(kSupplySettleMs);
        if ((vppFirst ? mLibrary.SVccOn(vcc) : mLibrary.SVppOn(vpp)) != 0) {
            settle(kSupplySettleMs);
            powered = (mLibrary.SCheckPower() & 1) != 0;
        }
    }

    if (!powered) {
        // A power-up whose answers were lost is a link fault, not a supply problem.
        std::string why = mLibrary.linkFault();
        noteFault(why.empty() ? std::string(kFaultNoTargetPower) : std::move(why));
        CloseLink();
        if (showMessages)
            showFailure(kMsgNoTargetPower);
        return false;
    }
    mLinkOpen = true;
    if (can.socketLed) {
        ShowSocketLed();
        settle(kSupplySettleMs);
    }
    return true;
}

void ProgrammerLink::settle(uint32_t ms) {
    mClock.sleepMilliseconds(ms);
    mFixedWaitMs += ms;
}

bool ProgrammerLink::CloseLink() {
    const bool wasOpen = mLinkOpen;
    if (mLinkOpen && mBeforeClose)
        std::exchange(mBeforeClose, nullptr)();
    mReadValues.clear();  // the programmer drops its own with the session
    const bool off = mLibrary.SPowerOff() != 0;
    const bool closed = mLibrary.SClose() != 0;
    settle(kCloseSettleMs);
    mLinkOpen = false;
    if (!wasOpen)
        return true;  // nothing of a session to judge (a Cancel button, a failed power-up)
    std::string fault = mLibrary.linkFault();
    if (fault.empty() && !(off && closed))
        fault = kFaultNotSwitchedOff;
    noteFault(std::move(fault));
    return mFault.empty();
}

void ProgrammerLink::noteFault(std::string why) {
    if (mFault.empty())
        mFault = std::move(why);
}

void ProgrammerLink::showRefusal() {
    // One operation tells it once, however many of its phases were refused.
    if (!mRefusalShown)
        showFailure(mRefusalMessage.empty() ? vppRefusalMessage() : mRefusalMessage);
    mRefusalShown = true;
}

void ProgrammerLink::showFailure(std::string_view text) {
    mUi->showMessage(text);
    mFailureShown = true;
}

void ProgrammerLink::beginOperation() {
    if (mOperationDepth++ == 0) {
        mFault.clear();
        mFailureShown = false;
        mRefusal = kResultOk;
        mRefusalMessage.clear();
        mRefusalShown = false;
    }
}

void ProgrammerLink::endOperation() {
    if (mOperationDepth > 0)
        --mOperationDepth;
}

ResultCode ProgrammerLink::checkedResult(ResultCode code) const {
    if (mRefusal != kResultOk && code != kResultCancelled)
        return mRefusal;
    if (mFault.empty() || code == kResultCancelled)
        return code;
    return kResultHardwareError;
}

bool ProgrammerLink::WaitAck() {
    for (int poll = 1; poll <= kAckPollBudget; ++poll) {
        mUi->pumpEvents();
        if (mLibrary.SGetc() == kAckCharacter)
            return poll < kAckPollBudget;
    }
    return false;
}

bool ProgrammerLink::ReadAnswer(std::string& text) {
    text.clear();
    for (int poll = 1; poll <= kAnswerPollBudget; ++poll) {
        mUi->pumpEvents();
        const int32_t c = mLibrary.SGetc();
        if (c == kNoCharacter)
            continue;
        if (c == kAckCharacter)
            return poll < kAnswerPollBudget;
        // Control characters (line ends) are not part of the answer; anything beyond a
        // byte is not a character the programmer can send.
        if (c >= 32 && c <= 255)
            text.push_back(static_cast<char>(c));
    }
    return false;
}

void ProgrammerLink::ShowSocketLed() {
    if (mLinkOpen) {
        mLibrary.SSetLED(mDevice.Position);
        return;
    }
    if (mLibrary.SOpen(mPortIndex + 1) != 0) {
        mLibrary.SSetLED(mDevice.Position);
        mLibrary.SClose();
    }
}

void ProgrammerLink::SwitchLedOff() {
    if (mLinkOpen) {
        mLibrary.SSetLED(0);
        CloseLink();
        return;
    }
    if (mLibrary.SOpen(mPortIndex + 1) != 0) {
        mLibrary.SSetLED(0);
        mLibrary.SClose();
    }
}

bool ProgrammerLink::QueryFirmware(std::string& date, std::string& version) {
    date.clear();
    version.clear();
    if (!programmerTypeOf(mHardwareType).can.firmwareQuery)
        return false;
    if (mLibrary.SOpen(mPortIndex + 1) == 0)
        return false;
    mLibrary.SSendCmd(kCmdFirmwareDate);
    bool ok = ReadAnswer(date);
    if (ok) {
        mLibrary.SSendCmd(kCmdFirmwareVersion);
        ok = ReadAnswer(version);
    }
    mLibrary.SClose();
    return ok && date.size() >= kFirmwareDateLength;
}

bool ProgrammerLink::ReportResult(ResultCode code) {
    switch (code) {
        case kResultOk:
            break;
        case kResultCancelled:
            break;
        case kResultProgramError:
            showResultMessage(kMsgProgramMemoryError);
            break;
        case kResultDataError:
            showResultMessage(kMsgDataMemoryError);
            break;
        case kResultConfigError:
            showResultMessage(kMsgConfigMemoryError);
            break;
        case kResultVppUnavailable:
            showRefusal();
            break;
        default:
            // A flow that reports its refused open as a hardware failure: the refusal is
            // what happened.
            if (mRefusal != kResultOk) {
                showRefusal();
                break;
            }
            // The link's own failure, when there was one, is the reason shown.
            if (!mFault.empty())
                mFailureReason = mFault;
            showResultMessage(kMsgHardwareError);
            mFailureShown = true;
            break;
    }
    mFailureReason.clear();
    return code == kResultOk;
}

void ProgrammerLink::showResultMessage(std::string_view text) {
    if (mFailureReason.empty()) {
        mUi->showMessage(text);
        return;
    }
    std::string message(text);
    message += '\r';  // the line break of a message box, as in the other two-line texts
    message += mFailureReason;
    mUi->showMessage(message);
}

bool ProgrammerLink::raisesVddFirst() const {
    if (mDevice.PowerOnSequence != 1)
        return true;
    return !programmerTypeOf(mHardwareType).can.switchesVdd && mLibrary.jdmVddFromPort();
}

bool oscCalibrationAvailable(int hardwareType, const DeviceDefinition& device) {
    return programmerTypeOf(hardwareType).can.oscillatorMeasure && !device.OscCalFile.empty();
}

std::string firmwareVersionText(const std::string& date, const std::string& version) {
    if (date.size() < kFirmwareDateLength)
        return {};
    std::string text(kFirmwareVersionPrefix);
    text += date.substr(0, 4);
    text += '/';
    text += date.substr(4, 2);
    text += '/';
    text += date.substr(6, 2);
    text += " Ver.";
    text += version;
    return text;
}

}  // namespace velkaro
