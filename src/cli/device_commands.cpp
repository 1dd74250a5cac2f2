// velkaro-cli commands that work on the chip in the socket: read, blank, verify, id, write,
// erase, program, osccal.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "app/open_image_file.h"
#include "app/programmer_hub.h"
#include "app/save_image_file.h"
#include "app/workspace.h"
#include "base/hex_digit.h"
#include "cli/cli_context.h"
#include "cli/cli_support.h"
#include "cli/interrupt.h"
#include "cli/json_writer.h"
#include "cli/link_backend.h"
#include "cli/terminal_ui.h"
#include "image/listing.h"
#include "link/jdm_programmer.h"
#include "link/programmer_types.h"
#include "operations/auto_program.h"
#include "operations/blank_check.h"
#include "operations/device_id.h"
#include "operations/erase_window.h"
#include "operations/lock_out.h"
#include "operations/operation_messages.h"
#include "operations/osccal_window.h"
#include "operations/read_device.h"
#include "operations/verify_device.h"
#include "operations/write_device.h"
#include "sim/sim_chip.h"

namespace velkaro::cli {
namespace {

struct OutputOptions {
    bool quiet = false;
    bool json = false;
    bool yes = false;     // answer OK to the device-ID and lock-out questions
    bool strict = false;  // a HEX file with warnings is refused before the chip is touched
};

void addStrictFlag(CLI::App& command, OutputOptions& output) {
    command.add_flag("--strict", output.strict,
                     "Fail (exit 7) without touching the chip when the file loads with warnings");
}

void addOutputOptions(CLI::App& command, OutputOptions& output) {
    command.add_flag("-q,--quiet", output.quiet, "No progress output");
    command.add_flag("--json", output.json, "Print the result as one JSON object on stdout");
}

int exitCodeOf(ResultCode code) {
    switch (code) {
        case kResultOk:
            return kExitOk;
        case kResultProgramError:
            return kExitProgramError;
        case kResultDataError:
            return kExitDataError;
        case kResultConfigError:
            return kExitConfigError;
        case kResultCancelled:
            return kExitCancelled;
        case kResultVppUnavailable:
            return kExitVppUnavailable;
        default:
            return kExitHardwareError;
    }
}

// The JSON "result": the region or failure of the device operation, or "file" when the
// command failed on its HEX file (the operation did not run, or its result was not saved).
std::string resultName(ResultCode code, int exitCode) {
    if (exitCode == kExitFileError)
        return "file";
    if (exitCode == kExitUsage)
        return "usage";
    if (exitCode == kExitIdMismatch)
        return "idMismatch";
    switch (code) {
        case kResultOk:
            return "ok";
        case kResultProgramError:
            return "program";
        case kResultDataError:
            return "data";
        case kResultConfigError:
            return "config";
        case kResultCancelled:
            return "cancelled";
        case kResultVppUnavailable:
            return "vpp";
        default:
            return "hardware";
    }
}

// One device command from start to end: the workspace with its device, the programmer
// behind the link, the terminal UI and the Ctrl-C handler.
class DeviceSession {
public:
    DeviceSession(CliContext& context, const OutputOptions& output)
        : mContext(context),
          mWorkspace(context.dataDir),
          mUi({output.quiet, output.json, output.yes}) {}

    // kExitOk when the device is selected and the programmer attached; otherwise the exit
    // code (the reason is already on stderr).
    int open() {
        const int prepared = prepareWorkspace(mContext, mWorkspace);
        if (prepared != kExitOk)
            return prepared;
        if (mRegions && !leavesSomethingToDo(mRegions->first, mRegions->second))
            return kExitUsage;  // before the programmer is touched
        std::string error;
        int exitCode = kExitOk;
        mBackend = LinkBackend::create(mContext, mWorkspace.device, error, exitCode);
        if (!mBackend) {
            std::cerr << "velkaro-cli: " << error << '\n';
            return exitCode;
        }
        ProgrammerLink& link = mWorkspace.attachProgrammer(mBackend->library(), mBackend->clock());
        link.setPortIndex(mBackend->portIndex());
        link.setHardwareType(mBackend->hardwareType());
        link.setEntryMode(entryModeOf(mContext));
        link.measureCallsPerMillisecond();
        link.setUi(mUi);
        mStartUs = mBackend->clock().nowMicroseconds();
        if (const sim::SimChip* chip = simulatedChip())
            mStartCycleUs = chip->cycleMinimumUs();
        return kExitOk;
    }

