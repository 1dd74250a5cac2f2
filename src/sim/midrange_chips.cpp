// Placeholder until the 12/14-bit chip models land.
#include "sim/chip_families.h"

namespace velkaro::sim {
std::unique_ptr<SimChip> makeMidrangeChip(std::string_view) {
    return nullptr;
}
std::vector<std::string> midrangeChipNames() {
    return {};
}
}  // namespace velkaro::sim
