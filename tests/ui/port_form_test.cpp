#include "ui/port_form.h"

#include <fstream>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include <gtest/gtest.h>

#include "app/hardware_settings.h"
#include "support/paths.h"

namespace velkaro {
namespace {

// The ports the system lists, a device mapped only once it opened, and the mapping in the
// settings file for the next start.
TEST(PortForm, ListsThePortsAndMapsOneThatOpens) {
    test::TempDir dir;
    const std::string settings = dir.file("velkaro.ini");
    std::ofstream(settings) << "[Port]\nCOM2=/dev/ttyUSB0\n";
    std::string refuse;  // what the next open check answers
    PortForm form(
        settings,
        [] {
            return std::vector<SerialPortInfo>{{"/dev/ttyUSB0", "FT232R USB UART", 0x0403, 0x6001},
                                               {"/dev/ttyS0", "", -1, -1}};
        },
        [&](const std::string&) { return refuse; });
    form.refresh(3);
    ASSERT_EQ(form.PortList->rowCount(), 2);
    EXPECT_EQ(form.PortList->item(0, 1)->text(), QStringLiteral("0403:6001"));
    EXPECT_EQ(form.PortList->item(0, 2)->text(), QStringLiteral("FT232R USB UART"));
    EXPECT_EQ(form.PortList->item(0, 3)->text(), QStringLiteral("COM2"));
    EXPECT_EQ(form.PortList->item(1, 3)->text(), QStringLiteral("-"));
    EXPECT_EQ(form.ComNumber->currentText(), QStringLiteral("COM3"));

    form.PortList->selectRow(1);
    refuse = "/dev/ttyS0 を開けませんでした。";
    form.SaveBtn->click();
    EXPECT_TRUE(form.StatusText->text().startsWith(QString::fromStdString(refuse)));
    EXPECT_EQ(loadHardwareSettings(settings).portPath(3), "")
        << "a device that fails stays unmapped";

    refuse.clear();
    form.CheckBtn->click();
    EXPECT_EQ(form.StatusText->text(), QStringLiteral("/dev/ttyS0 を開けました。"));
    form.SaveBtn->click();
    EXPECT_EQ(loadHardwareSettings(settings).portPath(3), "/dev/ttyS0");
    EXPECT_EQ(form.PortList->item(1, 3)->text(), QStringLiteral("COM3"));
    EXPECT_TRUE(form.StatusText->text().contains(QStringLiteral("次回の起動から")));

    form.ClearBtn->click();
    EXPECT_EQ(loadHardwareSettings(settings).portPath(3), "");
    EXPECT_EQ(loadHardwareSettings(settings).portPath(2), "/dev/ttyUSB0");
}

}  // namespace
}  // namespace velkaro
