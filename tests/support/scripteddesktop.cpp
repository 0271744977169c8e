#include "support/scripteddesktop.h"

#include <gtest/gtest.h>

#include "ui/application.h"

ScriptedDesktop::ScriptedDesktop() : start_(EncodeDateTime(2026, 3, 14, 9, 26, 53))
{
    SetDesktop(this);
    SetClockForTests([this] { return start_ + static_cast<double>(nowMs_) / 86400000.0; });
}

ScriptedDesktop::~ScriptedDesktop()
{
    for (const auto& e : expected_) ADD_FAILURE() << "expected dialog never shown: " << e.textPart;
    SetClockForTests(nullptr);
    SetDesktop(nullptr);
}

void ScriptedDesktop::ExpectDialog(const std::string& textPart, int answer)
{
    expected_.push_back({textPart, answer});
}

int ScriptedDesktop::MessageDlg(const TMessageBox& box)
{
    shown.push_back(box);
    if (OnDialog) OnDialog(box);
    if (expected_.empty()) {
        ADD_FAILURE() << "unexpected dialog: " << box.text;
        return (box.buttons & mbOK) ? mrOk : mrNo;
    }
    Expected e = expected_.front();
    expected_.pop_front();
    EXPECT_NE(box.text.find(e.textPart), std::string::npos)
        << "dialog \"" << box.text << "\" shown where \"" << e.textPart << "\" was expected";
    return e.answer;
}

int ScriptedDesktop::ShowModal(TForm& form)
{
    form.SetModalLoopActive(true);
    form.Show();
    if (OnShowModal) {
        int r = OnShowModal(form);
        if (form.ModalResult() == mrNone) form.SetModalResult(r);
    }
    // Otherwise wait the way a real loop would: let virtual time run until
    // something closes the form. A form nothing will close fails the test
    // instead of hanging it.
    int rounds = 0;
    while (form.ModalResult() == mrNone && form.Visible() && !terminated) {
        ProcessMessages();
        if (form.ModalResult() != mrNone || !form.Visible()) break;
        if (!FireNextTimerBefore(nowMs_ + 3600 * 1000) || ++rounds > 10000) {
            ADD_FAILURE() << "modal window " << form.ClassName() << " is never closed";
            form.SetModalResult(mrCancel);
        }
    }
    form.SetModalLoopActive(false);
    form.Hide();
    return form.ModalResult();
}

void ScriptedDesktop::BringToFront(TForm& form) { form.Show(); }

void ScriptedDesktop::EmptyClipboard()
{
    clipboard_.clear();
    clipboardEmptied = true;
}

void ScriptedDesktop::CopyToClipboard(const std::string& text)
{
    clipboard_ = text;
    if (clipboardWatcher_) clipboardWatcher_();
}

bool ScriptedDesktop::TrayAdd(const TTrayIconState& state)
{
    if (!trayAvailable) return false;
    trayActive = true;
    tray = state;
    return true;
}

bool ScriptedDesktop::TrayModify(const TTrayIconState& state)
{
    tray = state;
    return trayActive;
}

bool ScriptedDesktop::TrayDelete()
{
    bool was = trayActive;
    trayActive = false;
    return was;
}

void ScriptedDesktop::ClickTray(TTrayEvent e, TPoint at)
{
    if (trayHandler_) trayHandler_(e, at);
}

void ScriptedDesktop::ShowPopupMenu(TPopupMenu& menu, TPoint) { popupMenusShown.push_back(menu.Name()); }

void ScriptedDesktop::TimerChanged(TTimer& timer)
{
    if (timer.Enabled() && timer.Interval() > 0)
        timers_[&timer] = {nowMs_ + timer.Interval()};
    else
        timers_.erase(&timer);
}

void ScriptedDesktop::TimerDestroyed(TTimer& timer) { timers_.erase(&timer); }

bool ScriptedDesktop::FireNextTimerBefore(long long limitMs)
{
    TTimer* next = nullptr;
    long long due = 0;
    for (auto& [t, s] : timers_) {
        if (s.dueMs <= limitMs && (!next || s.dueMs < due)) {
            next = t;
            due = s.dueMs;
        }
    }
    if (!next) return false;
    if (due > nowMs_) nowMs_ = due;
    timers_[next].dueMs = due + next->Interval();
    RunGuarded(*next, [next] { next->Tick(); });
    return true;
}

void ScriptedDesktop::AdvanceMs(long long ms)
{
    long long until = nowMs_ + ms;
    while (FireNextTimerBefore(until)) {
        ProcessMessages();
    }
    nowMs_ = until;
}

void ScriptedDesktop::ProcessMessages()
{
    while (!posted_.empty()) {
        auto action = std::move(posted_.front());
        posted_.pop_front();
        action();
    }
}

void ScriptedDesktop::HandleMessage()
{
    if (!posted_.empty()) {
        auto action = std::move(posted_.front());
        posted_.pop_front();
        action();
        return;
    }
    if (!FireNextTimerBefore(nowMs_ + 3600 * 1000)) ADD_FAILURE() << "HandleMessage would wait forever";
}

bool ScriptedDesktop::StartProcess(const std::string& program, const std::vector<std::string>& args)
{
    std::vector<std::string> cmd{program};
    cmd.insert(cmd.end(), args.begin(), args.end());
    processesStarted.push_back(cmd);
    return true;
}
