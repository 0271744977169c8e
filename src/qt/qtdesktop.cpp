#include "qt/qtdesktop.h"

#include <QApplication>
#include <QFileDialog>
#include <QClipboard>
#include <QCursor>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QLockFile>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <QKeyEvent>
#include <cstdlib>

#include "core/deblog.h"
#include "core/localroot.h"
#include "qt/bind.h"
#include "qt/formview.h"
#include "qt/helpview.h"
#include "qt/instance.h"
#include "ui/application.h"

namespace {
QtDesktop* gInstance = nullptr;
// The SMTP time-out and a little more.
constexpr int kCommandLineSendMs = 130 * 1000;

QIcon TrayPicture(bool bright)
{
    QPixmap pix(32, 32);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    QColor body = bright ? QColor(30, 110, 220) : QColor(150, 150, 150);
    p.setBrush(body);
    p.setPen(QPen(Qt::black, 1));
    p.drawRoundedRect(2, 7, 28, 19, 3, 3);
    p.setPen(QPen(Qt::white, 2));
    p.drawLine(4, 9, 16, 18);
    p.drawLine(16, 18, 28, 9);
    return QIcon(pix);
}

// "&x" underlines x, "&&" is one "&"; everything else is escaped text.
QString AccelCharsAsMarkup(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (c == QLatin1Char('&') && i + 1 < text.size()) {
            QChar next = text[++i];
            out += next == QLatin1Char('&') ? QStringLiteral("&amp;") : "<u>" + QString(next).toHtmlEscaped() + "</u>";
        } else {
            out += QString(c).toHtmlEscaped();
        }
    }
    return out.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
}

struct TButtonRow {
    unsigned flag;
    const char* text;
    int result;
    QMessageBox::ButtonRole role;
};
const TButtonRow kButtons[] = {
    {mbYes, "&Yes", mrYes, QMessageBox::YesRole},         {mbNo, "&No", mrNo, QMessageBox::NoRole},
    {mbOK, "OK", mrOk, QMessageBox::AcceptRole},          {mbCancel, "Cancel", mrCancel, QMessageBox::RejectRole},
    {mbAbort, "&Abort", mrAbort, QMessageBox::RejectRole}, {mbRetry, "&Retry", mrRetry, QMessageBox::AcceptRole},
    {mbIgnore, "&Ignore", mrIgnore, QMessageBox::AcceptRole},
};
} // namespace

QtDesktop::QtDesktop()
{
    gInstance = this;
    SetDesktop(this);
    // The task bar shows this picture while the window is there (no tray).
    QApplication::setWindowIcon(TrayPicture(true));
    qApp->installEventFilter(this);
}

QtDesktop::~QtDesktop()
{
    SetDesktop(nullptr);
    gInstance = nullptr;
}

QtDesktop& QtDesktop::Instance() { return *gInstance; }

void QtDesktop::RegisterView(TForm& form, TFormView* view) { views_[&form] = view; }
void QtDesktop::UnregisterView(TForm& form) { views_.erase(&form); }

namespace {
// The modal window a box belongs above (the UUDecoder, the tips); the box
// is then kept over it by the window manager as its transient.
QWidget* BoxOwner()
{
    QWidget* modal = QApplication::activeModalWidget();
    return dynamic_cast<TFormView*>(modal) ? modal : nullptr;
}

// Our own windows that stay on top (progress, wizard, tips) would cover a
// box that does not.
bool OwnWindowStaysOnTop()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && (w->windowFlags() & Qt::WindowStaysOnTopHint)) return true;
    return false;
}

// A box goes above the program's windows that stay on top (or above all
// when asked) and, shown last, is the top window and takes the keyboard.
int ExecInFront(QDialog& dlg, bool topmost = false)
{
    if (topmost || OwnWindowStaysOnTop()) dlg.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    QTimer::singleShot(0, &dlg, [&dlg] {
        dlg.raise();
        dlg.activateWindow();
    });
    return dlg.exec();
}
} // namespace

