#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTextBrowser>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "app/props.h"
#include "intake/prgress.h"
#include "qt/progressview.h"
#include "qt/propsview.h"
#include "qt/qtdesktop.h"
#include "support/tempdir.h"

namespace {
// The real main window, keys typed into its URL field.
struct KeyFilter : ::testing::Test {
    KeyFilter()
    {
        // Help opens in the built-in viewer, never in a browser.
        ::setenv("TOLVAR_HELP", "builtin", 1);
        std::filesystem::create_directories(root.Path() + "help");
        root.Write("help/index.html", "<html><body><h1 id=\"context-0\">Top</h1>" + std::string(4000, '\n') +
                                          "<p>" + std::string(20000, 'x') + "</p><p id=\"context-22\">Manual entry</p>" +
                                          "<p>" + std::string(20000, 'y') + "</p></body></html>");
        view.show();
    }
    ~KeyFilter() override
    {
        ::unsetenv("TOLVAR_HELP");
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<QTextBrowser*>(w->findChild<QTextBrowser*>())) w->close();
    }
    TTempRoot root;
    QtDesktop desk;
    TfrmProps props{{}};
    TPropsView view{props};
};
} // namespace

TEST_F(KeyFilter, CtrlAltKeysAndF1ReachTheWindowWhileAnEditHasTheKeyboard)
{
    auto* edit = view.findChild<QLineEdit*>("txtURL");
    ASSERT_NE(edit, nullptr);
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* text;
        QString box;   // the question asked ("" for none)
        QString typed; // what the field holds afterwards
    } cases[] = {
        {Qt::Key_1, Qt::ControlModifier | Qt::AltModifier, "1", "Don't send mode is: OFF. Change?", ""},
        {Qt::Key_1, Qt::ControlModifier | Qt::AltModifier | Qt::KeypadModifier, "1", "Super debug status is: OFF. Change?", ""},
        {Qt::Key_A, Qt::ControlModifier | Qt::AltModifier, "a", "Super debug status is: ON. Change?", ""},
        {Qt::Key_1, Qt::NoModifier, "1", "", "1"},
        // AltGr may arrive as Ctrl+Alt: what the window does not use still types.
        {Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier, "@", "", "@"},
    };
    for (const auto& c : cases) {
        edit->clear();
        edit->setFocus();
        QString asked;
        QTimer::singleShot(100, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                asked = box->text();
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == "&Yes") b->click();
            }
        });
        QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers, QString::fromLatin1(c.text));
        QApplication::sendEvent(edit, &press);
        QApplication::processEvents();
        EXPECT_EQ(asked, c.box) << c.text << " " << c.modifiers;
        EXPECT_EQ(edit->text(), c.typed) << c.box.toStdString();
    }
    EXPECT_TRUE(props.dispatcher.dontSendMode);
    EXPECT_FALSE(props.capture.superDebug) << "on by keypad 1, off again by A";

    // F1 in the URL field: the help at that field's section.
    edit->setFocus();
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(edit, &f1);
    QTextBrowser* help = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->findChild<QTextBrowser*>()) help = w->findChild<QTextBrowser*>();
    ASSERT_NE(help, nullptr) << "no built-in help window";
    EXPECT_EQ(help->source().fragment(), "context-22");
    QApplication::processEvents();
    EXPECT_GT(help->verticalScrollBar()->value(), 0) << "opened at the top, not at the section";
}

