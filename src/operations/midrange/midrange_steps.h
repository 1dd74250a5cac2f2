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
bool readConfig6(ProgrammerLink& link, const DeviceDefinition& d, ConfigWordArray& words);
FlowOutcome readFailed6(Workspace& workspace, const ReadResult& read);

ResultCode blankProgram6(ProgrammerLink& link, const DeviceDefinition& device, OperationUi& ui,
                         FirstDifference& where);
ResultCode blankData6(ProgrammerLink& link, const DeviceDefinition& device, OperationUi& ui,
                      FirstDifference& where);

ResultCode verifyProgramAndConfig6(Workspace& workspace, OperationUi& ui, bool program,
                                   bool configuration, FirstDifference& where);
ResultCode verifyData6(Workspace& workspace, OperationUi& ui, FirstDifference& where);

FlowOutcome eraseWindow6(Workspace& workspace, OperationUi& ui, const EraseOptions& ticked,
                         bool eraseData);
FlowOutcome writeWindow6(Workspace& workspace, OperationUi& ui, WriteOptions ticked);

}  // namespace velkaro