int QtDesktop::MessageDlg(const TMessageBox& box)
{
    QMessageBox dlg(BoxOwner());
    dlg.setWindowTitle(Q(MessageTitle(box.type)));
    if (box.showAccelChar) {
        dlg.setTextFormat(Qt::RichText);
        dlg.setText(AccelCharsAsMarkup(Q(box.text)));
    } else {
        dlg.setTextFormat(Qt::PlainText);
        dlg.setText(Q(box.text));
    }
    switch (box.type) {
    case TMsgDlgType::mtWarning: dlg.setIcon(QMessageBox::Warning); break;
    case TMsgDlgType::mtError: dlg.setIcon(QMessageBox::Critical); break;
    case TMsgDlgType::mtInformation: dlg.setIcon(QMessageBox::Information); break;
    case TMsgDlgType::mtConfirmation: dlg.setIcon(QMessageBox::Question); break;
    case TMsgDlgType::mtCustom: dlg.setIcon(QMessageBox::NoIcon); break;
    }
    std::map<QAbstractButton*, int> results;
    for (const auto& button : kButtons)
        if (box.buttons & button.flag) results[dlg.addButton(Q(button.text), button.role)] = button.result;
    QPushButton* help = (box.buttons & mbHelp) ? dlg.addButton(QStringLiteral("&Help"), QMessageBox::HelpRole) : nullptr;
    for (;;) {
        ExecInFront(dlg, box.topmost);
        QAbstractButton* clicked = dlg.clickedButton();
        if (help && clicked == help) {
            OpenHelp(box.helpContext, true);
            continue;
        }
        auto it = results.find(clicked);
        if (it != results.end()) return it->second;
        // Closed by Esc or the title bar: the box's cancelling answer.
        if (box.buttons & mbCancel) return mrCancel;
        if (box.buttons & mbNo) return mrNo;
        return (box.buttons & mbOK) ? mrOk : mrCancel;
    }
}

void QtDesktop::RegisterViewFactory(const std::string& className, TViewFactory factory)
{
    factories_[className] = std::move(factory);
}

void QtDesktop::FormCreated(TForm& form)
{
    auto it = factories_.find(form.ClassName());
    if (it != factories_.end()) ownedViews_[&form].reset(it->second(form));
}

void QtDesktop::FormDestroyed(TForm& form)
{
    auto it = ownedViews_.find(&form);
    if (it == ownedViews_.end()) return;
    // Stop the view listening before it goes; the form is half destroyed.
    form.ViewSync = nullptr;
    it->second->hide();
    ownedViews_.erase(it);
}

int QtDesktop::ShowModal(TForm& form)
{
    auto it = views_.find(&form);
    if (it == views_.end()) return mrCancel;
    return it->second->RunModal();
}

void QtDesktop::BringToFront(TForm& form)
{
    auto it = views_.find(&form);
    if (it == views_.end()) return;
    if (it->second->isMinimized()) it->second->showNormal();
    it->second->raise();
    it->second->activateWindow();
}

std::string QtDesktop::ClipboardText() { return S(QGuiApplication::clipboard()->text(QClipboard::Clipboard)); }

void QtDesktop::EmptyClipboard() { QGuiApplication::clipboard()->clear(QClipboard::Clipboard); }

void QtDesktop::WatchClipboard(std::function<void()> onChange)
{
    clipboardWatcher_ = std::move(onChange);
    if (clipboardConnection_) QObject::disconnect(clipboardConnection_);
    if (!clipboardWatcher_) return;
    if (QGuiApplication::platformName().startsWith(QStringLiteral("wayland")))
        LogDebug("Clipboard: this Wayland session tells only the focused window of clipboard changes; "
                 "start Tolvar with QT_QPA_PLATFORM=xcb (XWayland) to have every copied URL seen");
    clipboardConnection_ = QObject::connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && clipboardWatcher_) clipboardWatcher_();
    });
}

void QtDesktop::ApplyTray(const TTrayIconState& state)
{
    tray_->setIcon(TrayPicture(state.bright));
    tray_->setToolTip(Q(state.toolTip));
}

