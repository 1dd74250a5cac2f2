// OSCCAL calibration: the window's texts and edit rules, and a calibration run on simulated
// chips whose oscillator starts off.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/paths.h"
#include "image/listing.h"
#include "operations/operation_messages.h"
#include "operations/osccal_calc.h"
#include "operations/osccal_window.h"
#include "sim/midrange/midrange_chip.h"
#include "support/paths.h"
#include "support/sim_bench.h"

namespace velkaro {
namespace {

using test::SimBench;

DeviceDefinition flashMidrange(double factor, uint16_t unit) {
    DeviceDefinition d;
    d.OscFactor = factor;
    d.OscUnit = unit;
    d.OscBase = 0x3400;
    return d;
}

TEST(OscCalCalc, TextsAndRecommendation) {
    struct Case {
        OscFrequency f;
        uint16_t current;
        double factor;
        const char* frequency;
        const char* error;
        uint16_t recommended;
        std::string_view status;
    };
    const Case cases[] = {
        {9800, 0x3480, 1.005, "980.0KHz", "-2.00%", 0x3490, msg::kOscCalUpdate},
        {10150, 0x3480, 1.005, "1015.0KHz", "1.50%", 0x3474, msg::kOscCalUpdate},
        {10000, 0x3480, 1.005, "1000.0KHz", "0.00%", 0x3480, msg::kOscCalRight},
        // The current value is aligned down to a whole step.
        {10000, 0x3481, 1.005, "1000.0KHz", "0.00%", 0x3480, msg::kOscCalUpdate},
        // Below the register's range the value wraps in its low byte, as the register does.
        {12000, 0x3408, 1.005, "1200.0KHz", "20.00%", 0x3474, msg::kOscCalUpdate},
        // Without a step factor, or with one that gives no step count, the current value
        // is offered for the user to change by hand.
        {9800, 0x3481, 0.0, "980.0KHz", "-2.00%", 0x3481, msg::kOscCalNoRecommendation},
        {9800, 0x3481, 1.0, "980.0KHz", "-2.00%", 0x3481, msg::kOscCalNoRecommendation},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.f) + " from " + std::to_string(c.current));
        EXPECT_EQ(oscFrequencyText(c.f), c.frequency);
        EXPECT_EQ(oscErrorText(c.f), c.error);
        const OscRecommendation advice =
            recommendOscCal(flashMidrange(c.factor, 4), c.current, c.f);
        EXPECT_EQ(advice.value, c.recommended);
        EXPECT_EQ(advice.status, c.status);
    }
    EXPECT_EQ(recommendOscCal(flashMidrange(1.005, 0), 0x3480, 9800).status,
              msg::kOscCalNoRecommendation);
    EXPECT_EQ(oscFrequencyText(0), "0.0KHz");
    EXPECT_EQ(oscErrorText(0), "-100.00%");
}

TEST(OscCalCalc, ValueFieldEditRules) {
    EXPECT_EQ(oscCalKeyPress('g'), std::nullopt);
    EXPECT_EQ(oscCalKeyPress('G'), std::nullopt);
    EXPECT_EQ(oscCalKeyPress('a'), 'A');
    EXPECT_EQ(oscCalKeyPress('7'), '7');
    EXPECT_EQ(oscCalKeyPress('\b'), '\b');
    EXPECT_EQ(oscCalFieldOnExit("12", 0x3400), "3412");
    EXPECT_EQ(oscCalFieldOnExit("0C5A", 0x3400), "345A");
    EXPECT_EQ(oscCalFieldOnExit("____", 0x3400), "3400");
}

sim::MidrangeChip& midrange(SimBench& bench) {
    return dynamic_cast<sim::MidrangeChip&>(bench.chip());
}

// A chip 3 % slow at its factory value: the first measurement finds no program, the
// update writes the calibration program with the factory value, the recommendation
// corrects the error, and the second update brings the chip within one step of 1 MHz.
TEST(OscCalWindow, CalibratesAChipWhoseOscillatorStartsThreePercentOff) {
    for (const char* name : {"PIC12F675", "PIC12F629", "PIC16F630", "PIC16F676"}) {
        SCOPED_TRACE(name);
        SimBench bench;
        bench.load(name);
        midrange(bench).setOscillatorError(0.97);
        const DeviceDefinition& d = bench.device();
        const uint16_t factory = midrange(bench).factoryOsccalWord();
        const uint16_t bandGap = midrange(bench).factoryBandGap();
        Workspace& ws = bench.workspace();

        bench.ui().scriptOkCancel({false, true});
        EXPECT_EQ(startOscCalibration(ws, bench.ui()), OscCalStart::Declined);
        EXPECT_TRUE(ws.LastFile.empty());
        ASSERT_EQ(startOscCalibration(ws, bench.ui()), OscCalStart::Ready);
        EXPECT_EQ(ws.LastFile, joinPath(test::binDir(), d.OscCalFile));

        OscCalView view;
        measureOscillator(ws, bench.ui(), view);
        EXPECT_EQ(view.frequency, 0);
        EXPECT_EQ(view.curOsc, wordText(factory));
        EXPECT_EQ(view.newOscCal, wordText(factory));
        EXPECT_EQ(view.status, msg::kOscCalNeedsUpdate);
        ASSERT_EQ(bench.ui().messages().size(), 1u);
        EXPECT_EQ(bench.ui().messages()[0], msg::kOscCalCannotMeasure);

        EXPECT_EQ(updateOscCal(ws, bench.ui(), view), kResultOk);
        EXPECT_EQ(view.frequency, 9700);
        EXPECT_EQ(view.oscDiff, "-3.00%");
        EXPECT_EQ(view.status, msg::kOscCalUpdate);
        // ln(1/0.97) / ln(1.005) = 6.1 steps of 4 counts.
        EXPECT_EQ(view.newOscCal, wordText(static_cast<uint16_t>(factory + 24)));

        EXPECT_EQ(updateOscCal(ws, bench.ui(), view), kResultOk);
        EXPECT_LE(std::abs(view.frequency - kOscNominal), 50) << view.oscVal;
        EXPECT_EQ(view.status, msg::kOscCalRight);
        EXPECT_TRUE(view.okEnabled);
        EXPECT_EQ(bench.programWord(d.OscCal), factory + 24);
        EXPECT_EQ(bench.programWord(0), 0x1683) << "the calibration program is in the chip";
        EXPECT_EQ(bench.configWord(0) & d.BGMask, bandGap) << "band-gap bits kept";
    }
}

TEST(OscCalWindow, MissingCalibrationProgramKeepsTheWindowShut) {
    SimBench bench;
    bench.load("PIC12F675");
    bench.workspace().device.OscCalFile = "some/folder/missing.hex";
    EXPECT_EQ(startOscCalibration(bench.workspace(), bench.ui()), OscCalStart::NotLoaded);
    ASSERT_EQ(bench.ui().messages().size(), 1u);
    EXPECT_NE(bench.ui().messages()[0].find(joinPath(test::binDir(), "missing.hex")),
              std::string::npos)
        << "only the file name of the entry counts: " << bench.ui().messages()[0];
}

}  // namespace
}  // namespace velkaro
