#include "ui/info_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

#include <gtest/gtest.h>

#include "app/workspace.h"
#include "support/paths.h"
#include "support/recording_ui.h"

namespace velkaro {
namespace {

struct Case {
    const char* device;
    int bitWidth;
    const char* progSize;
    bool hasFields;
};

// One device of each core: bit panels up to the word width, the explorer on the first
// field and option, the command set from CmdSet.
TEST(InfoWindow, FollowsTheSelectedDevice) {
    Workspace workspace(test::binDir());
    test::RecordingUi ui;
    TInfoForm form(workspace);
    for (const Case& c :
         {Case{"PIC12F508", 12, "512ﾜｰﾄﾞ", true}, Case{"PIC16F84A", 14, "1024ﾜｰﾄﾞ", true},
          Case{"PIC18F4520", 16, "16384ﾜｰﾄﾞ", true}}) {
        SCOPED_TRACE(c.device);
        workspace.SelectDevice(c.device, ui);
        form.ShowDeviceDetails();
        EXPECT_EQ(form.ChipName->text(), c.device);
        EXPECT_EQ(form.panel("ProgSize")->text(), c.progSize);
        for (int bit = 0; bit < 16; ++bit)
            EXPECT_EQ(!form.Panel[bit]->isHidden(), bit < c.bitWidth) << "bit " << bit;
        for (int bit = 0; bit < 12; ++bit)
            EXPECT_EQ(form.commandSet[bit]->isChecked(), (workspace.device.CmdSet >> bit & 1) != 0);
        ASSERT_EQ(form.ConfigItem->count() > 0, c.hasFields);
        const ConfigField& first = workspace.configFields.row(0);
        EXPECT_EQ(form.ConfigItem->currentText().toStdString(), first.label);
        EXPECT_EQ(form.ConfigValue->count(), static_cast<int>(first.optionNames.size()));
        int shown = 0;
        for (int bit = 0; bit < 16; ++bit)
            shown += form.Panel[bit]->text() != "-";
        EXPECT_EQ(shown, __builtin_popcount(first.mask));
    }
}

}  // namespace
}  // namespace velkaro
