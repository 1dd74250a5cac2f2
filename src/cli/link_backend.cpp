#include "cli/link_backend.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "cli/link_options.h"
#include "link/virtual_clock.h"
#include "sim/sim_chip.h"
#include "sim/simulated_programmer.h"

namespace velkaro::cli {

namespace {
bool gLeftUnsafe = false;
}

LinkBackend::LinkBackend() = default;

LinkBackend::~LinkBackend() {
    if (mSimulator && !mChecked)
        checkLeftSafe(kExitOk);
}

int LinkBackend::checkLeftSafe(int exitCode) {
    mChecked = true;
    const std::string left = mSimulator->checkLeftSafe();
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
    return *mSimulator;
}

Clock& LinkBackend::clock() {
    return *mClock;
}

std::unique_ptr<LinkBackend> LinkBackend::create(const CliContext& context,
                                                 const DeviceDefinition& device, std::string& error,
                                                 int& exitCode) {
    exitCode = kExitUsage;
    const std::optional<int> port = parsePortIndex(context.port);
    if (!port) {
        error = "unknown port \"" + context.port + "\" (COM1..COM9 or 1..9)";
        return nullptr;
    }
    const std::optional<int> type = parseProgrammerType(context.programmer);
    if (!type) {
        error = "unknown programmer \"" + context.programmer +
                "\" (0, 1, \"VKR-20 PRO\" or \"VKR-20 JDM\")";
        return nullptr;
    }

    std::unique_ptr<LinkBackend> backend(new LinkBackend());
    backend->mPortIndex = *port;
    backend->mHardwareType = *type;
    backend->mClock = std::make_unique<VirtualClock>();
    backend->mSimulator = std::make_unique<sim::SimulatedProgrammer>(*backend->mClock);
    // A long write makes millions of calls; nobody reads the log here.
    backend->mSimulator->setCallLogEnabled(false);

    const bool chipNamed = context.simulate.has_value() && !context.simulate->empty();
    const std::string chipName = chipNamed ? *context.simulate : device.DeviceName;
    std::unique_ptr<sim::SimChip> chip = sim::makeSimChip(chipName);
    if (!chip && chipNamed) {
        error = "the simulator has no chip \"" + chipName + "\"";
        return nullptr;
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
        backend->mSimulator->insertChip(std::move(chip));
    exitCode = kExitOk;
    return backend;
}

bool LinkBackend::saveSimState(std::string& error) const {
    const sim::SimChip* chip = mSimulator->chip();
    if (mStateFile.empty() || chip == nullptr)
        return true;
    const std::string temporary = mStateFile + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (out)
            chip->saveState(out);
        out.flush();
        if (!out) {
            std::remove(temporary.c_str());
            error = "cannot write the simulator state to \"" + mStateFile + "\"";
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, mStateFile, ec);
    if (ec) {
        std::remove(temporary.c_str());
        error = "cannot write the simulator state to \"" + mStateFile + "\": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace velkaro::cli
