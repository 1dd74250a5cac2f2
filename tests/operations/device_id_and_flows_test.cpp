// The device-ID check and window, and what the read, blank-check and verify windows do
// with their check boxes and results.
#include <gtest/gtest.h>

#include <algorithm>

#include "link/link_messages.h"
#include "operations/blank_check.h"
#include "operations/device_id.h"
#include "operations/operation_messages.h"
#include "operations/read_device.h"
#include "operations/verify_device.h"
#include "support/sim_bench.h"

namespace velkaro {
namespace {

using test::SimBench;

TEST(DeviceIdCheck, MatchMismatchAndNoIdOnEveryModelledDeviceWithAnId) {
    const std::vector<std::string> devices = SimBench::modelledDevices();
    int checked = 0;
    for (const std::string& name : devices) {
        SimBench bench;
        bench.load(name);
        const DeviceDefinition& d = bench.device();
        if (d.DeviceID == 0)
            continue;
        SCOPED_TRACE(name);
        ++checked;
        Workspace& workspace = bench.workspace();
        EXPECT_EQ(checkDeviceId(workspace), DeviceIdCheck::Match);

        DeviceIdView view = showDeviceId(workspace, bench.ui());
        EXPECT_EQ(view.status, msg::kDevIdMatched);
        EXPECT_EQ(view.DevName, name);
        EXPECT_EQ(view.DevID.size(), 4u);
        EXPECT_EQ(bench.ui().statusTexts().back(), msg::kDevIdMatched);

        // Another family member's ID in the chip.
        DeviceDefinition otherDevice;
        const auto other = std::find_if(devices.begin(), devices.end(), [&](const auto& n) {
            if (n == name)
                return false;
            ConfigFieldTable fields;
            SilentMessageSink messages;
            otherDevice = DeviceDefinition{};
            workspace.catalogue.LoadSection(n, otherDevice, fields, messages);
            return otherDevice.BitWidth == d.BitWidth && otherDevice.DeviceID != 0 &&
                   otherDevice.DeviceID != d.DeviceID && otherDevice.DeviceIDAdr == d.DeviceIDAdr;
        });
        if (other != devices.end()) {
            const uint16_t foreign = otherDevice.DeviceID;
            const uint32_t address = static_cast<uint32_t>(d.DeviceIDAdr);
            if (d.BitWidth == 16) {
                bench.chip().poke(address, foreign & 0xFF);
                bench.chip().poke(address + 1, foreign >> 8);
            } else {
                bench.chip().poke(address, foreign);
            }
            EXPECT_EQ(checkDeviceId(workspace), DeviceIdCheck::Mismatch) << *other;
            view = showDeviceId(workspace, bench.ui());
            EXPECT_EQ(view.status, msg::kDevIdNotMatched);
            EXPECT_EQ(view.DevName,
                      workspace.catalogue.LookupDeviceById(foreign, workspace.deviceList));
            EXPECT_FALSE(view.DevName.empty()) << "ID " << foreign << " of " << *other;

            // The question names the chip found and Enter does not go on.
            bench.ui().scriptOkCancel({false});
            EXPECT_FALSE(confirmDeviceId(workspace, bench.ui(), msg::kDevIdMismatchWriteQuestion));
            EXPECT_EQ(bench.ui().okCancelQuestions().back(),
                      mismatchQuestion(msg::kDevIdMismatchWriteQuestion, view.DevName, view.raw));
            EXPECT_NE(bench.ui().okCancelQuestions().back().find(view.DevName), std::string::npos);
            EXPECT_TRUE(bench.ui().okCancelDefaultsToCancel().back());
        }

        if (d.BitWidth == 16) {
            bench.chip().poke(static_cast<uint32_t>(d.DeviceIDAdr), 0);
            bench.chip().poke(static_cast<uint32_t>(d.DeviceIDAdr + 1), 0);
        } else {
            bench.chip().poke(static_cast<uint32_t>(d.DeviceIDAdr), 0);
        }
        EXPECT_EQ(checkDeviceId(workspace), DeviceIdCheck::NoId);
        view = showDeviceId(workspace, bench.ui());
        EXPECT_EQ(view.status, msg::kDevIdUnavailable);
        EXPECT_EQ(view.DevID, "----");
        EXPECT_EQ(view.RevNo, "----");
        EXPECT_EQ(view.DevName, "----");
        const size_t questions = bench.ui().okCancelQuestions().size();
        EXPECT_TRUE(confirmDeviceId(workspace, bench.ui(), msg::kDevIdMismatchEraseQuestion));
        EXPECT_EQ(bench.ui().okCancelQuestions().size(), questions) << "no question for NoId";
        EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
    }
    EXPECT_GT(checked, 0);
}

TEST(DeviceIdCheck, RevisionIsTheRawWordOutsideTheMask) {
    SimBench bench;
    const auto list = SimBench::modelledDevices();
    if (std::find(list.begin(), list.end(), "PIC16F84A") == list.end())
        GTEST_SKIP() << "PIC16F84A is not modelled";
    bench.load("PIC16F84A");
    DeviceDefinition& d = bench.workspace().device;
    d.DeviceIDMask = 0x3FE0;
    d.DeviceID = 0x0560;
    bench.chip().poke(static_cast<uint32_t>(d.DeviceIDAdr), 0x0563);
    const DeviceIdView view = showDeviceId(bench.workspace(), bench.ui());
    EXPECT_EQ(view.check, DeviceIdCheck::Match);
    EXPECT_EQ(view.DevID, "0563");
    EXPECT_EQ(view.RevNo, "03");
}

TEST(DeviceIdCheck, DeviceWithoutIdNeverTouchesTheChip) {
    SimBench bench;
    bench.load(SimBench::modelledDevices().at(0));
    bench.workspace().device.DeviceID = 0;
    bench.programmer().clearCallLog();
    EXPECT_EQ(checkDeviceId(bench.workspace()), DeviceIdCheck::NoId);
    EXPECT_EQ(readDeviceId(bench.workspace()), 0);
    EXPECT_TRUE(bench.programmer().callLog().empty());
}

TEST(WindowFlows, CheckBoxesFollowTheRememberedChoicesAndDataMemory) {
    SimBench bench;
    bench.load(SimBench::modelledDevices().at(0));
    Workspace& workspace = bench.workspace();
    workspace.readOptions = {false, true};
    workspace.device.EpromSize = 0;
    CheckWindowState state = activateReadWindow(workspace);
    EXPECT_FALSE(state.progChecked);
    EXPECT_TRUE(state.dataChecked);
    EXPECT_FALSE(state.dataEnabled);
    workspace.device.EpromSize = 64;
    EXPECT_TRUE(activateVerifyWindow(workspace).dataEnabled);
    EXPECT_FALSE(activateBlankCheckWindow(workspace).progChecked) << "before settings load";
}

// Checking nothing is no success: neither box, or only data on a device without any, reads
// nothing, shows nothing and closes with Cancel.
TEST(WindowFlows, ChecksWithNothingToCheckCloseWithCancelAndShowNothing) {
    struct Case {
        const char* device;  // PIC16F73: no data memory
        bool prog;
        bool data;
    };
    for (const Case c : {Case{"PIC16F84A", false, false}, Case{"PIC16F73", false, true},
                         Case{"PIC18F452", false, false}}) {
        for (const bool verify : {false, true}) {
            SCOPED_TRACE(std::string(c.device) + (verify ? " verify" : " blank check"));
            SimBench bench;
            bench.load(c.device);
            bench.programmer().clearCallLog();
            bench.workspace().verifyOptions = {true, true};
            const FlowOutcome outcome =
                verify ? runVerify(bench.workspace(), bench.ui(), {c.prog, c.data})
                       : runBlankCheck(bench.workspace(), bench.ui(), {c.prog, c.data});
            EXPECT_EQ(outcome.close, WindowClose::Cancel);
            EXPECT_EQ(outcome.result, kResultOk);
            EXPECT_TRUE(bench.programmer().callLog().empty());
            EXPECT_TRUE(bench.ui().messages().empty());
            EXPECT_TRUE(bench.workspace().verifyOptions.ProgEn) << "nothing remembered";
            EXPECT_TRUE(checksSomething(bench.device(), true, c.data));
            EXPECT_FALSE(checksSomething(bench.device(), false, c.data));
        }
    }
}

TEST(WindowFlows, EachCallReportsToItsOwnUiAndLeavesTheLinksUiAsItWas) {
    SimBench bench;
    const auto list = SimBench::modelledDevices();
    if (std::find(list.begin(), list.end(), "PIC16F84A") == list.end())
        GTEST_SKIP() << "PIC16F84A is not modelled";
    bench.load("PIC16F84A");  // "VKR-20 PRO": the link pumps events while it waits for answers
    Workspace& workspace = bench.workspace();
    const OperationUi* before = &workspace.link->ui();

    const int pumps = bench.ui().pumps();
    test::RecordingUi caller;
    EXPECT_EQ(blankCheck(workspace, caller, true, false), kResultOk);
    EXPECT_EQ(bench.ui().pumps(), pumps) << "the link pumped another UI than the caller's";
    EXPECT_GT(caller.pumps(), 0);

    {
        test::RecordingUi window;  // a window that goes away after its action
        runBlankCheck(workspace, window, {true, false});
        runVerify(workspace, window, {true, false});
        runRead(workspace, window, {false, true});
        showDeviceId(workspace, window);
        EXPECT_EQ(window.messages().size(), 2u);
    }
    EXPECT_EQ(&workspace.link->ui(), before);
}

TEST(WindowFlows, ResultsAreShownAndChoicesRemembered) {
    SimBench bench;
    const auto list = SimBench::modelledDevices();
    if (std::find(list.begin(), list.end(), "PIC16F84A") == list.end())
        GTEST_SKIP() << "PIC16F84A is not modelled";
    bench.load("PIC16F84A");
    Workspace& workspace = bench.workspace();

    FlowOutcome outcome = runBlankCheck(workspace, bench.ui(), {true, false});
    EXPECT_EQ(outcome.close, WindowClose::Ok);
    EXPECT_EQ(bench.ui().messages().back(), msg::kDeviceIsBlank);
    EXPECT_TRUE(workspace.blankOptions.ProgEn);
    EXPECT_FALSE(workspace.blankOptions.DataEn);

    bench.writePattern();
    outcome = runBlankCheck(workspace, bench.ui(), {true, true});
    EXPECT_EQ(outcome.result, kResultProgramError);
    EXPECT_EQ(bench.ui().messages().back().rfind(std::string(kMsgProgramMemoryError) + "\n", 0),
              0u);

    outcome = runRead(workspace, bench.ui(), {true, false});
    EXPECT_EQ(outcome.close, WindowClose::Ok);
    EXPECT_FALSE(workspace.readOptions.DataEn);
    EXPECT_EQ(bench.ui().statusTexts().back(), "");

    outcome = runVerify(workspace, bench.ui(), {true, true});
    EXPECT_EQ(outcome.result, kResultDataError) << "data memory was not read into the image";
    EXPECT_EQ(bench.ui().messages().back().rfind(std::string(kMsgDataMemoryError) + "\n", 0), 0u);

    const FlowOutcome cancelled = cancelOperationWindow(workspace, bench.ui());
    EXPECT_EQ(cancelled.close, WindowClose::Cancel);
    EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
}

}  // namespace
}  // namespace velkaro
