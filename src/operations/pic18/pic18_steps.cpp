#include "operations/pic18/pic18_steps.h"

#include "operations/pic18/panel_erase.h"
#include "operations/pic18/write_extended.h"
#include "operations/programming_mode.h"

namespace velkaro {

const FamilySteps& pic18Steps() {
    static constexpr FamilySteps kSteps{
        readProgram16,  readData16,         readFailed16,
        blankProgram16, blankData16,        verifyProgramAndConfig16,
        verifyData16,   readConfig16,       ops::checkProgrammingMode16,
        panelErase,     WriteExtendedChain, false,
    };
    return kSteps;
}

}  // namespace velkaro
