#include "catalogue/device_family.h"

namespace velkaro {

namespace {

constexpr FamilyTraits kMidrange{
    DeviceFamily::Midrange, true, "word-addressed", 1, 2, 0xFFFF, 0x3FFF, false};
constexpr FamilyTraits kPic18{
    DeviceFamily::Pic18, false, "byte-addressed", 2, 1, 0x00FF, 0x3FFFFF, true};

}  // namespace

const FamilyTraits& familyTraits(int32_t algorithm) {
    return algorithm == 0 ? kMidrange : kPic18;
}

}  // namespace velkaro
