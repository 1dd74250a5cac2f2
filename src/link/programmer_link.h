#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "catalogue/device_definition.h"
#include "image/memory_image.h"
#include "link/clock.h"
#include "link/entry_mode.h"
#include "link/operation_ui.h"
#include "link/programmer_library.h"
#include "link/result_code.h"

namespace velkaro {

// The program's layer over the programmer access library: connection and power
// sequence, answers, LED, firmware query, and the ICSP primitives of both families.
// Holds references only; the Workspace owns library, clock, device and image.
// Every message goes through the OperationUi set with setUi().
class ProgrammerLink {
public:
    static constexpr int kProgrammerPro = 0;  // "VKR-20 PRO": programmer commands, LED, fast check
    static constexpr int kProgrammerJdm = 1;  // "VKR-20 JDM"

    ProgrammerLink(ProgrammerLibrary& library, Clock& clock, const DeviceDefinition& device,
                   MemoryImage& image);

    void setUi(OperationUi& ui) { mUi = &ui; }
    OperationUi& ui() const { return *mUi; }
    ProgrammerLibrary& library() const { return mLibrary; }
    Clock& clock() const { return mClock; }
    const DeviceDefinition& device() const { return mDevice; }

    static constexpr int kPortCount = 9;  // COM1..COM9
    // Power sequencing: the wait after each supply comes up (and, on the intelligent
    // programmer, after the socket LED), and the one after the session ends (ms).
    static constexpr uint32_t kSupplySettleMs = 200;
    static constexpr uint32_t kCloseSettleMs = 100;

    // Port index 0..8 (COM1..COM9); the library is given index + 1. An index outside
    // 0..8 is refused (false) and the port stays as it was.
    int portIndex() const { return mPortIndex; }
    bool setPortIndex(int index);
    // Programmer type: 0 = "VKR-20 PRO", anything else behaves as "VKR-20 JDM".
    int hardwareType() const { return mHardwareType; }
    void setHardwareType(int type) { mHardwareType = type; }
    bool LinkOpen() const { return mLinkOpen; }
    // How OpenLink brings the chip into programming mode; Automatic until told.
    void setEntryMode(EntryMode mode) { mEntryMode = mode; }
    EntryMode entryMode() const { return mEntryMode; }
    // Whether OpenLink enters by the low-voltage key: when asked to, or, left to choose, where
    // the device allows it, the programmer can and has no VPP level the device accepts (the
    // "VKR-20 JDM"'s 13 V on an enhanced 14-bit chip). Otherwise high voltage, which also
    // serves chips whose LVP bit is clear.
    bool usesLowVoltageEntry() const;

    // Connection and power sequence.
    // Opens the port and powers the target; false when the port does not open (power
    // untouched) or a supply or the power check fails (link closed again). Refused before
    // anything is sent when the programmer has no programming voltage the device accepts,
    // or low-voltage entry is asked of a device or programmer without it (refusal() then
    // tells; the PRO is told the level it chose otherwise). By the low-voltage key only VDD
    // is switched on and VPP never. With
    // `showMessages` the failure is also shown; `prepareFastCheck` readies the PRO's block
    // blank test.
    bool OpenLink(bool showMessages, bool prepareFastCheck);
    // Target off, port closed, 100 ms pause; safe when not open. False when the session
    // that ends here failed: the programmer reported the connection lost or garbled at any
    // point, or did not confirm switching the target off and closing. The reason is kept in
    // linkFault() until the next operation begins.
    bool CloseLink();
    // Waits for the "#" that acknowledges a programmer command: 200 polls, events pumped
    // before each. True when it came on polls 1..199.
    bool WaitAck();
    // Collects an answer up to its "#" (400 polls); control characters are dropped. False
    // when no "#" came on polls 1..399; `text` then holds what arrived.
    bool ReadAnswer(std::string& text);
    // Lights the device's socket position (opens the port briefly when the link is closed).
    void ShowSocketLed();
    // LED off; closes the link when it is open.
    void SwitchLedOff();
    // Firmware date (YYYYMMDD...) and version of a "VKR-20 PRO"; false for other types, a
    // port that does not open, a missing answer or a date shorter than 8 characters.
    bool QueryFirmware(std::string& date, std::string& version);
    // Shows the message of `code` (none for 0 and -2; the refusal's for a hardware failure
    // after OpenLink refused); true only for 0. A failure shows its
    // reason, when one was recorded, on a line below the fixed text.
    bool ReportResult(ResultCode code);
    // Why the operation under way failed, when more is known than the failure itself (a
    // hardware failure's cause; a configuration the chip refused until a full erase).
    // OpenLink starts each phase without one; ReportResult shows and clears it.
    void setFailureReason(std::string reason) { mFailureReason = std::move(reason); }
    const std::string& failureReason() const { return mFailureReason; }

