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
    return "..." + (url.size() > 29 ? url.substr(url.size() - 29) : url);
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
