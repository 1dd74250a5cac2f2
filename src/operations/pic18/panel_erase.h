#pragma once

// Erasing the 16-bit core family: the chip, the boot block and panels, or the data memory,
// through the erase control register.

#include <cstdint>
#include <vector>

#include "app/workspace.h"
#include "link/operation_ui.h"
#include "operations/erase_device.h"

namespace velkaro {

// Erases a 16-bit core device through its erase control register: All (or ProgramOnly on a
// device without data memory) the whole chip; ProgramOnly the boot block and every panel of
// PanelSize words; DataOnly the data memory. The codes are the family's (Algorithm 1: the
// FXX2 codes; otherwise the 2XXX/4XXX bit masks; a device's BulkEraseCode replaces the
// family's chip erase), where All on a chip whose data memory is
// protected (CPD) sends the data erase first: the chip erase leaves such data memory). Each
// erase waits ChipEraseCycle ms. The link is opened with messages; false only when it would
// not open.
bool panelErase(Workspace& ws, OperationUi& ui, EraseScope scope);

// The erase codes panelErase sends, in order.
std::vector<uint16_t> panelEraseCodes(const DeviceDefinition& device, EraseScope scope);

}  // namespace velkaro
