#include "ui/about_form.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>

#include <gtest/gtest.h>

#include "app/workspace.h"
#include "link/virtual_clock.h"
#include "scripted_dialogs.h"
#include "sim/simulated_programmer.h"
#include "support/paths.h"

namespace velkaro {
namespace {

class AboutWindow : public ::testing::Test {
protected:
    void SetUp() override {
        workspace.attachProgrammer(programmer, clock);
        workspace.deviceList = {"PIC12F675", "PIC16F84A"};
    }

    VirtualClock clock;
    sim::SimulatedProgrammer programmer{clock};
    Workspace workspace{test::binDir()};
    test::ScriptedDialogs dialogs;
    test::TempDir dir;
    TAboutForm form{workspace, dialogs, dir.path()};
};

TEST_F(AboutWindow, OnlyTheIntelligentProgrammerIsAskedForItsFirmware) {
    form.FormActivate();
    EXPECT_TRUE(form.FrmVer->text().startsWith(QStringLiteral("ﾌｧｰﾑｳｪｱﾊﾞｰｼﾞｮﾝ ")));
    EXPECT_FALSE(programmer.callsNamed("SOpen").empty());
    EXPECT_TRUE(form.OkBtn->isEnabled());
    EXPECT_FALSE(form.Image1->pixmap().isNull());

    programmer.clearCallLog();
    workspace.link->setHardwareType(1);
    form.FormActivate();
    EXPECT_TRUE(form.FrmVer->text().isEmpty());
    EXPECT_TRUE(programmer.callsNamed("SOpen").empty());
}

TEST_F(AboutWindow, DoubleClickWritesTheDeviceListWithCrLf) {
    form.Image1DblClick();
    std::ifstream in(dir.file("DeviceList.txt"), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "PIC12F675\r\nPIC16F84A\r\n");
    EXPECT_EQ(dialogs.texts().back(),
              QStringLiteral("カレントフォルダにDeviceList.txtを出力しました。"));

    // A folder that cannot take the file: an error, no confirmation.
    TAboutForm nowhere(workspace, dialogs, dir.file("missing/folder"));
    nowhere.Image1DblClick();
    EXPECT_EQ(dialogs.shown.back().kind, QStringLiteral("error"));
}

TEST(Help, TheManualOpensFromTheDataFolderAndFailuresKeepTheirMessages) {
    test::ScriptedDialogs dialogs;
    QString opened;
    mnHtmlHelpClick(nullptr, dialogs, test::binDir(), [&](const QString& path) {
        opened = path;
        return true;
    });
    EXPECT_TRUE(opened.endsWith(QStringLiteral("/Velkaroユーザマニュアル.html")));
    EXPECT_TRUE(dialogs.shown.empty());

    // Without a browser the program shows the manual itself.
    std::unique_ptr<QWidget> viewer(
        mnHtmlHelpClick(nullptr, dialogs, test::binDir(), [](const QString&) { return false; }));
    ASSERT_NE(viewer, nullptr);
    const auto* browser = viewer->findChild<QTextBrowser*>();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("シミュレータ")));
    EXPECT_TRUE(dialogs.shown.empty());

    EXPECT_EQ(
        mnHtmlHelpClick(nullptr, dialogs, "/nonexistent", [](const QString&) { return true; }),
        nullptr);
    EXPECT_EQ(dialogs.texts(), QStringList{QStringLiteral("ヘルプファイルが開けませんでした。")});
}

}  // namespace
}  // namespace velkaro
