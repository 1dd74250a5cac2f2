#include "operations/pic18/write_extended.h"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>

#include "link/icsp_commands.h"
#include "operations/code_protection.h"
#include "operations/erase_device.h"
#include "operations/operation_messages.h"
#include "operations/operation_support.h"
#include "operations/pic18/panel_erase.h"
#include "operations/verify_device.h"

namespace velkaro {
namespace {

using namespace ops;

// Core instructions.
constexpr uint16_t kNop = 0x0000;
constexpr uint16_t kSetEepgd = 0x8EA6;
constexpr uint16_t kClearEepgd = 0x9EA6;
constexpr uint16_t kSetCfgs = 0x8CA6;
constexpr uint16_t kClearCfgs = 0x9CA6;
constexpr uint16_t kSetFree = 0x86A6;
constexpr uint16_t kSetWren = 0x84A6;
constexpr uint16_t kClearWren = 0x94A6;
constexpr uint16_t kSetWr = 0x82A6;
constexpr uint16_t kMovlw = 0x0E00;
constexpr uint16_t kMovwfEeadr = 0x6EA9;
constexpr uint16_t kMovwfEeadrh = 0x6EAA;
constexpr uint16_t kMovwfEedata = 0x6EA8;
constexpr uint16_t kMovwfEecon2 = 0x6EA7;
constexpr uint16_t kMovfEecon1 = 0x50A6;
constexpr uint16_t kMovwfTablat = 0x6EF5;
constexpr uint16_t kIncfTblptrL = 0x2AF6;
constexpr uint16_t kGotoLow = 0xEF00;
constexpr uint16_t kGotoHigh = 0xF800;

constexpr uint32_t kPanelModeRegister = 0x3C0006;
constexpr uint16_t kMultiPanelMode = 0x0040;
constexpr int32_t kFirstPhaseWords = 256;
constexpr int kDataPolls = 100;
constexpr uint8_t kWrBit = 0x02;
// Configuration word 5 (CONFIG6L/H) holds WRTC, the write protection of the configuration.
constexpr int kConfigWriteProtectWord = 5;
constexpr uint16_t kWrtcBit = 0x2000;  // CONFIG6H bit 5; 0 protects

void core(ProgrammerLink& link, std::initializer_list<uint16_t> instructions) {
    for (const uint16_t instruction : instructions)
        link.SendCoreInstruction(kCmdCoreInstruction, instruction);
}

// Program word i of the buffer; beyond the buffer the blank value, so that a last block
// that would reach past it writes nothing there.
uint16_t programWord(const Workspace& ws, int64_t i) {
    return i >= 0 && i < ws.device.ProgSize ? ws.image.ProgMemory[static_cast<size_t>(i)]
                                            : uint16_t{0xFFFF};
}

bool blockBlank(const Workspace& ws, int64_t first, int n) {
    for (int i = 0; i < n; ++i) {
        if (programWord(ws, first + i) != 0xFFFF)
            return false;
    }
    return true;
}

// EECON1 set to program memory with single-panel writes.
void singlePanelSetup(ProgrammerLink& link) {
    core(link, {kSetEepgd, kSetCfgs});
    link.SetTablePointer(kPanelModeRegister);
    link.SendCoreInstruction(kCmdTableWrite, 0x0000);
    core(link, {kSetEepgd, kClearCfgs});
}

void multiPanelSetup(ProgrammerLink& link) {
    core(link, {kSetEepgd, kSetCfgs, kSetFree});
    link.SetTablePointer(kPanelModeRegister);
    link.SendCoreInstruction(kCmdTableWrite, kMultiPanelMode);
    core(link, {kSetEepgd, kClearCfgs});
}

// Loads the n words from `first` into the write buffer; the last one with `lastCommand`.
void loadBlock(ProgrammerLink& link, const Workspace& ws, int64_t first, int n, int lastCommand) {
    link.SetTablePointer(static_cast<uint32_t>(2 * first));
    for (int i = 0; i < n - 1; ++i)
        link.SendCoreInstruction(kCmdTableWritePostIncrement, programWord(ws, first + i));
    link.SendCoreInstruction(lastCommand, programWord(ws, first + n - 1));
}

// The primitives report nothing, so a programmer that went away mid-section would look like
// a success; the supply check tells.
ResultCode closeSection(ProgrammerLink& link) {
    const bool powered = (link.library().SCheckPower() & 1) != 0;
    link.CloseLink();
    return powered ? kResultOk : kResultHardwareError;
}

ResultCode cancelled(ProgrammerLink& link) {
    closeLinkIfOpen(link);
    return kResultCancelled;
}

// Waits for the end of a data write by polling EECON1.WR. True when it ended on one of the
// first 99 polls.
bool pollDataWrite(ProgrammerLink& link, bool nopBeforeShift) {
    for (int poll = 0; poll < kDataPolls; ++poll) {
        if (poll > 0)
            link.DelayMilliseconds(1);
        core(link, {kMovfEecon1, kMovwfTablat});
        if (nopBeforeShift)
            core(link, {kNop});
        if ((link.ShiftOutTablat() & kWrBit) == 0)
            return poll < kDataPolls - 1;
    }
    return false;
}

// Reads the configuration words back after they were written. A chip whose configuration
// was write-protected before (WRTC) refuses every byte, and only an erase that takes the
// configuration lifts that; a write of program memory alone erases just the boot block and
// the panels. Returns the reason for the user when a word differs, else nothing.
std::string_view configReadBackFailure(ProgrammerLink& link, const Workspace& ws) {
    const DeviceDefinition& d = ws.device;
    link.SetTablePointer(static_cast<uint32_t>(d.ConfigBaseAdr));
    bool same = true;
    bool writeProtected = false;
    for (int k = 0; k < configWordCount16(d); ++k) {
        const uint16_t word = tableReadWord(link);
        same = same && (word & d.ConfigMask[k]) == (ws.image.ConfigWords[k] & d.ConfigMask[k]);
        if (k == kConfigWriteProtectWord && (d.ConfigMask[k] & kWrtcBit) != 0)
            writeProtected = (word & kWrtcBit) == 0;
    }
    if (same)
        return {};
    return writeProtected ? msg::kConfigWriteProtectedReason : msg::kConfigNotTakenReason;
}

}  // namespace

ResultCode WriteProgramExtended(Workspace& ws, OperationUi& ui) {
    ProgrammerLink& link = *ws.link;
    const DeviceDefinition& d = ws.device;
    const LinkUiScope uiScope(link, ui);
    if (!link.OpenLink(false, false))
        return kResultHardwareError;
    const int n = d.LoadCnt < 1 ? 4 : d.LoadCnt;
    const int32_t panels = d.MultiPanel && d.PanelSize > 0 ? d.ProgSize / d.PanelSize : 0;
    ui.setStatusText(msg::kWritingProgram);

    // The first 256 words always in single-panel mode.
    singlePanelSetup(link);
    int64_t w = 0;
    for (; w < kFirstPhaseWords; w += n) {
        if (blockBlank(ws, w, n))
            continue;
        loadBlock(link, ws, w, n, kCmdTableWriteStartProgramming);
        link.ProgrammingPulse();
    }

    int64_t limit = d.ProgSize;
    if (panels > 0) {
        w = 0;
        limit = d.PanelSize;
        multiPanelSetup(link);
    }
    while (w < limit) {
        if (cancelSeen(ui))
            return cancelled(link);
        ui.setProgress(percentOf(w, limit));
        if (panels == 0) {
            if (!blockBlank(ws, w, n)) {
                loadBlock(link, ws, w, n, kCmdTableWriteStartProgramming);
                link.ProgrammingPulse();
            }
        } else {
            // Panel 0's first 256 words are written already.
            const int32_t firstPanel = w < kFirstPhaseWords ? 1 : 0;
            bool anyData = false;
            for (int32_t p = firstPanel; p < panels; ++p)
                anyData = anyData || !blockBlank(ws, int64_t{p} * d.PanelSize + w, n);
            if (anyData) {
                for (int32_t p = firstPanel; p < panels; ++p) {
                    loadBlock(link, ws, int64_t{p} * d.PanelSize + w, n,
                              p == panels - 1 ? kCmdTableWriteStartProgramming : kCmdTableWrite);
                }
                link.ProgrammingPulse();
            }
        }
        w += n;
    }
    const ResultCode code = closeSection(link);
    ui.setProgress(100);
    return code;
}

std::vector<int> extendedConfigOrder(const DeviceDefinition& d) {
    const int count = std::min(d.ConfigCount, DeviceDefinition::kMaxConfigWords);
    std::vector<int> order;
    for (int i = 0; i < count; ++i) {
        if (i == count - 1)
            order.push_back(6);
        else
            order.push_back(i < 6 ? i : i + 1);
    }
    // Written after word 5, any other configuration byte would be refused once the write
    // protection of the configuration is on.
    const auto protect = std::find(order.begin(), order.end(), kConfigWriteProtectWord);
    if (protect != order.end())
        std::rotate(protect, protect + 1, order.end());
    return order;
}

ResultCode WriteIdConfigExtended(Workspace& ws, OperationUi& ui) {
    ProgrammerLink& link = *ws.link;
    const DeviceDefinition& d = ws.device;
    const MemoryImage& image = ws.image;
    const LinkUiScope uiScope(link, ui);
    if (!link.OpenLink(false, false))
        return kResultHardwareError;
    ui.setStatusText(msg::kWritingConfig16);

    // All eight ID bytes, whatever IdCount says: they fill one write block.
    auto idPair = [&](int k) {
        return static_cast<uint16_t>((image.IdWords[k] & 0xFF) | (image.IdWords[k + 1] & 0xFF)
                                                                     << 8);
    };
    singlePanelSetup(link);
    link.SetTablePointer(static_cast<uint32_t>(d.IdAdr));
    link.SendCoreInstruction(kCmdTableWritePostIncrement, idPair(0));
    link.SendCoreInstruction(kCmdTableWritePostIncrement, idPair(2));
    link.SendCoreInstruction(kCmdTableWritePostIncrement, idPair(4));
    link.SendCoreInstruction(kCmdTableWriteStartProgramming, idPair(6));
    link.ProgrammingPulse();
    // A write of program memory alone erases only the boot block and the panels: ID cells
    // still programmed from before can only lose bits, so the IDs are read back rather than
    // reported written when they are not.
    link.SetTablePointer(static_cast<uint32_t>(d.IdAdr));
    bool idsWritten = true;
    for (int k = 0; k < idWordCount16(d); ++k)
        idsWritten = link.TableReadByte() == (image.IdWords[k] & 0xFF) && idsWritten;
    // A configuration that protects the chip goes in only over contents found right.
    if (!idsWritten && imageProtectsChip(ws)) {
        const ResultCode code = closeSection(link);
        return code == kResultOk ? kResultConfigError : code;
    }

    core(link, {kSetEepgd, kSetCfgs, kGotoLow, kGotoHigh});
    // Configuration cells may take longer to program than the code's (P9A against P9).
    const uint32_t configPulseMs =
        waitMs(d.ConfigProgCycle > 0 ? d.ConfigProgCycle : d.ProgOnlyCycle);
    for (const int k : extendedConfigOrder(d)) {
        // One byte per pulse: the even address takes the low byte, the odd one the high.
        const uint16_t word = image.ConfigWords[k];
        link.SetTablePointer(static_cast<uint32_t>(d.ConfigBaseAdr + 2 * k));
        link.SendCoreInstruction(kCmdTableWriteStartProgramming, word);
        link.ProgrammingPulse(configPulseMs);
        core(link, {kIncfTblptrL});
        link.SendCoreInstruction(kCmdTableWriteStartProgramming, word);
        link.ProgrammingPulse(configPulseMs);
    }
    const std::string_view configFailure = configReadBackFailure(link, ws);
    const ResultCode code = closeSection(link);
    if (code != kResultOk)
        return code;
    if (!configFailure.empty())
        link.setFailureReason(std::string(configFailure));
    return idsWritten && configFailure.empty() ? kResultOk : kResultConfigError;
}

ResultCode WriteDataExtended(Workspace& ws, OperationUi& ui) {
    ProgrammerLink& link = *ws.link;
    const DeviceDefinition& d = ws.device;
    const LinkUiScope uiScope(link, ui);
    const bool poll = ws.catalogue.ReadDeviceKey(d.DeviceName, "DataShiftOut", ui) != 0;
    if (!link.OpenLink(false, false))
        return kResultHardwareError;
    ui.setStatusText(msg::kWritingData);
    core(link, {kClearEepgd, kClearCfgs});
    for (int32_t i = 0; i < d.EpromSize; ++i) {
        ui.setProgress(percentOf(i, d.EpromSize));
        if (cancelSeen(ui))
            return cancelled(link);
        core(link, {static_cast<uint16_t>(kMovlw | (i & 0xFF)), kMovwfEeadr});
        if (d.EpromSize > 256)
            core(link, {static_cast<uint16_t>(kMovlw | ((i >> 8) & 0xFF)), kMovwfEeadrh});
        core(link,
             {static_cast<uint16_t>(kMovlw | ws.image.DataMemory[i]), kMovwfEedata, kSetWren});
        if (d.Algorithm == 1)
            core(link, {0x0E55, kMovwfEecon2, 0x0EAA, kMovwfEecon2});
        core(link, {kSetWr});
        bool written = true;
        if (poll) {
            written = pollDataWrite(link, d.Algorithm == 2);
            // After the poll that saw the write end, PGC stays low for P10.
            link.DelayMicroseconds(link.dischargeUs());
        } else {
            // A NOP whose operand waits out the write.
            link.idleWithClockLow(waitMs(d.BulkEraseCycle));
        }
        core(link, {kClearWren});
        if (!written) {
            // A programmer gone mid-write can look like a byte that never finished.
            const ResultCode code = closeSection(link);
            return code == kResultOk ? kResultDataError : code;
        }
    }
    const ResultCode code = closeSection(link);
    ui.setProgress(100);
    return code;
}

ResultCode WriteExtendedChain(Workspace& ws, OperationUi& ui, bool writeProgram, bool writeData,
                              bool writeConfig) {
    if (writeProgram) {
        if (const ResultCode code = WriteProgramExtended(ws, ui); code != kResultOk)
            return code;
    }
    const bool data = writeData && ws.device.EpromSize != 0;
    if (data) {
        if (const ResultCode code = WriteDataExtended(ws, ui); code != kResultOk)
            return code;
    }
    if (!writeConfig)
        return kResultOk;  // the caller verifies before it writes the configuration
    // As in the write window: nothing was read back as it went, and a configuration may
    // protect the chip, so what was written is compared first.
    if (writeProgram || data) {
        if (const ResultCode code = verifyDevice(ws, ui, writeProgram, data, false);
            code != kResultOk)
            return code;
    }
    return WriteIdConfigExtended(ws, ui);
}

ResultCode WriteExtendedFromWindow(Workspace& ws, OperationUi& ui, bool progEn, bool dataEn) {
    if (!progEn && !dataEn)
        return kResultOk;
    const LinkUiScope uiScope(*ws.link, ui);
    const EraseScope scope = progEn && dataEn ? EraseScope::All
                             : progEn         ? EraseScope::ProgramOnly
                                              : EraseScope::DataOnly;
    if (!panelErase(ws, ui, scope)) {
        // A programming voltage refused before the port opened has said why already; the
        // write ends with that refusal rather than as a failed erase.
        if (ws.link->refusal() == kResultOk)
            ui.showMessage(msg::kWriteEraseFailed);
        return uiScope.checked(kResultHardwareError);
    }
    // A cancel between the steps ends the write as cancelled: the chip is erased and only
    // partly written, which is no success.
    ResultCode code = kResultOk;
    auto step = [&](bool wanted, auto run) {
        if (code == kResultOk && wanted)
            code = ui.cancelRequested() ? kResultCancelled : run();
    };
    const bool data = dataEn && ws.device.EpromSize != 0;
    step(progEn, [&] { return WriteProgramExtended(ws, ui); });
    step(data, [&] { return WriteDataExtended(ws, ui); });
    // The family's writes are not read back as they go, so a word that did not take would
    // pass unseen: compare what was written, before a configuration can protect it.
    step(progEn || data, [&] { return verifyDevice(ws, ui, progEn, data, false); });
    step(progEn, [&] { return WriteIdConfigExtended(ws, ui); });
    code = uiScope.checked(code);
    ws.link->ReportResult(code);
    return code;
}

}  // namespace velkaro
