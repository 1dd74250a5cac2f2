#include "app/simulated_socket.h"

#include <algorithm>
#include <cctype>

namespace velkaro {

namespace {

std::string upperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

}  // namespace

std::unique_ptr<SimulatedSocket> SimulatedSocket::create(const std::string& chipName,
                                                         std::string& error,
                                                         HardwareSettings hardware,
                                                         bool simulateOnly) {
    std::unique_ptr<SimulatedSocket> socket(new SimulatedSocket());
    if (simulateOnly)
        hardware.portPaths = {};
    for (const std::string& path : hardware.portPaths)
        socket->mHardware = socket->mHardware || !path.empty();
    ProgrammerSet programmers = assembleProgrammers(std::move(hardware), socket->mHardware);
    socket->mClock = std::move(programmers.clock);
    socket->mHub = std::move(programmers.hub);
    if (chipName.empty())
        return socket;
    std::unique_ptr<sim::SimChip> chip = sim::makeSimChip(chipName);
    if (!chip) {
        error = "the simulator has no chip \"" + chipName + "\"";
        return nullptr;
    }
    socket->mFixed = true;
    socket->mCurrentKey = upperCase(chipName);
    socket->mHub->insertChip(std::move(chip));
    return socket;
}

void SimulatedSocket::followDevice(const std::string& deviceName) {
    const std::string key = upperCase(deviceName);
    if (mFixed || key == mCurrentKey)
        return;
    std::unique_ptr<sim::SimChip> previous = mHub->insertChip(nullptr);
    if (previous)
        mShelf[mCurrentKey] = std::move(previous);
    mCurrentKey = key;
    std::unique_ptr<sim::SimChip> next;
    if (auto kept = mShelf.find(key); kept != mShelf.end()) {
        next = std::move(kept->second);
        mShelf.erase(kept);
    } else {
        next = sim::makeSimChip(deviceName);
    }
    if (next)
        mHub->insertChip(std::move(next));
}

}  // namespace velkaro