    // The JSON "result" when the command stopped for a reason its exit code does not tell.
    void setResultName(std::string name) { mResultName = std::move(name); }

    // The regions the command works on, checked by open() once the device is known.
    void setRegions(bool program, bool data) { mRegions.emplace(program, data); }

    // Keeps the simulated chip for the next run; a failure to save turns a success into a
    // file error, and a target left powered or a port left open an internal error.
    int saveChip(int exitCode) {
        if (!mBackend)
            return exitCode;
        std::string error;
        if (exitCode == kExitHardwareError) {
            // The reason, unless a message has shown it already.
            if (const std::string why = mBackend->hub().lastError();
                !why.empty() && !mUi.hasShown(why)) {
                mUi.endProgressLine();
                std::cerr << "velkaro-cli: " << why << '\n';
            }
        }
        if (!mBackend->saveSimState(error)) {
            mUi.endProgressLine();
            std::cerr << "velkaro-cli: " << error << '\n';
            if (exitCode == kExitOk)
                exitCode = kExitFileError;
        }
        mUi.endProgressLine();
        return mBackend->checkLeftSafe(exitCode);
    }

    Workspace& workspace() { return mWorkspace; }
    TerminalUi& ui() { return mUi; }

    // Common members of every JSON result.
    JsonObject json(std::string_view command, ResultCode code, int exitCode) {
        JsonObject object;
        object.add("command", command)
            .add("device", mWorkspace.device.DeviceName)
            .add("result", mResultName.empty() ? resultName(code, exitCode) : mResultName)
            .add("resultCode", code)
            .add("exitCode", exitCode)
            .add("seconds", seconds())
            .add("simulated", mBackend != nullptr && !mBackend->usesHardware());
        if (const sim::SimChip* chip = simulatedChip()) {
            // The least the same work could take: the chip's own cycles at their specified
            // minimums and the waits the rules fix.
            const uint64_t floorUs =
                chip->cycleMinimumUs() - mStartCycleUs + mWorkspace.link->fixedWaitMs() * 1000;
            object.add("floorSeconds", static_cast<double>(floorUs) / 1e6);
            // The bit-banged programmer's cost on the port, for the benchmark.
            const ProgrammerHub::Backend& backend = mBackend->hub().active();
            if (backend.bitBanged && backend.port == ProgrammerHub::PortKind::Simulated) {
                const JdmProgrammer& jdm = mBackend->hub().simulatedJdm();
                object.add("portCalls", static_cast<long long>(jdm.portCalls()))
                    .add("lineChanges", static_cast<long long>(jdm.lineChanges()));
            }
        }
        object.add("messages", mUi.messages());
        return object;
    }

private:
    // Skipping program memory on a device without data memory would do nothing and still
    // look like a success: a usage error, like skipping both regions.
    bool leavesSomethingToDo(bool program, bool data) {
        if (program || (data && mWorkspace.device.EpromSize > 0))
            return true;
        std::cerr << "velkaro-cli: nothing left to do: ";
        if (data)
            std::cerr << mWorkspace.device.DeviceName
                      << " has no data memory and --no-program skips the rest\n";
        else
            std::cerr << "--no-program and --no-data skip both regions\n";
        return false;
    }

    const sim::SimChip* simulatedChip() {
        if (!mBackend || mBackend->usesHardware() || mWorkspace.link == nullptr)
            return nullptr;
        return mBackend->hub().chip();
    }

    // How long the command has worked with the programmer, on the link's clock: virtual
    // time on the simulator, real time on hardware.
    double seconds() {
        if (!mBackend)
            return 0.0;
        return static_cast<double>(mBackend->clock().nowMicroseconds() - mStartUs) / 1e6;
    }

