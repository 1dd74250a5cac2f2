#include "app/workspace.h"

namespace velkaro {

ProgrammerLink& Workspace::attachProgrammer(ProgrammerLibrary& library, Clock& clock) {
    link = std::make_unique<ProgrammerLink>(library, clock, device, image);
    return *link;
}

}  // namespace velkaro
