#pragma once

#include <cstdint>

#include "app/workspace.h"
#include "catalogue/config_fields.h"
#include "link/operation_ui.h"

namespace velkaro {

// Whether `label` names a code or data protection field of Config.ini: CP, CPD, CPB and the
// block fields CP0, CP1, … (not CCP…, CPUDIV and the like).
bool isProtectionField(const std::string& label);

// Whether configuration words `words` (`count` of them, word 1 first) turn on code or data
// protection: a protection field of `fields` whose bits are not all set (the erased, off
// state on every family).
bool configProtects(const ConfigFieldTable& fields, const uint16_t* words, int count);

// The same for the buffer's configuration words and the selected device's fields.
bool imageProtectsChip(const Workspace& ws);

// Reads the configuration words of the chip in the socket (they stay readable under
// protection) and tells whether they protect it. False also when the link would not open or
// the words cannot be reached; the image is not touched and the link ends closed.
bool chipIsProtected(Workspace& ws, OperationUi& ui);

}  // namespace velkaro
