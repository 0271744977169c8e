#pragma once
#include <functional>
#include <string>

#include "ui/controls.h"

class THistoryQueue;
class TDispatcher;

// Clipboard text Tolvar takes as a URL: one line that begins, in any case,
// with "http://", "ftp://", "news:" or "gopher://". No trimming: a leading
// blank is not a URL.
bool IsSupportedUrl(const std::string& text);
// Cleans an "http://" URL: an embedded "ftp://" target wins, then a second
// "http://", else the "#" part is cut. Other schemes come back unchanged.
std::string NormaliseUrl(const std::string& url);

// The controls of the main window that capture reads.
struct TCaptureControls {
    TForm& window;
    TRadioGroup& optEnabled;
    TRadioGroup& optConfirm;
    TCheckBox& chkCheckHistory;
    TCheckBox& chkNotEnabled;
    TCheckBox& chkNever;
    TEdit& txtURL;
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
    void CaptureUrl(const std::string& url);
    bool ConfirmRequest(const std::string& url, const std::string& prefix);
    bool AskByMail(const std::string& url, const std::string& prefix);
    void btnGoClick();

private:
    void SendNow(const std::string& url);
    TCaptureControls c_;
    THistoryQueue& lists_;
    TDispatcher& dispatcher_;
};