    // Whether the target's VDD comes up before VPP on this programmer: the device asks for
    // VCC first (PowerOnSequence other than 1), or the "VKR-20 JDM" takes VDD from the port.
    bool raisesVddFirst() const;

    // Why the link failed during the current operation (kept from the first failure); empty
    // while it works. While it is set OpenLink refuses, so no later phase of the operation
    // runs on a programmer whose earlier answers cannot be trusted.
    const std::string& linkFault() const { return mFault; }
    // True once this operation has shown a hardware or link failure (OpenLink's own
    // messages, ReportResult's hardware message), so that a caller does not show another.
    bool failureShown() const { return mFailureShown; }
    // Operations nest (a window's flow runs the algorithm, the automatic sequence runs
    // several); the outermost one begins with a sound link.
    void beginOperation();
    void endOperation();
    // `code` as the operation may report it: a refused OpenLink turns any result but a
    // cancel into the refusal, a failed link into kResultHardwareError, since reads taken
    // over it mean nothing.
    ResultCode checkedResult(ResultCode code) const;
    // Why OpenLink refused during this operation without touching the programmer
    // (kResultVppUnavailable: no programming voltage, or no low-voltage entry, for the
    // device on this programmer), or kResultOk.
    ResultCode refusal() const { return mRefusal; }

    // Delay calibration: tick reads per millisecond, measured on the clock.
    int CallsPerMillisecond() const { return mCallsPerMillisecond; }
    void setCallsPerMillisecond(int calls) { mCallsPerMillisecond = calls; }
    void measureCallsPerMillisecond();
    // Busy waits in microseconds and milliseconds; never end before the requested time
    // has passed on the clock's monotonic time. User-interface events are not processed.
    void DelayMicroseconds(uint32_t us);
    void DelayMilliseconds(uint32_t ms);
    // A wait the rules fix whatever the programmer's speed (a supply step settling, the
    // pause between the steps of a sequence); fixedWaitMs() adds them up since the link was
    // made.
    void settle(uint32_t ms);
    uint64_t fixedWaitMs() const { return mFixedWaitMs; }

    // Reads taken later, in the order they were queued (QueueReceiveData,
    // QueueTableReadByte, then takeQueuedRead). A programmer that collects reads answers them a
    // frame at a time; with any other the read happens as it is queued, so the library
    // sees the very calls ReceiveData and TableReadByte make. readQueueDepth: how many reads a
    // loop should keep queued before it takes the oldest (1: take each at once). Closing
    // the link drops reads not taken, unless a loop asked to take them first (BeforeClose).
    void QueueReceiveData();
    void QueueTableReadByte();
    void QueueShiftOutTablat();
    uint16_t takeQueuedRead();
    int readQueueDepth() const { return mLibrary.deferredReads() != nullptr ? kReadAheadWords : 1; }
    static constexpr int kReadAheadWords = 512;
    // True once the programmer's session has failed: reads taken since are not the chip's.
    bool readsLost() const;
    // Runs once, while the programmer still answers, when the open link is next closed
    // (whoever closes it); an empty function removes it.
    void setBeforeClose(std::function<void()> beforeClose) {
        mBeforeClose = std::move(beforeClose);
    }

