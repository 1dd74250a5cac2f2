#include "operations/midrange/word_erase.h"

#include "link/icsp_commands.h"
#include "operations/operation_messages.h"
#include "operations/operation_support.h"

namespace velkaro {
namespace {

using namespace ops;

// One word-by-word pass: `load` (Load Data or Load Data Memory) of the blank word, an
// erase-and-program cycle, the next address.
ResultCode eraseWordByWord(Workspace& ws, OperationUi& ui, int loadCommand, int32_t count) {
    ProgrammerLink& link = *ws.link;
    const DeviceDefinition& d = ws.device;
    LinkUiScope uiScope(link, ui);
    if (!link.OpenLink(true, false))
        return kResultCancelled;
    for (int32_t i = 0; i < count; ++i) {
        if (cancelSeen(ui)) {
            closeLinkIfOpen(link);
            return kResultCancelled;
        }
        ui.setProgress(percentOf(i, count));
        link.SendCommand(loadCommand);
        link.SendData(d.BlankWord);
        link.SendCommand(kCmdBeginEraseProgram);
        link.DelayMilliseconds(waitMs(d.EraseProgCycle));
        link.SendCommand(kCmdIncrementAddress);
    }
    ui.setStatusText("");
    ui.setProgress(100);
    link.CloseLink();
    return uiScope.checked(kResultOk);
}

}  // namespace

ResultCode eraseProgramWordByWord(Workspace& ws, OperationUi& ui) {
    return eraseWordByWord(ws, ui, kCmdLoadData, ws.device.ProgSize);
}

ResultCode eraseDataWordByWord(Workspace& ws, OperationUi& ui) {
    ui.setStatusText(msg::kErasingData);
    return eraseWordByWord(ws, ui, kCmdLoadDataMemory, ws.device.EpromSize);
}

}  // namespace velkaro