bool QtDesktop::TrayAdd(const TTrayIconState& state)
{
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
    if (!tray_) {
        tray_ = std::make_unique<QSystemTrayIcon>();
        QObject::connect(tray_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
            QPoint c = QCursor::pos();
            for (TTrayEvent e : TrayEventsFor(r))
                if (trayHandler_) trayHandler_(e, {c.x(), c.y()});
        });
    }
    ApplyTray(state);
    tray_->show();
    return true;
}

bool QtDesktop::TrayModify(const TTrayIconState& state)
{
    if (!tray_) return false;
    ApplyTray(state);
    return true;
}

bool QtDesktop::TrayDelete()
{
    if (!tray_) return false;
    tray_.reset();
    return true;
}

void QtDesktop::SetTrayHandler(std::function<void(TTrayEvent, TPoint)> handler) { trayHandler_ = std::move(handler); }

std::vector<TTrayEvent> QtDesktop::TrayEventsFor(int activationReason)
{
    switch (activationReason) {
    case QSystemTrayIcon::Trigger: return {TTrayEvent::Click};
    // The toolkit reports the first click of a double click as Trigger and
    // the second only as DoubleClick.
    case QSystemTrayIcon::DoubleClick: return {TTrayEvent::Click, TTrayEvent::DblClick};
    case QSystemTrayIcon::Context: return {TTrayEvent::RightClick};
    default: return {};
    }
}

bool QtDesktop::TrayAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

void QtDesktop::TrayMessage(const std::string& text)
{
    if (tray_) tray_->showMessage(QStringLiteral("Tolvar"), QString::fromUtf8(text.c_str()), QSystemTrayIcon::Information, 4000);
}

void QtDesktop::ShowPopupMenu(TPopupMenu& menu, TPoint at)
{
    QMenu qmenu;
    for (TMenuItem* item : menu.Items) {
        QAction* action = qmenu.addAction(Q(item->Caption()));
        action->setEnabled(item->Enabled());
        QObject::connect(action, &QAction::triggered, &qmenu, [item] { RunGuarded(*item, [item] { item->Click(); }); });
    }
    qmenu.exec(QPoint(at.x, at.y));
}

void QtDesktop::TimerChanged(TTimer& timer)
{
    QTimer*& q = timers_[&timer];
    if (!q) {
        q = new QTimer(this);
        QObject::connect(q, &QTimer::timeout, this, [&timer] { RunGuarded(timer, [&timer] { timer.Tick(); }); });
    }
    q->setInterval(timer.Interval());
    if (timer.Enabled() && timer.Interval() > 0)
        q->start();
    else
        q->stop();
}

void QtDesktop::TimerDestroyed(TTimer& timer)
{
    auto it = timers_.find(&timer);
    if (it == timers_.end()) return;
    delete it->second;
    timers_.erase(it);
}

void QtDesktop::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtDesktop::HandleMessage() { QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); }

void QtDesktop::Beep() { QApplication::beep(); }

void QtDesktop::ShowHelp(int helpContext) { OpenHelp(helpContext, false); }

TPoint QtDesktop::CursorPos()
{
    QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

TSize QtDesktop::ScreenSize()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {1024, 768};
    QSize s = screen->geometry().size();
    return {s.width(), s.height()};
}

std::vector<std::string> QtDesktop::OpenFileNames(const std::string& title)
{
    std::vector<std::string> files;
    for (const QString& file : QFileDialog::getOpenFileNames(QApplication::activeWindow(), Q(title)))
        files.push_back(file.toStdString());
    return files;
}

bool QtDesktop::StartProcess(const std::string& program, const std::vector<std::string>& args)
{
    QStringList list;
    for (const auto& a : args) list << QString::fromLocal8Bit(a.c_str());
    return QProcess::startDetached(QString::fromLocal8Bit(program.c_str()), list);
}

void QtDesktop::Terminate()
{
    terminated_ = true;
    // exit() leaves every running event loop, nested ones included.
    QCoreApplication::exit(0);
}

