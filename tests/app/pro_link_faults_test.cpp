// Every chip operation over a "VKR-20 PRO" whose serial link breaks at each point of the
// operation: the line goes silent, garbles or cuts the replies, or the port goes away, after
// N frames. The board is the firmware's own core driving a chip at its pins. Whatever frame
// the fault hits, the operation fails as a hardware failure (never as a region of the chip,
// never as a success), says why, closes the port, and the target ends unpowered.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/workspace.h"
#include "catalogue/message_sink.h"
#include "link/link_messages.h"
#include "link/pro_programmer.h"
#include "link/programmer_clock.h"
#include "link/virtual_clock.h"
#include "operations/blank_check.h"
#include "operations/device_id.h"
#include "operations/erase_window.h"
#include "operations/read_device.h"
#include "operations/verify_device.h"
#include "operations/write_device.h"
#include "sim/pin_target.h"
#include "sim/pro_board_stream.h"
#include "sim/sim_chip.h"
#include "support/faulty_stream.h"
#include "support/paths.h"
#include "support/recording_ui.h"

namespace velkaro {
namespace {

using Fault = test::FaultyStream::Fault;

struct WireBench {
    explicit WireBench(const std::string& device, const std::string& chipState)
        : board(pins, clock),
          stream(board),
          pro(stream, [](int port) { return "emulated COM" + std::to_string(port); }),
          linkClock(clock),
          workspace(test::binDir()) {
        SilentMessageSink messages;
        workspace.SelectDevice(device, messages);
        std::unique_ptr<sim::SimChip> chip = sim::makeSimChip(device);
        if (!chipState.empty()) {
            std::istringstream in(chipState);
            EXPECT_TRUE(chip->loadState(in));
        }
        pins.insertChip(std::move(chip));
        linkClock.setDelaySink(&pro);
        ProgrammerLink& link = workspace.attachProgrammer(pro, linkClock);
        link.setHardwareType(ProgrammerLink::kProgrammerPro);
        link.setUi(ui);
        link.measureCallsPerMillisecond();
    }

    // A pattern in every region of the buffer.
    void fillImage() {
        const DeviceDefinition& d = workspace.device;
        workspace.image.ClearImage(d, true, true);
        for (int32_t i = 0; i < d.ProgSize; ++i)
            workspace.image.ProgMemory[i] = static_cast<uint16_t>((i * 0x0345 + 0x0789) & 0x3FFF);
        for (int32_t i = 0; i < d.EpromSize; ++i)
            workspace.image.DataMemory[i] = static_cast<uint8_t>(0xA5 ^ (i * 13));
    }

    std::string chipState() const {
        std::ostringstream out;
        pins.chip()->saveState(out);
        return out.str();
    }

    VirtualClock clock;
    sim::PinTarget pins;
    sim::ProBoardStream board;
    test::FaultyStream stream;
    ProProgrammer pro;
    ProgrammerClock linkClock;
    Workspace workspace;
    test::RecordingUi ui;
};

struct Operation {
    const char* name;
    bool onWrittenChip;  // runs on a chip that holds the buffer (else on an erased one)
    std::function<ResultCode(WireBench&)> run;
};

ResultCode idResult(WireBench& b) {
    const DeviceIdView view = showDeviceId(b.workspace, b.ui);
    if (!view.linkFault.empty())
        return kResultHardwareError;
    return view.check == DeviceIdCheck::NoId ? kResultProgramError : kResultOk;
}

const std::vector<Operation>& operations() {
    static const std::vector<Operation> list = {
        {"read", true,
         [](WireBench& b) {
             return runRead(b.workspace, b.ui, {true, true}).result;
         }},
        {"blank", false,
         [](WireBench& b) {
             return runBlankCheck(b.workspace, b.ui, {true, true}).result;
         }},
        {"verify", true,
         [](WireBench& b) {
             return runVerify(b.workspace, b.ui, {true, true}).result;
         }},
        {"id", true, idResult},
        {"erase", true,
         [](WireBench& b) {
             return runErase(b.workspace, b.ui, {true, true, false, false, true}).result;
         }},
        {"write", false,
         [](WireBench& b) {
             return runWrite(b.workspace, b.ui, {true, true, true, false}).result;
         }},
        {"write without data", false,
         [](WireBench& b) {
             return runWrite(b.workspace, b.ui, {true, false, true, false}).result;
         }},
    };
    return list;
}

// Frames after which the link breaks: the first ones (power-up), spread over the run, and
// the last ones (the power-off and close).
std::vector<int64_t> breakPoints(int64_t frames) {
    std::vector<int64_t> points;
    for (int64_t n : {int64_t{0}, int64_t{1}, int64_t{2}, frames / 4, frames / 2, 3 * frames / 4,
                      frames - 2, frames - 1}) {
        if (n >= 0 && n < frames && (points.empty() || points.back() < n))
            points.push_back(n);
    }
    return points;
}

class ProLinkFaults : public testing::TestWithParam<const char*> {};

TEST_P(ProLinkFaults, ALinkThatBreaksAnywhereIsAHardwareFailureWithItsReason) {
    const std::string device = GetParam();
    std::string written;
    {
        WireBench bench(device, "");
        bench.fillImage();
        ASSERT_EQ(runWrite(bench.workspace, bench.ui, {true, true, true, false}).result, kResultOk);
        written = bench.chipState();
    }
    for (const Operation& op : operations()) {
        int64_t frames = 0;
        {
            WireBench bench(device, op.onWrittenChip ? written : "");
            bench.fillImage();
            ASSERT_EQ(op.run(bench), kResultOk) << op.name;
            frames = bench.stream.framesSent();
        }
        for (const Fault fault : {Fault::Silence, Fault::Garbage, Fault::Cut, Fault::Disconnect}) {
            for (const int64_t n : breakPoints(frames)) {
                SCOPED_TRACE(std::string(op.name) + ", fault " +
                             std::to_string(static_cast<int>(fault)) + " after frame " +
                             std::to_string(n) + " of " + std::to_string(frames));
                WireBench bench(device, op.onWrittenChip ? written : "");
                bench.fillImage();
                bench.stream.breakAfter(fault, n);
                EXPECT_EQ(op.run(bench), kResultHardwareError);
                EXPECT_FALSE(bench.stream.isOpen());
                for (const std::string& message : bench.ui.messages())
                    EXPECT_NE(message, kMsgHardwareError) << "shown without its reason";
                // The board switches off when told or when the host falls silent.
                bench.clock.sleepMilliseconds(3000);
                bench.board.board().poll();
                EXPECT_FALSE(bench.pins.vdd() || bench.pins.vpp()) << "target left powered";
                bench.pins.chip()->takeNotes();  // a cut may end any sequence half-way
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(OneDevicePerFamily, ProLinkFaults,
                         testing::Values("PIC16F628A", "PIC18F2221"));

}  // namespace
}  // namespace velkaro
