#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_chip.h"

namespace velkaro::sim {

// Each family keeps its own table of real devices; makeSimChip asks them in turn.
std::unique_ptr<SimChip> makeMidrangeChip(std::string_view name);  // 12- and 14-bit cores
std::vector<std::string> midrangeChipNames();
std::unique_ptr<SimChip> makePic18Chip(std::string_view name);  // 16-bit core
std::vector<std::string> pic18ChipNames();
std::unique_ptr<SimChip> makeEnhancedChip(std::string_view name);  // enhanced 14-bit core
std::vector<std::string> enhancedChipNames();

}  // namespace velkaro::sim
