#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "app/props.h"
#include "app/settings.h"
#include "core/error.h"
#include "core/profile.h"
#include "requests/catalogue.h"
#include "requests/prefs.h"
#include "support/appfixture.h"
#include "ui/application.h"

namespace {
struct Settings : ::testing::Test {
    Settings()
    {
        Prefs() = TPrefs();
        SetErrorBox([](const std::string& text, int help, bool withHelp) {
            MessageDlg(text, TMsgDlgType::mtWarning, withHelp ? (mbOK | mbHelp) : mbOK, help);
        });
    }
    ~Settings() override
    {
        SetErrorBox(nullptr);
        SetExceptionHandler(nullptr);
        Checkpoint = 0;
        Prefs() = TPrefs();
    }
    // Creates the main window the way the program entry does.
    std::unique_ptr<TfrmProps> Start(std::vector<std::string> args = {})
    {
        auto props = std::make_unique<TfrmProps>(std::move(args));
        RunGuarded(*props, [&] { props->FormCreate(); });
        return props;
    }
    std::string Ini() const { return app.config.Read("tolvar/TOLVAR.INI"); }
    std::string Log() const { return app.root.Read("DebugLog.Txt"); }
    std::string Suggested(const char* key) const
    {
        return TIniFile(app.root.File("Suggest.Ini")).ReadString("Servers", key, "");
    }

    TAppFixture app;
};
} // namespace

TEST_F(Settings, FreshSystemStartsWithTheDefaultsAndAsksForTheAddress)
{
    app.desk.ExpectDialog("The required field, A&ddress is empty");
    auto props = Start();
    ASSERT_EQ(app.desk.shown.size(), 1u) << "the SMTP field is checked only after the address passed";
    const TMessageBox& box = app.desk.shown[0];
    EXPECT_EQ(box.text, "The required field, A&ddress is empty");
    EXPECT_EQ(box.type, TMsgDlgType::mtError);
    EXPECT_EQ(box.buttons, unsigned(mbOK | mbHelp));
    EXPECT_EQ(box.helpContext, 2000);
    EXPECT_TRUE(box.topmost);
    EXPECT_TRUE(props->Visible());
    EXPECT_EQ(props->PageControl1.ActivePageIndex(), TfrmProps::pgMyDetails);
    EXPECT_FALSE(props->DetailsComplete());

    EXPECT_EQ(props->optConfirm.ItemIndex(), 2);
    EXPECT_EQ(props->optEnabled.ItemIndex(), 0);
    for (auto [check, checked] : {std::pair{&props->chkCheckHistory, true}, {&props->chkOnFailure, true},
                                  {&props->chkNotEnabled, false}, {&props->chkNever, false},
                                  {&props->chkShowTips, true}, {&props->chkNoSplit, true},
                                  {&props->chkCaptureHttps, true}})
        EXPECT_EQ(check->Checked(), checked) << check->Name();
    EXPECT_EQ(props->optBinaryFormat.ItemIndex(), 1);
    EXPECT_EQ(props->medChunksize.Text(), "60");
    EXPECT_FALSE(props->medChunksize.Enabled());
    EXPECT_FALSE(props->lblChunkSize.Enabled());
    EXPECT_TRUE(props->btnOk.Enabled());
    const TPrefs& prefs = Prefs();
    EXPECT_EQ(prefs.chunkSize, 60);
    EXPECT_FALSE(prefs.splitFiles);
    EXPECT_TRUE(prefs.tipsEnabled);

    // The shipped suggestions are selected without a question, and the
    // binary template is the MIME one of the suggested server.
    EXPECT_GT(props->cboHTTPServersPages.Items().Count(), 0);
    EXPECT_EQ(props->cboFTPservers.Text(), Suggested("FTP"));
    EXPECT_EQ(props->cboHTTPServersBinary.Text(), Suggested("HTTPBinary"));
    EXPECT_EQ(props->cboHTTPServersPages.Text(), Suggested("HTTPPages"));
    EXPECT_EQ(prefs.binaryTemplate, ReadServerKey(Suggested("HTTPBinary"), "fileBinaryHttpM"));
    // Only the start's own keys are written: the servers wait for Ok. The
    // tip shown is the second, and the start's unseen tip window moves on.
    EXPECT_EQ(Ini(), "[General]\r\nLocalRoot=" + app.root.Path() + "\r\nTipNumber=2\r\nTipEnabled=1\r\n");
    EXPECT_EQ(Checkpoint, 4401);
}

