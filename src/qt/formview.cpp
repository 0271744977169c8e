#include "qt/formview.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QWindowStateChangeEvent>

#include "qt/bind.h"
#include "qt/qtdesktop.h"
#include "ui/application.h"

TFormView::TFormView(TForm& form, QWidget* parent) : QDialog(parent), form_(form)
{
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);
    auto previous = form.ViewSync;
    form.ViewSync = [this, previous] {
        if (previous) previous();
        Sync();
    };
    QtDesktop::Instance().RegisterView(form, this);
    Sync();
}

TFormView::~TFormView() { QtDesktop::Instance().UnregisterView(form_); }

void TFormView::Sync()
{
    if (syncing_) return;
    syncing_ = true;
    setWindowTitle(Q(form_.Caption()));
    const TRect& r = form_.Bounds();
    if (r.width > 0 && r.height > 0 && (width() != r.width || height() != r.height)) resize(r.width, r.height);
    if (pos() != QPoint(r.left, r.top)) move(r.left, r.top);
    if (!form_.Visible()) {
        if (isVisible()) hide();
    } else if (form_.Minimized()) {
        if (!isVisible() || !isMinimized()) showMinimized();
    } else if (!isVisible()) {
        if (isMinimized()) showNormal();
        show();
        if (!testAttribute(Qt::WA_ShowWithoutActivating)) {
            raise();
            activateWindow();
        } else if (QWidget* box = QApplication::activeModalWidget()) {
            // A window that shows without the keyboard (progress) never
            // covers the box the user is answering.
            box->raise();
        }
    }
    if (modalLoop_ && (form_.ModalResult() != mrNone || !form_.Visible())) modalLoop_->quit();
    syncing_ = false;
}

int TFormView::RunModal()
{
    QEventLoop loop;
    modalLoop_ = &loop;
    setWindowModality(Qt::ApplicationModal);
    form_.SetModalLoopActive(true);
    form_.Show();
    Sync();
    if (form_.ModalResult() == mrNone && form_.Visible()) loop.exec(QEventLoop::DialogExec);
    modalLoop_ = nullptr;
    form_.SetModalLoopActive(false);
    form_.Hide();
    setWindowModality(Qt::NonModal);
    return form_.ModalResult();
}

void TFormView::closeEvent(QCloseEvent* e)
{
    // The model decides; the window follows its Visible.
    e->ignore();
    RunGuarded(form_, [this] { form_.Close(); });
}

void TFormView::reject()
{
    if (cancelButton_) {
        RunGuarded(*cancelButton_, [this] { cancelButton_->Click(); });
        return;
    }
    RunGuarded(form_, [this] { form_.Close(); });
}

void TFormView::changeEvent(QEvent* e)
{
    QDialog::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange || syncing_ || !isVisible()) return;
    bool minimized = isMinimized();
    if (minimized == form_.Minimized()) return;
    form_.SetMinimizedByUser(minimized);
    if (minimized && form_.OnMinimize) RunGuarded(form_, [this] { form_.OnMinimize(); });
}


void TFormView::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (form_.OnShow) RunGuarded(form_, [this] { form_.OnShow(); });
}
