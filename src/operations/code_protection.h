#pragma once

#include <cstdint>

#include "app/workspace.h"
#include "catalogue/config_fields.h"

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

}  // namespace velkaro
