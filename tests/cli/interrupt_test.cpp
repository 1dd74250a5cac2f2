// Ctrl-C, SIGTERM and SIGHUP during a command: each cancels the operation at its next word
// through the terminal UI, as the command line runs it, so the target ends switched off and
// the port closed and the result is a cancel, never a success with the chip half written.
// The signal is raised at a chosen pump of the operation on the simulator's clock, so every
// point is hit exactly, without races against wall-clock time.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "cli/interrupt.h"
#include "cli/terminal_ui.h"
#include "operations/verify_device.h"
#include "operations/write_device.h"
#include "support/sim_bench.h"

namespace velkaro::cli {
namespace {

// The command line's terminal UI, with the signal arriving during the n-th pump.
class SignalAtPump : public OperationUi {
public:
    SignalAtPump(int signal, int pump)
        : mSignal(signal),
          mPump(pump),
          mOut(std::tmpfile()),
          mTerminal({true, false, false}, mOut) {}
    ~SignalAtPump() override { std::fclose(mOut); }

    void showMessage(std::string_view text) override { mTerminal.showMessage(text); }
    void setProgress(int percent) override { mTerminal.setProgress(percent); }
    void setStatusText(std::string_view text) override { mTerminal.setStatusText(text); }
    void pumpEvents() override {
        if (++mPumps == mPump)
            std::raise(mSignal);
    }
    bool cancelRequested() const override { return mTerminal.cancelRequested(); }
    bool askOkCancel(std::string_view text) override { return mTerminal.askOkCancel(text); }
    bool askYesNo(std::string_view text, std::string_view caption) override {
        return mTerminal.askYesNo(text, caption);
    }
    void setCaption(std::string_view text) override { mTerminal.setCaption(text); }
    int pumps() const { return mPumps; }

private:
    int mSignal;
    int mPump;
    int mPumps = 0;
    std::FILE* mOut;
    TerminalUi mTerminal;
};

void fill(test::SimBench& bench) {
    const DeviceDefinition& d = bench.device();
    bench.image().ClearImage(d, true, true);
    for (int32_t i = 0; i < d.ProgSize; ++i)
        bench.image().ProgMemory[i] = static_cast<uint16_t>((i * 7 + 1) & d.BlankWord);
    for (int32_t i = 0; i < d.EpromSize; ++i)
        bench.image().DataMemory[i] = static_cast<uint8_t>(i * 3);
}

TEST(InterruptCancel, EachSignalAtAnyPointOfAWriteCancelsItAndSwitchesOff) {
    for (const char* device : {"PIC16F628A", "PIC18F2221"}) {
        int pumps = 0;
        {
            test::SimBench bench;
            bench.load(device);
            fill(bench);
            const InterruptCancel handlers;
            SignalAtPump ui(SIGINT, 0);
            ASSERT_EQ(runWrite(bench.workspace(), ui, {true, true, true, false}).result, kResultOk);
            pumps = ui.pumps();
        }
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            for (const int at : {1, 2, pumps / 3, pumps / 2, pumps - 1}) {
                SCOPED_TRACE(std::string(device) + ", signal " + std::to_string(signal) +
                             " at pump " + std::to_string(at) + " of " + std::to_string(pumps));
                test::SimBench bench;  // checks at its end that the target is off
                bench.load(device);
                fill(bench);
                const InterruptCancel handlers;
                SignalAtPump ui(signal, at);
                const ResultCode result =
                    runWrite(bench.workspace(), ui, {true, true, true, false}).result;
                EXPECT_TRUE(InterruptCancel::requested());
                if (result == kResultOk) {
                    // Only a signal after the last step may let the write finish, and then
                    // the chip holds the buffer.
                    EXPECT_EQ(at, pumps - 1);
                    EXPECT_EQ(verifyDevice(bench.workspace(), bench.ui(), true, true, true),
                              kResultOk);
                } else {
                    EXPECT_EQ(result, kResultCancelled);
                }
            }
        }
    }
}

TEST(InterruptCancel, TheHandlersComeBackWhenTheCommandEnds) {
    struct sigaction before {};
    sigaction(SIGTERM, nullptr, &before);
    {
        const InterruptCancel handlers;
        struct sigaction during {};
        sigaction(SIGTERM, nullptr, &during);
        EXPECT_NE(during.sa_handler, before.sa_handler);
    }
    struct sigaction after {};
    sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

}  // namespace
}  // namespace velkaro::cli
