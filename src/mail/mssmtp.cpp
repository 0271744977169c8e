#include "mail/mssmtp.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "core/flagguard.h"
#include "mail/base64.h"
#include "mail/mailstrings.h"
#include "mail/msmsg.h"
#include "mail/sockerrors.h"
#include "mail/tempfile.h"

namespace {
constexpr int kMailMessageRequired = 57102;
const char* const kHidden = "<hidden>";

std::string Upper(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Overwrites a secret before its memory is given back.
void Wipe(std::string& s)
{
    std::fill(s.begin(), s.end(), '\0');
    s.clear();
}
}  // namespace

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
    // Also a refused line is the last reply, for those who judge it.
    lastReply_ = line;
    if (line.size() >= 4 && line[3] == '-') return;
    if (line.size() >= 4 && line[0] == '2') return;
    if (line.size() >= 4 && line.compare(0, 3, "354") == 0) return;
    // The server's prompts during a login.
    if (inLogin_ && line.size() >= 4 && line.compare(0, 3, "334") == 0) return;
    std::string msg = line;
    if (!quiet_) FireError(msg);
    throw ESocketError(msg);
}

bool TmsSMTP::ReadReply()
{
    // One deadline for the whole reply: a server that keeps sending
    // continuation lines must not hold the send past the time-out.
    BeginReply();
    replyLines_.clear();
    size_t bytes = 0;
    try {
        for (;;) {
            lastReply_ = ReadLine();
            bytes += lastReply_.size();
            if (replyLines_.size() >= kMaxReplyLines || bytes > kMaxReplyBytes) {
                // Whatever follows is out of step with our commands.
                replyLines_.clear();
                CloseSocket();
                RaiseByCode(smReplyTooLong);
            }
            replyLines_.push_back(lastReply_);
            if (PeerClosed()) break;
            // A blank fourth character ends the reply even when nothing
            // follows it ("250 "); any other line longer than four
            // characters ends it unless it is a continuation.
            if (lastReply_.size() >= 4 && lastReply_[3] == ' ') break;
            if (lastReply_.size() > 4 && lastReply_[3] != '-') break;
        }
    } catch (...) {
        EndReply();
        throw;
    }
    EndReply();
    return true;
}

void TmsSMTP::Command(const std::string& line)
{
    WriteLine(line);
    ReadReply();
}

void TmsSMTP::Login()
{
    ConnectSocket();
    if (security_ == ssTLS) StartTLS();
    ReadReply();
    Hello();
    if (security_ == ssStartTLS) {
        if (!extensions_.count("STARTTLS")) RaiseByCode(smNoStartTls);
        Command("STARTTLS");
        StartTLS();
        // What the server offered in plain text may have been tampered with.
        extensions_.clear();
        authMechanisms_.clear();
        Command("EHLO " + LocalHost());
        TakeExtensions();
    }
    Authenticate();
}

void TmsSMTP::Hello()
{
    extensions_.clear();
    authMechanisms_.clear();
    // A refused EHLO is answered with the HELO dialogue, so it stays quiet.
    try {
        TFlagGuard quiet(quiet_);
        Command("EHLO " + LocalHost());
        TakeExtensions();
        return;
    } catch (const ESocketError& e) {
        // A connection that is gone (hung up, timed out, cancelled) has no
        // second try: its own error says what happened.
        if (!Connected() || PeerClosed() || IsCancelled() || IsTimedOut()) throw;
        if (lastReply_.empty() || lastReply_[0] != '5') RaiseMessage(e.what());
    }
    // Some servers refuse the host name we give; plain HELO is the fallback,
    // and only its failure counts.
    quiet_ = true;
    try {
        Command("HELO " + LocalHost());
    } catch (const std::exception&) {
        quiet_ = false;
        if (!Connected() || PeerClosed() || IsCancelled() || IsTimedOut()) throw;
        Command("HELO");
    }
    quiet_ = false;
}

void TmsSMTP::TakeExtensions()
{
    // The first line greets; each further one names an extension.
    for (size_t i = 1; i < replyLines_.size(); ++i) {
        std::istringstream words(replyLines_[i].size() > 4 ? replyLines_[i].substr(4) : std::string());
        std::string keyword;
        words >> keyword;
        keyword = Upper(keyword);
        // Old servers write "AUTH=LOGIN PLAIN".
        std::string mechanism;
        if (keyword.rfind("AUTH=", 0) == 0) {
            mechanism = keyword.substr(5);
            keyword = "AUTH";
        }
        if (keyword.empty()) continue;
        extensions_.insert(keyword);
        if (keyword != "AUTH") continue;
        if (!mechanism.empty()) authMechanisms_.insert(mechanism);
        while (words >> mechanism) authMechanisms_.insert(Upper(mechanism));
    }
}

void TmsSMTP::AuthCommand(const std::string& line, const std::string& shown)
{
    quiet_ = true;
    try {
        WriteSecretLine(line, shown);
        ReadReply();
    } catch (const ESocketError&) {
        quiet_ = false;
        if (!Connected() || PeerClosed()) throw;
        RaiseMessage(MailString(smLoginRefused) + lastReply_);
    } catch (...) {
        quiet_ = false;
        throw;
    }
    quiet_ = false;
}

void TmsSMTP::Authenticate()
{
    if (userName_.empty()) return;
    if (!Encrypted() && !allowPlainLogin_) RaiseByCode(smPlainLogin);
    if (!extensions_.count("AUTH")) RaiseByCode(smNoLogin);
    bool plain = authMechanisms_.count("PLAIN") > 0;
    if (!plain && !authMechanisms_.count("LOGIN")) RaiseByCode(smNoLoginMethod);

    std::string password = OnPassword ? OnPassword(*this) : std::string();
    TFlagGuard login(inLogin_);
    try {
        if (plain) {
            std::string token = Base64Encode(std::string(1, '\0') + userName_ + '\0' + password);
            Wipe(password);
            AuthCommand("AUTH PLAIN " + token, std::string("AUTH PLAIN ") + kHidden);
            Wipe(token);
        } else {
            AuthCommand("AUTH LOGIN", "AUTH LOGIN");
            AuthCommand(Base64Encode(userName_), kHidden);
            std::string token = Base64Encode(password);
            Wipe(password);
            AuthCommand(token, kHidden);
            Wipe(token);
        }
    } catch (...) {
        Wipe(password);
        throw;
    }
    // A 334 at the end would mean the server wants more than we know to say.
    if (lastReply_.compare(0, 1, "2") != 0) RaiseMessage(MailString(smLoginRefused) + lastReply_);
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

    WriteStream(stream, {"", "."});
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
