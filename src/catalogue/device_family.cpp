#include "catalogue/device_family.h"

namespace velkaro {

namespace {

constexpr FamilyTraits kMidrange{
    DeviceFamily::Midrange, true, "word-addressed", false, 1, 2, 0xFFFF, 0x3FFF, false};
constexpr FamilyTraits kPic18{
    DeviceFamily::Pic18, false, "byte-addressed", false, 2, 1, 0x00FF, 0x3FFFFF, true};
constexpr FamilyTraits kEnhancedMidrange{
    DeviceFamily::EnhancedMidrange, true, "word-addressed", true, 1, 2, 0xFFFF, 0xFFFF, false};

}  // namespace

const FamilyTraits& familyTraits(int32_t algorithm) {
    switch (algorithm) {
        case 0:
            return kMidrange;
        case 3:
            return kEnhancedMidrange;
        default:
            return kPic18;
    }
}

}  // namespace velkaro
