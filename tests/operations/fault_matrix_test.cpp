// Every chip operation against every fault the simulated programmer can show. Whatever
// happens, the target ends unpowered with the port closed, the edit buffer keeps what the
// operation does not fill, and a write is either verified on the chip or reported failed.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "link/link_messages.h"
#include "operations/auto_program.h"
#include "operations/blank_check.h"
#include "operations/device_id.h"
#include "operations/erase_window.h"
#include "operations/operation_messages.h"
#include "operations/osccal_window.h"
#include "operations/read_device.h"
#include "operations/verify_device.h"
#include "operations/write_device.h"
#include "support/sim_bench.h"

namespace velkaro {
namespace {

using test::SimBench;

// The buffer a write takes to the chip: a pattern in every region, the ID words set and one
// configuration bit cleared.
void fillImage(SimBench& bench) {
    const DeviceDefinition& d = bench.device();
    MemoryImage& image = bench.image();
    image.ClearImage(d, true, true);
    for (int32_t i = 0; i < d.ProgSize; ++i)
        image.ProgMemory[i] = static_cast<uint16_t>((i * 0x0345 + 0x0789) & d.BlankWord);
    if (d.OscCal != 0)
        image.ProgMemory[d.OscCal] = bench.programWord(d.OscCal);
    for (int k = 0; k < d.IdCount; ++k)
        image.IdWords[k] = static_cast<uint16_t>(0x0A + k * 0x21);
    for (int32_t i = 0; i < d.EpromSize; ++i)
        image.DataMemory[i] = static_cast<uint8_t>(0xA5 ^ (i * 13));
    const uint16_t lowest = d.ConfigMask[0] & static_cast<uint16_t>(-d.ConfigMask[0]);
    image.ConfigWords[0] = static_cast<uint16_t>(d.ConfigMask[0] & ~lowest);
}

bool sameBuffer(const MemoryImage& a, const MemoryImage& b) {
    return a.ProgMemory == b.ProgMemory && a.DataMemory == b.DataMemory && a.IdWords == b.IdWords &&
           a.ConfigWords == b.ConfigWords && a.OscCalValue == b.OscCalValue &&
           a.BGValue == b.BGValue;
}

// What an operation does to the chip and the buffer.
enum class Kind {
    Reads,   // fills the buffer from the chip
    Checks,  // leaves chip and buffer alone
    Erases,  // changes the chip only
    Writes,  // takes the buffer to the chip
    Loads,   // loads a program into the buffer and writes it (OSCCAL)
};

struct Operation {
    const char* name;
    const char* device;
    Kind kind;
    std::function<ResultCode(SimBench&)> run;
};

ResultCode idResult(SimBench& b) {
    const DeviceIdView view = showDeviceId(b.workspace(), b.ui());
    return view.check == DeviceIdCheck::Match ? kResultOk : kResultHardwareError;
}

ResultCode oscCalResult(SimBench& b) {
    if (startOscCalibration(b.workspace(), b.ui()) != OscCalStart::Ready)
        return kResultHardwareError;
    OscCalView view;
    measureOscillator(b.workspace(), b.ui(), view);
    view.newOscCal = view.curOsc;
    ResultCode code = updateOscCal(b.workspace(), b.ui(), view);
    // A chip that does not run after the update has not been calibrated.
    if (code == kResultOk && view.frequency == 0)
        code = kResultHardwareError;
    return code;
}

const std::vector<Operation>& operations() {
    static const std::vector<Operation> list = {
        {"read", "PIC16F628A", Kind::Reads,
         [](SimBench& b) {
             return runRead(b.workspace(), b.ui(), {true, true}).result;
         }},
        {"read 16-bit", "PIC18F2221", Kind::Reads,
         [](SimBench& b) {
             return runRead(b.workspace(), b.ui(), {true, true}).result;
         }},
        {"blank check", "PIC16F628A", Kind::Checks,
         [](SimBench& b) {
             return runBlankCheck(b.workspace(), b.ui(), {true, true}).result;
         }},
        {"verify", "PIC16F628A", Kind::Checks,
         [](SimBench& b) {
             return runVerify(b.workspace(), b.ui(), {true, true}).result;
         }},
        {"device ID", "PIC16F628A", Kind::Checks, idResult},
        {"erase", "PIC16F628A", Kind::Erases,
         [](SimBench& b) {
             return runErase(b.workspace(), b.ui(), {true, true, false, false, true}).result;
         }},
        {"write 12-bit", "PIC12F508", Kind::Writes,
         [](SimBench& b) {
             return runWrite(b.workspace(), b.ui(), {true, true, true, false}).result;
         }},
        {"write 14-bit", "PIC16F628A", Kind::Writes,
         [](SimBench& b) {
             return runWrite(b.workspace(), b.ui(), {true, true, true, false}).result;
         }},
        {"write 16-bit", "PIC18F2221", Kind::Writes,
         [](SimBench& b) {
             return runWrite(b.workspace(), b.ui(), {true, true, true, false}).result;
         }},
        {"automatic", "PIC16F628A", Kind::Writes,
         [](SimBench& b) {
             return runAutoProgram(b.workspace(), b.ui(), {true, true, true, true, true, false}, "")
                 .result;
         }},
        // Without the verify step the write itself must not take a word that did not
        // program for a success.
        {"automatic 16-bit without verify", "PIC18F2221", Kind::Writes,
         [](SimBench& b) {
             return runAutoProgram(b.workspace(), b.ui(), {true, true, true, false, false, false},
                                   "")
                 .result;
         }},
        {"OSCCAL", "PIC12F675", Kind::Loads, oscCalResult},
    };
    return list;
}

// A cancel may come after the last word, when nothing is left to stop: a cancel or a
// success (which the matrix then checks on the chip like any other).
constexpr ResultCode kCancelledOrDone = 100;

// What the operation does without faults: its library calls and the UI pumps it makes.
struct CleanRun {
    int64_t calls = 0;
    int pumps = 0;
};

struct Fault {
    std::string name;
    std::function<void(SimBench&, const CleanRun&)> inject;
    std::function<ResultCode(const Operation&)> expected;
};

ResultCode hardwareError(const Operation&) {
    return kResultHardwareError;
}

// Stuck bits keep one word from reading blank and from taking the buffer's value.
ResultCode stuckBitsResult(const Operation& op) {
    const bool harmless =
        op.kind == Kind::Reads || op.kind == Kind::Erases || op.name == std::string("device ID");
    return harmless ? kResultOk : kResultProgramError;
}

// Without acknowledgements the power-up goes on; only the programmer's own block tests and
// the oscillator measurement need its answers.
ResultCode noAcknowledgeResult(const Operation& op) {
    if (op.kind == Kind::Loads)
        return kResultHardwareError;
    const bool blockTests =
        op.name == std::string("blank check") || op.name == std::string("automatic");
    return blockTests ? kResultProgramError : kResultOk;
}

std::vector<Fault> faults() {
    auto plan = [](auto set) {
        return [set](SimBench& b, const CleanRun&) {
            sim::FaultPlan p;
            set(p);
            b.programmer().setFaults(p);
        };
    };
    std::vector<Fault> list = {
        {"port will not open", plan([](sim::FaultPlan& p) { p.portWillNotOpen = true; }),
         hardwareError},
        {"supplies fail", plan([](sim::FaultPlan& p) { p.supplyFails = true; }), hardwareError},
        {"no power", plan([](sim::FaultPlan& p) { p.noPower = true; }), hardwareError},
        {"no acknowledgements", plan([](sim::FaultPlan& p) { p.noAcknowledge = true; }),
         noAcknowledgeResult},
        {"slow answers", plan([](sim::FaultPlan& p) { p.slowAnswerPolls = 20; }),
         [](const Operation&) { return kResultOk; }},
        {"empty socket", [](SimBench& b, const CleanRun&) { b.programmer().insertChip(nullptr); },
         hardwareError},
        {"stuck bits",
         [](SimBench& b, const CleanRun&) {
             // A word the buffer (or the calibration program) writes with bit 0 set.
             const uint32_t word = b.device().OscCalFile.empty() ? 100 : 0;
             b.chip().setStuckBits(b.device().isExtendedFamily() ? 2 * word : word, 0x0001, 0x0000);
         },
         stuckBitsResult},
    };
    // A programmer that vanishes mid-operation leaves reads of 0 (or garbage) behind, which
    // may look like a word that did not take: still the link's failure, not the chip's.
    for (int tenths : {0, 1, 5, 9, 10}) {
        for (bool garbage : {false, true}) {
            list.push_back({"connection lost after " + std::to_string(tenths) + "/10 of the calls" +
                                (garbage ? ", reads all ones" : ""),
                            [tenths, garbage](SimBench& b, const CleanRun& clean) {
                                sim::FaultPlan p;
                                p.connectionLostAfterCalls =
                                    std::max<int64_t>(0, clean.calls * tenths / 10 - 1);
                                p.lostReadsAllOnes = garbage;
                                b.programmer().setFaults(p);
                            },
                            hardwareError});
        }
    }
    for (int tenths : {1, 3, 5, 7, 9, 10}) {
        list.push_back({"cancel after " + std::to_string(tenths) + "/10 of the pumps",
                        [tenths](SimBench& b, const CleanRun& clean) {
                            b.ui().cancelAfterPumps(std::max(1, clean.pumps * tenths / 10));
                        },
                        [](const Operation&) { return kCancelledOrDone; }});
    }
    return list;
}

// The chip and buffer an operation starts from: the chip programmed with a pattern for
// the checks and reads, erased for the writes; the buffer filled with the pattern.
void prepare(SimBench& bench, const Operation& op) {
    bench.load(op.device);
    fillImage(bench);
    if (op.kind == Kind::Reads || op.kind == Kind::Checks || op.kind == Kind::Erases) {
        ASSERT_EQ(runWrite(bench.workspace(), bench.ui(), {true, true, true, false}).result,
                  kResultOk);
        if (op.name == std::string("blank check")) {
            ASSERT_EQ(
                runErase(bench.workspace(), bench.ui(), {true, true, false, false, true}).result,
                kResultOk);
        }
    }
    bench.ui().clear();
    bench.programmer().clearCallLog();
}

TEST(FaultMatrix, EveryOperationUnderEveryFaultEndsSafelyAndNeverFakesSuccess) {
    for (const Operation& op : operations()) {
        // The clean run: it succeeds and tells how many calls the operation makes.
        CleanRun clean;
        {
            SCOPED_TRACE(std::string(op.name) + " without faults");
            SimBench bench;
            prepare(bench, op);
            const int pumpsBefore = bench.ui().pumps();
            const ResultCode code = op.run(bench);
            EXPECT_EQ(code, kResultOk);
            if (code == kResultOk) {
                clean.calls = static_cast<int64_t>(bench.programmer().callLog().size());
                clean.pumps = bench.ui().pumps() - pumpsBefore;
            }
        }
        if (clean.calls < 10)
            continue;
        for (const Fault& fault : faults()) {
            SCOPED_TRACE(std::string(op.name) + " / " + fault.name);
            SimBench bench;
            prepare(bench, op);
            bench.programmer().setCallLogEnabled(false);
            const MemoryImage before = bench.image();
            fault.inject(bench, clean);
            const ResultCode result = op.run(bench);

            if (const ResultCode expected = fault.expected(op); expected == kCancelledOrDone) {
                if (op.name != std::string("device ID")) {  // it never stops on a cancel
                    EXPECT_TRUE(result == kResultCancelled || result == kResultOk) << result;
                }
            } else {
                EXPECT_EQ(result, expected);
            }
            for (const std::string& message : bench.ui().messages())
                EXPECT_NE(message, kMsgHardwareError) << "a link failure shown without its reason";
            EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
            if (op.kind != Kind::Reads && op.kind != Kind::Loads && op.kind != Kind::Writes) {
                EXPECT_TRUE(sameBuffer(bench.image(), before)) << "the buffer changed";
            }
            if (op.kind == Kind::Writes) {
                // The chip's own calibration values may come into the buffer; nothing else.
                MemoryImage kept = bench.image();
                kept.OscCalValue = before.OscCalValue;
                kept.BGValue = before.BGValue;
                if (bench.device().OscCal != 0)
                    kept.ProgMemory[bench.device().OscCal] =
                        before.ProgMemory[bench.device().OscCal];
                EXPECT_TRUE(sameBuffer(kept, before)) << "the buffer changed";
            }
            if ((op.kind == Kind::Writes || op.kind == Kind::Loads) && result == kResultOk &&
                bench.programmer().chip() != nullptr) {
                // Reported written: the chip holds the buffer.
                bench.programmer().setFaults({});
                bench.ui().clear();
                EXPECT_EQ(verifyDevice(bench.workspace(), bench.ui(), true, true, true), kResultOk)
                    << "reported written, but the chip differs";
            }
            bench.takeNotes();  // a fault may cut any protocol sequence short
        }
    }
}

// Every phase that reads the chip, as the windows and the automatic sequence run them.
struct ReadingPhase {
    const char* name;
    std::function<ResultCode(SimBench&)> run;
};

const std::vector<ReadingPhase>& readingPhases() {
    static const std::vector<ReadingPhase> list = {
        {"read program",
         [](SimBench& b) {
             return runRead(b.workspace(), b.ui(), {true, false}).result;
         }},
        {"read data",
         [](SimBench& b) {
             return runRead(b.workspace(), b.ui(), {false, true}).result;
         }},
        {"blank program",
         [](SimBench& b) {
             return runBlankCheck(b.workspace(), b.ui(), {true, false}).result;
         }},
        {"blank data",
         [](SimBench& b) {
             return runBlankCheck(b.workspace(), b.ui(), {false, true}).result;
         }},
        {"verify program and configuration",
         [](SimBench& b) {
             return runVerify(b.workspace(), b.ui(), {true, false}).result;
         }},
        {"verify data",
         [](SimBench& b) {
             return runVerify(b.workspace(), b.ui(), {false, true}).result;
         }},
        // The automatic sequence's two verify steps.
        {"verify program only",
         [](SimBench& b) { return verifyDevice(b.workspace(), b.ui(), true, false, false); }},
        {"verify configuration only",
         [](SimBench& b) { return verifyDevice(b.workspace(), b.ui(), false, false, true); }},
    };
    return list;
}

// A chip that never entered programming mode answers all ones (its own program drives the
// line, or a pull-up) or all zeros: it must not pass for blank, verified or read. The buffer
// is blank, so a verify against all ones would otherwise agree everywhere.
TEST(FaultMatrix, AChipOutOfProgrammingModeIsAHardwareFailureInEveryPhase) {
    for (const char* device : {"PIC16F84A", "PIC12F675", "PIC16F877A", "PIC18F452", "PIC18F4520"}) {
        for (const bool lineHigh : {false, true}) {
            for (const ReadingPhase& phase : readingPhases()) {
                SCOPED_TRACE(std::string(device) +
                             (lineHigh ? " / line high / " : " / line low / ") + phase.name);
                SimBench bench;
                bench.load(device);
                bench.image().ClearImage(bench.device(), true, true);
                // Powered in circuit, but nothing answers in programming mode.
                bench.programmer().insertChip(nullptr);
                bench.programmer().setInCircuitTarget(true);
                sim::FaultPlan faults;
                faults.undrivenDataLineHigh = lineHigh;
                bench.programmer().setFaults(faults);
                const MemoryImage before = bench.image();

                EXPECT_EQ(phase.run(bench), kResultHardwareError);
                const std::vector<std::string>& shown = bench.ui().messages();
                const bool flow = std::string(phase.name).find(" only") == std::string::npos;
                if (flow) {
                    ASSERT_EQ(shown.size(), 1u);
                    EXPECT_EQ(shown[0], std::string(kMsgHardwareError) + "\r" +
                                            std::string(msg::kNotInProgrammingMode));
                } else {
                    EXPECT_EQ(bench.workspace().link->failureReason(), msg::kNotInProgrammingMode);
                }
                EXPECT_TRUE(sameBuffer(bench.image(), before)) << "the buffer changed";
                EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
            }
        }
    }
}

// The real case: a 12F675 set to its internal oscillator with MCLR off, powered VDD first,
// runs its program and stays out of programming mode; VPP first it reads as written.
TEST(FaultMatrix, AChipLockedOutByVddFirstIsNotReadOrBlank) {
    SimBench bench;
    bench.load("PIC12F675");
    bench.setProgramWord(0, 0x2805);
    bench.setConfigWord(0, 0x31D4);  // INTRCIO, MCLRE off, code protection off
    bench.workspace().device.PowerOnSequence = 0;
    EXPECT_EQ(runRead(bench.workspace(), bench.ui(), {true, true}).result, kResultHardwareError);
    EXPECT_EQ(runBlankCheck(bench.workspace(), bench.ui(), {true, true}).result,
              kResultHardwareError);
    EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
    bench.takeNotes();

    bench.workspace().device.PowerOnSequence = 1;
    EXPECT_EQ(runRead(bench.workspace(), bench.ui(), {true, true}).result, kResultOk);
    EXPECT_EQ(bench.image().ProgMemory[0], 0x2805);
}

}  // namespace
}  // namespace velkaro
