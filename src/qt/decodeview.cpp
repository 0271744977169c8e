#include "qt/decodeview.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "qt/bind.h"
#include "replies/decode.h"
#include "ui/application.h"

namespace {

std::vector<std::string> LocalFiles(const QMimeData* data)
{
    std::vector<std::string> files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files.push_back(url.toLocalFile().toStdString());
    return files;
}

QLabel* CentredLabel(TLabel& model)
{
    auto* label = new QLabel;
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    BindLabel(model, label);
    return label;
}

} // namespace

TDecodeView::TDecodeView(TfrmDecode& form) : TFormView(form), decode_(form)
{
    setAcceptDrops(true);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint);
    auto* part = CentredLabel(form.lblPart);
    QFont bold = part->font();
    bold.setBold(true);
    bold.setPixelSize(13);
    part->setFont(bold);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(MakeButton(form.btnHelp));
    buttons->addWidget(MakeButton(form.btnOpen));
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

void TDecodeView::dragEnterEvent(QDragEnterEvent* e)
{
    if (!LocalFiles(e->mimeData()).empty()) e->acceptProposedAction();
}

void TDecodeView::dropEvent(QDropEvent* e)
{
    std::vector<std::string> files = LocalFiles(e->mimeData());
    if (files.empty()) return;
    e->acceptProposedAction();
    RunGuarded(decode_, [this, files] { decode_.FormDropFiles(files); });
}

TFormView* MakeDecodeView(TForm& form) { return new TDecodeView(static_cast<TfrmDecode&>(form)); }
