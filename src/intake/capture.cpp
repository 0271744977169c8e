#include "intake/capture.h"

#include <algorithm>

#include "core/deblog.h"
#include "core/strutil.h"
#include "intake/dispatch.h"
#include "intake/histqueue.h"
#include "ui/desktop.h"

namespace {
constexpr int kEnabledYes = 0;
constexpr int kConfirmAll = 0;
constexpr int kConfirmZipExe = 1;
} // namespace

bool IsSupportedUrl(const std::string& text)
{
    if (text.find('\r') != std::string::npos) return false;
    for (const char* scheme : {"http://", "ftp://", "news:", "gopher://"})
        if (StartsWithNoCase(text, scheme)) return true;
    return false;
}

std::string NormaliseUrl(const std::string& url)
{
    if (!StartsWithNoCase(url, "http://")) return url;
    std::string lower = LowerCase(url);
    auto ftp = lower.find("ftp://");
    if (ftp != std::string::npos) return url.substr(ftp);
    int second = PosOfSecond("http://", lower);
    if (second > 0) return url.substr(static_cast<size_t>(second) - 1);
    auto hash = url.find('#');
    if (hash != std::string::npos) return url.substr(0, hash);
    return url;
}

TCapture::TCapture(const TCaptureControls& controls, THistoryQueue& lists, TDispatcher& dispatcher)
    : c_(controls), lists_(lists), dispatcher_(dispatcher)
{
}

void TCapture::ClipboardChanged()
{
    // Whatever is already waiting (a repaint, a tick) goes first, as the
    // change arrives among other messages.
    Desk().ProcessMessages();
    LogDebug("CB change detected");
    if (DetailsComplete && !DetailsComplete()) return;
    std::string text = Desk().ClipboardText();
    if (superDebug && text.size() <= kMaxEcho) LogDebug("CB<<<" + text + ">>>");
    if (ProcessUpdateFile) ProcessUpdateFile(text);
    if (text.size() <= kMaxClipboardUrl && IsSupportedUrl(text)) CaptureUrl(text);
}

void TCapture::CaptureUrl(const std::string& captured)
{
    std::string url = captured;
    if (std::count(url.begin(), url.end(), '/') < 3) url += "/";
    url = NormaliseUrl(url);
    // Read once: a tray click during a question or a send must not change
    // the road this URL is on.
    bool dropRepeats = c_.chkCheckHistory.Checked();
    if (c_.optEnabled.ItemIndex() == kEnabledYes) {
        bool found = lists_.IsInList(url, lists_.History());
        if (!found) found = lists_.IsInList(url, lists_.Queue());
        if (found && dropRepeats) return;
        if (!ConfirmRequest(url, "Request ")) return;
        SendNow(url);
        return;
    }
    if (!c_.chkNotEnabled.Checked() || c_.chkNever.Checked()) return;
    // Disabled: only a URL both sent and queued already counts as a repeat;
    // the queue refuses a second copy by itself.
    bool inBoth = lists_.IsInList(url, lists_.History()) && lists_.IsInList(url, lists_.Queue());
    if (inBoth && dropRepeats) return;
    if (ConfirmRequest(url, "Queue request for ")) lists_.QueueRequest(url);
}

void TCapture::SendNow(const std::string& url)
{
    if (dispatcher_.Busy()) {
        // Another send is waiting on the network below us on the stack: this
        // one goes to the queue, which that send empties when it succeeds.
        if (c_.chkNever.Checked())
            MessageDlg("Tolvar is sending another request. Copy " + url + " again when it has gone.",
                       TMsgDlgType::mtInformation, mbOK, 0);
        else
            lists_.QueueRequest(url);
        return;
    }
    if (dispatcher_.SendRequest(url)) {
        dispatcher_.SendTestMessageOnce();
        lists_.RemoveFromQueue(url);
        lists_.SendQueue();
    } else if (!lists_.QueueSending()) {
        lists_.QueueRequest(url);
    }
}

bool TCapture::ConfirmRequest(const std::string& url, const std::string& prefix)
{
    switch (c_.optConfirm.ItemIndex()) {
    case kConfirmAll: return AskByMail(url, prefix);
    case kConfirmZipExe: {
        std::string ext = LowerCase(ExtractUrlExtension(url));
        return (ext == "zip" || ext == "exe") ? AskByMail(url, prefix) : true;
    }
    default: return true;
    }
}

bool TCapture::AskByMail(const std::string& url, const std::string& prefix)
{
    bool wasVisible = c_.window.Visible();
    c_.window.Hide();
    int answer = TopMessageBox(prefix + url + " by e-mail?", TMsgDlgType::mtConfirmation, mbYes | mbNo, c_.window, 0);
    c_.window.SetVisible(wasVisible);
    return answer == mrYes;
}

void TCapture::btnGoClick()
{
    std::string url = Trim(c_.txtURL.Text());
    std::string head = LowerCase(url.substr(0, 4));
    if (head == "ftp.")
        url = "ftp://" + url;
    else if (head == "www.")
        url = "http://" + url;
    c_.txtURL.SetText(url);
    if (IsSupportedUrl(url))
        CaptureUrl(url);
    else
        MessageDlg("The URL you entered is either invalid or not supported", TMsgDlgType::mtError, mbOK, 0);
}
