// Erase command strings: any string runs to its end (or its step limit) on a simulated
// programmer and leaves the link as it found it.
#include "catalogue/message_sink.h"
#include "harness_support.h"
#include "image/memory_image.h"
#include "link/programmer_link.h"
#include "link/virtual_clock.h"
#include "operations/midrange/device_erase_cmd.h"
#include "sim/sim_chip.h"
#include "sim/simulated_programmer.h"

using namespace velkaro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto& devices = fuzz::sampleDevices();
    if (size == 0)
        return 0;
    const DeviceDefinition& device = devices[data[0] % devices.size()];
    VirtualClock clock;
    sim::SimulatedProgrammer programmer(clock);
    programmer.setCallLogEnabled(false);
    programmer.insertChip(sim::makeSimChip(device.DeviceName));
    MemoryImage image;
    image.ResizeImage(device);
    ProgrammerLink link(programmer, clock, device, image);
    link.setHardwareType(ProgrammerLink::kProgrammerJdm);
    if (!link.OpenLink(false, false))
        fuzz::fail("the link to a simulated " + device.DeviceName + " would not open");
    runDeviceEraseCmd(link, fuzz::textOf(data + 1, size - 1), 0);
    link.CloseLink();
    if (!programmer.checkLeftSafe().empty())
        fuzz::fail("left on: " + programmer.checkLeftSafe());
    return 0;
}
