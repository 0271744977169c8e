#include "qt/helpview.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <memory>

#include "core/deblog.h"
#include "core/localroot.h"
#include "qt/bind.h"
#include "ui/desktop.h"

namespace {
QPointer<QDialog> gViewer;

// Pages that jump to a section live for the run in a private folder.
QString RedirectPage(const QUrl& target)
{
    static std::unique_ptr<QTemporaryDir> folder;
    if (!folder) {
        QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        QString base = runtime.startsWith('/') ? runtime : QDir::tempPath();
        folder = std::make_unique<QTemporaryDir>(base + QStringLiteral("/tolvar-help-XXXXXX"));
    }
    if (!folder->isValid()) return {};
    QString path = folder->filePath(QStringLiteral("help-%1.html").arg(target.fragment()));
    QFile page(path);
    if (!page.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
    QString href = target.toString(QUrl::FullyEncoded).toHtmlEscaped();
    page.write(QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                              "<meta http-equiv=\"refresh\" content=\"0; url=%1\"><title>Tolvar help</title>"
                              "</head><body><a href=\"%1\">Tolvar help</a></body></html>\n")
                   .arg(href)
                   .toUtf8());
    return page.error() == QFileDevice::NoError ? path : QString();
}

// xdg-open says by its exit code whether a program took the page.
void OpenWithXdgOpen(const QString& opener, const QString& page, const QUrl& target)
{
    // No parent: ending Tolvar must not kill a browser started under it.
    auto* process = new QProcess;
    QObject::connect(process, &QProcess::finished, [process, target](int code, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || code != 0) {
            LogDebug("Help: xdg-open failed (" + std::to_string(code) + "), using the built-in viewer");
            ShowBuiltInHelp(target, false);
        }
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::errorOccurred, [process, target](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart) return;
        ShowBuiltInHelp(target, false);
        process->deleteLater();
    });
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(opener, {QUrl::fromLocalFile(page).toString()});
}
} // namespace

QUrl HelpUrl(int helpContext)
{
    QUrl url = QUrl::fromLocalFile(Q(HelpFolder() + "index.html"));
    url.setFragment(QStringLiteral("context-%1").arg(helpContext));
    return url;
}

QTextBrowser* ShowBuiltInHelp(const QUrl& url, bool modal)
{
    if (!gViewer) {
        gViewer = new QDialog(nullptr, Qt::Window);
        gViewer->setAttribute(Qt::WA_DeleteOnClose);
        gViewer->setWindowTitle(QStringLiteral("Tolvar Help"));
        auto* browser = new QTextBrowser(gViewer);
        browser->setOpenExternalLinks(true);
        auto* layout = new QVBoxLayout(gViewer);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(browser);
        gViewer->resize(640, 520);
    }
    auto* browser = gViewer->findChild<QTextBrowser*>();
    browser->setSource(url);
    if (modal) {
        if (gViewer->isVisible()) gViewer->hide();
        gViewer->setWindowModality(Qt::ApplicationModal);
        QPointer<QDialog> viewer = gViewer;
        viewer->exec();
        return viewer ? browser : nullptr;
    }
    gViewer->show();
    gViewer->raise();
    gViewer->activateWindow();
    return browser;
}

void OpenHelp(int helpContext, bool modal)
{
    QUrl target = HelpUrl(helpContext);
    QString file = target.toLocalFile();
    if (!QFileInfo::exists(file)) {
        MessageDlg("The help file " + S(file) + " is missing", TMsgDlgType::mtError, mbOK, 0);
        return;
    }
    modal = modal || QApplication::activeModalWidget() != nullptr;
    if (qEnvironmentVariable("TOLVAR_HELP") != QLatin1String("builtin")) {
        QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        QString page = opener.isEmpty() ? QString() : RedirectPage(target);
        if (!page.isEmpty()) {
            OpenWithXdgOpen(opener, page, target);
            return;
        }
        // Without xdg-open Qt knows other ways (the desktop portal, a browser
        // named in BROWSER); the section is then left to the browser.
        if (opener.isEmpty() && QDesktopServices::openUrl(target)) return;
    }
    ShowBuiltInHelp(target, modal);
}
