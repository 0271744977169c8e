#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "core/error.h"
#include "intake/capture.h"
#include "intake/dispatch.h"
#include "intake/histqueue.h"
#include "intake/prgress.h"
#include "intake/status.h"
#include "mail/msmsg.h"
#include "mail/mssmtp.h"
#include "support/hostileserver.h"
#include "support/scripteddesktop.h"
#include "support/smtpserver.h"
#include "support/tempdir.h"

namespace {
const char* const kRobot = "getweb@bymail.example.net";

// A request as composition would leave it, sent with the real SMTP client
// through the window's history and the scripted desktop.
struct Dispatch : ::testing::Test {
    Dispatch()
    {
        SetErrorBox([this](const std::string& text, int help, bool withHelp) {
            MessageDlg(text, TMsgDlgType::mtWarning, withHelp ? (mbOK | mbHelp) : mbOK, help);
        });
        ResetStatus();
        smtp.SetMailMessage(&message);
        smtp.SetTimeOut(10);
        // As the main window holds it.
        smtp.SetWinsockLoaded(true);
        dispatcher.UserAddress = [] { return std::string("me@example.org"); };
        dispatcher.DistributionTag = [] { return std::string("TAG-7"); };
        dispatcher.PrepareRequest = [this](const std::string& url) {
            if (url.find(' ') != std::string::npos) return false;
            message.Recipients().Clear();
            message.Recipients().Add(kRobot);
            message.SetSubject("request");
            message.Body() = {"send " + url};
            message.Sender().SetAddress("me@example.org");
            smtp.SetServer(serverAddress);
            return true;
        };
    }
    ~Dispatch() override
    {
        SetErrorBox(nullptr);
        std::filesystem::current_path("/");
    }
    std::string Log() { return root.Read("DebugLog.Txt"); }
    // The log's messages without their time stamps.
    std::vector<std::string> LogMessages()
    {
        std::vector<std::string> out;
        std::string log = Log();
        size_t at = 0;
        while (at < log.size()) {
            size_t end = log.find("\r\n", at);
            std::string line = log.substr(at, end - at);
            auto colon = line.find(": ");
            out.push_back(colon == std::string::npos ? line : line.substr(colon + 2));
            at = end + 2;
        }
        return out;
    }

    TTempRoot root;
    ScriptedDesktop desk;
    TListBox lstHistory{"lstHistory"}, lstQueue{"lstQueue"};
    TCheckBox chkNever{"chkNever"};
    THistoryQueue lists{lstHistory, lstQueue, chkNever};
    TmsMessage message;
    TmsSMTP smtp;
    TDispatcher dispatcher{message, smtp, lists};
    std::string serverAddress;
};
} // namespace

TEST_F(Dispatch, SuccessfulRequestLogsEveryStepAndEntersTheHistory)
{
    TSmtpServer server;
    ASSERT_TRUE(server.Running()) << server.Failure();
    serverAddress = server.Address();
    EXPECT_TRUE(dispatcher.SendRequest("http://host/page.html"));
    auto mails = server.WaitForMails(1);
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].from, "me@example.org");
    EXPECT_EQ(mails[0].to, std::vector<std::string>{kRobot});
    EXPECT_NE(mails[0].data.find("send http://host/page.html"), std::string::npos);

    std::vector<std::string> steps;
    for (const auto& m : LogMessages())
        if (steps.empty() || steps.back() != m) steps.push_back(m);
    EXPECT_EQ(steps, (std::vector<std::string>{"Requesting", "Openning", "Connection Open", "Preparing", "Sending",
                                               "Progress", "Sent", "Closing", "Close"}));
    EXPECT_EQ(LastStatus(), "Close");
    ASSERT_EQ(lstHistory.Items().Count(), 1);
    EXPECT_EQ(THistoryQueue::UrlPart(lstHistory.Items()[0]), "http://host/page.html");
    EXPECT_NE(lstHistory.Items()[0].find(" via getweb@bymail.example.net on "), std::string::npos);
    EXPECT_EQ(dispatcher.Progress(), nullptr);
    EXPECT_FALSE(dispatcher.SendInProgress());
}

