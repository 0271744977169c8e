#include "qt/tipsview.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "qt/bind.h"
#include "replies/tips.h"

namespace {
// A light bulb: the tips' own picture, drawn so no image file has to ship.
QPixmap BulbPicture()
{
    QPixmap pix(32, 32);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 90, 0), 1));
    p.setBrush(QColor(255, 220, 60));
    p.drawEllipse(QRectF(7, 2, 18, 18));
    p.drawRect(QRectF(12, 19, 8, 4));
    p.setBrush(QColor(140, 140, 140));
    p.setPen(QPen(QColor(80, 80, 80), 1));
    p.drawRect(QRectF(12, 23, 8, 6));
    p.setPen(QPen(Qt::white, 2));
    p.drawArc(QRectF(11, 6, 10, 10), 90 * 16, 90 * 16);
    return pix;
}
} // namespace

TTipsView::TTipsView(TfrmTips& form) : TFormView(form)
{
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint);

    auto* picture = new QLabel;
    picture->setPixmap(BulbPicture());
    picture->setFixedSize(32, 32);
    auto* title = new QLabel;
    QFont titleFont = title->font();
    titleFont.setPointSize(12);
    titleFont.setBold(true);
    title->setFont(titleFont);
    BindLabel(form.Label1, title);

    auto* tip = new QLabel;
    tip->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    tip->setAlignment(Qt::AlignCenter);
    tip->setWordWrap(true);
    tip->setMargin(6);
    tip->setAutoFillBackground(true);
    QPalette pal = tip->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    tip->setPalette(pal);
    QFont tipFont = tip->font();
    tipFont.setPointSize(10);
    tip->setFont(tipFont);
    BindLabel(form.StaticText1, tip);

    auto* head = new QHBoxLayout;
    head->addWidget(picture);
    head->addWidget(title, 1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(MakeButton(form.btnOk));
    buttons->addWidget(MakeButton(form.btnNext));
    buttons->addWidget(MakeButton(form.btnPrevious));
    buttons->addWidget(MakeButton(form.btnHelp));
    buttons->addStretch();

    auto* body = new QHBoxLayout;
    body->addWidget(tip, 1);
    body->addLayout(buttons);

    auto* show = new QCheckBox;
    BindCheckBox(form.chkShowTips, show);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 6);
    layout->addLayout(head);
    layout->addLayout(body, 1);
    layout->addWidget(show);
    SetCancelButton(&form.btnOk);
    setFixedSize(TfrmTips::kClientWidth, TfrmTips::kClientHeight);
    move(form.Bounds().left, form.Bounds().top);
}

TFormView* MakeTipsView(TForm& form)
{
    return new TTipsView(static_cast<TfrmTips&>(form));
}
