#include "intake/prgress.h"

#include "intake/status.h"

TfrmProgress::TfrmProgress() : TForm("frmProgress")
{
    TPoint at = Placement(Desk().CursorPos(), Desk().ScreenSize(), kWidth, kHeight);
    SetBounds({at.x, at.y, kWidth, kHeight});
    Timer1.OnTimer = [this] { Timer1Timer(); };
    Desk().FormCreated(*this);
}

TfrmProgress::~TfrmProgress()
{
    Timer1.SetEnabled(false);
    if (HasDesktop()) Desk().FormDestroyed(*this);
}

TPoint TfrmProgress::Placement(TPoint pointer, TSize screen, int w, int h)
{
    int x = pointer.x, y = pointer.y;
    if (y < h + 50) y = h + 50;
    if (x < w + 50) x = w + 50;
    if (y + h > screen.height - 50) y = screen.height - 50 - h;
    if (x + w > screen.width - 50) x = screen.width - 50 - w;
    return {x, y};
}

std::string TfrmProgress::ProgressCaption(const std::string& url)
{
    constexpr size_t kHead = 15, kTail = 14;
    auto scheme = url.find("://");
    std::string text = scheme == std::string::npos ? url : url.substr(scheme + 3);
    if (text.size() <= kHead + 3 + kTail) return text;
    return text.substr(0, kHead) + "..." + text.substr(text.size() - kTail);
}

void TfrmProgress::Timer1Timer()
{
    Timer1.SetEnabled(false);
    SetModalResult(mrOk);
}

void ShowTransientMessage(const std::string& text)
{
    try {
        TfrmProgress notice;
        notice.ProgressBar1.SetVisible(false);
        notice.Label1.SetCaption(text);
        notice.Timer1.SetEnabled(true);
        notice.ShowModal();
    } catch (const std::exception&) {
        // A notice is a courtesy; failing to show one must not stop the
        // request or queue step that asked for it.
    }
    SetStatus("Requesting");
}
