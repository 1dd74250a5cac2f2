// Placeholder until the 16-bit core chip models land.
#include "sim/chip_families.h"

namespace velkaro::sim {
std::unique_ptr<SimChip> makePic18Chip(std::string_view) {
    return nullptr;
}
std::vector<std::string> pic18ChipNames() {
    return {};
}
}  // namespace velkaro::sim
