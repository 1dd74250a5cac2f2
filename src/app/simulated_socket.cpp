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

SimulatedSocket::SimulatedSocket() : mProgrammer(mClock) {
    // Millions of calls per write; nobody reads the log here.
    mProgrammer.setCallLogEnabled(false);
}

std::unique_ptr<SimulatedSocket> SimulatedSocket::create(const std::string& chipName,
                                                         std::string& error) {
    std::unique_ptr<SimulatedSocket> socket(new SimulatedSocket());
    if (chipName.empty())
        return socket;
    std::unique_ptr<sim::SimChip> chip = sim::makeSimChip(chipName);
    if (!chip) {
        error = "the simulator has no chip \"" + chipName + "\"";
        return nullptr;
    }
    socket->mFixed = true;
    socket->mCurrentKey = upperCase(chipName);
    socket->mProgrammer.insertChip(std::move(chip));
    return socket;
}

void SimulatedSocket::followDevice(const std::string& deviceName) {
    const std::string key = upperCase(deviceName);
    if (mFixed || key == mCurrentKey)
        return;
    std::unique_ptr<sim::SimChip> previous = mProgrammer.insertChip(nullptr);
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
        mProgrammer.insertChip(std::move(next));
}

}  // namespace velkaro
