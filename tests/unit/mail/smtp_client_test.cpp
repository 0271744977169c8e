#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <thread>

#include "mail/msmsg.h"
#include "mail/pollpump.h"
#include "mail/mssmtp.h"
#include "mail/sockerrors.h"
#include "sock_test_util.h"
#include "support/hostileserver.h"
#include "support/mailstamp.h"

namespace {

// A request mail as the program builds one.
void FillRequest(TmsMessage& m)
{
    m.Sender().SetAddress("user@example.org");
    m.Recipients().Add("robot@bymail.test");
    m.SetSubject("GET");
    m.Body() = {"GET http://example.com/page.html", "."};
}

class SmtpDialogue : public SocketTest {
protected:
    void SetUp() override
    {
        SocketTest::SetUp();
        FillRequest(message);
        smtp.SetMailMessage(&message);
        smtp.SetTimeOut(10);
        log.Watch(smtp);
        smtp.OnPrepare = [this](TagSocket&) { log.events.push_back("Prepare"); };
        smtp.OnSending = [this](TagSocket&) { log.events.push_back("Sending"); };
        smtp.OnMailSent = [this](TagSocket&) { log.events.push_back("MailSent"); };
    }
    // The encoded message as the server must receive it before the ".".
    std::string ExpectedData()
    {
        TmsMessage copy;
        FillRequest(copy);
        std::ostringstream out;
        copy.SaveToStream(out);
        return WithoutStamp(out.str()) + "\r\n";
    }
    // The commands the client sent, in order.
    static std::vector<std::string> Commands(const THostileServer& server, size_t connection = 0)
    {
        auto lines = server.Lines();
        return connection < lines.size() ? lines[connection] : std::vector<std::string>{};
    }
    std::vector<std::string> Errors() const
    {
        std::vector<std::string> errors;
        for (const auto& e : log.events)
            if (e.rfind("Error ", 0) == 0) errors.push_back(e.substr(6));
        return errors;
    }

