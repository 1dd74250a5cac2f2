// The intelligent programmer's host backend over the board's own firmware core (built for
// this machine), with reads collected into frames: what comes back is the chip's content,
// a mismatch anywhere in a batch is found, and a cancelled read keeps what it read and
// leaves the target off.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "app/programmer_hub.h"
#include "app/workspace.h"
#include "catalogue/message_sink.h"
#include "link/virtual_clock.h"
#include "operations/read_device.h"
#include "operations/verify_device.h"
#include "operations/window_flow.h"
#include "operations/write_device.h"
#include "sim/sim_chip.h"
#include "support/paths.h"
#include "support/recording_ui.h"

namespace velkaro {
namespace {

constexpr int kPro = 0;

struct BoardBench {
    explicit BoardBench(const std::string& device) : hub(clock, {}), workspace(test::binDir()) {
        SilentMessageSink messages;
        workspace.SelectDevice(device, messages);
        hub.insertChip(sim::makeSimChip(device));
        hub.setEmulatedBoard(true);
        ProgrammerLink& link = workspace.attachProgrammer(hub, hub.linkClock());
        link.setHardwareType(kPro);
        link.setUi(ui);
        link.measureCallsPerMillisecond();
        hub.SSetMode(kPro);
    }
    ~BoardBench() { EXPECT_EQ(hub.checkLeftSafe(), "") << "left switched on"; }

    // Writes random program words and data bytes; returns the image written.
    MemoryImage writeSample() {
        const DeviceDefinition& d = workspace.device;
        MemoryImage image = workspace.image;
        image.ClearImage(d, true, true);
        std::mt19937 random(5);
        const uint16_t mask = d.isExtendedFamily() ? 0xFFFF : d.BlankWord;
        for (int32_t i = 0; i < d.ProgSize; ++i) {
            if (!(d.OscCal > 0 && i == d.OscCal))
                image.ProgMemory[i] = static_cast<uint16_t>(random() & mask);
        }
        for (int32_t i = 0; i < d.EpromSize; ++i)
            image.DataMemory[i] = static_cast<uint8_t>(random());
        workspace.image = image;
        EXPECT_EQ(runWrite(workspace, ui, {true, d.EpromSize > 0, true, false}).result, kResultOk)
            << hub.lastError();
        if (d.OscCal > 0)  // the chip keeps its factory calibration word
            image.ProgMemory[d.OscCal] = hub.chip()->peek(static_cast<uint32_t>(d.OscCal));
        return image;
    }

