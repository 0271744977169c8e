#include "qt/qtdesktop.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
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
#include <QUrl>
#include <cstdlib>

#include "core/deblog.h"
#include "core/localroot.h"
#include "qt/bind.h"
#include "qt/formview.h"
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
}

QtDesktop::~QtDesktop()
{
    SetDesktop(nullptr);
    gInstance = nullptr;
}

QtDesktop& QtDesktop::Instance() { return *gInstance; }

void QtDesktop::RegisterView(TForm& form, TFormView* view) { views_[&form] = view; }
void QtDesktop::UnregisterView(TForm& form) { views_.erase(&form); }

int QtDesktop::MessageDlg(const TMessageBox& box)
{
    QMessageBox dlg;
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
    if (box.topmost) dlg.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    std::map<QAbstractButton*, int> results;
    for (const auto& button : kButtons)
        if (box.buttons & button.flag) results[dlg.addButton(Q(button.text), button.role)] = button.result;
    QPushButton* help = (box.buttons & mbHelp) ? dlg.addButton(QStringLiteral("&Help"), QMessageBox::HelpRole) : nullptr;
    for (;;) {
        dlg.exec();
        QAbstractButton* clicked = dlg.clickedButton();
        if (help && clicked == help) {
            ShowHelp(box.helpContext);
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
            if (!trayHandler_) return;
            QPoint c = QCursor::pos();
            TTrayEvent e = r == QSystemTrayIcon::DoubleClick ? TTrayEvent::DblClick
                           : r == QSystemTrayIcon::Context   ? TTrayEvent::RightClick
                                                             : TTrayEvent::Click;
            trayHandler_(e, {c.x(), c.y()});
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

void QtDesktop::ShowHelp(int helpContext)
{
    QUrl url = QUrl::fromLocalFile(Q(LocalRoot() + "help/index.html"));
    url.setFragment(QStringLiteral("context-%1").arg(helpContext));
    QDesktopServices::openUrl(url);
}

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
