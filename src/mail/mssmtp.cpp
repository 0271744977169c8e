#include "mail/mssmtp.h"

#include "mail/msmsg.h"
#include "mail/sockerrors.h"
#include "mail/tempfile.h"

namespace {
constexpr int kMailMessageRequired = 57102;
}

TmsSMTP::TmsSMTP()
{
    SetDefaultPort(25);
    SetServiceName("smtp");
}

void TmsSMTP::Prepare()
{
    if (Server().empty()) RaiseByCode(smServerRequired);
    ResetState();
    TmsMailBase::Prepare();
}

void TmsSMTP::CheckReply(const std::string& line)
{
    if (line.size() >= 4 && line[3] == '-') return;
    if (line.size() >= 4 && line[0] == '2') return;
    if (line.size() >= 4 && line.compare(0, 3, "354") == 0) return;
    std::string msg = line;
    if (!quiet_) FireError(msg);
    throw ESocketError(msg);
}

bool TmsSMTP::ReadReply()
{
    for (;;) {
        lastReply_ = ReadLine();
        if (PeerClosed()) return true;
        // A blank fourth character ends the reply even when nothing follows
        // it ("250 "); any other line longer than four characters ends it
        // unless it is a continuation.
        if (lastReply_.size() >= 4 && lastReply_[3] == ' ') return true;
        if (lastReply_.size() > 4 && lastReply_[3] != '-') return true;
    }
}

void TmsSMTP::Command(const std::string& line)
{
    WriteLine(line);
    ReadReply();
}

void TmsSMTP::Login()
{
    ConnectSocket();
    ReadReply();
    // Some servers refuse the host name we give; plain HELO is the fallback,
    // and only its failure counts.
    quiet_ = true;
    try {
        Command("HELO " + LocalHost());
    } catch (const std::exception&) {
        quiet_ = false;
        // A connection that is gone (hung up, timed out, cancelled) has no
        // second try: its own error says what happened.
        if (!Connected() || PeerClosed() || IsCancelled() || IsTimedOut()) throw;
        Command("HELO");
    }
    quiet_ = false;
}

void TmsSMTP::Logout()
{
    ProcessMessages();
    // The mail is accepted by now: a server that hangs up instead of saying
    // goodbye has only ended the dialogue.
    SetPeerCloseIsEnd(true);
    try {
        Command("QUIT");
    } catch (...) {
        SetPeerCloseIsEnd(false);
        throw;
    }
    SetPeerCloseIsEnd(false);
}

void TmsSMTP::SendMail()
{
    if (!mailMessage_) RaiseByCode(kMailMessageRequired);
    mailMessage_->CheckMessage();

    TTempFileStream stream;
    if (OnPrepare) OnPrepare(*this);
    mailMessage_->SaveToStream(stream);
    stream.Rewind();
    if (OnSending) OnSending(*this);

    const std::string& sender = mailMessage_->Sender().Address();
    if (!sender.empty()) Command("MAIL FROM:<" + sender + ">");
    for (const TmsAddressList* list : {&mailMessage_->Recipients(), &mailMessage_->CC(), &mailMessage_->BCC()})
        for (int i = 0; i < list->Count(); ++i) Command("RCPT TO:<" + list->Items(i).Address() + ">");
    Command("DATA");

    WriteStream(stream);
    WriteLine("");
    WriteLine(".");
    ReadReply();
    // Only a 2xx answer to the final "." means the server took the mail; a
    // 354 there (accepted by CheckReply for DATA) is no such answer.
    if (lastReply_.empty() || lastReply_[0] != '2') RaiseMessage(lastReply_);
    if (OnMailSent) OnMailSent(*this);
}

void TmsSMTP::Send()
{
    try {
        Connect();
        SendMail();
    } catch (...) {
        Disconnect();
        throw;
    }
    Disconnect();
}
