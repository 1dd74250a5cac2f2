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
        .readProgram = readProgram6,
        .readData = readData6,
        .readFailed = readFailed6,
        .blankProgram = blankProgram6,
        .blankData = blankData6,
        .verifyProgramAndConfig = verifyProgramAndConfig6,
        .verifyData = verifyData6,
        .readConfigWords = readConfig6,
        .checkProgrammingMode = ops::checkProgrammingModeFromProgramMemory6,
        .erase = eraseDevice6,
        .eraseWindow = eraseWindow6,
        .writeErased = writeErased6,
        .writeWindow = writeWindow6,
        .vddFirstLocksOut = true,
    };
    return kSteps;
}

}  // namespace velkaro
