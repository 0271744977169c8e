#include "qt/decodeview.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "qt/bind.h"
#include "replies/decode.h"

namespace {

QLabel* CentredLabel(TLabel& model)
{
    auto* label = new QLabel;
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    BindLabel(model, label);
    return label;
}

} // namespace

TDecodeView::TDecodeView(TfrmDecode& form) : TFormView(form)
{
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint);
    auto* part = CentredLabel(form.lblPart);
    QFont bold = part->font();
    bold.setBold(true);
    bold.setPixelSize(13);
    part->setFont(bold);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(MakeButton(form.btnHelp));
    buttons->addStretch();
    buttons->addWidget(MakeButton(form.btnNext));
    buttons->addWidget(MakeButton(form.btnCancel));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CentredLabel(form.UseYourOwnMailer));
    layout->addWidget(part);
    layout->addWidget(CentredLabel(form.lblInstruct));
    layout->addLayout(buttons);
    SetCancelButton(&form.btnCancel);
    setFixedSize(TfrmDecode::kWidth, TfrmDecode::kHeight);
    move(form.Bounds().left, form.Bounds().top);
}

TFormView* MakeDecodeView(TForm& form) { return new TDecodeView(static_cast<TfrmDecode&>(form)); }
