#pragma once
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/clock.h"
#include "ui/desktop.h"

// A desktop driven by the test. The test states the dialogs it expects and
// the answer to give each; a dialog nobody expected fails the test. Time is
// virtual: timers fire only when the test advances the clock (or a modal
// loop waits for them), so nothing in a test sleeps.
class ScriptedDesktop : public Desktop {
public:
    ScriptedDesktop();
    ~ScriptedDesktop() override;

    // --- what the test states and drives
    // The next dialog must contain textPart; it is answered with answer.
    void ExpectDialog(const std::string& textPart, int answer = mrOk);
    int PendingExpectations() const { return static_cast<int>(expected_.size()); }
    // Runs as each box is shown, before it is answered.
    std::function<void(const TMessageBox&)> OnDialog;
    // Every box shown, in order.
    std::vector<TMessageBox> shown;
    // Another program put text on the clipboard.
    void CopyToClipboard(const std::string& text);
    void SetClipboardQuietly(const std::string& text) { clipboard_ = text; }
    // Moves virtual time on, firing due timers in order.
    void AdvanceMs(long long ms);
    long long NowMs() const { return nowMs_; }
    // Runs at the next ProcessMessages/HandleMessage: "meanwhile" events.
    void Post(std::function<void()> action) { posted_.push_back(std::move(action)); }
    // Answers ShowModal for forms other than self-closing notices.
    std::function<int(TForm&)> OnShowModal;
    void ClickTray(TTrayEvent e, TPoint at = {});

    // --- what the program did
    int beeps = 0;
    std::vector<int> helpShown;
    std::vector<std::vector<std::string>> processesStarted;
    bool terminated = false;
    bool trayActive = false;
    // Whether a tray is there to take the icon; a test takes it away.
    bool trayAvailable = true;
    std::vector<std::string> trayMessages;
    TTrayIconState tray;
    bool watchingClipboard() const { return static_cast<bool>(clipboardWatcher_); }
    bool clipboardEmptied = false;
    std::vector<std::string> popupMenusShown;
    TPoint cursor{100, 100};
    TSize screen{1024, 768};
    bool firstInstance = true;
    int activations = 0;
    std::vector<std::string> formsCreated;
    int formsDestroyed = 0;

    // --- Desktop
    int MessageDlg(const TMessageBox& box) override;
    int ShowModal(TForm& form) override;
    void BringToFront(TForm& form) override;
    void FormCreated(TForm& form) override { formsCreated.push_back(form.ClassName()); }
    void FormDestroyed(TForm&) override { ++formsDestroyed; }
    std::string ClipboardText() override { return clipboard_; }
    void EmptyClipboard() override;
    void WatchClipboard(std::function<void()> onChange) override { clipboardWatcher_ = std::move(onChange); }
    bool TrayAdd(const TTrayIconState& state) override;
    bool TrayModify(const TTrayIconState& state) override;
    bool TrayDelete() override;
    void SetTrayHandler(std::function<void(TTrayEvent, TPoint)> handler) override { trayHandler_ = std::move(handler); }
    bool TrayAvailable() override { return trayAvailable; }
    void TrayMessage(const std::string& text) override { trayMessages.push_back(text); }
    void ShowPopupMenu(TPopupMenu& menu, TPoint at) override;
    void TimerChanged(TTimer& timer) override;
    void TimerDestroyed(TTimer& timer) override;
    void ProcessMessages() override;
    void HandleMessage() override;
    void Beep() override { ++beeps; }
    void ShowHelp(int helpContext) override { helpShown.push_back(helpContext); }
    TPoint CursorPos() override { return cursor; }
    TSize ScreenSize() override { return screen; }
    bool StartProcess(const std::string& program, const std::vector<std::string>& args) override;
    // The open dialog answers with filesToOpen.
    std::vector<std::string> OpenFileNames(const std::string&) override { return filesToOpen; }
    std::vector<std::string> filesToOpen;
    void Terminate() override { terminated = true; }
    bool Terminated() const override { return terminated; }
    bool ClaimSingleInstance(const std::string&) override { return firstInstance; }
    void ActivatePreviousInstance(const std::string&) override { ++activations; }
    void SetActivateHandler(std::function<void()> handler) override { activateHandler_ = std::move(handler); }

private:
    struct Expected {
        std::string textPart;
        int answer;
    };
    struct TimerState {
        long long dueMs;
    };
    bool FireNextTimerBefore(long long limitMs);

    std::deque<Expected> expected_;
    std::string clipboard_;
    std::function<void()> clipboardWatcher_;
    std::function<void(TTrayEvent, TPoint)> trayHandler_;
    std::function<void()> activateHandler_;
    std::map<TTimer*, TimerState> timers_;
    std::deque<std::function<void()>> posted_;
    long long nowMs_ = 0;
    TDateTime start_;
};
