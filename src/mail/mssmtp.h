#pragma once
#include <set>
#include <string>
#include <vector>

#include "mail/mailbase.h"

class TmsMessage;

enum TSmtpSecurity { ssNone, ssStartTLS, ssTLS };

// Gives the password for the login; may raise (a password command that
// failed), which ends the send with that exception.
using TmsPasswordEvent = std::function<std::string(TagSocket& sender)>;

// Delivers one TmsMessage to one SMTP server: greeting, EHLO (HELO when the
// server refuses it with a 5xx), MAIL FROM, one RCPT TO per address of
// Recipients, CC and BCC, DATA, the message written by its own encoder into a
// temporary file, QUIT. One message per connection.
//
// Security: ssNone talks plain text; ssStartTLS asks for STARTTLS after EHLO
// and fails (never falls back to plain text) when the server does not offer
// it; ssTLS speaks TLS from the first byte. With a UserName it logs in with
// AUTH PLAIN, or AUTH LOGIN where only that is offered; never over a plain
// connection unless AllowPlainLogin is set. Passwords never reach the
// transcript or OnLineSent ("AUTH PLAIN <hidden>").
//
// Events of one successful send, in order: OnOpen; greeting and HELO;
// OnPrepare; OnSending; the envelope; OnProgress per 2047-byte chunk and
// once more with 0; OnMailSent; QUIT; OnClosing; OnClosed.
class TmsSMTP : public TmsMailBase {
public:
    // DefaultPort 25, ServiceName "smtp".
    TmsSMTP();

    // The message to send; the owner keeps it alive while it is assigned.
    TmsMessage* MailMessage() const { return mailMessage_; }
    void SetMailMessage(TmsMessage* message) { mailMessage_ = message; }
    // The last line read by ReadReply.
    const std::string& LastReply() const { return lastReply_; }

    TSmtpSecurity Security() const { return security_; }
    void SetSecurity(TSmtpSecurity v) { security_ = v; }
    // Empty: no login.
    const std::string& UserName() const { return userName_; }
    void SetUserName(const std::string& v) { userName_ = v; }
    bool AllowPlainLogin() const { return allowPlainLogin_; }
    void SetAllowPlainLogin(bool v) { allowPlainLogin_ = v; }
    // Asked only when the server is ready for the login.
    TmsPasswordEvent OnPassword;
    // The server's EHLO keywords in upper case ("STARTTLS", "AUTH", "SIZE");
    // empty after a HELO dialogue.
    const std::set<std::string>& Extensions() const { return extensions_; }
    // The login methods the server named with AUTH, in upper case.
    const std::set<std::string>& AuthMechanisms() const { return authMechanisms_; }

    // Connect (nothing when connected), SendMail, then Disconnect in every
    // case. Returns only after the server accepted the data with a 2xx reply;
    // every failure is an exception.
    void Send();
    // Sends MailMessage over the open connection.
    void SendMail();
    // Reads one complete reply, multi-line ones included, within one
    // TimeOut for the whole of it and at most kMaxReplyLines lines and
    // kMaxReplyBytes bytes (else "The server's reply is too long", with the
    // connection closed).
    bool ReadReply();
    static constexpr size_t kMaxReplyLines = 1000;
    static constexpr size_t kMaxReplyBytes = 256 * 1024;

    // Checks Server, ResetState, then the socket's Prepare.
    void Prepare() override;

    TSocketNotifyEvent OnPrepare;
    TSocketNotifyEvent OnSending;
    TSocketNotifyEvent OnMailSent;

protected:
    // Accepts continuation lines, 2xx and 354; anything else (and a line
    // shorter than four characters) raises ESocketError with the line, after
    // OnError unless quiet.
    void CheckReply(const std::string& line) override;
    void Login() override;
    void Logout() override;

private:
    void Command(const std::string& line);
    // EHLO, or the HELO dialogue when the server refuses EHLO with a 5xx.
    void Hello();
    void TakeExtensions();
    void Authenticate();
    // A login command; a refusal is reported as a refused login.
    void AuthCommand(const std::string& line, const std::string& shown);

    TmsMessage* mailMessage_ = nullptr;
    std::string lastReply_;
    std::vector<std::string> replyLines_;
    bool quiet_ = false;
    bool inLogin_ = false;
    TSmtpSecurity security_ = ssNone;
    std::string userName_;
    bool allowPlainLogin_ = false;
    std::set<std::string> extensions_;
    std::set<std::string> authMechanisms_;
};
