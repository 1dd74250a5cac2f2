#include "operations/midrange/bulk_erase.h"

#include <algorithm>

#include "link/icsp_commands.h"
#include "operations/midrange/osccal_backup.h"
#include "operations/midrange/write_word.h"
#include "operations/operation_support.h"

namespace velkaro {
namespace {

using namespace ops;

constexpr uint16_t kCmdSetSetup1 = 0x0400;
constexpr uint16_t kCmdSetSetup2 = 0x0800;
constexpr uint16_t kExtSetupEraseProgram = 0x0001;
constexpr uint16_t kExtSetupEraseData = 0x0002;

// 01, 07, 08, wait, 01, 07: the set-up erase, whose target the counter and the last load
// choose.
void setupErase(ProgrammerLink& link, int32_t cycleMs) {
    link.SendCommand(kCmdBulkEraseSetup1);
    link.SendCommand(kCmdBulkEraseSetup2);
    link.SendCommand(kCmdBeginEraseProgram);
    link.DelayMilliseconds(waitMs(cycleMs));
    link.SendCommand(kCmdBulkEraseSetup1);
    link.SendCommand(kCmdBulkEraseSetup2);
}

bool hasSetupCommands(const DeviceDefinition& d) {
    return (d.CmdSet & kCmdSetSetup1) != 0 && (d.CmdSet & kCmdSetSetup2) != 0;
}

bool chipEraseRuns(const DeviceDefinition& d) {
    return d.hasChipErase() || d.ChipEraseCmd != 0;
}

bool commandStringErase(Workspace& ws) {
    return runEraseCmdKeepingBackup(ws, false);
}

bool chipErase(Workspace& ws) {
    ProgrammerLink& link = *ws.link;
    const DeviceDefinition& d = ws.device;
    if (!link.OpenLink(false, false))
        return false;
    // With the counter in program memory the chip erase cannot reach the IDs, the
    // configuration word or its protection bits, which a write of program memory needs
    // erased too; from the configuration area it takes them, with the data memory, which
    // it takes from program memory as well.
    if (d.hasLoadConfig()) {
        link.SendCommand(kCmdLoadConfig);
        link.SendData(0);
    }
    link.SendCommand(d.ChipEraseCmd != 0 ? d.ChipEraseCmd : kCmdChipErase);
    link.DelayMilliseconds(waitMs(d.ChipEraseCycle));
    if (d.hasLoadConfig()) {
        // The chip erase takes the ID words too; they are programmed blank once more.
        link.SendCommand(kCmdLoadConfig);
        link.SendData(0);
        for (int k = 0; k < 4; ++k) {
            WriteWordVerified(ws, d.BlankWord, false, true);
            link.SendCommand(kCmdIncrementAddress);
        }
    }
    return link.CloseLink();  // an erase the programmer did not confirm may not have run
}

bool bulkErase(Workspace& ws, OperationUi& ui, bool withData) {
    ProgrammerLink& link = *ws.link;
    const DeviceDefinition& d = ws.device;
    if (!link.OpenLink(false, false))
        return false;
    if (d.hasLoadConfig()) {
        link.SendCommand(kCmdLoadConfig);
        link.SendData(0);
    }
    link.SendCommand(kCmdLoadData);
    link.SendData(d.BlankWord);
    if (d.hasBulkEraseProgram())
        link.SendCommand(kCmdBulkEraseProgram);
    if (d.ExtFlag1 & kExtSetupEraseProgram)
        setupErase(link, d.BulkEraseCycle);
    else
        link.DelayMilliseconds(waitMs(d.BulkEraseCycle));
    if (!link.CloseLink())
        return false;
    return withData ? bulkEraseData(ws, ui) : true;
}

}  // namespace

bool clearCodeProtection(Workspace& ws, OperationUi& ui) {
    const DeviceDefinition& d = ws.device;
    if (!d.FlashType || d.isExtendedFamily())
        return true;
    // Without Load Configuration and the set-up commands the sequence cannot reach the
    // configuration word (baseline parts), or the chip does not know 01 and 07 at all; these
    // devices lose their protection with the bulk or chip erase that follows.
    if (!d.hasLoadConfig() || !hasSetupCommands(d))
        return true;
    ProgrammerLink& link = *ws.link;
    LinkUiScope uiScope(link, ui);
    if (!link.OpenLink(false, false))
        return false;
    const int32_t end = std::max(d.IdAdr + 3, d.ConfigBaseAdr + d.ConfigCount - 1);
    link.SendCommand(kCmdLoadConfig);
    link.SendData(d.BlankWord);
    bool ran = false;
    for (int32_t a = d.IdAdr; a <= end; ++a) {
        if (a == d.ConfigBaseAdr) {
            setupErase(link, d.EraseProgCycle);
            ran = true;
        }
        link.SendCommand(kCmdIncrementAddress);
    }
    return link.CloseLink() && ran;
}

bool bulkEraseProgram(Workspace& ws, OperationUi& ui, bool withData) {
    const DeviceDefinition& d = ws.device;
    if (!d.FlashType)
        return true;
    if (!d.hasBulkEraseProgram() && !(d.ExtFlag1 & kExtSetupEraseProgram) && !chipEraseRuns(d))
        return false;
    if (!clearCodeProtection(ws, ui))
        return false;
    LinkUiScope uiScope(*ws.link, ui);
    if (!d.DeviceEraseCmd.empty())
        return commandStringErase(ws) && ws.link->linkFault().empty();
    if (chipEraseRuns(d))
        return chipErase(ws);
    return bulkErase(ws, ui, withData);
}

bool bulkEraseData(Workspace& ws, OperationUi& ui) {
    const DeviceDefinition& d = ws.device;
    if (d.EpromSize == 0)
        return true;
    ProgrammerLink& link = *ws.link;
    LinkUiScope uiScope(link, ui);
    if (!link.OpenLink(false, false))
        return false;
    link.SendCommand(kCmdLoadDataMemory);
    link.SendData(d.BlankWord);
    if (d.ExtFlag1 & kExtSetupEraseData) {
        setupErase(link, d.BulkEraseCycle);
    } else {
        link.SendCommand(kCmdBulkEraseData);
        // Where 0B starts the erase at once, the 08 that starts it on other parts must not
        // cut it short.
        link.DelayMilliseconds(waitMs(d.BulkEraseCycle));
        link.SendCommand(kCmdBeginEraseProgram);
        link.DelayMilliseconds(waitMs(d.BulkEraseCycle));
    }
    return link.CloseLink();
}

bool eraseDevice6(Workspace& ws, OperationUi& ui, EraseScope scope) {
    LinkUiScope uiScope(*ws.link, ui);
    switch (scope) {
        case EraseScope::All:
            return bulkEraseProgram(ws, ui, true);
        case EraseScope::ProgramOnly:
            return bulkEraseProgram(ws, ui, false);
        case EraseScope::DataOnly:
            return bulkEraseData(ws, ui);
    }
    return false;
}

}  // namespace velkaro
