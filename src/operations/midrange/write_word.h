#pragma once

#include <cstdint>

#include "app/workspace.h"

namespace velkaro {

// Writes `word` at the chip's current address (6-bit family) and leaves the counter there:
// Load Data, a programming cycle (program-only allowed when `erased`; an erase-and-program
// cycle preferred for `isConfig`), then, when the device has ProgramRead, a read-back
// compared under `compareMask` (the blank word unless given: a configuration word has bits
// the chip does not implement). A word that does not read back is tried again, up to
// RetryCnt more times. Once it reads back, ProgCnt - 1 further cycles follow without
// read-back. False when every attempt read back wrong. Requires workspace.link, open.
bool WriteWordVerified(Workspace& ws, uint16_t word, bool erased, bool isConfig);
bool WriteWordVerified(Workspace& ws, uint16_t word, bool erased, bool isConfig,
                       uint16_t compareMask);

}  // namespace velkaro
