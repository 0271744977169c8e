#pragma once
#include <string>

#include "mail/mailbase.h"

class TmsMessage;

// Delivers one TmsMessage to one SMTP server: greeting, HELO, MAIL FROM, one
// RCPT TO per address of Recipients, CC and BCC, DATA, the message written by
// its own encoder into a temporary file, QUIT. No authentication, no EHLO,
// one message per connection.
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

    // Connect (nothing when connected), SendMail, then Disconnect in every
    // case. Returns only after the server accepted the data with a 2xx reply;
    // every failure is an exception.
    void Send();
    // Sends MailMessage over the open connection.
    void SendMail();
    // Reads one complete reply, multi-line ones included.
    bool ReadReply();

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

    TmsMessage* mailMessage_ = nullptr;
    std::string lastReply_;
    bool quiet_ = false;
};