TEST_F(Dispatch, RefusedConnectionIsReportedWhileTheProgressWindowIsStillUp)
{
    serverAddress = "127.0.0.1:1";   // nothing listens there
    dispatcher.WillBeQueued = [this](const std::string& url) { return lists.WillBeQueued(url); };
    struct Case {
        bool never;
        const char* queued;  // already in the queue (a queue pass)
        const char* outcome;
    } cases[] = {
        {false, "", "queued."},
        {true, "", "not queued."},
        {true, "HTTP://host/", "queued."},
    };
    for (const auto& c : cases) {
        chkNever.SetChecked(c.never);
        lstQueue.Items().Clear();
        if (*c.queued) lstQueue.Items().Add(c.queued);
        bool progressOpenDuringReport = false;
        desk.OnDialog = [&](const TMessageBox&) { progressOpenDuringReport = dispatcher.Progress() != nullptr; };
        desk.ExpectDialog("Error in Request Failed.0 with The last successful operation was <Openning>\n"
                          "Connection refused by 127.0.0.1:1; the request was " + std::string(c.outcome));
        EXPECT_FALSE(dispatcher.SendRequest("http://host/"));
        EXPECT_EQ(desk.PendingExpectations(), 0);
        EXPECT_TRUE(progressOpenDuringReport);
        EXPECT_EQ(desk.shown.back().helpContext, 9002);
        EXPECT_TRUE(desk.shown.back().buttons & mbHelp);
        EXPECT_EQ(dispatcher.Progress(), nullptr);
        EXPECT_EQ(lstHistory.Items().Count(), 0);
        EXPECT_FALSE(dispatcher.SendInProgress());
    }
}

TEST_F(Dispatch, HangUpAfterTheDataIsAFailureNotASend)
{
    THostileServer server([](THostileConnection& c, int) {
        c.Send("220 hi\r\n");
        c.ReadLine();
        c.Send("250 ok\r\n");
        c.ReadLine();
        c.Send("250 ok\r\n");
        c.ReadLine();
        c.Send("250 ok\r\n");
        c.ReadLine();
        c.Send("354 go\r\n");
        c.ReadData();
        c.Close();   // no reply to the final "."
    });
    serverAddress = server.Address();
    desk.ExpectDialog("Request Failed");
    EXPECT_FALSE(dispatcher.SendRequest("http://host/lost"));
    EXPECT_EQ(lstHistory.Items().Count(), 0) << "recorded as sent although the server never accepted it";
    // The caller's rule then keeps it, as "Request Again" does.
    lists.QueueRequest("http://host/lost");
    EXPECT_EQ(lstQueue.Items().Lines(), std::vector<std::string>{"http://host/lost"});
}

TEST_F(Dispatch, DontSendModeShowsTheMailAndSendsNothing)
{
    serverAddress = "127.0.0.1:1";
    dispatcher.dontSendMode = true;
    desk.ExpectDialog("getweb@bymail.example.net\r\nrequest\r\nsend http://host/x\r\n\r\n");
    EXPECT_TRUE(dispatcher.SendRequest("http://host/x"));
    EXPECT_EQ(lstHistory.Items().Count(), 0);
    EXPECT_EQ(LastStatus(), "Connection Open");
    EXPECT_EQ(desk.shown.back().type, TMsgDlgType::mtCustom);
}

TEST_F(Dispatch, RefusedCompositionIsNoSuccess)
{
    TSmtpServer server;
    ASSERT_TRUE(server.Running()) << server.Failure();
    serverAddress = server.Address();
    lists.SendRequest = [this](const std::string& url) { return dispatcher.SendRequest(url); };
    lists.RequestRefused = [this] { return dispatcher.Refused(); };
    lstQueue.Items().Add("http://host/waiting");

    EXPECT_FALSE(dispatcher.SendRequest("http://host/a b"));
    EXPECT_TRUE(dispatcher.Refused());
    EXPECT_TRUE(desk.formsCreated.empty());
    EXPECT_EQ(lstHistory.Items().Count(), 0);

    // Captured, it is neither queued nor followed by a pass over the queue.
    TForm window;
    TRadioGroup optEnabled{"optEnabled", "", {"Y&es", "&No"}}, optConfirm{"optConfirm", "", {"a", "z", "j"}};
    optEnabled.SetItemIndex(0);
    optConfirm.SetItemIndex(2);
    TCheckBox chkCheckHistory, chkNotEnabled, chkCaptureHttps;
    TEdit txtURL;
    TCapture capture{{window, optEnabled, optConfirm, chkCheckHistory, chkNotEnabled, chkNever, txtURL, chkCaptureHttps},
                     lists, dispatcher};
    TCaptureOutcome outcome = capture.CaptureUrl("http://host/a b");
    EXPECT_EQ(outcome.result, TCaptureResult::Refused);
    EXPECT_EQ(outcome.reason, "it holds a blank or a line break");
    EXPECT_EQ(lstQueue.Items().Lines(), std::vector<std::string>{"http://host/waiting"});
    EXPECT_TRUE(server.Mails().empty());

    // A queue pass keeps such an item and goes on past it.
    lstQueue.Items().Insert(0, "http://host/a b");
    lists.SendQueue();
    EXPECT_EQ(lstQueue.Items().Lines(), std::vector<std::string>{"http://host/a b"});
    auto mails = server.WaitForMails(1);
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_NE(mails[0].data.find("send http://host/waiting"), std::string::npos);
}

