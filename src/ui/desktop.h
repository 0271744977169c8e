#pragma once
#include <functional>
#include <string>
#include <vector>

#include "ui/controls.h"

// Everything the operating system provides to Tolvar's windows. The Qt
// desktop is the real one; tests use a scripted one.

// mtCustom: a plain box with no icon, titled with the program's name.
enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

enum TMsgDlgBtn : unsigned {
    mbYes = 1,
    mbNo = 2,
    mbOK = 4,
    mbCancel = 8,
    mbAbort = 16,
    mbRetry = 32,
    mbIgnore = 64,
    mbHelp = 128,
};

struct TMessageBox {
    std::string text;
    TMsgDlgType type = TMsgDlgType::mtInformation;
    unsigned buttons = mbOK;
    int helpContext = 0;
    // Kept above every other window while the box is up, so a question is
    // seen while the main window is hidden.
    bool topmost = false;
    // "&" marks the next letter as an accelerator, shown underlined (for
    // texts that quote a control's caption); otherwise "&" is shown as is.
    bool showAccelChar = false;
};

// The dialog title of each kind.
std::string MessageTitle(TMsgDlgType type);

struct TPoint {
    int x = 0, y = 0;
};
struct TSize {
    int width = 0, height = 0;
};

enum class TTrayEvent { Click, DblClick, RightClick };

struct TTrayIconState {
    bool bright = true;
    std::string toolTip;
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // A modal message box; returns the TModalResult of the button pressed.
    // Help opens the help at the box's context and leaves the box up.
    virtual int MessageDlg(const TMessageBox& box) = 0;
    // Runs a nested event loop with the form shown modally until its
    // ModalResult is set or it is hidden.
    virtual int ShowModal(TForm& form) = 0;
    // Windows made while the program runs (notices, progress) announce
    // themselves so the desktop can give them a face, and leave again.
    virtual void FormCreated(TForm& form) = 0;
    virtual void FormDestroyed(TForm& form) = 0;
    virtual void BringToFront(TForm& form) = 0;

    virtual std::string ClipboardText() = 0;
    virtual void EmptyClipboard() = 0;
    // Starts (or with an empty function, ends) clipboard change notices.
    virtual void WatchClipboard(std::function<void()> onChange) = 0;

    // The notification-area icon; each returns whether the shell took it.
    virtual bool TrayAdd(const TTrayIconState& state) = 0;
    virtual bool TrayModify(const TTrayIconState& state) = 0;
    virtual bool TrayDelete() = 0;
    virtual void SetTrayHandler(std::function<void(TTrayEvent, TPoint)> handler) = 0;
    // Whether the desktop has a notification area now; trays come and go
    // with the panel that holds them.
    virtual bool TrayAvailable() = 0;
    // A short balloon from the icon; the text is UTF-8.
    virtual void TrayMessage(const std::string& text) = 0;

    virtual void ShowPopupMenu(TPopupMenu& menu, TPoint at) = 0;

    // Timers tell the desktop when they start, stop or change interval.
    virtual void TimerChanged(TTimer& timer) = 0;
    virtual void TimerDestroyed(TTimer& timer) = 0;

    // Handles what is pending and returns at once.
    virtual void ProcessMessages() = 0;
    // Handles one message, sleeping until there is one.
    virtual void HandleMessage() = 0;

    virtual void Beep() = 0;
    // Opens the help at the context's section (0: the top of the page).
    virtual void ShowHelp(int helpContext) = 0;
    virtual TPoint CursorPos() = 0;
    virtual TSize ScreenSize() = 0;
    virtual bool StartProcess(const std::string& program, const std::vector<std::string>& args) = 0;
    // The files the user picks in an open dialog; none when cancelled.
    virtual std::vector<std::string> OpenFileNames(const std::string& title) = 0;
    // Ends the main loop; windows are destroyed as the program ends.
    virtual void Terminate() = 0;
    virtual bool Terminated() const = 0;

    // True when this is the only running copy of the named program. The
    // first copy keeps the claim until it ends.
    virtual bool ClaimSingleInstance(const std::string& name) = 0;
    // Asks the running copy to bring its window forward.
    virtual void ActivatePreviousInstance(const std::string& name) = 0;
    // Called in the running copy when a later start asked it to come forward.
    virtual void SetActivateHandler(std::function<void()> handler) = 0;

    // A modal box asking for a password (typed hidden); false when the user
    // cancelled it. Without a window system there is no one to ask.
    virtual bool AskPassword(const std::string& prompt, std::string& password)
    {
        (void)prompt;
        (void)password;
        return false;
    }
};

Desktop& Desk();
bool HasDesktop();
void SetDesktop(Desktop* desktop);

// The message box of the program's everyday use.
int MessageDlg(const std::string& text, TMsgDlgType type, unsigned buttons, int helpContext);
// A box that must be seen while the given window is hidden: kept on top of
// everything while it is up.
int TopMessageBox(const std::string& text, TMsgDlgType type, unsigned buttons, TForm& window,
                  int helpContext);

// Left = (screen width - form width) * fx, Top likewise, rounded.
void PlaceFormOnScreen(TForm& form, double fx, double fy);
