#include "operations/pic18/pic18_steps.h"

namespace velkaro {

const FamilySteps& pic18Steps() {
    static constexpr FamilySteps kSteps{
        readProgram16,  readData16,  readFailed16,
        blankProgram16, blankData16, verifyProgramAndConfig16,
        verifyData16,
    };
    return kSteps;
}

}  // namespace velkaro
