#include <gtest/gtest.h>

#include "app/props.h"
#include "core/deblog.h"
#include "core/error.h"
#include "core/fileutil.h"
#include "support/appfixture.h"
#include "support/smtpserver.h"
#include "ui/application.h"

namespace {
struct Life : ::testing::Test {
    Life()
    {
        app.WriteDetails();
        SetErrorBox([this](const std::string& text, int help, bool withHelp) {
            MessageDlg(text, TMsgDlgType::mtWarning, withHelp ? (mbOK | mbHelp) : mbOK, help);
        });
    }
    ~Life() override
    {
        SetErrorBox(nullptr);
        SetExceptionHandler(nullptr);
        Checkpoint = 0;
    }
    std::string Log() { return app.root.Read("DebugLog.Txt"); }
    TAppFixture app;
};
} // namespace

TEST_F(Life, CommandLineSwitchesAreFoundInTheJoinedParameters)
{
    struct Case {
        std::vector<std::string> args;
        const char* logged;
        bool silent, showAtFirstTick;
    } cases[] = {
        {{"x/pay"}, "Cmd:x/pay", false, true},
        {{"/", "s"}, "Cmd:/s", true, false},
        {{"a", "b c"}, "Cmd:ab c", false, false},
        {{}, "Cmd:", false, false},
    };
    for (const auto& c : cases) {
        TfrmProps props(c.args);
        props.FormCreate();
        EXPECT_EQ(props.SilentStart(), c.silent) << c.logged;
        EXPECT_EQ(props.ShowAtFirstTick(), c.showAtFirstTick) << c.logged;
        EXPECT_NE(Log().find(std::string(c.logged) + "\r\n"), std::string::npos) << c.logged;
    }
    EXPECT_NE(Log().find(TfrmProps::VersionText() + "\r\n"), std::string::npos);
}

TEST_F(Life, ShowAtFirstTickOpensTheWindowOnce)
{
    TfrmProps props({"/p"});
    props.FormCreate();
    EXPECT_FALSE(props.Visible());
    app.desk.AdvanceMs(6000);
    EXPECT_TRUE(props.Visible());
    props.Hide();
    app.desk.AdvanceMs(6000);
    EXPECT_FALSE(props.Visible());
}

TEST_F(Life, InstallerFlagIsDeletedAndEndsTheProgram)
{
    TfrmProps props({});
    props.FormCreate();
    app.desk.AdvanceMs(6000);
    EXPECT_FALSE(app.desk.terminated);
    app.root.Write("Installer.Flg", "");
    app.desk.AdvanceMs(6000);
    EXPECT_TRUE(app.desk.terminated);
    EXPECT_FALSE(FileExists(app.root.File("Installer.Flg")));
}

TEST_F(Life, DailyTrimRunsOnceAfter14400TicksAndWaitsForASend)
{
    TSmtpServer server;
    ASSERT_TRUE(server.Running()) << server.Failure();
    app.WriteDetails("me@example.org", server.Address());
    TfrmProps props({});
    props.FormCreate();
    std::string filler(30000, 'x');
    app.root.Write("DebugLog.Txt", filler);
    // A day of ticks arrives while a request is on its way.
    bool sawSend = false;
    app.desk.Post([&] {
        sawSend = props.SendInProgress();
        for (int i = 0; i < 14401; ++i) props.Timer1Timer();
    });
    EXPECT_TRUE(props.dispatcher.SendRequest("http://host/page.html"));
    ASSERT_TRUE(sawSend);
    // While the send ran the count went on rising but nothing was trimmed.
    EXPECT_EQ(props.TickCount(), 14401);
    EXPECT_GT(Log().size(), 30000u);
    props.Timer1Timer();
    EXPECT_EQ(props.TickCount(), 0);
    std::string log = Log();
    EXPECT_EQ(log.find("Log trimmed"), 20001u + std::string("03/14/26 09:26:53: ").size());
    for (int i = 0; i < 14400; ++i) props.Timer1Timer();
    EXPECT_EQ(Log(), log) << "trimmed again before another day had passed";
}

TEST_F(Life, SingleCopyRules)
{
    struct Case {
        bool previous, flag, continues;
    } cases[] = {{false, false, true}, {true, false, false}, {true, true, true}, {false, true, true}};
    for (const auto& c : cases) {
        if (c.flag) app.root.Write("AllowDuplicateInstance.Flg", "\r");
        int activationsBefore = app.desk.activations;
        TfrmProps props({});
        EXPECT_EQ(props.JustOne32(c.previous), c.continues);
        EXPECT_FALSE(FileExists(app.root.File("AllowDuplicateInstance.Flg")));
        EXPECT_EQ(app.desk.activations - activationsBefore, c.continues ? 0 : 1);
    }
}

TEST_F(Life, ClosingOrMinimisingOnlyHidesTheWindow)
{
    TfrmProps props({});
    props.FormCreate();
    props.Show();
    props.Close();
    EXPECT_FALSE(props.Visible());
    EXPECT_EQ(Checkpoint, 91010);
    EXPECT_TRUE(props.FormCloseQuery()) << "a hidden window may close (system shutdown)";
    props.Show();
    props.OnMinimize();
    EXPECT_FALSE(props.Visible());
    EXPECT_FALSE(app.desk.terminated);
}

TEST_F(Life, UnhandledExceptionIsReportedWithTheSenderAndTheProgramGoesOn)
{
    TfrmProps props({});
    props.FormCreate();
    Checkpoint = 7;
    props.btnGo.OnClick = [] { throw std::runtime_error("boom"); };
    app.desk.ExpectDialog("Error in TButton.7 with UH boom");
    RunGuarded(props.btnGo, [&] { props.btnGo.Click(); });
    EXPECT_NE(Log().find("Error in TButton.7 with UH boom\r\n"), std::string::npos);
    EXPECT_FALSE(app.desk.terminated);
}

TEST_F(Life, RestartLeavesTheFlagStartsTheNewCopyAndEnds)
{
    TfrmProps props({"/s", "x"});
    props.FormCreate();
    props.RestartProgram();
    EXPECT_EQ(app.root.Read("AllowDuplicateInstance.Flg"), "\r");
    ASSERT_EQ(app.desk.processesStarted.size(), 1u);
    EXPECT_EQ(app.desk.processesStarted[0], (std::vector<std::string>{app.root.File("tolvar"), "/s", "x"}));
    EXPECT_TRUE(app.desk.terminated);
    EXPECT_EQ(Checkpoint, 90060);
}

TEST_F(Life, UnloadEndsTheProgram)
{
    TfrmProps props({});
    props.FormCreate();
    props.btnUnload.Click();
    EXPECT_EQ(Checkpoint, 99999);
    EXPECT_TRUE(app.desk.terminated);
}
