#pragma once
#include <functional>
#include <string>

#include "ui/controls.h"

class THistoryQueue;
class TDispatcher;

// Text as terminals and editors copy it: trailing blanks and one trailing
// line break (LF or CR LF) removed. The front is left alone: a leading blank
// means the text is no URL.
std::string CleanEdges(const std::string& text);
// Text Tolvar takes as a URL: one line that begins, in any case, with
// "http://", "https://", "ftp://", "news:" or "gopher://".
bool IsSupportedUrl(const std::string& text);
// Why text that looks like a URL of another scheme ("mailto:x", "file:///")
// is not taken; "" for supported URLs and for text that is no URL at all.
std::string UnsupportedUrlReason(const std::string& text);
// Schemes with a path get a "/" when the URL holds fewer than three; others
// ("news:group") are left as they are.
std::string WithPathSlash(const std::string& url);
// Cleans an "http://" or "https://" URL: an embedded "ftp://" target wins,
// then an embedded "http://" or "https://" one, else the "#" part is cut.
// Other schemes come back unchanged.
std::string NormaliseUrl(const std::string& url);

// What became of a URL handed to capture.
enum class TCaptureResult { Sent, Queued, Duplicate, Refused, Failed };
struct TCaptureOutcome {
    TCaptureResult result;
    std::string reason;   // why it was not sent; "" when it was
};
// "sent", "queued", "duplicate", "refused", "failed".
const char* CaptureResultWord(TCaptureResult result);

// The controls of the main window that capture reads.
struct TCaptureControls {
    TForm& window;
    TRadioGroup& optEnabled;
    TRadioGroup& optConfirm;
    TCheckBox& chkCheckHistory;
    TCheckBox& chkNotEnabled;
    TCheckBox& chkNever;
    TEdit& txtURL;
    TCheckBox& chkCaptureHttps;
};

// The road of a URL from the clipboard or the "&Go" button to a send or
// the queue, with the Enabled, duplicate and confirmation rules.
class TCapture {
public:
    static constexpr size_t kMaxClipboardUrl = 512;
    static constexpr size_t kMaxEcho = 1023;

    TCapture(const TCaptureControls& controls, THistoryQueue& lists, TDispatcher& dispatcher);

    // False while the address or SMTP server is missing: the clipboard is
    // ignored then.
    std::function<bool()> DetailsComplete;
    // Offered every clipboard text first (update files).
    std::function<void(const std::string&)> ProcessUpdateFile;
    // Echo clipboard texts into the log.
    bool superDebug = false;

    void ClipboardChanged();
    TCaptureOutcome CaptureUrl(const std::string& url);
    // A URL asked for from the command line: the clipboard's road without
    // its length limit, update files and https box (the user named the URL).
    TCaptureOutcome RequestUrl(const std::string& text);
    bool ConfirmRequest(const std::string& url, const std::string& prefix);
    bool AskByMail(const std::string& url, const std::string& prefix);
    void btnGoClick();

private:
    TCaptureOutcome SendNow(const std::string& url);
    TCaptureOutcome Queue(const std::string& url, const std::string& why);
    void LogNotCaptured(const std::string& text, const std::string& reason);
    std::string RefusalReason(const std::string& url) const;
    TCaptureControls c_;
    THistoryQueue& lists_;
    TDispatcher& dispatcher_;
    // Clipboard managers hand the same text round again: say once why it
    // was not taken.
    std::string lastNotCaptured_;
};
