#include "sim/chip_families.h"

namespace velkaro::sim {

std::unique_ptr<SimChip> makeSimChip(std::string_view name) {
    if (auto chip = makeMidrangeChip(name))
        return chip;
    return makePic18Chip(name);
}

}  // namespace velkaro::sim