TEST_F(Dispatch, TestMessageGoesOnceWithTheTagAndFailsSilently)
{
    // Started from another folder (an autostart entry starts in the home
    // folder): the flag still belongs in the program folder.
    TTempDir startFolder, laterStartFolder;
    std::filesystem::current_path(startFolder.Path());
    root.Write("Test Message.Txt", "Hello from \xFE, copy \xFE.");
    serverAddress = "127.0.0.1:1";
    smtp.SetServer(serverAddress);
    dispatcher.SendTestMessageOnce();   // server down: silent, tried again later
    EXPECT_FALSE(std::filesystem::exists(root.File("Test Message.Flg")));
    EXPECT_TRUE(desk.shown.empty());

    TSmtpServer server;
    ASSERT_TRUE(server.Running()) << server.Failure();
    smtp.SetServer(server.Address());
    dispatcher.SendTestMessageOnce();
    std::filesystem::current_path(laterStartFolder.Path());
    dispatcher.SendTestMessageOnce();
    auto mails = server.WaitForMails(1);
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].to, std::vector<std::string>{"me@example.org"});
    EXPECT_NE(mails[0].data.find("Test Message from your copy of Tolvar"), std::string::npos);
    EXPECT_NE(mails[0].data.find("Hello from TAG-7, copy TAG-7."), std::string::npos);
    EXPECT_EQ(root.Read("Test Message.Flg"), " ");
    EXPECT_TRUE(std::filesystem::is_empty(startFolder.Path()));
    EXPECT_EQ(lstHistory.Items().Count(), 0) << "the test message is no request";
    EXPECT_EQ(Log().find("Openning"), std::string::npos) << "its events set no status";
    // A later check finds the flag and sends nothing more.
    EXPECT_EQ(server.Mails().size(), 1u);
}

TEST_F(Dispatch, ASecondRequestDuringASendIsRefusedNotInterleaved)
{
    TSmtpServer server;
    ASSERT_TRUE(server.Running()) << server.Failure();
    serverAddress = server.Address();
    int secondResult = -1;
    int beeps = 0;
    // Runs inside the first send's event handlers, as a clipboard change would.
    desk.Post([&] {
        secondResult = dispatcher.SendRequest("http://host/second");
        beeps = desk.beeps;
    });
    EXPECT_TRUE(dispatcher.SendRequest("http://host/first"));
    EXPECT_EQ(secondResult, 0);
    EXPECT_EQ(beeps, 1);
    auto mails = server.WaitForMails(1);
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_NE(mails[0].data.find("send http://host/first"), std::string::npos);
    EXPECT_EQ(lstHistory.Items().Count(), 1);
    // Once the first has ended the next goes through.
    EXPECT_TRUE(dispatcher.SendRequest("http://host/second"));
    EXPECT_EQ(server.WaitForMails(2).size(), 2u);
}

TEST_F(Dispatch, QueuePassWithTheServerDownReportsOnceAndKeepsEveryItem)
{
    serverAddress = "127.0.0.1:1";
    lists.SendRequest = [this](const std::string& url) { return dispatcher.SendRequest(url); };
    for (const char* url : {"http://a/", "http://b/", "http://c/"}) lstQueue.Items().Add(url);
    desk.ExpectDialog("Request Failed");
    lists.SendQueue();
    EXPECT_EQ(desk.shown.size(), 1u);
    EXPECT_EQ(lstQueue.Items().Lines(), (std::vector<std::string>{"http://a/", "http://b/", "http://c/"}));
    EXPECT_FALSE(lists.QueueSending());
}