    VirtualClock clock;
    ProgrammerHub hub;
    Workspace workspace;
    test::RecordingUi ui;
};

class ProBoardBackend : public testing::TestWithParam<const char*> {};

TEST_P(ProBoardBackend, ReadsComeBackInFramesNotOneByOne) {
    BoardBench bench(GetParam());
    Workspace& ws = bench.workspace;
    const MemoryImage written = bench.writeSample();

    ws.image.ClearImage(ws.device, true, true);
    const uint64_t before = bench.hub.emulatedPro().roundTrips();
    const uint64_t sentBefore = bench.hub.emulatedPro().bytesSent();
    ASSERT_EQ(runRead(ws, bench.ui, {true, false}).result, kResultOk);
    EXPECT_EQ(ws.image.ProgMemory, written.ProgMemory);
    // A frame holds dozens of reads; one round trip per read would be thousands.
    const uint64_t roundTrips = bench.hub.emulatedPro().roundTrips() - before;
    EXPECT_LT(roundTrips, static_cast<uint64_t>(ws.device.ProgSize / 16));
    // And the reads go as runs: a few bytes for dozens of words, not bytes for each.
    const uint64_t sent = bench.hub.emulatedPro().bytesSent() - sentBefore;
    EXPECT_LT(sent, static_cast<uint64_t>(ws.device.ProgSize / 2));
    if (ws.device.EpromSize > 0) {
        ASSERT_EQ(runRead(ws, bench.ui, {false, true}).result, kResultOk);
        EXPECT_EQ(ws.image.DataMemory, written.DataMemory);
    }
    EXPECT_EQ(bench.hub.chip()->takeNotes(), std::vector<std::string>{});
}

TEST_P(ProBoardBackend, VerifyFindsAMismatchAnywhereInABatch) {
    BoardBench bench(GetParam());
    Workspace& ws = bench.workspace;
    const MemoryImage written = bench.writeSample();
    ASSERT_EQ(verifyDevice(ws, bench.ui, true, ws.device.EpromSize > 0, true), kResultOk);
    // The calibration word is never compared.
    const int32_t last = ws.device.ProgSize - (ws.device.OscCal == ws.device.ProgSize - 1 ? 2 : 1);
    for (const int32_t address : {1, ws.device.ProgSize / 2 + 3, last}) {
        SCOPED_TRACE(address);
        ws.image = written;
        ws.image.ProgMemory[address] ^= 0x0001;
        EXPECT_EQ(verifyDevice(ws, bench.ui, true, false, false), kResultProgramError);
        EXPECT_EQ(bench.hub.checkLeftSafe(), "");
    }
    if (ws.device.EpromSize > 0) {
        ws.image = written;
        ws.image.DataMemory[ws.device.EpromSize - 1] ^= 0x80;
        EXPECT_EQ(verifyDevice(ws, bench.ui, false, true, false), kResultDataError);
    }
}

// Cancels after a number of pumps; given the workspace, it also closes the link at once, as
// the window's Cancel button does while the read is still queueing.
class CancellingUi : public test::RecordingUi {
public:
    explicit CancellingUi(Workspace* window) : mWindow(window) {}
    void pumpEvents() override {
        RecordingUi::pumpEvents();
        if (cancelRequested() && mWindow != nullptr) {
            cancelOperationWindow(*mWindow, *this);
            mWindow = nullptr;
        }
    }

private:
    Workspace* mWindow;
};

TEST_P(ProBoardBackend, CancelledReadKeepsEveryWordReadLeavesTheTargetOffAndTheNextReadWhole) {
    for (const bool byWindow : {false, true}) {
        SCOPED_TRACE(byWindow ? "cancelled by the window" : "cancelled in the loop");
        BoardBench bench(GetParam());
        Workspace& ws = bench.workspace;
        const MemoryImage written = bench.writeSample();
        std::vector<uint16_t> stale = written.ProgMemory;
        for (uint16_t& word : stale)
            word = static_cast<uint16_t>(~word & ws.device.BlankWord);
        ws.image.ProgMemory = stale;

        CancellingUi ui(byWindow ? &ws : nullptr);
        const int32_t half = ws.device.ProgSize / 2;
        ui.cancelAfterPumps(half);
        EXPECT_EQ(runRead(ws, ui, {true, false}).result, kResultCancelled);
        EXPECT_EQ(bench.hub.checkLeftSafe(), "");
        // Every word up to the cancel is the chip's, however many were still queued; none
        // after it was touched.
        int32_t kept = 0;
        while (kept < ws.device.ProgSize && ws.image.ProgMemory[kept] == written.ProgMemory[kept])
            ++kept;
        EXPECT_GT(kept, half - 8);
        EXPECT_LE(kept, half);
        for (int32_t i = kept; i < ws.device.ProgSize; ++i)
            ASSERT_EQ(ws.image.ProgMemory[i], stale[i]) << i;

        // Reads the cancelled one left queued must not surface in the next.
        ws.image.ClearImage(ws.device, true, true);
        ASSERT_EQ(runRead(ws, bench.ui, {true, false}).result, kResultOk);
        EXPECT_EQ(ws.image.ProgMemory, written.ProgMemory);
    }
}

INSTANTIATE_TEST_SUITE_P(OneDevicePerFamily, ProBoardBackend,
                         testing::Values("PIC12F508", "PIC16F877A", "PIC16F1827", "PIC18F4520"));

}  // namespace
}  // namespace velkaro