TEST_F(Settings, OkWritesEveryKeyAndTheNextStartReadsThemBack)
{
    app.desk.ExpectDialog("A&ddress is empty");
    auto props = Start();
    props->txtEmail.SetText("me@example.org");
    props->txtSMTP.SetText("smtp.example.org:587");
    props->txtSMTPUser.SetText("me");
    props->txtSMTPPasswordCommand.SetText("pass show smtp");
    props->optConfirm.SetItemIndex(0);
    props->optEnabled.SetItemIndex(1);
    props->chkNever.SetChecked(true);
    props->optBinaryFormat.SetItemIndex(0);
    props->medChunksize.SetText("45");
    props->chkNoSplit.SetChecked(false);
    props->chkCaptureHttps.SetChecked(false);
    props->btnOk.Click();
    EXPECT_FALSE(props->Visible());
    EXPECT_TRUE(props->DetailsComplete());
    EXPECT_EQ(Checkpoint, 2345);
    EXPECT_TRUE(Prefs().enabledOff);
    EXPECT_FALSE(props->chkOnFailure.Enabled());
    // The format chosen on the page is the one requests use and Ok saves.
    EXPECT_EQ(Prefs().binaryTemplate, ReadServerKey(props->cboHTTPServersBinary.Text(), "fileBinaryHttpU"));
    EXPECT_EQ(Ini(), "[General]\r\n"
                     "LocalRoot=" + app.root.Path() + "\r\n"
                     "TipNumber=2\r\n"
                     "TipEnabled=1\r\n"
                     "Email=me@example.org\r\n"
                     "Confirm=0\r\n"
                     "Enabled=1\r\n"
                     "prefBinaryFormat=0\r\n"
                     "CheckHistory=1\r\n"
                     "chkOnFailure=1\r\n"
                     "chkNotEnabled=0\r\n"
                     "chkNever=1\r\n"
                     "CaptureHttps=0\r\n"
                     "ChunkSize=45\r\n"
                     "Chunks=1\r\n"
                     "[Servers]\r\n"
                     "SMTP=smtp.example.org:587\r\n"
                     "SMTPSecurity=STARTTLS\r\n"
                     "SMTPUser=me\r\n"
                     "SMTPPasswordCommand=pass show smtp\r\n"
                     "SMTPRememberPassword=0\r\n"
                     "SMTPPlainLogin=0\r\n"
                     "FTP=" + props->cboFTPservers.Text() + "\r\n"
                     "HTTPBinary=" + props->cboHTTPServersBinary.Text() + "\r\n"
                     "HTTPPages=" + props->cboHTTPServersPages.Text() + "\r\n");
    props.reset();

    Prefs() = TPrefs();
    auto again = Start();
    EXPECT_TRUE(again->DetailsComplete());
    EXPECT_EQ(again->optConfirm.ItemIndex(), 0);
    EXPECT_EQ(again->optEnabled.ItemIndex(), 1);
    EXPECT_FALSE(again->chkOnFailure.Enabled());
    EXPECT_EQ(again->optBinaryFormat.ItemIndex(), 0);
    EXPECT_FALSE(again->chkNoSplit.Checked());
    EXPECT_EQ(again->medChunksize.Text(), "45");
    EXPECT_EQ(again->cboSMTPSecurity.ItemIndex(), TfrmProps::secStartTLS);
    EXPECT_EQ(again->txtSMTPUser.Text(), "me");
    EXPECT_EQ(again->txtSMTPPasswordCommand.Text(), "pass show smtp");
    EXPECT_FALSE(again->chkRememberPassword.Enabled());
    EXPECT_FALSE(again->chkCaptureHttps.Checked());
}

