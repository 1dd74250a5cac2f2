#include "operations/midrange/write_word.h"

#include "link/icsp_commands.h"
#include "operations/operation_support.h"

namespace velkaro {
namespace {

void loadAndProgram(ProgrammerLink& link, uint16_t word, bool erased, bool isConfig) {
    link.SendCommand(kCmdLoadData);
    link.SendData(word);
    link.StartProgrammingCycle(erased, true, isConfig);
}

}  // namespace

bool WriteWordVerified(Workspace& ws, uint16_t word, bool erased, bool isConfig) {
    return WriteWordVerified(ws, word, erased, isConfig, ws.device.BlankWord);
}

bool WriteWordVerified(Workspace& ws, uint16_t word, bool erased, bool isConfig,
                       uint16_t compareMask) {
    ProgrammerLink& link = *ws.link;
    const DeviceDefinition& d = ws.device;
    int triesLeft = d.RetryCnt;
    bool ok = false;
    do {
        loadAndProgram(link, word, erased, isConfig);
        if (d.ProgramRead) {
            link.SendCommand(kCmdReadData);
            ok = (link.ReceiveData() & compareMask) == (word & compareMask);
        } else {
            ok = true;
        }
        --triesLeft;
    } while (!ok && triesLeft >= 0);
    if (!ok)
        return false;
    for (int pass = 1; pass < d.ProgCnt; ++pass)
        loadAndProgram(link, word, erased, isConfig);
    return true;
}

}  // namespace velkaro
