#include <gtest/gtest.h>

#include <cstdlib>

#include "mail/base64.h"
#include "mail/msmsg.h"
#include "mail/mssmtp.h"
#include "mail/sockerrors.h"
#include "sock_test_util.h"
#include "support/mailstamp.h"
#include "support/smtpserver.h"
#include "support/tempdir.h"

namespace {

// A throw-away authority made for this run (testca.py) is the only one the
// client trusts, through SSL_CERT_FILE as a user's system would set it.
class SmtpTls : public SocketTest {
protected:
    static void SetUpTestSuite()
    {
        ca = new TTempDir;
        std::string command = "/usr/bin/python3 " + TestSupportDir() + "/testca.py " + ca->Path();
        made = std::system(command.c_str()) == 0;
        ::setenv("SSL_CERT_FILE", ca->File("ca.pem").c_str(), 1);
    }
    static void TearDownTestSuite()
    {
        delete ca;
        ca = nullptr;
    }
    void SetUp() override
    {
        SocketTest::SetUp();
        ASSERT_TRUE(made) << "testca.py failed (python3-cryptography missing?)";
        message.Sender().SetAddress("user@example.org");
        message.Recipients().Add("robot@bymail.test");
        message.Body() = {"GET http://example.com/"};
        smtp.SetMailMessage(&message);
        smtp.SetTimeOut(10);
        smtp.SetLogFileName(ca->File("SMTP.LOG"));
        smtp.OnLineSent = [this](TagSocket&, const std::string& line) { sent.push_back(line); };
    }
    // The aiosmtpd options for a certificate of testca.py.
    static std::vector<std::string> Tls(const std::string& mode, const std::string& cert = "good")
    {
        return {"--tls", mode, "--cert", ca->File(cert + ".pem"), "--key", ca->File(cert + ".key")};
    }

    static inline TTempDir* ca = nullptr;
    static inline bool made = false;
    TmsMessage message;
    TmsSMTP smtp;
    std::vector<std::string> sent;
};

struct Case {
    const char* what;
    std::string mode, cert;           // the server's TLS ("none": no certificate)
    std::vector<std::string> server;  // more server options
    TSmtpSecurity security;
    std::string password;
    std::string error;                // "" when the mail must go
    std::vector<std::string> events;  // what the server saw
};

TEST_F(SmtpTls, EncryptedLoginsDeliverAndFailuresNameTheirCause)
{
    const std::vector<std::string> login = {"--login", "me:s3cret"};
    const Case cases[] = {
        {"STARTTLS and AUTH PLAIN", "starttls", "good", login, ssStartTLS, "s3cret", "",
         {"AUTH me PLAIN ok", "MAIL user@example.org"}},
        // Plain bytes behind the go-ahead are no answer to the EHLO over TLS
        // (whose AUTH the login needs).
        {"plain reply injected after STARTTLS", "starttls", "good", {"--login", "me:s3cret", "--inject", "250 injected"},
         ssStartTLS, "s3cret", "", {"AUTH me PLAIN ok", "MAIL user@example.org"}},
        {"TLS on connect and AUTH LOGIN", "implicit", "good", {"--login", "me:s3cret", "--no-plain"}, ssTLS, "s3cret",
         "", {"AUTH me LOGIN ok", "MAIL user@example.org"}},
        {"STARTTLS not offered", "none", "", login, ssStartTLS, "s3cret", "The server does not offer STARTTLS", {}},
        {"certificate for another host", "starttls", "other", login, ssStartTLS, "s3cret",
         "Certificate not accepted: hostname mismatch", {}},
        {"unknown authority", "implicit", "untrusted", login, ssTLS, "s3cret",
         "Certificate not accepted: unable to get local issuer certificate", {}},
        {"expired certificate", "starttls", "expired", login, ssStartTLS, "s3cret",
         "Certificate not accepted: certificate has expired", {}},
        {"wrong password", "starttls", "good", login, ssStartTLS, "guess",
         "Login refused: 535 5.7.8 Authentication credentials invalid", {"AUTH me PLAIN refused"}},
        {"login over plain text", "none", "", login, ssNone, "s3cret",
         "Login without encryption is not allowed (choose STARTTLS or SSL/TLS)", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> options = c.server;
        if (!c.cert.empty()) {
            auto tls = Tls(c.mode, c.cert);
            options.insert(options.end(), tls.begin(), tls.end());
        }
        TSmtpServer server(true, std::chrono::seconds(15), options);
        ASSERT_TRUE(server.Running()) << server.Failure();
        smtp.SetServer("localhost:" + std::to_string(server.Port()));
        smtp.SetSecurity(c.security);
        smtp.SetUserName("me");
        smtp.OnPassword = [&](TagSocket&) { return c.password; };
        sent.clear();
        std::string error = ErrorOf([&] { smtp.Send(); });
        EXPECT_EQ(error, c.error);
        EXPECT_FALSE(smtp.Connected());
        auto mails = server.WaitForMails(c.error.empty() ? 1 : 0, std::chrono::seconds(5));
        EXPECT_EQ(mails.size(), c.error.empty() ? 1u : 0u);
        if (!mails.empty()) {
            EXPECT_NE(WithoutStamp(mails[0].data).find("\r\n\r\nGET http://example.com/"), std::string::npos);
        }
        EXPECT_EQ(server.Events(), c.events);
        // The password never shows, in clear or encoded.
        for (const auto& line : sent) {
            EXPECT_EQ(line.find(c.password), std::string::npos) << line;
            EXPECT_EQ(line.find(Base64Encode(std::string(1, '\0') + "me" + '\0' + c.password)), std::string::npos);
            EXPECT_EQ(line.find(Base64Encode(c.password)), std::string::npos) << line;
        }
        if (c.events.size() > 0 && c.events[0].find("PLAIN") != std::string::npos) {
            EXPECT_NE(std::find(sent.begin(), sent.end(), "AUTH PLAIN <hidden>"), sent.end());
        }
    }
}

TEST_F(SmtpTls, PasswordThatCannotBeHadEndsTheSendBeforeAnyLogin)
{
    TSmtpServer server(true, std::chrono::seconds(15), [] {
        std::vector<std::string> o = {"--login", "me:s3cret"};
        auto tls = Tls("starttls");
        o.insert(o.end(), tls.begin(), tls.end());
        return o;
    }());
    ASSERT_TRUE(server.Running()) << server.Failure();
    smtp.SetServer("localhost:" + std::to_string(server.Port()));
    smtp.SetSecurity(ssStartTLS);
    smtp.SetUserName("me");
    smtp.OnPassword = [](TagSocket&) -> std::string { throw ESocketError("The password command failed"); };
    EXPECT_EQ(MessageOf<ESocketError>([&] { smtp.Send(); }), "The password command failed");
    EXPECT_FALSE(smtp.Connected());
    EXPECT_EQ(server.Events(), std::vector<std::string>{});
}

}  // namespace