    TmsMessage message;
    TmsSMTP smtp;
    TEventLog log;
};

TEST_F(SmtpDialogue, UnusualButValidServersTakeTheMail)
{
    const std::string host = HostName();
    const std::string longLine = "250-" + std::string(6000, 'x') + "\r\n";
    struct Case {
        const char* what;
        std::map<std::string, std::string> replies;
        std::vector<std::string> helos;
    };
    const Case cases[] = {
        {"multi-line greeting", {{"GREETING", "220-first\r\n220-second line\r\n220 third\r\n"}}, {"EHLO " + host}},
        // A waiting server after "250 " would end in a time-out.
        {"blank after the code ends a reply", {{"EHLO", "250 \r\n"}}, {"EHLO " + host}},
        {"EHLO unknown, HELO taken", {{"EHLO", "502 5.5.2 unknown\r\n"}}, {"EHLO " + host, "HELO " + host}},
        {"EHLO unknown, host name refused, plain HELO taken",
         {{"EHLO", "500 what\r\n"}, {"HELO " + host, "501 5.5.4 bad name\r\n"}},
         {"EHLO " + host, "HELO " + host, "HELO"}},
        {"reply line of kilobytes", {{"EHLO", longLine + longLine + "250 done\r\n"}}, {"EHLO " + host}},
        {"no 221 after QUIT", {{"QUIT", kClose}}, {"EHLO " + host}},
        {"several CRs and bare LF", {{"MAIL", "250 ok\r\r\r\n"}, {"RCPT", "250 ok\n"}}, {"EHLO " + host}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        log.events.clear();
        THostileServer server([&](THostileConnection& conn, int) { PlaySmtp(conn, c.replies); });
        smtp.SetServer(server.Address());
        EXPECT_NO_THROW(smtp.Send());
        EXPECT_TRUE(log.Has("MailSent"));
        EXPECT_EQ(Errors(), std::vector<std::string>{});
        EXPECT_FALSE(smtp.Connected());
        ASSERT_TRUE(server.WaitForFinished(1));
        std::vector<std::string> expected = c.helos;
        for (const char* line : {"MAIL FROM:<user@example.org>", "RCPT TO:<robot@bymail.test>", "DATA", "QUIT"})
            expected.push_back(line);
        EXPECT_EQ(Commands(server), expected);
        EXPECT_EQ(WithoutStamp(server.Data()[0]), ExpectedData());
    }
}

TEST_F(SmtpDialogue, RefusalsAndHangUpsFailTheSendWithTheirOwnText)
{
    const std::string cut = "The server closed the connection before replying";
    struct Case {
        const char* what;
        std::map<std::string, std::string> replies;
        std::string text;
        // Whether the server (while still listening) got a QUIT: a failed
        // login or a hang-up ends without one.
        bool quitSent;
    };
    const Case cases[] = {
        {"bare code", {{"MAIL", "250\r\n"}}, "250", true},
        {"refused recipient", {{"RCPT", "550 5.1.1 <robot@bymail.test>: Recipient address rejected\r\n"}},
         "550 5.1.1 <robot@bymail.test>: Recipient address rejected", true},
        {"both HELOs refused", {{"EHLO", "502 no\r\n"}, {"HELO", "501 go away\r\n"}}, "501 go away", false},
        // Only a 5xx means "say HELO instead"; a 4xx is a refusal.
        {"EHLO deferred", {{"EHLO", "421 4.3.2 busy\r\n"}}, "421 4.3.2 busy", false},
        {"DATA deferred", {{"DATA", "451 4.3.0 try later\r\n"}}, "451 4.3.0 try later", true},
        {"closed instead of answering EHLO", {{"EHLO", kClose}}, cut, false},
        {"closed instead of answering MAIL", {{"MAIL", kClose}}, cut, false},
        {"closed in a multi-line reply", {{"RCPT", "250-one\r\n" + kClose}}, cut, false},
        {"closed after the data's dot", {{".", kClose}}, cut, false},
        // 354 passes for DATA, but only a 2xx means the mail was taken.
        {"354 after the data's dot", {{".", "354 more?\r\n"}}, "354 more?", true},
        {"5xx after the data's dot", {{".", "554 5.6.0 rejected\r\n"}}, "554 5.6.0 rejected", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        log.events.clear();
        THostileServer server([&](THostileConnection& conn, int) { PlaySmtp(conn, c.replies); });
        smtp.SetServer(server.Address());
        EXPECT_EQ(MessageOf<ESocketError>([&] { smtp.Send(); }), c.text);
        EXPECT_FALSE(log.Has("MailSent"));
        ASSERT_FALSE(Errors().empty());
        EXPECT_EQ(Errors()[0], c.text);
        EXPECT_FALSE(smtp.Connected());
        EXPECT_EQ(log.events.back(), "Closed");
        ASSERT_TRUE(server.WaitForFinished(1));
        auto commands = Commands(server);
        EXPECT_EQ(!commands.empty() && commands.back() == "QUIT", c.quitSent);
    }
}

TEST_F(SmtpDialogue, SilentServerTimesOutAndNothingIsSentAfter)
{
    // Silent at the greeting, or at EHLO (no HELO then).
    for (const char* step : {"GREETING", "EHLO"}) {
        SCOPED_TRACE(step);
        log.events.clear();
        THostileServer server([&](THostileConnection& conn, int) { PlaySmtp(conn, {{step, kSilent}}); });
        smtp.SetServer(server.Address());
        smtp.SetTimeOut(1);
        EXPECT_EQ(MessageOf<ETimedOutError>([&] { smtp.Connect(); }), "Operation timed out");
        std::vector<std::string> events;
        for (const auto& e : log.events)
            if (e.rfind("S: ", 0) != 0 && e.rfind("C: ", 0) != 0) events.push_back(e);
        EXPECT_EQ(events,
                  (std::vector<std::string>{"Open", "Connected", "Error Operation timed out", "Closing", "Closed"}));
        EXPECT_FALSE(smtp.Connected());
        ASSERT_TRUE(server.WaitForFinished(1));
        auto expected = std::string(step) == "EHLO" ? std::vector<std::string>{"EHLO " + HostName()}
                                                    : std::vector<std::string>{};
        EXPECT_EQ(Commands(server), expected);
    }
}

TEST_F(SmtpDialogue, EndlessRepliesEndAtTheTimeOutOrTheirBoundAndCancelIsHeardBetweenLines)
{
    using namespace std::chrono;
    std::string lines;
    for (int i = 0; i < 60; ++i) lines += "220-more\r\n";
    struct Case {
        const char* what;
        std::function<void(THostileConnection&)> greet;
        std::string error;
    };
    const Case cases[] = {
        // One line every 50 ms for 3 s: each line alone would be in time.
        {"continuation lines without end", [&](THostileConnection& c) { c.SendInPieces(lines, 10, 50ms); },
         "Operation timed out"},
        {"line without a line end", [](THostileConnection& c) { c.SendInPieces(std::string(100000, 'x'), 1000, 20ms); },
         "Operation timed out"},
        {"more lines than any reply has",
         [](THostileConnection& c) {
             std::string flood;
             for (size_t i = 0; i <= TmsSMTP::kMaxReplyLines; ++i) flood += "220-flood\r\n";
             c.Send(flood);
             c.WaitForClose();
         },
         "The server's reply is too long"},
        {"more bytes than any reply has",
         [](THostileConnection& c) {
             std::string line = "220-" + std::string(60000, 'b') + "\r\n";
             for (int i = 0; i < 6; ++i) c.Send(line);
             c.WaitForClose();
         },
         "The server's reply is too long"},
        {"cancel between two lines",
         [](THostileConnection& c) {
             c.Send("220-first\r\n");
             std::this_thread::sleep_for(300ms);
             c.Send("220 second\r\n");
             c.WaitForClose();
         },
         "Operation has been canceled"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        THostileServer server([&](THostileConnection& conn, int) { c.greet(conn); }, 15s);
        smtp.SetServer(server.Address());
        smtp.SetTimeOut(1);
        smtp.OnLineReceived = [&](TagSocket& s, const std::string& line) {
            if (line == "220-first") s.Cancel();
        };
        auto start = steady_clock::now();
        std::string error = ErrorOf([&] { smtp.Connect(); });
        EXPECT_EQ(error, c.error);
        EXPECT_LT(steady_clock::now() - start, 3s);
        EXPECT_FALSE(smtp.Connected());
    }
}

TEST_F(SmtpDialogue, CancelAsTheDataGoAheadArrivesSendsNoData)
{
    THostileServer server([&](THostileConnection& conn, int) { PlaySmtp(conn, {}); });
    smtp.SetServer(server.Address());
    smtp.OnLineReceived = [](TagSocket& s, const std::string& line) {
        if (line.rfind("354", 0) == 0) s.Cancel();
    };
    EXPECT_EQ(ErrorOf([&] { smtp.Send(); }), "Operation has been canceled");
    EXPECT_FALSE(smtp.Connected());
    ASSERT_TRUE(server.WaitForFinished(1));
    EXPECT_EQ(server.Data(), std::vector<std::string>{""});
}

TEST_F(SmtpDialogue, TlsHandshakeEndsAtTheTimeOutOnCancelOrWithTheReason)
{
    using namespace std::chrono;
    struct Case {
        const char* what;
        TSmtpSecurity security;
        std::map<std::string, std::string> replies;
        bool cancel;
        std::string error;
    };
    const Case cases[] = {
        {"silent server", ssTLS, {{"GREETING", kSilent}}, false, "Operation timed out"},
        {"cancel during the handshake", ssTLS, {{"GREETING", kSilent}}, true, "Operation has been canceled"},
        {"plain text where TLS was expected", ssTLS, {}, false, "TLS failed: wrong version number"},
        {"STARTTLS accepted, then plain text", ssStartTLS,
         {{"EHLO", "250-hostile.test\r\n250 STARTTLS\r\n"}, {"STARTTLS", "220 go ahead\r\n220 plain\r\n"}},
         false, "TLS failed: wrong version number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        THostileServer server([&](THostileConnection& conn, int) { PlaySmtp(conn, c.replies); });
        TPollPump pump;
        smtp.SetPump(&pump);
        smtp.SetServer(server.Address());
        smtp.SetSecurity(c.security);
        smtp.SetTimeOut(1);
        if (c.cancel) pump.Post([&] { smtp.Cancel(); }, 200ms);
        auto start = steady_clock::now();
        std::string error = ErrorOf([&] { smtp.Connect(); });
        EXPECT_EQ(error, c.error);
        EXPECT_LT(steady_clock::now() - start, c.cancel ? 800ms : 3000ms);
        EXPECT_FALSE(smtp.Connected());
        smtp.SetPump(nullptr);
    }
}

TEST_F(SmtpDialogue, OldStyleAuthListIsReadAndPlainLoginGoesOnlyWhenAllowed)
{
    const std::map<std::string, std::string> replies = {
        {"EHLO", "250-hostile.test\r\n250-AUTH=LOGIN\r\n250-size 1000\r\n250 8BITMIME\r\n"},
        {"AUTH LOGIN", "334 VXNlcm5hbWU6\r\n"},
        {"bWU=", "334 UGFzc3dvcmQ6\r\n"},
        {"cHc=", "235 2.7.0 ok\r\n"}};
    smtp.SetUserName("me");
    smtp.OnPassword = [](TagSocket&) { return std::string("pw"); };
    for (bool allowed : {false, true}) {
        SCOPED_TRACE(allowed);
        log.events.clear();
        THostileServer server([&](THostileConnection& conn, int) { PlaySmtp(conn, replies); });
        smtp.SetServer(server.Address());
        smtp.SetAllowPlainLogin(allowed);
        std::string error = ErrorOf([&] { smtp.Send(); });
        EXPECT_EQ(error, allowed ? "" : "Login without encryption is not allowed (choose STARTTLS or SSL/TLS)");
        EXPECT_EQ(smtp.Extensions(), (std::set<std::string>{"AUTH", "SIZE", "8BITMIME"}));
        EXPECT_EQ(smtp.AuthMechanisms(), std::set<std::string>{"LOGIN"});
        ASSERT_TRUE(server.WaitForFinished(1));
        std::vector<std::string> expected = {"EHLO " + HostName()};
        // A failed connect ends without QUIT, as a refused HELO does.
        if (allowed)
            for (const char* line : {"AUTH LOGIN", "bWU=", "cHc=", "MAIL FROM:<user@example.org>",
                                     "RCPT TO:<robot@bymail.test>", "DATA", "QUIT"})
                expected.push_back(line);
        EXPECT_EQ(Commands(server), expected);
        // What the log shows of the login.
        EXPECT_EQ(std::count(log.events.begin(), log.events.end(), "C: <hidden>"), allowed ? 2 : 0);
    }
}

TEST_F(SmtpDialogue, GreetingCutOffFailsTheConnectAndLeavesNoSocket)
{
    THostileServer server(
        [](THostileConnection& conn, int) { PlaySmtp(conn, {{"GREETING", "220-hello\r\n220 cut" + kClose}}); });
    smtp.SetServer(server.Address());
    EXPECT_EQ(MessageOf<ESocketError>([&] { smtp.Connect(); }),
              "The server closed the connection before replying");
    EXPECT_FALSE(smtp.Connected());
    EXPECT_FALSE(log.Has("Prepare"));
}

TEST_F(SmtpDialogue, SuccessfulSendFiresEventsInOrderAndSendsEveryEnvelopeAddress)
{
    message.CC().Add("cc1@example.org", "Copy One");
    message.BCC().Add("bcc@example.org");
    message.Recipients().Add("second@bymail.test");
    THostileServer server([](THostileConnection& conn, int) { PlaySmtp(conn); });
    smtp.SetServer(server.Address());
    // The dispatcher's way: Connect first, then Send.
    smtp.Connect();
    smtp.Send();
    std::vector<std::string> events;
    for (const auto& e : log.events)
        if (e.rfind("S: ", 0) != 0 && e.rfind("C: ", 0) != 0) events.push_back(e);
    EXPECT_EQ(events, (std::vector<std::string>{"Open", "Connected", "Prepare", "Sending", "Progress 100", "Progress 0",
                                                "MailSent", "Closing", "Closed"}));
    ASSERT_TRUE(server.WaitForFinished(1));
    EXPECT_EQ(Commands(server), (std::vector<std::string>{
                                    "EHLO " + HostName(),
                                    "MAIL FROM:<user@example.org>",
                                    "RCPT TO:<robot@bymail.test>",
                                    "RCPT TO:<second@bymail.test>",
                                    "RCPT TO:<cc1@example.org>",
                                    "RCPT TO:<bcc@example.org>",
                                    "DATA",
                                    "QUIT",
                                }));
    EXPECT_EQ(server.Data()[0].find("bcc@"), std::string::npos);
    EXPECT_EQ(smtp.LastReply(), "221 bye");
}

TEST_F(SmtpDialogue, MessageThatCannotBeSentNeverReachesTheEnvelope)
{
    message.Sender().SetAddress("");
    THostileServer server([](THostileConnection& conn, int) { PlaySmtp(conn); });
    smtp.SetServer(server.Address());
    EXPECT_EQ(MessageOf<EMessageError>([&] { smtp.Send(); }), "The address of sender is required");
    EXPECT_FALSE(log.Has("Prepare"));
    EXPECT_EQ(Errors(), std::vector<std::string>{});
    ASSERT_TRUE(server.WaitForFinished(1));
    EXPECT_EQ(Commands(server), (std::vector<std::string>{"EHLO " + HostName(), "QUIT"}));

    smtp.SetMailMessage(nullptr);
    EXPECT_EQ(MessageOf<ESocketError>([&] { smtp.Send(); }), "MailMessage property must be assigned");
    EXPECT_FALSE(smtp.Connected());
}

TEST_F(SmtpDialogue, FailedQuitStillReleasesTheSocketForTheNextSend)
{
    THostileServer server([](THostileConnection& conn, int index) {
        if (index == 0)
            PlaySmtp(conn, {{"QUIT", "500 what?\r\n"}});
        else
            PlaySmtp(conn);
    });
    smtp.SetServer(server.Address());
    EXPECT_EQ(MessageOf<ESocketError>([&] { smtp.Send(); }), "500 what?");
    EXPECT_TRUE(log.Has("MailSent"));
    EXPECT_FALSE(smtp.Connected());
    log.events.clear();
    EXPECT_NO_THROW(smtp.Send());
    EXPECT_TRUE(log.Has("MailSent"));
    ASSERT_TRUE(server.WaitForFinished(2));
    EXPECT_EQ(WithoutStamp(server.Data()[1]), ExpectedData());
}

TEST_F(SmtpDialogue, OnErrorRewritesTheRefusalTheCallerSees)
{
    THostileServer server([](THostileConnection& conn, int) { PlaySmtp(conn, {{"RCPT", "550 no\r\n"}}); });
    smtp.SetServer(server.Address());
    smtp.OnError = [](TagSocket&, std::string& msg) { msg = "Refused: " + msg; };
    EXPECT_EQ(MessageOf<ESocketError>([&] { smtp.Send(); }), "Refused: 550 no");
}

}  // namespace
