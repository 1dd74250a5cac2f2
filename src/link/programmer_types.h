#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velkaro {

// A programming voltage a programmer can put on MCLR/VPP, and the programmer command that
// selects it before the target is powered (0: the circuit fixes it, nothing is sent).
struct VppLevel {
    double volts = 0.0;
    int32_t command = 0;
};

// What a programmer type can do beyond what every type answers through the seventeen
// functions. The code asks these, never the type's number.
struct ProgrammerCapabilities {
    // Speaks the programmer's command protocol: the VPP level, the socket LED, the fast
    // check's preparation and the acknowledgements after them.
    bool programmerCommands = false;
    bool firmwareQuery = false;      // answers its firmware date and version
    bool socketLed = false;          // lights the LED of the socket position in use
    bool fastBlankCheck = false;     // tests blocks of program memory on the board
    bool oscillatorMeasure = false;  // measures a calibration program's output (OSCCAL)
    // Drives the port's modem lines itself: its wiring can be self-tested, and VDD may come
    // from the port (then it rises before VPP).
    bool bitBanged = false;
    // The programming voltages it can apply, lowest first.
    std::vector<VppLevel> vppLevels;
    // Enters programming mode at VDD level (a key sequence on MCLR) instead of with VPP.
    bool lowVoltageEntry = false;
    // Switches the target's VDD itself. Otherwise VDD comes from the port while it is open,
    // unless the wiring gives it a line (ProgrammerLibrary::jdmVddFromPort() tells).
    bool switchesVdd = false;
};

// One programmer type: the number SSetMode, the settings file and the command line use,
// the name they show, and what it can do.
struct ProgrammerType {
    int index = 0;
    std::string_view name;
    ProgrammerCapabilities can;
};

// The built-in types, in index order.
const std::vector<ProgrammerType>& programmerTypes();

// The type `index` behaves as: a known one, any other number as the bit-banged one (the
// link never sends the library a type it does not know to behave as).
const ProgrammerType& programmerTypeOf(int index);

// The type named `text` (ASCII letter case ignored) or numbered by it ("0", "1"); nullptr
// when there is none.
const ProgrammerType* findProgrammerType(std::string_view text);

// The level to program a chip at: of the `levels` within vppMin..vppMax (volts), the lowest
// that reaches `wanted`, or else the highest below it; nullptr when none lies within.
// Rounding up keeps a chip that asks for a little more than a level at the next one: a PRO
// gives 12 V only to chips that ask for 12 V or less.
const VppLevel* chooseVppLevel(const std::vector<VppLevel>& levels, double wanted, double vppMin,
                               double vppMax);

// The names of the types that have `can` ("VKR-20 PRO"; "A or B" for two), for messages
// that say which programmer something needs.
std::string programmerTypesWith(bool ProgrammerCapabilities::*can);

// The name of the first bit-banged type: its wiring is the settings file's section of that
// name.
std::string_view bitBangedTypeName();

// The names and numbers for a usage message: `0, 1, "VKR-20 PRO" or "VKR-20 JDM"`.
std::string programmerTypeChoices();

}  // namespace velkaro
