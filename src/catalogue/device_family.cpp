#include "catalogue/device_family.h"

namespace velkaro {

namespace {

constexpr FamilyTraits kMidrange{DeviceFamily::Midrange,
                                 true,
                                 "word-addressed",
                                 false,
                                 1,
                                 2,
                                 0xFFFF,
                                 0x3FFF,
                                 false,
                                 12.0,
                                 13.5,
                                 0x00FF,
                                 0x000F};
constexpr FamilyTraits kPic18{DeviceFamily::Pic18,
                              false,
                              "byte-addressed",
                              false,
                              2,
                              1,
                              0x00FF,
                              0x3FFFFF,
                              true,
                              9.0,
                              13.25,
                              0x00FF,
                              0x000F};
// VIHH 8.0-9.0 V on every part of the enhanced core.
constexpr FamilyTraits kEnhancedMidrange{DeviceFamily::EnhancedMidrange,
                                         true,
                                         "word-addressed",
                                         true,
                                         1,
                                         2,
                                         0xFFFF,
                                         0xFFFF,
                                         false,
                                         8.0,
                                         9.0,
                                         0x3FFF,
                                         0x3FFF};

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
