#include "operations/family_steps.h"

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
            // It speaks the 6-bit commands; until its row writes and erases have a row of
            // their own, no device of it is listed.
            return midrangeSteps();
    }
    return midrangeSteps();
}

const FamilySteps& familySteps(const DeviceDefinition& device) {
    return familySteps(device.traits().family);
}

}  // namespace velkaro
