#pragma once

#include <string>
#include <vector>

namespace velkaro {

class ProgrammerHub;
struct Workspace;

// One step of the connection self-test: what was checked, and when it failed, what the user
// should look at.
struct SelfTestStep {
    bool ok = false;
    std::string what;
    std::string advice;  // empty when ok
};

struct SelfTestResult {
    enum class Failure { None, Programmer, DeviceId };
    std::vector<SelfTestStep> steps;  // up to and including the first that failed
    Failure failure = Failure::None;
    std::string note;  // a remark that is no failure (a device without an ID)
};

// Checks the programmer on the workspace's link step by step and stops at the first step
// that fails: the port opens; for the bit-banged type, PGD out comes back on PGD in while
// no chip drives the line (the one loop the classic circuit lets the PC see), and how long
// a call on the port takes is measured; for the intelligent type, the firmware answers;
// then that the type has a programming voltage within the selected device's range; then
// programming mode, proven by the device's ID. `portText` names the port in the texts
// ("COM1 (/dev/ttyUSB0)"). Leaves the target unpowered and the port closed.
SelfTestResult runSelfTest(Workspace& workspace, ProgrammerHub& hub, const std::string& portText);

}  // namespace velkaro