TEST(TrayClicks, DoubleClickIsTwoClicksAndMiddleClickNothing)
{
    using E = TTrayEvent;
    struct Case {
        QSystemTrayIcon::ActivationReason reason;
        std::vector<TTrayEvent> events;
    } cases[] = {
        {QSystemTrayIcon::Trigger, {E::Click}},
        {QSystemTrayIcon::DoubleClick, {E::Click, E::DblClick}},
        {QSystemTrayIcon::Context, {E::RightClick}},
        {QSystemTrayIcon::MiddleClick, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(QtDesktop::TrayEventsFor(c.reason), c.events) << c.reason;
}

namespace {
// Answers the next box, noting whether it was above everything, had the
// keyboard and belonged to the given window.
struct BoxSeen {
    bool onTop = false, active = false;
    QWidget* owner = nullptr;
};
void AnswerNextBox(BoxSeen& seen)
{
    QTimer::singleShot(100, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen.onTop = box->windowFlags() & Qt::WindowStaysOnTopHint;
        seen.active = QApplication::activeWindow() == box;
        seen.owner = box->parentWidget();
        box->accept();
    });
}
} // namespace

TEST(Boxes, AreAboveTheProgressWindowAndTheModalWindowAndTakeTheKeyboard)
{
    TTempRoot root;
    QtDesktop desk;
    RegisterQtViews();
    {
        // "Request Failed" while the progress window (always on top) is up.
        TfrmProgress progress;
        progress.Show();
        BoxSeen seen;
        AnswerNextBox(seen);
        MessageDlg("Request Failed", TMsgDlgType::mtWarning, mbOK, 0);
        EXPECT_TRUE(seen.onTop);
        EXPECT_TRUE(seen.active);
    }
    // A box raised from a modal window on top (the UUDecoder) belongs to it.
    TForm wizard("frmWizard");
    TFormView view(wizard);
    view.setWindowFlag(Qt::WindowStaysOnTopHint);
    BoxSeen seen;
    QTimer::singleShot(50, [&] {
        AnswerNextBox(seen);
        MessageDlg("Bad first part", TMsgDlgType::mtError, mbOK, 0);
        wizard.SetModalResult(mrCancel);
    });
    wizard.ShowModal();
    EXPECT_TRUE(seen.onTop);
    EXPECT_TRUE(seen.active);
    EXPECT_EQ(seen.owner, &view);
}

TEST(Boxes, PasswordBoxHidesTheTextGoesAboveTheProgressWindowAndCancelGivesNothing)
{
    TTempRoot root;
    QtDesktop desk;
    RegisterQtViews();
    TfrmProgress progress;
    progress.Show();
    for (bool accept : {true, false}) {
        SCOPED_TRACE(accept ? "OK" : "Cancel");
        BoxSeen seen;
        QLineEdit::EchoMode echo = QLineEdit::Normal;
        QTimer::singleShot(100, [&] {
            auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            if (!box) return;
            seen.onTop = box->windowFlags() & Qt::WindowStaysOnTopHint;
            seen.active = QApplication::activeWindow() == box;
            echo = box->textEchoMode();
            box->setTextValue("s3cret");
            accept ? box->accept() : box->reject();
        });
        std::string password = "earlier";
        EXPECT_EQ(desk.AskPassword("Password for me at smtp.example.org", password), accept);
        EXPECT_EQ(password, accept ? "s3cret" : "earlier");
        EXPECT_EQ(echo, QLineEdit::Password);
        EXPECT_TRUE(seen.onTop);
        EXPECT_TRUE(seen.active);
    }
}

namespace {
QTextBrowser* VisibleHelpViewer()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->findChild<QTextBrowser*>()) return w->findChild<QTextBrowser*>();
    return nullptr;
}
} // namespace

TEST(Help, TheOpenerGetsAPageThatJumpsToTheSectionAndItsFailureOpensTheViewer)
{
    TTempRoot root;
    std::filesystem::create_directories(root.Path() + "help");
    root.Write("help/index.html", "<html><body><h2 id=\"context-4002\">Servers</h2></body></html>");
    QtDesktop desk;
    // A stand-in xdg-open that keeps the page it was given and exits as told.
    TTempDir bin;
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", bin.Path().c_str(), 1);
    ::unsetenv("TOLVAR_HELP");
    for (int exitCode : {0, 3}) {
        bin.Write("xdg-open", "#!/bin/sh\n/bin/cat \"${1#file://}\" > \"$0.page\"\nexit " + std::to_string(exitCode) + "\n");
        std::filesystem::permissions(bin.File("xdg-open"), std::filesystem::perms::owner_all);
        std::filesystem::remove(bin.File("xdg-open.page"));
        desk.ShowHelp(4002);
        QDeadlineTimer deadline(5000);
        auto done = [&] { return bin.Read("xdg-open.page").find("</html>") != std::string::npos && (exitCode == 0 || VisibleHelpViewer()); };
        while (!deadline.hasExpired() && !done()) QApplication::processEvents(QEventLoop::AllEvents, 50);
        // Long enough for the opener's exit to be seen.
        QDeadlineTimer settle(300);
        while (!settle.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 50);
        EXPECT_NE(bin.Read("xdg-open.page").find("help/index.html#context-4002"), std::string::npos) << exitCode;
        QTextBrowser* viewer = VisibleHelpViewer();
        EXPECT_EQ(viewer != nullptr, exitCode != 0) << "the built-in viewer opens exactly when the opener fails";
        if (viewer) {
            EXPECT_EQ(viewer->source().fragment(), "context-4002");
            viewer->window()->close();
        }
    }
    ::setenv("PATH", path.c_str(), 1);
}
