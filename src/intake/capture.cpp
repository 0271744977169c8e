#include "intake/capture.h"

#include <algorithm>
#include <cctype>

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

std::string CleanEdges(const std::string& text)
{
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    std::string t = text;
    while (!t.empty() && blank(t.back())) t.pop_back();
    if (!t.empty() && t.back() == '\n') {
        t.pop_back();
        if (!t.empty() && t.back() == '\r') t.pop_back();
    }
    while (!t.empty() && blank(t.back())) t.pop_back();
    return t;
}

bool IsSupportedUrl(const std::string& text)
{
    if (text.find_first_of("\r\n") != std::string::npos) return false;
    for (const char* scheme : {"http://", "https://", "ftp://", "news:", "gopher://"})
        if (StartsWithNoCase(text, scheme)) return true;
    return false;
}

std::string UnsupportedUrlReason(const std::string& text)
{
    if (IsSupportedUrl(text)) return {};
    // A scheme of two or more letters, a colon and something after it, all
    // without blanks or control characters: what a link copied from a page
    // looks like. Anything else is ordinary text and passes unremarked.
    auto colon = text.find(':');
    if (colon == std::string::npos || colon < 2 || colon + 1 == text.size()) return {};
    if (!std::isalpha(static_cast<unsigned char>(text[0]))) return {};
    for (size_t i = 1; i < colon; ++i) {
        char c = text[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return {};
    }
    for (char c : text)
        if (static_cast<unsigned char>(c) <= ' ' || c == '\x7F') return {};
    return LowerCase(text.substr(0, colon + 1)) + " URLs are not supported";
}

std::string WithPathSlash(const std::string& url)
{
    for (const char* scheme : {"http://", "https://", "ftp://", "gopher://"})
        if (StartsWithNoCase(url, scheme)) return std::count(url.begin(), url.end(), '/') < 3 ? url + "/" : url;
    return url;
}

std::string NormaliseUrl(const std::string& url)
{
    if (!StartsWithNoCase(url, "http://") && !StartsWithNoCase(url, "https://")) return url;
    std::string lower = LowerCase(url);
    auto ftp = lower.find("ftp://");
    if (ftp != std::string::npos) return url.substr(ftp);
    // A redirector: the target is the next web URL after this one's scheme.
    auto target = std::min(lower.find("http://", 1), lower.find("https://", 1));
    if (target != std::string::npos) return url.substr(target);
    auto hash = url.find('#');
    if (hash != std::string::npos) return url.substr(0, hash);
    return url;
}

const char* CaptureResultWord(TCaptureResult result)
{
    switch (result) {
    case TCaptureResult::Sent: return "sent";
    case TCaptureResult::Queued: return "queued";
    case TCaptureResult::Duplicate: return "duplicate";
    case TCaptureResult::Refused: return "refused";
    case TCaptureResult::Failed: return "failed";
    }
    return "";
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
    std::string url = CleanEdges(text);
    if (url.size() > kMaxClipboardUrl) return;
    if (!IsSupportedUrl(url)) {
        LogNotCaptured(url, UnsupportedUrlReason(url));
        return;
    }
    if (StartsWithNoCase(url, "https://") && !c_.chkCaptureHttps.Checked()) {
        LogNotCaptured(url, "capturing https:// URLs is off");
        return;
    }
    lastNotCaptured_.clear();
    CaptureUrl(url);
}

void TCapture::LogNotCaptured(const std::string& text, const std::string& reason)
{
    if (reason.empty()) {
        lastNotCaptured_.clear();
        return;
    }
    if (text != lastNotCaptured_) LogDebug("Not captured: " + text + " (" + reason + ")");
    lastNotCaptured_ = text;
}

TCaptureOutcome TCapture::RequestUrl(const std::string& text)
{
    std::string url = CleanEdges(text);
    if (DetailsComplete && !DetailsComplete())
        return {TCaptureResult::Refused, "the address or the SMTP server is not set"};
    if (!IsSupportedUrl(url)) {
        std::string reason = UnsupportedUrlReason(url);
        if (reason.empty()) reason = "not a URL";
        LogDebug("Not requested: " + url + " (" + reason + ")");
        return {TCaptureResult::Refused, reason};
    }
    return CaptureUrl(url);
}

TCaptureOutcome TCapture::CaptureUrl(const std::string& captured)
{
    std::string url = NormaliseUrl(WithPathSlash(captured));
    // Read once: a tray click during a question or a send must not change
    // the road this URL is on.
    bool dropRepeats = c_.chkCheckHistory.Checked();
    const TCaptureOutcome repeat{TCaptureResult::Duplicate, "already requested or queued"};
    const TCaptureOutcome declined{TCaptureResult::Refused, "not confirmed"};
    if (c_.optEnabled.ItemIndex() == kEnabledYes) {
        bool found = lists_.IsInList(url, lists_.History());
        if (!found) found = lists_.IsInList(url, lists_.Queue());
        if (found && dropRepeats) return repeat;
        if (!ConfirmRequest(url, "Request ")) return declined;
        return SendNow(url);
    }
    if (!c_.chkNotEnabled.Checked() || c_.chkNever.Checked())
        return {TCaptureResult::Refused, "requests are switched off"};
    // Disabled: only a URL both sent and queued already counts as a repeat;
    // the queue refuses a second copy by itself.
    bool inBoth = lists_.IsInList(url, lists_.History()) && lists_.IsInList(url, lists_.Queue());
    if (inBoth && dropRepeats) return repeat;
    if (!ConfirmRequest(url, "Queue request for ")) return declined;
    return Queue(url, "requests are switched off");
}

TCaptureOutcome TCapture::Queue(const std::string& url, const std::string& why)
{
    if (lists_.QueueRequest(url)) return {TCaptureResult::Queued, why};
    return {TCaptureResult::Failed, why + ", and queuing is off"};
}

TCaptureOutcome TCapture::SendNow(const std::string& url)
{
    if (dispatcher_.Busy()) {
        // Another send is waiting on the network below us on the stack: this
        // one goes to the queue, which that send empties when it succeeds.
        if (!c_.chkNever.Checked()) return Queue(url, "another request was being sent");
        MessageDlg("Tolvar is sending another request. Copy " + url + " again when it has gone.",
                   TMsgDlgType::mtInformation, mbOK, 0);
        return {TCaptureResult::Refused, "another request was being sent"};
    }
    if (dispatcher_.SendRequest(url)) {
        dispatcher_.SendTestMessageOnce();
        lists_.RemoveFromQueue(url);
        lists_.SendQueue();
        return {TCaptureResult::Sent, ""};
    }
    // Nothing to send is no failure to retry: it stays out of the queue.
    if (dispatcher_.Refused()) return {TCaptureResult::Refused, RefusalReason(url)};
    if (lists_.QueueSending()) return {TCaptureResult::Failed, "sending failed"};
    return Queue(url, "sending failed");
}

// Composition's grounds, as far as they can be told from outside.
std::string TCapture::RefusalReason(const std::string& url) const
{
    if (url.find_first_of(" \r\n") != std::string::npos) return "it holds a blank or a line break";
    if (THistoryQueue::UrlPart(lists_.NewestHistoryLine()) == url) return "it was requested a moment ago";
    return "no robot takes it";
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
