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
    // Each click says what it did.
    EXPECT_EQ(app.desk.trayMessages,
              (std::vector<std::string>{"Tolvar is off \xE2\x80\x94 copied URLs are ignored", "Tolvar is on"}));
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

TEST_F(Tray, WithoutATrayTheWindowStaysReachable)
{
    app.desk.trayAvailable = false;
    TfrmProps props({});
    props.FormCreate();
    EXPECT_TRUE(props.Visible()) << "shown at start instead of hidden";
    props.btnOkClick();
    EXPECT_TRUE(props.Visible() && props.Minimized()) << "Ok minimises to the task bar";
    app.desk.AdvanceMs(6000);
    EXPECT_FALSE(app.desk.trayActive);
    // A tray appears: the icon is added at the next tick, and from then on
    // the window hides behind it.
    app.desk.trayAvailable = true;
    app.desk.AdvanceMs(6000);
    EXPECT_TRUE(app.desk.trayActive);
    props.btnCancelClick();
    EXPECT_FALSE(props.Visible());
    // The tray goes away: the hidden window comes back to the task bar.
    app.desk.trayAvailable = false;
    app.desk.AdvanceMs(6000);
    EXPECT_FALSE(app.desk.trayActive);
    EXPECT_TRUE(props.Visible() && props.Minimized());
    std::string log = app.root.Read("DebugLog.Txt");
    int said = 0;
    for (size_t at = log.find("No system tray"); at != std::string::npos; at = log.find("No system tray", at + 1)) ++said;
    EXPECT_EQ(said, 2) << "once at start and once when the tray went, never at every tick\n" << log;
    EXPECT_NE(log.find("System tray found: icon added"), std::string::npos);
}

TEST_F(Tray, ASecondStartBringsTheWindowForward)
{
    TfrmProps props({});
    props.FormCreate();
    struct Case {
        const char* state;
        std::function<void()> put;
    } cases[] = {
        {"hidden", [&] { props.Hide(); }},
        {"minimised", [&] { props.Minimize(); }},
        {"shown", [&] { props.Show(); }},
    };
    for (const auto& c : cases) {
        c.put();
        props.ComeForward();
        EXPECT_TRUE(props.Visible()) << c.state;
        EXPECT_FALSE(props.Minimized()) << c.state;
    }
}
