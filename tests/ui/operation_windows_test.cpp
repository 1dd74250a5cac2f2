// The erase, verify, blank-check, automatic, device-ID and calibration windows, and what
// every operation window shows when it opens.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "operations/operation_messages.h"
#include "support/sim_bench.h"
#include "ui/click_during_run.h"
#include "ui/operation_windows.h"
#include "ui/scripted_dialogs.h"

namespace velkaro {
namespace {

using test::ScriptedDialogs;
using test::SimBench;

QString q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

TEST(OperationWindows, OpeningFollowsTheDevice) {
    struct Row {
        const char* device;
        bool data, oscCal, deviceId;
    };
    for (const Row& row : {Row{"PIC12F508", false, true, false}, Row{"PIC12F675", true, true, true},
                           Row{"PIC16F84A", true, false, true}}) {
        SCOPED_TRACE(row.device);
        SimBench bench;
        bench.load(row.device);
        // Remembered boxes that leave something to check (otherwise OK stays disabled).
        bench.workspace().blankOptions = {true, true};
        ScriptedDialogs dialogs;
        OperationWindows windows(bench.workspace(), dialogs, nullptr);
        OperationForm* const forms[] = {&windows.readForm(),       &windows.writeForm(),
                                        &windows.eraseForm(),      &windows.verifyForm(),
                                        &windows.blankCheckForm(), &windows.progForm()};
        for (OperationForm* form : forms) {
            form->Progress->setValue(55);
            form->OkBtn->setEnabled(false);
            form->FormActivate();
            EXPECT_TRUE(form->OkBtn->isEnabled());
            EXPECT_EQ(form->Progress->value(), 0);
        }
        EXPECT_EQ(windows.readForm().DataEn->isEnabled(), row.data);
        EXPECT_EQ(windows.writeForm().DataEn->isEnabled(), row.data);
        EXPECT_EQ(windows.eraseForm().DataEn->isEnabled(), row.data);
        EXPECT_EQ(windows.verifyForm().DataEn->isEnabled(), row.data);
        EXPECT_EQ(windows.blankCheckForm().DataEn->isEnabled(), row.data);
        EXPECT_EQ(windows.progForm().DataEn->isEnabled(), row.data);
        EXPECT_EQ(!windows.writeForm().OscCalChk->isHidden(), row.oscCal);
        EXPECT_EQ(!windows.eraseForm().OscCalEn->isHidden(), row.oscCal);
        EXPECT_EQ(!windows.progForm().OscCalEn->isHidden(), row.oscCal);
        EXPECT_EQ(windows.writeForm().DevIdChk->isEnabled(), row.deviceId);
        EXPECT_EQ(windows.eraseForm().DevIdChk->isEnabled(), row.deviceId);
        EXPECT_EQ(windows.progForm().DevIdChk->isEnabled(), row.deviceId);
        EXPECT_TRUE(windows.eraseForm().Progress->isHidden());
    }
}

TEST(OperationWindows, EraseVerifyAndBlankCheckThroughTheirButtons) {
    SimBench bench;
    bench.load("PIC16F84A");
    bench.writePattern();
    ScriptedDialogs dialogs;
    OperationWindows windows(bench.workspace(), dialogs, nullptr);
    int refreshed = 0;
    windows.onImageChanged = [&] { ++refreshed; };

    TReadForm& read = windows.readForm();
    read.FormActivate();
    read.OkBtn->click();
    TVerifyForm& verify = windows.verifyForm();
    verify.FormActivate();
    verify.OkBtn->click();
    EXPECT_EQ(verify.result(), QDialog::Accepted);
    ASSERT_FALSE(dialogs.shown.empty());
    EXPECT_EQ(dialogs.shown.back().text, q(msg::kVerifyNoErrors));

    // Cancel while the verify runs: no message, the target unpowered.
    const size_t boxes = dialogs.shown.size();
    verify.FormActivate();
    test::clickDuringRun(verify.CancelBtn, 20);
    verify.OkBtn->click();
    EXPECT_FALSE(verify.isVisible());
    EXPECT_EQ(verify.lastOutcome().result, kResultCancelled);
    EXPECT_EQ(dialogs.shown.size(), boxes);
    EXPECT_FALSE(bench.programmer().targetPowered());

    TChipEraseForm& erase = windows.eraseForm();
    erase.FormActivate();
    erase.ProgEn->setChecked(true);
    erase.DataEn->setChecked(true);
    erase.BuffClear->setChecked(true);
    const int before = refreshed;
    dialogs.answers = {true};  // the buffer's changes may go
    erase.OkBtn->click();
    EXPECT_EQ(erase.result(), QDialog::Accepted);
    EXPECT_GT(refreshed, before);
    EXPECT_EQ(bench.image().ProgMemory[0], bench.device().BlankWord);
    EXPECT_EQ(bench.programWord(0), bench.device().BlankWord);

    TBlankChkForm& blank = windows.blankCheckForm();
    blank.FormActivate();
    blank.ProgEn->setChecked(true);
    blank.DataEn->setChecked(true);
    blank.OkBtn->click();
    EXPECT_EQ(blank.result(), QDialog::Accepted);
    EXPECT_EQ(dialogs.shown.back().text, q(msg::kDeviceIsBlank));
    EXPECT_TRUE(bench.workspace().blankOptions.ProgEn);
}

// OK of the verify and blank-check windows is enabled only while something can be checked:
// a click on it can never report an unchecked chip as verified or blank.
TEST(OperationWindows, ChecksKeepOkDisabledWhileNothingCanBeChecked) {
    for (const char* device : {"PIC16F84A", "PIC16F73"}) {  // with and without data memory
        SCOPED_TRACE(device);
        SimBench bench;
        bench.load(device);
        const bool hasData = bench.device().EpromSize != 0;
        ScriptedDialogs dialogs;
        OperationWindows windows(bench.workspace(), dialogs, nullptr);
        struct Window {
            OperationForm& form;
            QCheckBox* prog;
            QCheckBox* data;
        };
        for (const Window w : {Window{windows.verifyForm(), windows.verifyForm().ProgEn,
                                      windows.verifyForm().DataEn},
                               Window{windows.blankCheckForm(), windows.blankCheckForm().ProgEn,
                                      windows.blankCheckForm().DataEn}}) {
            w.form.FormActivate();
            w.prog->setChecked(true);
            w.data->setChecked(true);
            EXPECT_TRUE(w.form.OkBtn->isEnabled());
            w.prog->setChecked(false);
            EXPECT_EQ(w.form.OkBtn->isEnabled(), hasData);
            w.data->setChecked(false);
            EXPECT_FALSE(w.form.OkBtn->isEnabled());
            w.form.FormActivate();  // the remembered boxes may leave nothing either
            EXPECT_EQ(w.form.OkBtn->isEnabled(),
                      w.prog->isChecked() || (hasData && w.data->isChecked()));
        }
        EXPECT_TRUE(dialogs.shown.empty());
    }
}

TEST(OperationWindows, AutomaticSequenceNamesEachStepInTheCaption) {
    SimBench bench;
    bench.load("PIC16F84A");
    for (int32_t a = 0; a < 16; ++a)
        bench.image().ProgMemory[a] = static_cast<uint16_t>(0x2800 + a);
    ScriptedDialogs dialogs;
    OperationWindows windows(bench.workspace(), dialogs, nullptr);
    TProgForm& prog = windows.progForm();
    prog.FormActivate();
    prog.DevIdChk->setChecked(true);
    prog.BlankEn->setChecked(true);
    prog.VerifyEn->setChecked(true);
    QStringList captions;
    QObject::connect(&prog, &QWidget::windowTitleChanged,
                     [&](const QString& title) { captions << title; });
    prog.OkBtn->click();

    const QString base = q(msg::kProgCaption);
    QStringList expected;
    for (std::string_view step :
         {msg::kProgStepDeviceId, msg::kProgStepErase, msg::kProgStepBlankCheck,
          msg::kProgStepWrite, msg::kProgStepVerify, msg::kProgStepConfigWrite,
          msg::kProgStepConfigCheck})
        expected << base + "  " + q(step);
    expected << base;
    EXPECT_EQ(captions, expected);
    EXPECT_EQ(prog.result(), QDialog::Accepted);
    EXPECT_EQ(dialogs.shown.back().text, q(msg::kProgDone));
    EXPECT_EQ(bench.programWord(15), 0x280F);
    EXPECT_TRUE(bench.workspace().progOptions.VerifyEn);
}

TEST(OperationWindows, DeviceIdWindowRechecksWithItsButton) {
    SimBench bench;
    bench.load("PIC16F84A");
    ScriptedDialogs dialogs;
    OperationWindows windows(bench.workspace(), dialogs, nullptr);
    TDevIDForm& form = windows.devIdForm();
    form.FormActivate();
    EXPECT_EQ(form.DevName->text(), "PIC16F84A");
    EXPECT_EQ(form.StatusBar->currentMessage(), q(msg::kDevIdMatched));

    bench.chip().poke(static_cast<uint32_t>(bench.device().DeviceIDAdr), 0x0FC5);
    form.ReCheckBtn->click();
    EXPECT_EQ(form.DevID->text(), "0FC5");
    EXPECT_EQ(form.StatusBar->currentMessage(), q(msg::kDevIdNotMatched));
    EXPECT_FALSE(bench.programmer().targetPowered());
}

// Modal, as the main window opens it: the calibration program is loaded, the window
// measures on opening (nothing runs in a new chip), the update writes the program with the
// value typed and measures again.
TEST(OperationWindows, CalibrationLoadsMeasuresAndUpdates) {
    SimBench bench;
    bench.load("PIC12F675");
    ScriptedDialogs dialogs;
    dialogs.answers = {true};
    OperationWindows windows(bench.workspace(), dialogs, nullptr);
    int opened = 0;
    windows.onFileOpened = [&] { ++opened; };
    TOscCalcForm& form = windows.oscCalcForm();
    QString firstStatus, typedBack;
    // Acts once the window is up and its first measurement done.
    QTimer user;
    user.setInterval(0);
    QObject::connect(&user, &QTimer::timeout, &form, [&] {
        if (!form.isVisible() || form.running() || form.view().curOsc == msg::kOscCalNoValue)
            return;
        user.stop();
        firstStatus = form.StatusBar->currentMessage();
        form.newOSCCAL->setText("3480");
        form.btnWriteOSCCAL->click();
        form.btnOk->click();
    });
    user.start();
    EXPECT_EQ(windows.openOscCalc(), QDialog::Accepted);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(firstStatus, q(msg::kOscCalNeedsUpdate));
    EXPECT_NE(form.OscVal->text(), q(msg::kOscCalNoValue));
    EXPECT_EQ(bench.programWord(bench.device().OscCal), 0x3480);
    EXPECT_EQ(form.CurOsc->text(), "3480");
    EXPECT_TRUE(form.btnOk->isEnabled());

    // Typing: upper case, nothing after "F"; leaving the field keeps only the low byte.
    EXPECT_EQ(form.newOSCCAL->inputMask(), ">NNNN;_");
    form.newOSCCAL->clear();
    for (const char* key : {"a", "z", "7"}) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromLatin1(key));
        QCoreApplication::sendEvent(form.newOSCCAL, &press);
    }
    EXPECT_EQ(form.newOSCCAL->text(), "A7");
    emit form.newOSCCAL->editingFinished();
    EXPECT_EQ(form.newOSCCAL->text(), "34A7");

    // Declined: nothing opens.
    dialogs.answers = {false};
    EXPECT_EQ(windows.openOscCalc(), QDialog::Rejected);
    EXPECT_EQ(opened, 1);
}

}  // namespace
}  // namespace velkaro
