#pragma once

#include <cstdint>
#include <string>

#include "catalogue/device_definition.h"
#include "image/memory_image.h"
#include "link/clock.h"
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

    // Port index 0..8 (COM1..COM9); the library is given index + 1.
    int portIndex() const { return mPortIndex; }
    void setPortIndex(int index);
    // Programmer type: 0 = "VKR-20 PRO", anything else behaves as "VKR-20 JDM".
    int hardwareType() const { return mHardwareType; }
    void setHardwareType(int type) { mHardwareType = type; }
    bool LinkOpen() const { return mLinkOpen; }

    // Connection and power sequence.
    bool OpenLink(bool showMessages, bool prepareFastCheck);
    bool CloseLink();
    bool WaitAck();
    bool ReadAnswer(std::string& text);
    void ShowSocketLed();
    void SwitchLedOff();
    bool QueryFirmware(std::string& date, std::string& version);
    // Shows the message of `code` (none for 0 and -2); true only for 0.
    bool ReportResult(ResultCode code);

    // Delay calibration: tick reads per millisecond, measured on the clock.
    int CallsPerMillisecond() const { return mCallsPerMillisecond; }
    void setCallsPerMillisecond(int calls) { mCallsPerMillisecond = calls; }
    void measureCallsPerMillisecond();
    // Busy waits; never end before the requested time has passed.
    void DelayMicroseconds(uint32_t us);
    void DelayMilliseconds(uint32_t ms);

    // 6-bit command family.
    void SendCommand(int code);
    void SendData(uint16_t word);
    uint16_t ReceiveData();
    bool StartProgrammingCycle(bool allowProgramOnly, bool programMemory, bool preferErase);
    bool ReadCalibrationWords();

    // 16-bit core family.
    void SendCoreInstruction(int command, uint16_t operand);
    void SetTablePointer(uint32_t address);
    uint8_t TableReadByte();
    uint8_t ShiftOutTablat();
    void ProgrammingPulse();

private:
    ProgrammerLibrary& mLibrary;
    Clock& mClock;
    const DeviceDefinition& mDevice;
    MemoryImage& mImage;
    OperationUi* mUi;
    int mPortIndex = 0;
    int mHardwareType = kProgrammerPro;
    bool mLinkOpen = false;
    int mCallsPerMillisecond = 0;
};

// Whether the OSCCAL calibration menu item is offered for this programmer type and device.
bool oscCalibrationAvailable(int hardwareType, const DeviceDefinition& device);

}  // namespace velkaro
