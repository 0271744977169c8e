#pragma once
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/tempdir.h"

// A real SMTP server for tests: Debian's aiosmtpd (smtpsink.py, run with
// /usr/bin/python3) on a free loopback port, storing each accepted mail in a
// temp folder. Started by the constructor with a bounded wait for its port;
// stopped by process id in the destructor (SIGTERM, then SIGKILL, waitpid).
//
//   TSmtpServer server;
//   ASSERT_TRUE(server.Running()) << server.Failure();
//   smtp.SetServer(server.Address());          // "127.0.0.1:<port>"
//   ... send ...
//   auto mails = server.WaitForMails(1);
//   EXPECT_EQ(mails[0].data, expected);
class TSmtpServer {
public:
    struct TMail {
        std::string helo;             // the name given with HELO
        std::string from;             // MAIL FROM address, without brackets
        std::vector<std::string> to;  // RCPT TO addresses in order
        std::string data;             // the data as received, without "."
    };

    // store = false keeps nothing (for benchmarks); options go to
    // smtpsink.py as they are ("--tls", "starttls", "--login", "u:p", ...).
    explicit TSmtpServer(bool store = true,
                         std::chrono::milliseconds startBound = std::chrono::seconds(15),
                         const std::vector<std::string>& options = {});
    ~TSmtpServer();
    TSmtpServer(const TSmtpServer&) = delete;
    TSmtpServer& operator=(const TSmtpServer&) = delete;

    bool Running() const { return port_ != 0; }
    // Why it did not start.
    const std::string& Failure() const { return failure_; }
    int Port() const { return port_; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    pid_t Pid() const { return pid_; }

    // The mails stored so far, in order of arrival.
    std::vector<TMail> Mails() const;
    // Waits (at most bound) until at least count mails are stored.
    std::vector<TMail> WaitForMails(size_t count,
                                    std::chrono::milliseconds bound = std::chrono::seconds(10)) const;

    // The lines of events.log: "MAIL addr", "AUTH user MECHANISM ok|refused".
    std::vector<std::string> Events() const;

    // Stops the server now (also done by the destructor).
    void Stop();

private:
    TTempDir folder_;
    pid_t pid_ = -1;
    int port_ = 0;
    std::string failure_;
};

// The folder of the test support files (smtpsink.py).
std::string TestSupportDir();
