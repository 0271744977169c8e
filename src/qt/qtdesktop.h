#pragma once
#include <QObject>
#include <map>
#include <memory>

#include "ui/desktop.h"

class QLockFile;
class TInstanceServer;
class QSystemTrayIcon;
class QTimer;
class TFormView;

// The real desktop: Qt widgets, the X11 clipboard, the notification area,
// Qt timers and Qt's event loop.
class QtDesktop : public QObject, public Desktop {
public:
    QtDesktop();
    ~QtDesktop() override;
    static QtDesktop& Instance();

    void RegisterView(TForm& form, TFormView* view);
    void UnregisterView(TForm& form);
    // Makes the view of a window created while the program runs, by class.
    using TViewFactory = std::function<TFormView*(TForm&)>;
    void RegisterViewFactory(const std::string& className, TViewFactory factory);

    int MessageDlg(const TMessageBox& box) override;
    int ShowModal(TForm& form) override;
    void FormCreated(TForm& form) override;
    void FormDestroyed(TForm& form) override;
    void BringToFront(TForm& form) override;
    std::string ClipboardText() override;
    void EmptyClipboard() override;
    void WatchClipboard(std::function<void()> onChange) override;
    bool TrayAdd(const TTrayIconState& state) override;
    bool TrayModify(const TTrayIconState& state) override;
    bool TrayDelete() override;
    void SetTrayHandler(std::function<void(TTrayEvent, TPoint)> handler) override;
    bool TrayAvailable() override;
    void TrayMessage(const std::string& text) override;
    void ShowPopupMenu(TPopupMenu& menu, TPoint at) override;
    void TimerChanged(TTimer& timer) override;
    void TimerDestroyed(TTimer& timer) override;
    void ProcessMessages() override;
    void HandleMessage() override;
    void Beep() override;
    void ShowHelp(int helpContext) override;
    TPoint CursorPos() override;
    TSize ScreenSize() override;
    bool StartProcess(const std::string& program, const std::vector<std::string>& args) override;
    std::vector<std::string> OpenFileNames(const std::string& title) override;
    void Terminate() override;
    bool Terminated() const override { return terminated_; }
    bool ClaimSingleInstance(const std::string& name) override;
    void ActivatePreviousInstance(const std::string& name) override;
    void SetActivateHandler(std::function<void()> handler) override;
    bool AskPassword(const std::string& prompt, std::string& password) override;
    // Answers URLs handed over by `tolvar request` (qt/instance.h).
    void SetRequestHandler(std::function<std::string(const std::string& url)> handler);

    // What the toolkit's tray activation means as the icon's clicks: a
    // double click is a second click and then the double click; a middle
    // click is nothing.
    static std::vector<TTrayEvent> TrayEventsFor(int activationReason);

protected:
    // The application-wide key filter: the windows' Ctrl+Alt keys and F1,
    // whatever control has the keyboard.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplyTray(const TTrayIconState& state);

    std::map<TForm*, TFormView*> views_;
    std::map<std::string, TViewFactory> factories_;
    std::map<TForm*, std::unique_ptr<TFormView>> ownedViews_;
    std::map<TTimer*, QTimer*> timers_;
    std::function<void()> clipboardWatcher_;
    QMetaObject::Connection clipboardConnection_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::function<void(TTrayEvent, TPoint)> trayHandler_;
    std::unique_ptr<QLockFile> instanceLock_;
    std::unique_ptr<TInstanceServer> instanceServer_;
    std::function<void()> activateHandler_;
    bool terminated_ = false;
};
