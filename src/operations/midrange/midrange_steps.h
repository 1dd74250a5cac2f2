#pragma once

// The 12/14-bit cores' steps behind the shared flows (6-bit commands, the address counter
// walked from the reset vector): the row familySteps() gives for DeviceFamily::Midrange.
// Each step is described where the table declares its member (operations/family_steps.h).

#include "operations/family_steps.h"

namespace velkaro {

// The family's row.
const FamilySteps& midrangeSteps();

ResultCode readProgram6(Workspace& workspace, OperationUi& ui);
ResultCode readData6(Workspace& workspace, OperationUi& ui);
FlowOutcome readFailed6(Workspace& workspace, const ReadResult& read);

}  // namespace velkaro