    // 6-bit command family.
    void SendCommand(int code);
    void SendData(uint16_t word);
    uint16_t ReceiveData();
    // Starts an erase-and-program or program-only cycle and waits its time (program or
    // data memory times). False, with nothing sent, when a program-only cycle is not
    // allowed and the device has no erase-and-program command.
    bool StartProgrammingCycle(bool allowProgramOnly, bool programMemory, bool preferErase);
    // Opens the link, reads the chip's OSCCAL and BG values into the image, closes it.
    // False when the link does not open or fails meanwhile (the values are then not the
    // chip's).
    bool ReadCalibrationWords();

    // 16-bit core family.
    void SendCoreInstruction(int command, uint16_t operand);
    void SetTablePointer(uint32_t address);  // 24-bit byte address
    uint8_t TableReadByte();                 // table read with post-increment
    uint8_t ShiftOutTablat();
    // The pulse after a "table write and start programming" command: the fourth clock
    // is held high for ProgOnlyCycle ms (the overload: `holdMs`), then PGC stays low for
    // dischargeUs().
    void ProgrammingPulse();
    void ProgrammingPulse(uint32_t holdMs);
    // A NOP, then the command bits of a second NOP, then PGC and PGD low for `holdMs` and
    // the discharge time, then that NOP's operand: the time a bulk erase (which starts on
    // the second NOP's fourth clock) or an unpolled data write runs in. The chip takes no
    // bits meanwhile, so the operand must not come sooner.
    void idleWithClockLow(uint32_t holdMs);
    // How long PGC stays low after a programming pulse, an erase or a data write before the
    // next clock (P10): the 2XXX/4XXX parts need 100 us, the older ones 5 us, the K-series
    // 200 us. Without a DischargeTime the device gets 100 us.
    static constexpr uint32_t kDischargeUs = 100;
    // The device's DischargeTime (us), or kDischargeUs where it names none.
    uint32_t dischargeUs() const;

private:
    void showResultMessage(std::string_view text);

    // A 4-bit command, 8 bits of 0 and the 8 bits the chip shifts out (table reads, TABLAT).
    uint8_t shiftOut(int command);
    void queueShiftOut(int command);
    // Keeps the first reason the link failed in this operation; an empty one changes nothing.
    void noteFault(std::string why);
    void showFailure(std::string_view text);
    // The programmer command selecting the VPP level for the device (0: none to send), or
    // nothing when the programmer has no level the device accepts.
    std::optional<int32_t> vppLevelCommand() const;
    std::string vppRefusalMessage() const;
    void refuse(std::string message, bool showMessages);
    void showRefusal();
    // Low-voltage entry once VDD is up: the key and its extra clock, then the hold time.
    void sendLowVoltageKey();

    ProgrammerLibrary& mLibrary;
    Clock& mClock;
    const DeviceDefinition& mDevice;
    MemoryImage& mImage;
    OperationUi* mUi;  // never null: a silent UI until setUi()
    int mPortIndex = 0;
    int mHardwareType = kProgrammerPro;
    bool mLinkOpen = false;
    uint64_t mFixedWaitMs = 0;
    std::string mFault;
    bool mFailureShown = false;
    ResultCode mRefusal = kResultOk;
    std::string mRefusalMessage;
    bool mRefusalShown = false;
    EntryMode mEntryMode = EntryMode::Automatic;
    int mOperationDepth = 0;
    int mCallsPerMillisecond = 0;
    std::deque<uint16_t> mReadValues;  // reads done at once, not yet taken
    std::function<void()> mBeforeClose;
    std::string mFailureReason;
};

// Whether the OSCCAL calibration menu item is offered for this programmer type and device.
bool oscCalibrationAvailable(int hardwareType, const DeviceDefinition& device);

// The About window's firmware line, "ﾌｧｰﾑｳｪｱﾊﾞｰｼﾞｮﾝ YYYY/MM/DD Ver.x", from the answers of
// QueryFirmware; empty when `date` has fewer than 8 characters.
std::string firmwareVersionText(const std::string& date, const std::string& version);

}  // namespace velkaro
