#include "qt/progressview.h"

#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "intake/prgress.h"
#include "qt/bind.h"
#include "qt/decodeview.h"
#include "qt/qtdesktop.h"
#include "qt/tipsview.h"

TProgressView::TProgressView(TfrmProgress& form) : TFormView(form)
{
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(1);
    auto* label = new QLabel(panel);
    label->setAlignment(Qt::AlignCenter);
    label->setFixedHeight(16);
    QFont f = label->font();
    f.setPointSize(8);
    label->setFont(f);
    BindLabel(form.Label1, label);
    auto* bar = new QProgressBar(panel);
    bar->setRange(0, 100);
    bar->setFixedHeight(9);
    bar->setTextVisible(false);
    form.ProgressBar1.ViewSync = [&form, bar] {
        bar->setValue(form.ProgressBar1.Position());
        bar->setVisible(form.ProgressBar1.Visible());
    };
    form.ProgressBar1.ViewSync();
    auto* inner = new QVBoxLayout(panel);
    inner->setContentsMargins(2, 1, 2, 1);
    inner->setSpacing(1);
    inner->addWidget(label);
    inner->addWidget(bar);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panel);
    setFixedSize(TfrmProgress::kWidth, TfrmProgress::kHeight);
    move(form.Bounds().left, form.Bounds().top);
}

void RegisterQtViews()
{
    QtDesktop::Instance().RegisterViewFactory("TfrmDecode", MakeDecodeView);
    QtDesktop::Instance().RegisterViewFactory("TfrmTips", MakeTipsView);
    QtDesktop::Instance().RegisterViewFactory("TfrmProgress", [](TForm& form) -> TFormView* {
        return new TProgressView(static_cast<TfrmProgress&>(form));
    });
}
