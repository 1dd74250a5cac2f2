#include "sim/chip_families.h"

namespace velkaro::sim {

std::unique_ptr<SimChip> makeSimChip(std::string_view name) {
    if (auto chip = makeMidrangeChip(name))
        return chip;
    if (auto chip = makePic18Chip(name))
        return chip;
    return makeEnhancedChip(name);
}

}  // namespace velkaro::sim
