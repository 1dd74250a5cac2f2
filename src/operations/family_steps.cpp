#include "operations/family_steps.h"

#include "operations/enhanced/enhanced_steps.h"
#include "operations/midrange/midrange_steps.h"
#include "operations/pic18/pic18_steps.h"

namespace velkaro {

const FamilySteps& familySteps(DeviceFamily family) {
    switch (family) {
        case DeviceFamily::Midrange:
            return midrangeSteps();
        case DeviceFamily::Pic18:
            return pic18Steps();
        case DeviceFamily::EnhancedMidrange:
            return enhancedMidrangeSteps();
    }
    return midrangeSteps();
}

const FamilySteps& familySteps(const DeviceDefinition& device) {
    return familySteps(device.traits().family);
}

}  // namespace velkaro