bool QtDesktop::ClaimSingleInstance(const std::string& name)
{
    instanceLock_ = ClaimInstanceLock(name);
    // `tolvar request` sending on its own holds the lock without listening:
    // wait for it (a send gives up within its time-out) rather than end
    // unseen, as a second copy does when the running one answers.
    QDeadlineTimer deadline(kCommandLineSendMs);
    while (!instanceLock_ && !deadline.hasExpired()) {
        TInstanceClient running;
        if (running.Connect(InstanceSocketPath(name), 200)) return false;
        QThread::msleep(200);
        instanceLock_ = ClaimInstanceLock(name);
    }
    if (!instanceLock_) return false;
    instanceServer_ = std::make_unique<TInstanceServer>(InstanceSocketPath(name), [this] {
        if (activateHandler_) activateHandler_();
    });
    return true;
}

void QtDesktop::ActivatePreviousInstance(const std::string& name)
{
    TInstanceClient client;
    if (client.Connect(InstanceSocketPath(name), 1000)) client.Activate();
}

void QtDesktop::SetRequestHandler(std::function<std::string(const std::string& url)> handler)
{
    if (instanceServer_) instanceServer_->SetRequestHandler(std::move(handler));
}

void QtDesktop::SetActivateHandler(std::function<void()> handler) { activateHandler_ = std::move(handler); }

bool QtDesktop::AskPassword(const std::string& prompt, std::string& password)
{
    // Asked during a send, while the progress window stays on top: the box
    // goes above it, as the message boxes do.
    QInputDialog dlg(BoxOwner());
    dlg.setWindowTitle(QStringLiteral("Tolvar"));
    dlg.setLabelText(Q(prompt));
    dlg.setTextEchoMode(QLineEdit::Password);
    bool ok = ExecInFront(dlg) == QDialog::Accepted;
    // Kept in memory only: the text goes straight to the caller.
    QString text = dlg.textValue();
    if (ok) password = S(text);
    text.fill(QChar(0));
    dlg.setTextValue(QString());
    return ok;
}

namespace {
// Windows virtual-key codes, which the windows' key handlers speak: letters
// and main-row digits are their upper-case characters, keypad digits are
// 0x60 + digit.
int VirtualKey(const QKeyEvent& e)
{
    int key = e.key();
    if ((e.modifiers() & Qt::KeypadModifier) && key >= Qt::Key_0 && key <= Qt::Key_9) return 0x60 + (key - Qt::Key_0);
    return key;
}

unsigned ShiftState(Qt::KeyboardModifiers m)
{
    unsigned shift = 0;
    if (m & Qt::ShiftModifier) shift |= ssShift;
    if (m & Qt::AltModifier) shift |= ssAlt;
    if (m & Qt::ControlModifier) shift |= ssCtrl;
    return shift;
}

// The help context of the control with the keyboard, or of the nearest
// control around it that has one; else the window's own.
int ContextOf(QWidget* focus, TFormView& view)
{
    for (QWidget* w = focus; w && w != &view; w = w->parentWidget())
        if (TControl* control = BoundControl(w); control && control->HelpContext() != 0) return control->HelpContext();
    return view.Form().CurrentHelpContext();
}
} // namespace

bool QtDesktop::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(watched);
    // A key not taken by a control travels up to its parents, each passing
    // here: act once, where it starts.
    QWidget* focus = w->window()->focusWidget();
    if (focus ? focus != w : !w->isWindow()) return false;
    auto* view = dynamic_cast<TFormView*>(w->window());
    if (!view) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
        int context = ContextOf(w, *view);
        RunGuarded(view->Form(), [context] { OpenHelp(context, false); });
        return true;
    }
    TForm& form = view->Form();
    if (!form.OnKeyDown) return false;
    unsigned shift = ShiftState(key->modifiers());
    int vk = VirtualKey(*key);
    // A key the window acted on goes no further: an edit field must not
    // also type the digit. Others (AltGr arriving as Ctrl+Alt) still type.
    bool handled = false;
    RunGuarded(form, [&] { handled = form.OnKeyDown(vk, shift); });
    return handled;
}
