// Simulator state files: any text is loaded or refused; what loads saves to a text that
// loads into a fresh chip and saves identically.
#include <sstream>

#include "harness_support.h"
#include "sim/sim_chip.h"

using namespace velkaro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kChips[] = {"PIC12F508",  "PIC12F675", "PIC16F84A", "PIC16F628A",
                                         "PIC16F877A", "PIC18F452", "PIC18F4520"};
    if (size == 0)
        return 0;
    const char* name = kChips[data[0] % (sizeof kChips / sizeof kChips[0])];
    auto chip = sim::makeSimChip(name);
    if (!chip)
        fuzz::fail(std::string("no model of ") + name);
    std::istringstream in{std::string(fuzz::textOf(data + 1, size - 1))};
    if (!chip->loadState(in))
        return 0;
    std::ostringstream saved;
    chip->saveState(saved);
    auto copy = sim::makeSimChip(name);
    std::istringstream again(saved.str());
    if (!copy->loadState(again))
        fuzz::fail(std::string(name) + ": a saved state does not load");
    std::ostringstream resaved;
    copy->saveState(resaved);
    if (resaved.str() != saved.str())
        fuzz::fail(std::string(name) + ": a saved state loads into something else");
    return 0;
}
