#include "operations/midrange/midrange_steps.h"

namespace velkaro {

const FamilySteps& midrangeSteps() {
    static constexpr FamilySteps kSteps{
        readProgram6, readData6, readFailed6, blankProgram6, blankData6, verifyProgramAndConfig6,
        verifyData6,
    };
    return kSteps;
}

}  // namespace velkaro
