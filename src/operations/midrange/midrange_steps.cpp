#include "operations/midrange/midrange_steps.h"

#include "operations/midrange/bulk_erase.h"
#include "operations/programming_mode.h"
#include "operations/write_device.h"

namespace velkaro {
namespace {

ResultCode writeErased6(Workspace& ws, OperationUi& ui, bool writeProgram, bool writeData,
                        bool writeConfig) {
    return WriteSequence(ws, ui, writeProgram, writeData, writeConfig, true);
}

}  // namespace

const FamilySteps& midrangeSteps() {
    static constexpr FamilySteps kSteps{
        readProgram6,  readData6,    readFailed6,
        blankProgram6, blankData6,   verifyProgramAndConfig6,
        verifyData6,   readConfig6,  ops::checkProgrammingModeFromProgramMemory6,
        eraseDevice6,  writeErased6, true,
    };
    return kSteps;
}

}  // namespace velkaro