TEST_F(Settings, SecurityFollowsThePortUntilChosen)
{
    struct Case {
        const char* stored;  // SMTPSecurity in the file, or nullptr
        int picked;          // the user's pick before typing, or -1
        const char* server;
        int security;
    } cases[] = {
        {nullptr, -1, "smtp.example.org:587", TfrmProps::secStartTLS},
        {nullptr, -1, "smtp.example.org:465", TfrmProps::secTLS},
        {nullptr, -1, "smtp.example.org:25", TfrmProps::secNone},
        {nullptr, TfrmProps::secNone, "smtp.example.org:587", TfrmProps::secNone},
        {"TLS", -1, "smtp.example.org:587", TfrmProps::secTLS},
        {"starttls", -1, "smtp.example.org", TfrmProps::secStartTLS},
        {"bogus", -1, "smtp.example.org:465", TfrmProps::secNone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.stored ? c.stored : "-") + " " + c.server);
        std::string servers = "[Servers]\nSMTP=old.example.org\n";
        if (c.stored) servers += "SMTPSecurity=" + std::string(c.stored) + "\n";
        app.config.Write("tolvar/TOLVAR.INI", "[General]\nEmail=me@example.org\n" + servers);
        auto props = Start();
        if (c.picked >= 0) props->cboSMTPSecurity.UserSelect(c.picked);
        props->txtSMTP.SetText(c.server);
        EXPECT_EQ(props->cboSMTPSecurity.ItemIndex(), c.security);
    }
}

TEST_F(Settings, SavingKeepsTheUsersOwnLines)
{
    app.config.Write("tolvar/TOLVAR.INI", "; my settings\n[General]\nEmail = old@example.org\nTheme=dark\n\n"
                                          "[Servers]\nSMTP=old.example.org\n; the end\n");
    auto props = Start();
    props->txtEmail.SetText("new@example.org");
    props->btnOk.Click();
    std::string ini = Ini();
    EXPECT_EQ(ini.rfind("; my settings\n[General]\nEmail=new@example.org\nTheme=dark\n", 0), 0u) << ini;
    EXPECT_NE(ini.find("\n\n[Servers]\nSMTP=old.example.org\n; the end\nSMTPSecurity=None"), std::string::npos) << ini;
}

TEST_F(Settings, ChunkSizeMustBeANumberWhileFilesAreSplit)
{
    struct Case {
        const char* field;
        bool noSplit;
        bool illegal;
        int chunkSize;
    } cases[] = {{"abc", false, true, 0},   {"abc", true, false, 0}, {" 45 ", false, false, 45},
                 {"0", false, true, 0},     {"", false, true, 0},    {"12abc", false, true, 0},
                 {"-4", false, true, -4},   {"0x10", false, true, 0}};
    app.WriteDetails();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        auto props = Start();
        props->medChunksize.SetText(c.field);   // "Don't split" is still checked: no check
        if (c.illegal) app.desk.ExpectDialog("The Chunksize is not legal");
        props->chkNoSplit.SetChecked(c.noSplit);
        EXPECT_EQ(app.desk.PendingExpectations(), 0);
        EXPECT_EQ(Prefs().chunkSize, c.chunkSize);
        EXPECT_EQ(props->btnOk.Enabled(), !c.illegal);
        if (!c.illegal) continue;
        const TMessageBox& box = app.desk.shown.back();
        EXPECT_EQ(box.type, TMsgDlgType::mtError);
        EXPECT_EQ(box.buttons, unsigned(mbRetry));
        EXPECT_TRUE(props->Visible());
        EXPECT_EQ(props->PageControl1.ActivePageIndex(), TfrmProps::pgPreferences);
        props->chkNoSplit.SetChecked(true);
        EXPECT_TRUE(props->btnOk.Enabled());
    }
}