    CliContext& mContext;
    std::unique_ptr<LinkBackend> mBackend;  // outlives the workspace's link, which refers to it
    Workspace mWorkspace;
    TerminalUi mUi;
    InterruptCancel mInterrupt;
    uint64_t mStartUs = 0;
    uint64_t mStartCycleUs = 0;  // the chip's cycle minimums counted before the command
    std::optional<std::pair<bool, bool>> mRegions;  // program, data
    std::string mResultName;
};

int finish(DeviceSession& session, bool json, JsonObject object, int exitCode) {
    session.ui().endProgressLine();
    if (json)
        std::cout << object.text() << std::endl;
    return exitCode;
}

// The command could not start (unknown device, no programmer, unreadable --sim-state); the
// reason is on stderr already, and a script asking for JSON still gets its one object.
int notStarted(DeviceSession& session, bool json, std::string_view command, int exitCode) {
    return finish(session, json, session.json(command, kResultHardwareError, exitCode), exitCode);
}

// "-" as the output file: the HEX text goes to standard output.
bool writeHexToStdout(const Workspace& workspace, TerminalUi& ui) {
    std::string text;
    const HexWriteResult encoded = EncodeIntelHex(workspace.device, workspace.image, text);
    if (!encoded.ok()) {
        ui.showMessage(saveFailureMessage("-", encoded));
        return false;
    }
    ui.endProgressLine();
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
           std::fflush(stdout) == 0;
}

int runReadCommand(CliContext& context, const OutputOptions& output, const std::string& file,
                   ReadOptions options) {
    DeviceSession session(context, output);
    if (file == "-" && output.json) {
        std::cerr << "velkaro-cli: standard output cannot carry both the HEX file and --json\n";
        return notStarted(session, output.json, "read", kExitUsage);
    }
    session.setRegions(options.ProgEn, options.DataEn);
    if (const int opened = session.open(); opened != kExitOk)
        return notStarted(session, output.json, "read", opened);
    Workspace& workspace = session.workspace();
    const FlowOutcome outcome = runRead(workspace, session.ui(), options);
    int exitCode = exitCodeOf(outcome.result);
    if (outcome.result == kResultOk) {
        const bool saved =
            file == "-" ? writeHexToStdout(workspace, session.ui())
                        : SaveImageFile(file, workspace.device, workspace.image, session.ui()).ok();
        if (!saved)
            exitCode = kExitFileError;
    }
    exitCode = session.saveChip(exitCode);
    JsonObject object = session.json("read", outcome.result, exitCode);
    object.add("file", file);
    return finish(session, output.json, object, exitCode);
}

int runBlankCommand(CliContext& context, const OutputOptions& output, BlankOptions options) {
    DeviceSession session(context, output);
    session.setRegions(options.ProgEn, options.DataEn);
    if (const int opened = session.open(); opened != kExitOk)
        return notStarted(session, output.json, "blank", opened);
    const FlowOutcome outcome = runBlankCheck(session.workspace(), session.ui(), options);
    const int exitCode = session.saveChip(exitCodeOf(outcome.result));
    JsonObject object = session.json("blank", outcome.result, exitCode);
    object.add("blank", outcome.close == WindowClose::Ok && outcome.result == kResultOk);
    return finish(session, output.json, object, exitCode);
}

// Loads `file` into the session's buffer for a command that writes or compares it (its
// problems shown first); kExitOk when the buffer may be used.
int loadImageFile(DeviceSession& session, const std::string& file, const OutputOptions& output) {
    const OpenImageResult result = OpenImageFile(session.workspace(), file, session.ui());
    if (!result.loaded())
        return kExitFileError;
    if (output.strict && result.status == OpenImageStatus::LoadedWithWarnings)
        return kExitWarnings;
    return kExitOk;
}

int runVerifyCommand(CliContext& context, const OutputOptions& output, const std::string& file,
                     VerifyOptions options) {
    DeviceSession session(context, output);
    session.setRegions(options.ProgEn, options.DataEn);
    if (const int opened = session.open(); opened != kExitOk)
        return notStarted(session, output.json, "verify", opened);
    Workspace& workspace = session.workspace();
    if (const int exitCode = loadImageFile(session, file, output); exitCode != kExitOk) {
        JsonObject object = session.json("verify", kResultOk, exitCode);
        object.add("file", file);
        return finish(session, output.json, object, exitCode);
    }
    const FlowOutcome outcome = runVerify(workspace, session.ui(), options);
    const int exitCode = session.saveChip(exitCodeOf(outcome.result));
    JsonObject object = session.json("verify", outcome.result, exitCode);
    object.add("file", file);
    return finish(session, output.json, object, exitCode);
}

// A write whose configuration this programmer could not bring the chip back from needs
// --yes: without it nothing is written (exit code 8), and the reason is on stderr.
bool refusesLockOut(DeviceSession& session, const OutputOptions& output, bool program) {
    if (output.yes || !program)
        return false;
    const bool locksOut = configurationLocksOut(session.workspace());
    if (!locksOut && !configurationClearsLvp(session.workspace()))
        return false;
    session.setResultName("lockOut");
    session.ui().endProgressLine();
    if (locksOut)
        std::cerr << "velkaro-cli: the configuration selects the internal oscillator with MCLR "
                     "off and this programmer raises VDD before VPP, so the chip could not be "
                     "brought into programming mode again; nothing was written (--yes writes it "
                     "anyway)\n";
    else
        std::cerr << "velkaro-cli: the configuration clears LVP while the chip is programmed by "
                     "the low-voltage key, so it could not be entered that way again (only with "
                     "VPP); nothing was written (--yes writes it anyway)\n";
    return true;
}

int runWriteCommand(CliContext& context, const OutputOptions& output, const std::string& file,
                    WriteOptions options) {
    DeviceSession session(context, output);
    session.setRegions(options.ProgEn, options.DataEn);
    if (const int opened = session.open(); opened != kExitOk)
        return notStarted(session, output.json, "write", opened);
    Workspace& workspace = session.workspace();
    auto stop = [&](ResultCode code, int exitCode) {
        JsonObject object = session.json("write", code, exitCode);
        object.add("file", file);
        return finish(session, output.json, object, exitCode);
    };
    if (const int exitCode = loadImageFile(session, file, output); exitCode != kExitOk)
        return stop(kResultOk, exitCode);
    if (refusesLockOut(session, output, options.ProgEn))
        return stop(kResultOk, session.saveChip(kExitIdMismatch));
    const FlowOutcome outcome = runWrite(workspace, session.ui(), options);
    int exitCode = exitCodeOf(outcome.result);
    if (outcome.close == WindowClose::Cancel && outcome.result == kResultOk)
        exitCode = kExitIdMismatch;  // the device-ID question was declined
    return stop(outcome.result, session.saveChip(exitCode));
}

int runIdCommand(CliContext& context, const OutputOptions& output) {
    DeviceSession session(context, output);
    if (const int opened = session.open(); opened != kExitOk)
        return notStarted(session, output.json, "id", opened);
    const DeviceIdView view = showDeviceId(session.workspace(), session.ui());
    int exitCode = kExitOk;
    std::string check = "match";
    if (!view.linkFault.empty()) {
        exitCode = kExitHardwareError;  // the programmer failed, not the chip's ID
        check = "none";
    } else if (view.check == DeviceIdCheck::Mismatch) {
        exitCode = kExitIdMismatch;
        check = "mismatch";
    } else if (view.check == DeviceIdCheck::NoId) {
        exitCode = kExitNoId;
        check = "none";
    }
    exitCode = session.saveChip(exitCode);
    session.ui().endProgressLine();
    if (output.json) {
        JsonObject object = session.json("id", kResultOk, exitCode);
        object.add("check", check)
            .add("id", view.raw == 0 ? std::string() : view.DevID)
            .add("revision", view.raw == 0 ? std::string() : view.RevNo)
            .add("matchingDevice", view.raw == 0 ? std::string() : view.DevName)
            .add("status", view.status);
        std::cout << object.text() << std::endl;
    } else {
        std::cout << "デバイスID: " << view.DevID << '\n'
                  << "リビジョン: " << view.RevNo << '\n'
                  << "デバイスIDが一致するデバイス: " << view.DevName << '\n'
                  << view.status << std::endl;
    }
    return exitCode;
}

// What `erase` does beyond the region flags.
struct EraseChoices {
    bool keepOscCal = false;
    bool clearBuffer = false;
    bool checkId = false;
};

int runEraseCommand(CliContext& context, const OutputOptions& output, bool program, bool data,
                    const EraseChoices& choices) {
    DeviceSession session(context, output);
    session.setRegions(program, data);
    if (const int opened = session.open(); opened != kExitOk)
        return notStarted(session, output.json, "erase", opened);
    Workspace& workspace = session.workspace();
    const DeviceDefinition& d = workspace.device;
    const EraseOptions ticked{program, data, choices.clearBuffer, choices.checkId,
                              choices.keepOscCal};
    FlowOutcome outcome = runErase(workspace, session.ui(), ticked);
    // The erase window counts a refused open as its own failure; the refusal is the result.
    if (const ResultCode refused = workspace.link->refusal();
        refused != kResultOk && outcome.result != kResultOk && outcome.result != kResultCancelled)
        outcome.result = refused;
    int exitCode = exitCodeOf(outcome.result);
    if (outcome.close == WindowClose::Cancel && outcome.result == kResultOk)
        exitCode = kExitIdMismatch;  // the device-ID question was declined
    exitCode = session.saveChip(exitCode);
    JsonObject object = session.json("erase", outcome.result, exitCode);
    const bool kept = choices.keepOscCal && d.OscCal != 0 && outcome.close == WindowClose::Ok &&
                      outcome.result == kResultOk;
    object.add("program", program)
        .add("data", data && d.EpromSize != 0)
        .add("osccal", kept ? wordText(workspace.image.OscCalValue) : std::string())
        .add("bg", kept && d.BGMask != 0 ? wordText(workspace.image.BGValue) : std::string());
    return finish(session, output.json, object, exitCode);
}

int runProgramCommand(CliContext& context, const OutputOptions& output, const std::string& file,
                      ProgOptions options) {
    DeviceSession session(context, output);
    session.setRegions(options.ProgEn, options.DataEn);
    if (const int opened = session.open(); opened != kExitOk)
        return notStarted(session, output.json, "program", opened);
    Workspace& workspace = session.workspace();
    const DeviceDefinition& d = workspace.device;
    auto stop = [&](ResultCode code, int exitCode) {
        JsonObject object = session.json("program", code, exitCode);
        object.add("file", file)
            .add("program", options.ProgEn)
            .add("data", options.DataEn && d.EpromSize != 0)
            .add("blankCheck", options.BlankEn)
            .add("verify", options.VerifyEn);
        return finish(session, output.json, object, exitCode);
    };
    if (const int exitCode = loadImageFile(session, file, output); exitCode != kExitOk)
        return stop(kResultOk, exitCode);
    if (refusesLockOut(session, output, options.ProgEn))
        return stop(kResultOk, session.saveChip(kExitIdMismatch));
    // No window caption on the terminal: each step prints as its own indented line.
    const FlowOutcome outcome = runAutoProgram(workspace, session.ui(), options, "");
    int exitCode = exitCodeOf(outcome.result);
    if (outcome.close == WindowClose::Cancel && outcome.result == kResultOk)
        exitCode = kExitIdMismatch;  // the device-ID question was declined
    return stop(outcome.result, session.saveChip(exitCode));
}

// The value given to `osccal --write`: one to four hexadecimal digits, "0x" allowed.
bool isOscCalValue(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    return !text.empty() && text.size() <= 4 &&
           std::all_of(text.begin(), text.end(), [](char c) { return hexDigit(c) >= 0; });
}

int runOsccalCommand(CliContext& context, const OutputOptions& output,
                     const std::optional<std::string>& writeValue) {
    DeviceSession session(context, output);
    if (const int opened = session.open(); opened != kExitOk)
        return notStarted(session, output.json, "osccal", opened);
    Workspace& workspace = session.workspace();
    const DeviceDefinition& d = workspace.device;
    OscCalView view;
    auto stop = [&](ResultCode code, int exitCode) {
        JsonObject object = session.json("osccal", code, exitCode);
        object.add("osccal", view.curOsc == msg::kOscCalNoValue ? std::string() : view.curOsc)
            .add("bg", d.BGMask != 0 && !view.mainBg.empty() ? view.mainBg : std::string())
            .add("frequency", static_cast<long long>(view.frequency))
            .add("frequencyText", view.frequency != 0 ? view.oscVal : std::string())
            .add("error", view.frequency != 0 ? view.oscDiff : std::string())
            .add("recommended", view.newOscCal)
            .add("written", writeValue.has_value() && code == kResultOk)
            .add("status", view.status);
        return finish(session, output.json, object, exitCode);
    };
    if (writeValue && !isOscCalValue(*writeValue)) {
        std::cerr << "velkaro-cli: --write takes an OSCCAL value of one to four hexadecimal "
                     "digits, not \""
                  << *writeValue << "\"\n";
        return stop(kResultOk, kExitUsage);
    }
    if (!oscCalibrationAvailable(workspace.link->hardwareType(), d)) {
        std::cerr << "velkaro-cli: OSCCAL calibration needs the "
                  << programmerTypesWith(&ProgrammerCapabilities::oscillatorMeasure)
                  << " programmer and a device with a calibration program; " << d.DeviceName
                  << " on this programmer has none\n";
        return stop(kResultOk, kExitUsage);
    }
    switch (startOscCalibration(workspace, session.ui())) {
        case OscCalStart::Declined:
            return stop(kResultCancelled, kExitCancelled);
        case OscCalStart::NotLoaded:
            return stop(kResultOk, kExitFileError);
        case OscCalStart::Ready:
            break;
    }
    measureOscillator(workspace, session.ui(), view);
    ResultCode code = kResultOk;
    if (writeValue) {
        view.newOscCal = oscCalFieldOnExit(*writeValue, d.OscBase);
        code = updateOscCal(workspace, session.ui(), view);
    }
    // The chip that does not run after all is a hardware failure, whatever the write said.
    if (code == kResultOk && view.frequency == 0)
        code = kResultHardwareError;
    const int exitCode = session.saveChip(exitCodeOf(code));
    if (!output.json) {
        session.ui().endProgressLine();
        std::cout << msg::kOscCalCurrentLabel << ": " << view.curOsc << '\n'
                  << msg::kOscCalFrequencyLabel << ": " << view.oscVal << '\n'
                  << msg::kOscCalErrorLabel << ": " << view.oscDiff << '\n'
                  << msg::kOscCalRecommendedLabel << ": " << view.newOscCal << '\n';
        if (!view.status.empty())
            std::cout << view.status << '\n';
        std::cout << std::flush;
    }
    return stop(code, exitCode);
}

}  // namespace

void registerDeviceCommands(CLI::App& app, CliContext& context) {
    struct Choices {
        OutputOptions output;
        std::string file;
        bool noProgram = false;
        bool noData = false;
        bool keepOscCal = true;
        bool checkId = false;
    };
    auto choices = std::make_shared<Choices>();
    // Both regions skipped would read, check or compare nothing and still look like a
    // success, so the two flags exclude each other (a usage error).
    auto addRegionFlags = [choices](CLI::App& command) {
        CLI::Option* noProgram = command.add_flag(
            "--no-program", choices->noProgram, "Skip program memory, ID and configuration words");
        CLI::Option* noData = command.add_flag("--no-data", choices->noData, "Skip data memory");
        noProgram->excludes(noData);  // DeviceSession also refuses --no-program without data memory
    };

    CLI::App* read = app.add_subcommand("read", "Read the chip into a HEX file");
    read->add_option("OUT", choices->file, "Intel HEX file to write (- for standard output)")
        ->required();
    addRegionFlags(*read);
    addOutputOptions(*read, choices->output);
    read->callback([&context, choices] {
        context.exitCode = runReadCommand(context, choices->output, choices->file,
                                          {!choices->noProgram, !choices->noData});
    });

    CLI::App* blank = app.add_subcommand("blank", "Check that the chip is erased");
    addRegionFlags(*blank);
    addOutputOptions(*blank, choices->output);
    blank->callback([&context, choices] {
        context.exitCode =
            runBlankCommand(context, choices->output, {!choices->noProgram, !choices->noData});
    });

    CLI::App* verify = app.add_subcommand("verify", "Compare the chip with a HEX file");
    verify->add_option("IN", choices->file, "Intel HEX file to compare with")->required();
    addRegionFlags(*verify);
    addOutputOptions(*verify, choices->output);
    addStrictFlag(*verify, choices->output);
    verify->callback([&context, choices] {
        context.exitCode = runVerifyCommand(context, choices->output, choices->file,
                                            {!choices->noProgram, !choices->noData});
    });

    CLI::App* write = app.add_subcommand("write", "Erase the chip and write a HEX file into it");
    write->add_option("IN", choices->file, "Intel HEX file to write")->required();
    addRegionFlags(*write);
    write->add_flag("--keep-osccal,!--no-keep-osccal", choices->keepOscCal,
                    "Keep the chip's own OSCCAL and BG values (default) or write the file's");
    write->add_flag("--check-id", choices->checkId, "Check the device ID first");
    write->add_flag("--yes", choices->output.yes,
                    "Write even when the device ID differs or the configuration would lock "
                    "the chip out of this programmer");
    addOutputOptions(*write, choices->output);
    addStrictFlag(*write, choices->output);
    write->callback([&context, choices] {
        context.exitCode = runWriteCommand(
            context, choices->output, choices->file,
            {!choices->noProgram, !choices->noData, choices->keepOscCal, choices->checkId});
    });

    CLI::App* id = app.add_subcommand("id", "Read the chip's device ID");
    addOutputOptions(*id, choices->output);
    id->callback(
        [&context, choices] { context.exitCode = runIdCommand(context, choices->output); });

    auto erase = std::make_shared<EraseChoices>();
    CLI::App* eraseCommand = app.add_subcommand("erase", "Erase the chip");
    addRegionFlags(*eraseCommand);
    eraseCommand->add_flag("--keep-osccal", erase->keepOscCal,
                           "Write the chip's OSCCAL and BG values back after the erase");
    eraseCommand->add_flag("--clear-buffer", erase->clearBuffer,
                           "Clear the edit buffer too (velkaro-cli keeps none between runs)");
    eraseCommand->add_flag("--check-id", erase->checkId,
                           "Check the device ID first; a mismatch asks before erasing");
    eraseCommand->add_flag("--yes", choices->output.yes,
                           "Erase after a device-ID mismatch without asking");
    addOutputOptions(*eraseCommand, choices->output);
    eraseCommand->callback([&context, choices, erase] {
        context.exitCode = runEraseCommand(context, choices->output, !choices->noProgram,
                                           !choices->noData, *erase);
    });

    auto prog = std::make_shared<ProgOptions>();
    CLI::App* program = app.add_subcommand(
        "program", "Erase, optionally blank-check, write and optionally verify the chip");
    program->add_option("IN", choices->file, "Intel HEX file to write")->required();
    addRegionFlags(*program);
    program->add_flag("--blank-check", prog->BlankEn,
                      "Check that the chip is blank after the erase");
    program->add_flag("--verify", prog->VerifyEn,
                      "Verify program and data memory, then write and check the configuration");
    program->add_flag("--keep-osccal,!--no-keep-osccal", prog->OscCalEn,
                      "Keep the chip's own OSCCAL and BG values (default) or write the file's");
    program->add_flag("--check-id", prog->DevIdChk, "Check the device ID first");
    program->add_flag("--yes", choices->output.yes,
                      "Write even when the device ID differs or the configuration would lock "
                      "the chip out of this programmer");
    addOutputOptions(*program, choices->output);
    addStrictFlag(*program, choices->output);
    program->callback([&context, choices, prog] {
        ProgOptions options = *prog;
        options.ProgEn = !choices->noProgram;
        options.DataEn = !choices->noData;
        context.exitCode = runProgramCommand(context, choices->output, choices->file, options);
    });

    auto oscValue = std::make_shared<std::string>();
    CLI::App* osccal = app.add_subcommand(
        "osccal", "Measure the chip's oscillator with its calibration program; recommend OSCCAL");
    CLI::Option* oscWrite =
        osccal
            ->add_option("--write", *oscValue,
                         "Erase the chip, write the calibration program with this OSCCAL "
                         "value (hexadecimal, low byte) and measure again")
            ->type_name("HEX");
    osccal->add_flag("--yes", choices->output.yes,
                     "Load the calibration program without asking (it replaces the chip's)");
    addOutputOptions(*osccal, choices->output);
    osccal->callback([&context, choices, oscValue, oscWrite] {
        const std::optional<std::string> value =
            oscWrite->count() > 0 ? std::optional<std::string>(*oscValue) : std::nullopt;
        context.exitCode = runOsccalCommand(context, choices->output, value);
    });
}

}  // namespace velkaro::cli
