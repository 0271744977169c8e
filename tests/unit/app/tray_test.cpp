#include <gtest/gtest.h>

#include "app/props.h"
#include "core/error.h"
#include "support/appfixture.h"
#include "ui/application.h"

namespace {
struct Tray : ::testing::Test {
    Tray() { app.WriteDetails(); }
    ~Tray() override { SetExceptionHandler(nullptr); }
    TAppFixture app;
};
} // namespace

TEST_F(Tray, LeftClickTogglesEnabledAndCancelBringsBackTheStoredChoice)
{
    TfrmProps props({});
    props.FormCreate();
    ASSERT_TRUE(app.desk.trayActive);
    EXPECT_TRUE(app.desk.tray.bright);
    EXPECT_EQ(app.desk.tray.toolTip, "Tolvar");
    app.desk.ClickTray(TTrayEvent::Click);
    EXPECT_EQ(props.optEnabled.ItemIndex(), 1);
    EXPECT_FALSE(app.desk.tray.bright);
    EXPECT_EQ(app.desk.tray.toolTip, "(Tolvar)");
    app.desk.ClickTray(TTrayEvent::Click);
    EXPECT_EQ(props.optEnabled.ItemIndex(), 0);
    EXPECT_TRUE(app.desk.tray.bright);
    // Toggled by the tray only: Cancel restores what is stored.
    app.desk.ClickTray(TTrayEvent::Click);
    props.btnCancelClick();
    EXPECT_EQ(props.optEnabled.ItemIndex(), 0);
    EXPECT_TRUE(app.desk.tray.bright);
    EXPECT_EQ(app.desk.tray.toolTip, "Tolvar");
}

TEST_F(Tray, RightClickOpensTheWindowCentred)
{
    TfrmProps props({});
    props.FormCreate();
    app.desk.ClickTray(TTrayEvent::DblClick);
    EXPECT_FALSE(props.Visible());
    app.desk.ClickTray(TTrayEvent::RightClick, {5, 5});
    EXPECT_TRUE(props.Visible());
    EXPECT_EQ(props.Bounds().left, (app.desk.screen.width - props.Width()) / 2);
}

TEST_F(Tray, ToolTipIsCutTo64)
{
    TTaskIcon icon("TaskIcon1");
    icon.SetToolTip(std::string(70, 't'));
    EXPECT_EQ(icon.ToolTip(), std::string(64, 't'));
    icon.SetActive(true);
    EXPECT_EQ(app.desk.tray.toolTip.size(), 64u);
}

TEST_F(Tray, IconStepsAsideWhileTheStartAsksAboutServers)
{
    app.config.Write("tolvar/TOLVAR.INI",
                     "[General]\r\nEmail=me@example.org\r\n[Servers]\r\nSMTP=127.0.0.1\r\nFTP=bitftp@ftp-robot.example.com\r\n");
    bool trayDuringQuestion = true;
    app.desk.OnDialog = [&](const TMessageBox&) { trayDuringQuestion = app.desk.trayActive; };
    app.desk.ExpectDialog("The Ftp Server is set to bitftp@ftp-robot.example.com but we believe", mrNo);
    TfrmProps props({});
    props.FormCreate();
    EXPECT_FALSE(trayDuringQuestion);
    EXPECT_TRUE(app.desk.trayActive);
    props.FormDestroy();
    EXPECT_FALSE(app.desk.trayActive);
}

TEST_F(Tray, DiagnosticKeysAskBeforeSwitching)
{
    TfrmProps props({});
    props.FormCreate();
    const unsigned ctrlAlt = ssCtrl | ssAlt;
    app.desk.ExpectDialog("Super debug status is: OFF. Change?", mrYes);
    props.OnKeyDown(0x41, ctrlAlt);
    EXPECT_TRUE(props.capture.superDebug);
    app.desk.ExpectDialog("Super debug status is: ON. Change?", mrNo);
    props.OnKeyDown(0x61, ctrlAlt);   // keypad 1
    EXPECT_TRUE(props.capture.superDebug);
    app.desk.ExpectDialog("Don't send mode is: OFF. Change?", mrYes);
    props.OnKeyDown(0x31, ctrlAlt);   // main keyboard 1
    EXPECT_TRUE(props.dispatcher.dontSendMode);
    props.OnKeyDown(0x41, ssCtrl);    // without Alt: nothing asked
    EXPECT_EQ(app.desk.PendingExpectations(), 0);
}
