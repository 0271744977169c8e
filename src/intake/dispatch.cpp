#include "intake/dispatch.h"

#include "core/deblog.h"
#include "core/error.h"
#include "core/fileutil.h"
#include "core/flagguard.h"
#include "core/localroot.h"
#include "core/strutil.h"
#include "intake/histqueue.h"
#include "intake/prgress.h"
#include "intake/status.h"
#include "mail/msmsg.h"
#include "mail/mssmtp.h"
#include "ui/desktop.h"

namespace {
constexpr int kRequestFailedHelp = 9002;
// In the program folder, like every other file of Tolvar: the folder a start
// happens from (the home folder, for an autostart entry) is not the
// program's to write, and a start from elsewhere must still find the flag.
std::string TestFlagPath() { return LocalRoot() + "Test Message.Flg"; }


std::string Cut255(const std::string& s) { return s.substr(0, 255); }

// The failure in the user's terms: a socket error names the server it
// happened with ("Connection refused by mail.example.org:587"); refusals,
// certificate and login failures say enough by themselves.
std::string FailureCause(const std::string& message, const std::string& server)
{
    if (message.size() < 3 || message[0] != '[') return message;
    auto close = message.find("] ");
    if (close == std::string::npos) return message;
    std::string code = message.substr(1, close - 1);
    std::string text = message.substr(close + 2);
    if (code == "10061") return "Connection refused by " + server;
    return text + " (" + server + ")";
}
} // namespace

TDispatcher::TDispatcher(TmsMessage& message, TmsSMTP& smtp, THistoryQueue& lists)
    : message_(message), smtp_(smtp), lists_(lists)
{
    WireEvents();
}

TDispatcher::~TDispatcher() = default;

void TDispatcher::WireEvents()
{
    smtp_.OnOpen = [this](TagSocket&) { msSMTP1Open(); };
    smtp_.OnPrepare = [this](TagSocket&) { msSMTP1Prepare(); };
    smtp_.OnSending = [this](TagSocket&) { msSMTP1Sending(); };
    smtp_.OnProgress = [this](TagSocket&, int) { msSMTP1Progress(); };
    smtp_.OnMailSent = [this](TagSocket&) { msSMTP1MailSent(); };
    smtp_.OnClosing = [this](TagSocket&) { msSMTP1Closing(); };
    smtp_.OnClosed = [this](TagSocket&) { msSMTP1Closed(); };
}

void TDispatcher::SetProgress(int position)
{
    if (progress_) progress_->ProgressBar1.SetPosition(position);
}

void TDispatcher::CloseProgress() { progress_.reset(); }

bool TDispatcher::SendRequest(const std::string& url)
{
    refused_ = false;
    if (Busy()) {
        LogDebug("Busy sending, request not started: " + url);
        Desk().Beep();
        return false;
    }
    TFlagGuard sending(sendInProgress_);
    if (!PrepareRequest(url)) {
        // Reporting it as done would let callers empty the queue behind a
        // request that never went out.
        refused_ = true;
        return false;
    }
    try {
        progress_ = std::make_unique<TfrmProgress>();
        progress_->Label1.SetCaption(TfrmProgress::ProgressCaption(url));
        progress_->Show();
        LogDebug("Requesting");
        SetProgress(12);
        if (!dontSendMode) smtp_.Connect();
        SetStatus("Connection Open");
        SetProgress(25);
        currentUrl_ = url;
        if (dontSendMode)
            ShowInsteadOfSending();
        else
            smtp_.Send();
    } catch (const std::exception& e) {
        // The report comes first, while the progress window still shows
        // which request failed.
        bool queued = WillBeQueued && WillBeQueued(url);
        ReportErrorWithHelp("Request Failed",
                            "The last successful operation was <" + LastStatus() + ">\n" +
                                FailureCause(e.what(), smtp_.Server()) + "; the request was " +
                                (queued ? "queued." : "not queued."),
                            kRequestFailedHelp);
        CloseProgress();
        return false;
    }
    CloseProgress();
    return true;
}

void TDispatcher::ShowInsteadOfSending()
{
    std::string first = message_.Recipients().Count() > 0 ? message_.Recipients().Items(0).Address() : "";
    std::string text = Cut255(first + "\r\n" + message_.Subject() + "\r\n");
    for (const auto& line : message_.Body()) text += line + "\r\n";
    text += "\r\n";
    MessageDlg(text, TMsgDlgType::mtCustom, mbOK, 0);
    CloseProgress();
}

void TDispatcher::SendTestMessageOnce()
{
    if (Busy() || FileExists(TestFlagPath())) return;
    std::string body;
    try {
        body = ReadFileString(LocalRoot() + "Test Message.Txt");
    } catch (const std::exception&) {
        // An unreadable text sends an empty test message, as a missing one does.
    }
    body = ReplaceAll(body, "\xFE", DistributionTag ? DistributionTag() : std::string());
    std::string address = UserAddress ? UserAddress() : std::string();
    if (SendTestMessage(address, "Test Message from your copy of Tolvar", body)) WriteFileString(TestFlagPath(), " ");
}

bool TDispatcher::SendTestMessage(const std::string& address, const std::string& subject, const std::string& body)
{
    TFlagGuard testing(testMessageInProgress_);
    try {
        message_.Recipients().Clear();
        message_.Recipients().Add(address);
        message_.SetSubject(Cut255(subject));
        message_.Body().clear();
        message_.Body().push_back(body);
        message_.Attachments().Clear();
        message_.Sender().SetAddress(Cut255(UserAddress ? UserAddress() : std::string()));
        smtp_.Connect();
        smtp_.Send();
    } catch (const std::exception&) {
        // Silent by design: it is tried again after the next good request.
        return false;
    }
    return true;
}

void TDispatcher::msSMTP1Open()
{
    if (testMessageInProgress_) return;
    SetStatus("Openning");
    Desk().ProcessMessages();
}

void TDispatcher::msSMTP1Prepare()
{
    if (testMessageInProgress_) return;
    SetProgress(40);
    SetStatus("Preparing");
    Desk().ProcessMessages();
}

void TDispatcher::msSMTP1Sending()
{
    if (testMessageInProgress_) return;
    SetStatus("Sending");
    SetProgress(60);
    Desk().ProcessMessages();
}

void TDispatcher::msSMTP1Progress()
{
    if (testMessageInProgress_) return;
    SetStatus("Progress");
    SetProgress(80);
    Desk().ProcessMessages();
}

void TDispatcher::msSMTP1MailSent()
{
    if (testMessageInProgress_) return;
    std::string server = message_.Recipients().Count() > 0 ? message_.Recipients().Items(0).Address() : "";
    lists_.AddToHistory(server, currentUrl_);
    SetStatus("Sent");
    SetProgress(100);
    Desk().ProcessMessages();
    CloseProgress();
}

void TDispatcher::msSMTP1Closing()
{
    if (testMessageInProgress_) return;
    SetStatus("Closing");
    Desk().ProcessMessages();
}

void TDispatcher::msSMTP1Closed()
{
    if (testMessageInProgress_) return;
    SetStatus("Close");
    Desk().ProcessMessages();
}
