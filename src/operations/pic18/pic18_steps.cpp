#include "operations/pic18/pic18_steps.h"

#include "operations/pic18/panel_erase.h"
#include "operations/pic18/write_extended.h"
#include "operations/programming_mode.h"

namespace velkaro {

const FamilySteps& pic18Steps() {
    static constexpr FamilySteps kSteps{
        .readProgram = readProgram16,
        .readData = readData16,
        .readFailed = readFailed16,
        .blankProgram = blankProgram16,
        .blankData = blankData16,
        .verifyProgramAndConfig = verifyProgramAndConfig16,
        .verifyData = verifyData16,
        .readConfigWords = readConfig16,
        .checkProgrammingMode = ops::checkProgrammingMode16,
        .erase = panelErase,
        .eraseWindow = eraseWindow16,
        .writeErased = WriteExtendedChain,
        .writeWindow = writeWindow16,
        .vddFirstLocksOut = false,
    };
    return kSteps;
}

}  // namespace velkaro