TEST_F(Settings, RequiredFieldsAreCheckedInTurn)
{
    struct Case {
        const char* email;
        const char* smtp;
        const char* message;   // nullptr: both filled
        int help;
    } cases[] = {{"   ", "", "The required field, A&ddress is empty", 2000},
                 {"me@example.org", " \t", "The required field, &SMTP server address is empty", 2001},
                 {" me@example.org ", "smtp", nullptr, 0}};
    app.WriteDetails();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.email);
        auto props = Start();
        std::string focused;
        props->txtEmail.ViewFocus = [&] { focused = "txtEmail"; };
        props->txtSMTP.ViewFocus = [&] { focused = "txtSMTP"; };
        std::string before = Ini();
        props->txtEmail.SetText(c.email);
        props->txtSMTP.SetText(c.smtp);
        size_t shown = app.desk.shown.size();
        if (c.message) app.desk.ExpectDialog(c.message);
        props->btnOk.Click();
        EXPECT_EQ(props->DetailsComplete(), c.message == nullptr);
        if (!c.message) continue;
        ASSERT_EQ(app.desk.shown.size(), shown + 1);
        EXPECT_EQ(app.desk.shown.back().helpContext, c.help);
        EXPECT_EQ(focused, c.help == 2000 ? "txtEmail" : "txtSMTP");
        EXPECT_TRUE(props->Visible());
        EXPECT_EQ(props->PageControl1.ActivePageIndex(), TfrmProps::pgMyDetails);
        EXPECT_EQ(Ini(), before) << "nothing is saved";
    }
}

TEST_F(Settings, CancelBringsBackTheStoredSettingsButNotTheServers)
{
    app.WriteDetails("me@example.org", "smtp.example.org");
    auto props = Start();
    props->Show();
    props->txtEmail.SetText("typo@example.org");
    props->chkCheckHistory.SetChecked(false);
    int other = props->cboHTTPServersPages.ItemIndex() == 0 ? 1 : 0;
    props->cboHTTPServersPages.UserSelect(other);
    std::string chosen = props->cboHTTPServersPages.Text();
    EXPECT_EQ(Prefs().pageTemplate, ReadServerKey(chosen, "filePagesHttp"));
    props->btnCancel.Click();
    EXPECT_EQ(Checkpoint, 4411);
    EXPECT_FALSE(props->Visible());
    EXPECT_EQ(props->txtEmail.Text(), "me@example.org");
    EXPECT_TRUE(props->chkCheckHistory.Checked());
    EXPECT_EQ(props->cboHTTPServersPages.Text(), chosen);
    EXPECT_EQ(Ini().find("HTTPPages"), std::string::npos);
}

TEST_F(Settings, CancelRestoresThePreferencesPageAndNothingCancelledIsStoredLater)
{
    app.config.Write("tolvar/TOLVAR.INI", "[General]\r\nEmail=me@example.org\r\nprefBinaryFormat=0\r\nChunks=1\r\n"
                                          "ChunkSize=45\r\n[Servers]\r\nSMTP=127.0.0.1\r\n");
    auto props = Start();
    props->Show();
    props->medChunksize.SetText("77");
    props->optBinaryFormat.SetItemIndex(1);
    props->chkNoSplit.SetChecked(true);
    props->btnCancel.Click();
    EXPECT_EQ(props->medChunksize.Text(), "45");
    EXPECT_EQ(props->optBinaryFormat.ItemIndex(), 0);
    EXPECT_FALSE(props->chkNoSplit.Checked());
    EXPECT_TRUE(props->medChunksize.Enabled());
    EXPECT_EQ(Prefs().binaryTemplate, ReadServerKey(props->cboHTTPServersBinary.Text(), "fileBinaryHttpU"));
    // A later apply (a queue change) and an unrelated Ok keep the stored values.
    ApplyPreferences(*props);
    props->btnOk.Click();
    EXPECT_EQ(Prefs().chunkSize, 45);
    EXPECT_NE(Ini().find("Chunks=1\r\nChunkSize=45\r\n"), std::string::npos) << Ini();
    EXPECT_NE(Ini().find("prefBinaryFormat=0\r\n"), std::string::npos) << Ini();
}

