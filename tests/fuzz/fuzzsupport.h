#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/desktop.h"

// Shared pieces of the fuzz targets: a desktop that answers every box by
// itself, a sandbox folder, and the one way a target reports a broken rule.

// Prints what went wrong and aborts, so libFuzzer keeps the input as a crash.
[[noreturn]] void FuzzFail(const std::string& what, std::string_view input = {});
#define FUZZ_CHECK(cond, what)                                                                                       \
    do {                                                                                                             \
        if (!(cond)) FuzzFail(std::string(what) + " (" #cond ")");                                                   \
    } while (0)

// True when the named finding is listed in TOLVAR_FUZZ_FIXED (blank-separated):
// checks that only a fix can pass are switched on that way.
bool FindingFixed(const std::string& name);

// A fresh folder under $TMPDIR for one fuzzing process, with the program
// folder (LocalRoot, ending in "/") and a temp folder that TMPDIR is pointed
// at. Everything else in it is somewhere a parser must never write.
struct TSandbox {
    std::string top;
    std::string program;
    std::string temp;
};
const TSandbox& Sandbox();
// Every regular file below folder, as paths relative to it.
std::vector<std::string> FilesBelow(const std::string& folder);
// Fails when a file exists in the sandbox outside the allowed subfolders
// (relative to the sandbox top, e.g. "program/downloads/"), or when the
// temp folder was left with files in it.
void CheckNothingOutside(const std::vector<std::string>& allowedPrefixes, std::string_view input);
// Removes every file and folder of the program folder except keep.
void ResetProgramFolder(const std::vector<std::string>& keep);

// The input cut into pieces at every separator.
std::vector<std::string> SplitInput(std::string_view input, std::string_view separator);

// A desktop without a screen: every box is answered with the first of Yes,
// Ok, Ignore, Retry, No, Cancel that it offers (so the work goes on as far as
// it can), the clipboard holds what the target put there, and nothing else
// happens.
class TFuzzDesktop : public Desktop {
public:
    std::string clipboard;
    int boxes = 0;

    int MessageDlg(const TMessageBox& box) override;
    int ShowModal(TForm&) override { return mrCancel; }
    void FormCreated(TForm&) override {}
    void FormDestroyed(TForm&) override {}
    void BringToFront(TForm&) override {}
    std::string ClipboardText() override { return clipboard; }
    void EmptyClipboard() override { clipboard.clear(); }
    void WatchClipboard(std::function<void()>) override {}
    bool TrayAdd(const TTrayIconState&) override { return true; }
    bool TrayModify(const TTrayIconState&) override { return true; }
    bool TrayDelete() override { return true; }
    bool TrayAvailable() override { return false; }
    void TrayMessage(const std::string&) override {}
    std::vector<std::string> OpenFileNames(const std::string&) override { return {}; }
    void SetTrayHandler(std::function<void(TTrayEvent, TPoint)>) override {}
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
    void Terminate() override { terminated_ = true; }
    bool Terminated() const override { return terminated_; }
    bool ClaimSingleInstance(const std::string&) override { return true; }
    void ActivatePreviousInstance(const std::string&) override {}
    void SetActivateHandler(std::function<void()>) override {}

private:
    bool terminated_ = false;
};

// The desktop of the targets that raise boxes or use the clipboard,
// installed on first use.
TFuzzDesktop& FuzzDesktop();
