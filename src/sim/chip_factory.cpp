#include <algorithm>

#include "sim/chip_families.h"

namespace velkaro::sim {

std::unique_ptr<SimChip> makeSimChip(std::string_view name) {
    if (auto chip = makeMidrangeChip(name))
        return chip;
    return makePic18Chip(name);
}

std::vector<std::string> simChipNames() {
    auto names = midrangeChipNames();
    const auto pic18 = pic18ChipNames();
    names.insert(names.end(), pic18.begin(), pic18.end());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace velkaro::sim
