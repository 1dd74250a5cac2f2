#pragma once

// The 16-bit core's steps behind the shared flows (4-bit commands, core instructions and
// the table pointer): the row familySteps() gives for DeviceFamily::Pic18. Each step is
// described where the table declares its member (operations/family_steps.h).

#include "operations/family_steps.h"

namespace velkaro {

// The family's row.
const FamilySteps& pic18Steps();

ResultCode readProgram16(Workspace& workspace, OperationUi& ui);
ResultCode readData16(Workspace& workspace, OperationUi& ui);
bool readConfig16(ProgrammerLink& link, const DeviceDefinition& d, ConfigWordArray& words);
FlowOutcome readFailed16(Workspace& workspace, const ReadResult& read);

ResultCode blankProgram16(ProgrammerLink& link, const DeviceDefinition& device, OperationUi& ui,
                          FirstDifference& where);
ResultCode blankData16(ProgrammerLink& link, const DeviceDefinition& device, OperationUi& ui,
                       FirstDifference& where);

ResultCode verifyProgramAndConfig16(Workspace& workspace, OperationUi& ui, bool program,
                                    bool configuration, FirstDifference& where);
ResultCode verifyData16(Workspace& workspace, OperationUi& ui, FirstDifference& where);

FlowOutcome eraseWindow16(Workspace& workspace, OperationUi& ui, const EraseOptions& ticked,
                          bool eraseData);
FlowOutcome writeWindow16(Workspace& workspace, OperationUi& ui, WriteOptions ticked);

}  // namespace velkaro
