#include "cli/link_backend.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "app/app_settings.h"
#include "app/hardware_settings.h"
#include "app/paths.h"
#include "base/atomic_file.h"
#include "cli/link_options.h"
#include "link/programmer_types.h"
#include "link/real_clock.h"
#include "sim/sim_chip.h"
#include "sim/simulated_programmer.h"

namespace velkaro::cli {

namespace {
bool gLeftUnsafe = false;
// How long a command waits for another one to finish with the same --sim-state file.
constexpr int kStateLockWaitMs = 3000;
}  // namespace

LinkBackend::LinkBackend() = default;

LinkBackend::~LinkBackend() {
    if (mHub && !mChecked)
        checkLeftSafe(kExitOk);
}

int LinkBackend::checkLeftSafe(int exitCode) {
    mChecked = true;
    const std::string left = mHub->checkLeftSafe();
    if (left.empty())
        return exitCode;
    gLeftUnsafe = true;
    std::fprintf(stderr, "velkaro-cli: internal error: the command ended with %s\n", left.c_str());
    return kExitInternal;
}

bool LinkBackend::leftUnsafe() {
    return gLeftUnsafe;
}

ProgrammerLibrary& LinkBackend::library() {
    return *mHub;
}

std::string LinkBackend::portText() const {
    const std::string name = "COM" + std::to_string(mPortIndex + 1);
    const std::string path = mHub->hardware().portPath(mPortIndex + 1);
    return path.empty() ? name : name + " (" + path + ")";
}

Clock& LinkBackend::clock() {
    return mHub->linkClock();
}

std::unique_ptr<LinkBackend> LinkBackend::create(const CliContext& context,
                                                 const DeviceDefinition& device, std::string& error,
                                                 int& exitCode) {
    exitCode = kExitUsage;
    const std::string settingsPath = settingsFilePath(context.dataDir);
    HardwareSettings hardware = loadHardwareSettings(settingsPath);
    if (std::string stale =
            outdatedCopyProblem(settingsPath, joinPath(context.dataDir, kSettingsFileName));
        !stale.empty())
        hardware.problems.push_back(std::move(stale));
    if (context.simulate) {
        hardware.portPaths = {};
    } else if (!hardware.problems.empty()) {
        // A mapping that cannot be read would leave the port to the simulator, and the
        // command would report a chip written that was never touched; half-read lines could
        // put VPP where the clock should be.
        error = settingsPath + ": " + hardware.problems.front();
        for (size_t i = 1; i < hardware.problems.size(); ++i)
            error += "\nvelkaro-cli: " + settingsPath + ": " + hardware.problems[i];
        error +=
            "\nvelkaro-cli: no programmer is used until the settings file is fixed "
            "(--simulate ignores its hardware settings)";
        exitCode = kExitFileError;
        return nullptr;
    }
    // A device path names the port itself: the COM number mapped to it, else COM1.
    std::optional<int> port;
    if (!context.port.empty() && context.port.front() == '/') {
        if (context.simulate) {
            error =
                "--simulate serves ports by the simulator; a device path cannot be used with it";
            return nullptr;
        }
        const std::optional<int> mapped = hardware.portOf(context.port);
        port = mapped ? *mapped - 1 : 0;
        hardware.portPaths[static_cast<size_t>(*port)] = context.port;
    } else {
        port = parsePortIndex(context.port);
    }
    if (!port) {
        error = "unknown port \"" + context.port + "\" (COM1..COM9, 1..9 or a device path)";
        return nullptr;
    }
    const std::optional<int> type = parseProgrammerType(context.programmer);
    if (!type) {
        error =
            "unknown programmer \"" + context.programmer + "\" (" + programmerTypeChoices() + ")";
        return nullptr;
    }
    const bool onHardware = !hardware.portPath(*port + 1).empty();

    std::unique_ptr<LinkBackend> backend(new LinkBackend());
    backend->mPortIndex = *port;
    backend->mHardwareType = *type;
    backend->mHardware = onHardware;
    ProgrammerSet programmers = assembleProgrammers(std::move(hardware), onHardware);
    backend->mClock = std::move(programmers.clock);
    backend->mHub = std::move(programmers.hub);
    backend->mHub->setEmulatedBoard(context.emulateBoard);
    if (onHardware) {
        exitCode = kExitOk;
        return backend;
    }

    const bool chipNamed = context.simulate.has_value() && !context.simulate->empty();
    const std::string chipName = chipNamed ? *context.simulate : device.DeviceName;
    std::unique_ptr<sim::SimChip> chip = sim::makeSimChip(chipName);
    if (!chip && chipNamed) {
        error = "the simulator has no chip \"" + chipName + "\"";
        return nullptr;
    }

    if (!context.simState.empty()) {
        // One chip, one process: a second run on the same state would load it before the
        // first saved, and one of the two writes would be lost.
        RealClock wall;
        if (!backend->mStateLock.acquire(context.simState, wall, kStateLockWaitMs, error)) {
            exitCode = kExitFileError;
            return nullptr;
        }
    }
    if (chip && !context.simState.empty()) {
        std::error_code ec;
        if (std::filesystem::exists(context.simState, ec)) {
            // A chip's state is a few hundred KiB of text at most: a larger file is refused
            // before it is read.
            constexpr uintmax_t kMaxStateBytes = uintmax_t{16} << 20;
            const uintmax_t size = std::filesystem::file_size(context.simState, ec);
            if (!ec && size > kMaxStateBytes) {
                error = "\"" + context.simState + "\" is too large for a simulator state";
                exitCode = kExitFileError;
                return nullptr;
            }
            std::ifstream in(context.simState, std::ios::binary);
            if (!in || !chip->loadState(in)) {
                error = "cannot load the simulated " + chip->name() + " from \"" +
                        context.simState + "\"";
                if (chip->loadErrorLine() > 0)
                    error += " (line " + std::to_string(chip->loadErrorLine()) + ")";
                exitCode = kExitFileError;
                return nullptr;
            }
        }
        backend->mStateFile = context.simState;
    }
    if (chip)
        backend->mHub->insertChip(std::move(chip));
    // Said once, so that nobody takes a simulated write for a programmed chip.
    std::fprintf(stderr, "velkaro-cli: %s is served by the simulator (%s)\n",
                 backend->portText().c_str(),
                 context.simulate ? "--simulate" : "no serial device is mapped to it");
    exitCode = kExitOk;
    return backend;
}

bool LinkBackend::saveSimState(std::string& error) const {
    const sim::SimChip* chip = mHub->chip();
    if (mStateFile.empty() || chip == nullptr)
        return true;
    std::ostringstream text;
    chip->saveState(text);
    std::string why;
    if (!text || !writeFileAtomically(mStateFile, text.str(), why)) {
        error = "cannot write the simulator state to \"" + mStateFile + "\"";
        if (!why.empty())
            error += ": " + why;
        return false;
    }
    return true;
}

}  // namespace velkaro::cli
