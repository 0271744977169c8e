#pragma once
#include <ostream>

#include "ui/desktop.h"

// The desktop of `tolvar request` when no copy runs: no display, no
// clipboard, no tray. Message boxes become lines on err, answered with the
// box's cancelling button (so a question never commits the user to
// anything); windows and notices are not shown, modal ones return at once.
class TNoWindowDesktop : public Desktop {
public:
    explicit TNoWindowDesktop(std::ostream& err);
    ~TNoWindowDesktop() override;

    int MessageDlg(const TMessageBox& box) override;
    int ShowModal(TForm&) override { return mrOk; }
    void FormCreated(TForm&) override {}
    void FormDestroyed(TForm&) override {}
    void BringToFront(TForm&) override {}
    std::string ClipboardText() override { return {}; }
    void EmptyClipboard() override {}
    void WatchClipboard(std::function<void()>) override {}
    bool TrayAdd(const TTrayIconState&) override { return false; }
    bool TrayModify(const TTrayIconState&) override { return false; }
    bool TrayDelete() override { return false; }
    void SetTrayHandler(std::function<void(TTrayEvent, TPoint)>) override {}
    bool TrayAvailable() override { return false; }
    void TrayMessage(const std::string&) override {}
    void ShowPopupMenu(TPopupMenu&, TPoint) override {}
    void TimerChanged(TTimer&) override {}
    void TimerDestroyed(TTimer&) override {}
    void ProcessMessages() override {}
    void HandleMessage() override {}
    void Beep() override {}
    void ShowHelp(int) override {}
    TPoint CursorPos() override { return {}; }
    TSize ScreenSize() override { return {1024, 768}; }
    bool StartProcess(const std::string&, const std::vector<std::string>&) override { return false; }
    std::vector<std::string> OpenFileNames(const std::string&) override { return {}; }
    void Terminate() override { terminated_ = true; }
    bool Terminated() const override { return terminated_; }
    // The command line holds the real claim itself.
    bool ClaimSingleInstance(const std::string&) override { return true; }
    void ActivatePreviousInstance(const std::string&) override {}
    void SetActivateHandler(std::function<void()>) override {}

private:
    std::ostream& err_;
    bool terminated_ = false;
};
