// The operation windows on the simulated programmer: what they show when they open, and
// operations started, cancelled and remembered through their buttons.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "app/app_settings.h"
#include "catalogue/ini_file.h"
#include "operations/operation_messages.h"
#include "support/sim_bench.h"
#include "ui/click_during_run.h"
#include "ui/read_form.h"
#include "ui/scripted_dialogs.h"
#include "ui/write_form.h"

namespace velkaro {
namespace {

using test::clickDuringRun;
using test::ScriptedDialogs;
using test::SimBench;

TEST(OperationForms, WriteLandsInTheChipAndReadBringsItBack) {
    for (const char* name : {"PIC16F84A", "PIC12F675"}) {
        SCOPED_TRACE(name);
        SimBench bench;
        bench.load(name);
        bench.writePattern();
        ScriptedDialogs dialogs;
        int refreshed = 0;

        TReadForm read(bench.workspace(), dialogs, nullptr);
        read.onImageChanged = [&] { ++refreshed; };
        read.FormActivate();
        read.OkBtn->click();
        EXPECT_EQ(read.result(), QDialog::Accepted);
        EXPECT_EQ(read.lastOutcome().result, kResultOk);
        EXPECT_GT(refreshed, 0);
        EXPECT_TRUE(read.StatusBar->currentMessage().isEmpty());
        const MemoryImage fromChip = bench.image();
        const int32_t last = bench.device().ProgSize - 1;
        EXPECT_EQ(fromChip.ProgMemory[0], bench.programWord(0));
        EXPECT_EQ(fromChip.ProgMemory[last - 1], bench.programWord(last - 1));
        EXPECT_EQ(fromChip.DataMemory[5], bench.dataByte(5));

        // Into a fresh chip through the write window.
        bench.load(name);
        bench.image() = fromChip;
        TWriteForm write(bench.workspace(), dialogs, nullptr);
        write.FormActivate();
        write.OkBtn->click();
        EXPECT_EQ(write.result(), QDialog::Accepted);
        EXPECT_EQ(write.lastOutcome().result, kResultOk);
        for (int32_t a : {0, 1, last / 2, last - 1})
            EXPECT_EQ(bench.programWord(a), fromChip.ProgMemory[a]) << a;
        EXPECT_EQ(bench.dataByte(5), fromChip.DataMemory[5]);
        // (band-gap bits: the new chip's own, as the write window keeps them)
        EXPECT_EQ(bench.configWord(0), fromChip.ConfigWords[0] | bench.image().BGValue);
        EXPECT_EQ(write.Progress->value(), 100);
        // The run's time stays shown, without an estimate once it ended.
        EXPECT_TRUE(write.TimeLbl->text().startsWith(QStringLiteral("経過 0:")))
            << write.TimeLbl->text().toStdString();
        EXPECT_FALSE(write.TimeLbl->text().contains(QStringLiteral("残り")));
        EXPECT_TRUE(dialogs.shown.size() == 0 || dialogs.shown.back().kind == "information");
    }
}

// The questions that guard a chip (a configuration that locks it out of this programmer, the
// ID of another device) have Cancel as their default button: Enter never writes.
TEST(OperationForms, WriteQuestionsDefaultToCancelAndNameWhatTheyFound) {
    SimBench bench;
    bench.load("PIC12F675");
    bench.workspace().device.PowerOnSequence = 0;  // VDD first
    bench.image().ConfigWords[0] = 0x01D4;         // INTRCIO, MCLRE off
    ScriptedDialogs dialogs;
    TWriteForm write(bench.workspace(), dialogs, nullptr);
    write.FormActivate();
    write.ProgEn->setChecked(true);
    write.OkBtn->click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "okCancel");
    EXPECT_TRUE(dialogs.shown[0].cancelIsDefault);
    EXPECT_EQ(dialogs.shown[0].text.toStdString(), msg::kLockOutQuestion);
    EXPECT_EQ(write.result(), QDialog::Rejected);
    EXPECT_EQ(bench.programmer().programmingSessions(), 0) << "chip touched";

    bench.image().ConfigWords[0] = 0x01FF;
    bench.workspace().device.DeviceID = 0x0F80;  // a PIC12F629's; the chip is a 12F675
    dialogs.shown.clear();
    write.FormActivate();
    write.DevIdChk->setChecked(true);
    write.OkBtn->click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].cancelIsDefault);
    EXPECT_TRUE(dialogs.shown[0].text.contains(QStringLiteral("PIC12F675")));
    EXPECT_EQ(write.result(), QDialog::Rejected);
    EXPECT_EQ(bench.programWord(0), bench.device().BlankWord);
    EXPECT_EQ(bench.programmer().checkLeftSafe(), "");
}

TEST(OperationForms, CancelDuringWriteStopsAtTheNextWordUnpowered) {
    SimBench bench;
    bench.load("PIC16F84A");
    for (int32_t a = 0; a < bench.device().ProgSize; ++a)
        bench.image().ProgMemory[a] = static_cast<uint16_t>(a & 0x3FFF);
    ScriptedDialogs dialogs;
    TWriteForm write(bench.workspace(), dialogs, nullptr);
    int refreshed = 0;
    write.onImageChanged = [&] { ++refreshed; };
    write.FormActivate();
    clickDuringRun(write.CancelBtn, 40);
    write.OkBtn->click();

    EXPECT_EQ(write.lastOutcome().result, kResultCancelled);
    EXPECT_EQ(write.result(), QDialog::Rejected);
    EXPECT_TRUE(write.StatusBar->currentMessage().isEmpty());
    EXPECT_GT(refreshed, 0);
    // Nobody may take the half-written chip for a programmed one.
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, toQString(kPartlyWrittenMessage));
    EXPECT_FALSE(bench.programmer().targetPowered());
    // Some words are in, the rest untouched.
    EXPECT_EQ(bench.programWord(2), 2);
    const int32_t last = bench.device().ProgSize - 1;
    EXPECT_EQ(bench.programWord(last), bench.device().BlankWord);
}

TEST(OperationForms, RememberedChoicesSurviveTheSettingsFile) {
    SimBench bench;
    bench.load("PIC16F84A");
    ScriptedDialogs dialogs;
    TReadForm read(bench.workspace(), dialogs, nullptr);
    read.FormActivate();
    read.DataEn->setChecked(false);
    read.OkBtn->click();
    TWriteForm write(bench.workspace(), dialogs, nullptr);
    write.FormActivate();
    write.ProgEn->setChecked(false);
    write.DevIdChk->setChecked(false);
    write.OkBtn->click();

    AppSettings saved;
    saved.takeFrom(bench.workspace());
    IniFile ini;
    writeSettings(saved, ini);

    SimBench next;
    next.load("PIC16F84A");
    readSettings(ini).applyTo(next.workspace());
    TReadForm read2(next.workspace(), dialogs, nullptr);
    read2.FormActivate();
    EXPECT_TRUE(read2.ProgEn->isChecked());
    EXPECT_FALSE(read2.DataEn->isChecked());
    TWriteForm write2(next.workspace(), dialogs, nullptr);
    write2.FormActivate();
    EXPECT_FALSE(write2.ProgEn->isChecked());
    EXPECT_TRUE(write2.DataEn->isChecked());
    EXPECT_TRUE(write2.OscCalChk->isChecked());
    EXPECT_FALSE(write2.DevIdChk->isChecked());
}

}  // namespace
}  // namespace velkaro