TEST_F(Settings, StoredValuesReachTheWindow)
{
    struct Case {
        const char* stored;
        int enabled, confirm, format;
        const char* field;
        bool illegal;
    } cases[] = {
        {"Enabled=5\r\nConfirm=7\r\n", 0, 2, 1, "60", false},
        {"Enabled=0x1\r\nConfirm=-1\r\nprefBinaryFormat=9\r\nChunkSize=abc\r\n", 1, 2, 1, "60", false},
        {"Enabled=-3\r\nConfirm=0x1\r\n", 0, 1, 1, "60", false},
        // A stored "Never" must not apply the page before it is filled.
        {"chkNever=1\r\nprefBinaryFormat=0\r\nChunks=1\r\nChunkSize=30\r\n", 0, 2, 0, "30", false},
        {"Chunks=1\r\nChunkSize=0\r\nprefBinaryFormat=2\r\n", 0, 2, 2, "0", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        app.config.Write("tolvar/TOLVAR.INI",
                         std::string("[General]\r\nEmail=a\r\n") + c.stored + "[Servers]\r\nSMTP=b\r\n");
        if (c.illegal) app.desk.ExpectDialog("The Chunksize is not legal");
        size_t shown = app.desk.shown.size();
        auto props = Start();
        EXPECT_EQ(app.desk.shown.size(), shown + (c.illegal ? 1 : 0)) << "the check runs once at start";
        EXPECT_EQ(props->optEnabled.ItemIndex(), c.enabled);
        EXPECT_EQ(Prefs().enabledOff, c.enabled == 1);
        EXPECT_EQ(props->optConfirm.ItemIndex(), c.confirm);
        EXPECT_EQ(props->optBinaryFormat.ItemIndex(), c.format);
        EXPECT_EQ(Prefs().binaryFormat, c.format);
        EXPECT_EQ(props->medChunksize.Text(), c.field);
        EXPECT_EQ(props->btnOk.Enabled(), !c.illegal);
    }
}

TEST_F(Settings, MissingCatalogueIsReportedAndTheProgramGoesOn)
{
    app.WriteDetails();
    std::remove(app.root.File("uservers.dat").c_str());
    app.desk.ExpectDialog("Error in TfrmProps.0 with UH File not found");
    auto props = Start({"/p"});
    EXPECT_NE(Log().find("Error in TfrmProps.0 with UH File not found\r\n"), std::string::npos);
    EXPECT_EQ(props->txtEmail.Text(), "") << "the settings were not loaded";
    EXPECT_EQ(Checkpoint, 0);
    EXPECT_FALSE(app.desk.terminated);
    app.desk.AdvanceMs(6000);
    EXPECT_TRUE(props->Visible()) << "the timer runs all the same";
}

TEST_F(Settings, EditsAreLoggedAndTipsChoiceIsWrittenAtOnce)
{
    app.WriteDetails();
    auto props = Start();
    props->txtEmail.SetText("m");
    props->txtEmail.SetText("me");
    props->txtSMTP.SetText("s");
    std::string log = Log();
    for (const char* line : {": Email: m\r\n", ": Email: me\r\n", ": SMTP: s\r\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;

    Prefs().tipNumber = 4;
    props->chkShowTips.SetChecked(false);
    EXPECT_FALSE(Prefs().tipsEnabled);
    TIniFile ini(app.IniPath());
    EXPECT_EQ(ini.ReadString("General", "TipEnabled", ""), "0");
    EXPECT_EQ(ini.ReadString("General", "TipNumber", ""), "4");
}
