#include <gtest/gtest.h>

#include "core/fileutil.h"
#include "mail/msmsg.h"
#include "mail/mssmtp.h"
#include "mail/sockerrors.h"
#include "sock_test_util.h"
#include "support/hostileserver.h"
#include "support/mailstamp.h"
#include "support/smtpserver.h"
#include "support/tempdir.h"

namespace {

const std::string kRequestHeader =
    "From:      <user@example.org>\r\n"
    "To:        <robot@bymail.test>\r\n"
    "Subject:  GET\r\n"
    "Mime-Version: 1.0\r\n"
    "Content-Type: text/plain; charset=\"us-ascii\"\r\n"
    "Content-Transfer-Encoding: 7bit\r\n"
    "\r\n";

using SmtpDelivery = SocketTest;

TEST_F(SmtpDelivery, RealServerReceivesTheRequestMailExactly)
{
    TSmtpServer server;
    ASSERT_TRUE(server.Running()) << server.Failure();

    std::vector<std::string> manyLines;
    for (int i = 0; i < 400; ++i) manyLines.push_back("line " + std::to_string(i) + std::string(50, '-'));
    struct Case {
        const char* what;
        std::vector<std::string> body;
        std::string sentBody;  // what the server must hold after the header
    };
    std::string manySent;
    for (const auto& line : manyLines) manySent += line + "\r\n";
    const Case cases[] = {
        // The lone "." is doubled on the way and undone by the server.
        {"request", {"GET http://example.com/page.html", "."}, "GET http://example.com/page.html\r\n.\r\n"},
        {"many chunks", manyLines, manySent},
        {"empty body", {}, ""},
    };
    TmsSMTP smtp;
    smtp.SetTimeOut(10);
    smtp.SetServer(server.Address());
    TmsMessage message;
    smtp.SetMailMessage(&message);
    size_t sent = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        message.Clear();
        message.Sender().SetAddress("user@example.org");
        message.Recipients().Add("robot@bymail.test");
        message.SetSubject("GET");
        message.Body() = c.body;
        bool mailSent = false;
        smtp.OnMailSent = [&](TagSocket&) { mailSent = true; };
        ASSERT_NO_THROW(smtp.Send());
        EXPECT_TRUE(mailSent);
        auto mails = server.WaitForMails(++sent);
        ASSERT_EQ(mails.size(), sent);
        EXPECT_EQ(mails.back().helo, HostName());
        EXPECT_EQ(mails.back().from, "user@example.org");
        EXPECT_EQ(mails.back().to, std::vector<std::string>{"robot@bymail.test"});
        // The data ends with the empty line the client adds before ".".
        EXPECT_EQ(WithoutStamp(mails.back().data), kRequestHeader + c.sentBody + "\r\n");
    }
}

TEST_F(SmtpDelivery, RealServerGetsEveryEnvelopeAddress)
{
    TSmtpServer server;
    ASSERT_TRUE(server.Running()) << server.Failure();
    TmsMessage message;
    message.Sender().SetAddress("user@example.org");
    message.Recipients().Add("a@one.test");
    message.CC().Add("b@two.test", "Bee");
    message.BCC().Add("c@three.test");
    message.Body() = {"hello"};
    TmsSMTP smtp;
    smtp.SetServer(server.Address());
    smtp.SetMailMessage(&message);
    smtp.Send();
    auto mails = server.WaitForMails(1);
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].to, (std::vector<std::string>{"a@one.test", "b@two.test", "c@three.test"}));
    EXPECT_EQ(mails[0].data.find("c@three.test"), std::string::npos);
}

TEST_F(SmtpDelivery, TranscriptHoldsEveryLineOfEveryConnectionWithoutTheBody)
{
    TTempDir folder;
    const std::string log = folder.File("SMTP.LOG");
    THostileServer server([](THostileConnection& c, int index) {
        if (index == 0)
            PlaySmtp(c, {{"GREETING", "220-hostile.test\r\n220 ready\r\n"}});
        else
            PlaySmtp(c, {{"RCPT", "550 no such user\r\n"}});
    });
    {
        TmsMessage message;
        message.Sender().SetAddress("user@example.org");
        message.Recipients().Add("robot@bymail.test");
        message.Body() = {"secret body"};
        TmsSMTP smtp;
        smtp.SetServer(server.Address());
        smtp.SetMailMessage(&message);
        smtp.SetLogFileName(log);
        smtp.Send();
        EXPECT_THROW(smtp.Send(), ESocketError);
        EXPECT_FALSE(FileExists(log));  // written when the component goes
    }
    const std::string helo = "EHLO " + HostName();
    EXPECT_EQ(ReadFileString(log), "220-hostile.test\r\n220 ready\r\n" + helo +
                                       "\r\n250 hostile.test\r\n"
                                       "MAIL FROM:<user@example.org>\r\n250 ok\r\n"
                                       "RCPT TO:<robot@bymail.test>\r\n250 ok\r\n"
                                       "DATA\r\n354 go ahead\r\n"
                                       "Suppressing the message body\r\n\r\n.\r\n250 queued\r\n"
                                       "QUIT\r\n221 bye\r\n"
                                       "220 hostile.test ready\r\n" +
                                       helo +
                                       "\r\n250 hostile.test\r\n"
                                       "MAIL FROM:<user@example.org>\r\n250 ok\r\n"
                                       "RCPT TO:<robot@bymail.test>\r\n550 no such user\r\n"
                                       "QUIT\r\n221 bye\r\n");
}

}  // namespace
