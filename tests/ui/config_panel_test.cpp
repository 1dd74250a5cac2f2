#include "ui/config_panel.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

#include "app/workspace.h"
#include "support/paths.h"
#include "support/recording_ui.h"
#include "ui/hex_key_filter.h"

namespace velkaro {
namespace {

// The configuration panel over the shipped device.ini and Config.ini.
class ConfigPanelTest : public ::testing::Test {
protected:
    void select(const std::string& device) {
        workspace.SelectDevice(device, ui);
        panel.rebuildRows();
        panel.refresh();
    }

    int row(const QString& label) const {
        for (int i = 0; i < ConfigPanel::kFieldRows; ++i) {
            if (panel.Vlabel[i]->text() == label && !panel.Vlabel[i]->isHidden())
                return i;
        }
        return -1;
    }

    void choose(int r, const QString& option) {
        panel.VBox[r]->setCurrentIndex(panel.VBox[r]->findText(option));
        panel.VBox1Change(r);
    }

    Workspace workspace{test::binDir()};
    test::RecordingUi ui;
    ConfigPanel panel{workspace};
};

TEST_F(ConfigPanelTest, OptionsAndWordsFollowEachOther) {
    select("PIC16F84A");
    const int fosc = row("FOSC");
    const int wdte = row("WDTE");
    ASSERT_GE(fosc, 0);
    ASSERT_GE(wdte, 0);
    EXPECT_TRUE(panel.Vlabel[4]->isHidden());
    EXPECT_EQ(panel.lblCfg[0]->text(), "Config(002007h)");
    EXPECT_TRUE(panel.lblCfg[1]->isHidden());

    // A choice rewrites its own bits and keeps the other fields' bits.
    panel.edConfig[0]->setText("3FFF");
    choose(fosc, "XT");
    EXPECT_EQ(workspace.image.ConfigWords[0], 0x3FFD);
    choose(wdte, "OFF");
    EXPECT_EQ(workspace.image.ConfigWords[0], 0x3FF9);
    EXPECT_EQ(panel.edConfig[0]->text(), "3FF9");

    // A typed word selects the matching options when the edit is left.
    panel.edConfig[0]->setText("000E");
    QFocusEvent out(QEvent::FocusOut);
    QCoreApplication::sendEvent(panel.edConfig[0], &out);
    EXPECT_EQ(workspace.image.ConfigWords[0], 0x000E);
    EXPECT_EQ(panel.VBox[fosc]->currentText(), "HS");
    EXPECT_EQ(panel.VBox[wdte]->currentText(), "ON");
    EXPECT_EQ(panel.VBox[row("CP")]->currentText(), "ON");

    // Masked bits matching no option leave the selection as it was.
    panel.edConfig[0]->setText("3F0E");
    QCoreApplication::sendEvent(panel.edConfig[0], &out);
    EXPECT_EQ(panel.VBox[row("CP")]->currentText(), "ON");

    // A short value stands as the word it became.
    panel.edConfig[0]->setText("1");
    QCoreApplication::sendEvent(panel.edConfig[0], &out);
    EXPECT_EQ(workspace.image.ConfigWords[0], 0x0001);
    EXPECT_EQ(panel.edConfig[0]->text(), "0001");
}

TEST_F(ConfigPanelTest, ByteAddressedWordsAreLabelledTwoApart) {
    select("PIC18F4520");
    EXPECT_EQ(panel.lblCfg[0]->text(), "Config(300000h)");
    EXPECT_EQ(panel.lblCfg[1]->text(), "Config(300002h)");
    EXPECT_GT(row("OSC"), -1);
}

TEST(HexKeyFilter, LettersFromGOnAreDiscardedAndOthersUpperCased) {
    QLineEdit edit;
    edit.setInputMask(">NNNN;_");
    HexKeyFilter filter;
    edit.installEventFilter(&filter);
    for (QChar c : QString("a9gZ")) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(&edit, &key);
    }
    EXPECT_EQ(edit.text(), "A9");
}

}  // namespace
}  // namespace velkaro
