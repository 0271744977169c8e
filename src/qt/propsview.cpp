#include "qt/propsview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/props.h"
#include "qt/bind.h"


TPropsView::TPropsView(TfrmProps& props) : TFormView(props), props_(props)
{
    auto* tabs = new QTabWidget;
    tabs->setUsesScrollButtons(false);
    tabs->addTab(GeneralPage(), Q(props.PageControl1.Pages()[0]));
    tabs->addTab(MyDetailsPage(), Q(props.PageControl1.Pages()[1]));
    tabs->addTab(ServersPage(), Q(props.PageControl1.Pages()[2]));
    tabs->addTab(HistoryPage(), Q(props.PageControl1.Pages()[3]));
    tabs->addTab(QueuePage(), Q(props.PageControl1.Pages()[4]));
    tabs->addTab(PreferencesPage(), Q(props.PageControl1.Pages()[5]));
    tabs->addTab(AboutPage(), Q(props.PageControl1.Pages()[6]));
    BindPageControl(props.PageControl1, tabs);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(MakeButton(props.btnOk));
    buttons->addWidget(MakeButton(props.btnCancel));
    buttons->addWidget(MakeButton(props.btnUnload));
    buttons->addWidget(MakeButton(props.btnHelp));
    buttons->addStretch();
    buttons->addWidget(MakeButton(props.btnDecoderTools));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(buttons);
    SetCancelButton(&props.btnCancel);
    // The design's client area is a floor: fonts here are larger than the
    // ones it was drawn for, so the window takes what its pages need.
    QSize need = sizeHint().expandedTo(QSize(props.Width(), props.Height()));
    props.SetBounds({props.Bounds().left, props.Bounds().top, need.width(), need.height()});
}

QWidget* TPropsView::GeneralPage()
{
    auto* page = new QWidget;
    auto* top = new QHBoxLayout;
    top->addWidget(MakeRadioGroup(props_.optEnabled, 1, page));
    top->addWidget(MakeRadioGroup(props_.optConfirm, 1, page), 1);

    auto* url = new QHBoxLayout;
    url->addWidget(MakeEdit(props_.txtURL), 1);
    QPushButton* go = MakeButton(props_.btnGo);
    go->setDefault(true);
    url->addWidget(go);

    auto* tips = new QGroupBox(QStringLiteral("Tip Of The Day"));
    auto* tipsRow = new QHBoxLayout(tips);
    tipsRow->addWidget(MakeButton(props_.btnNow));
    tipsRow->addWidget(MakeCheck(props_.chkShowTips));
    tipsRow->addStretch();

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addWidget(MakeCheck(props_.chkCheckHistory));
    layout->addWidget(MakeLabel(props_.lblManualEntry));
    layout->addLayout(url);
    layout->addWidget(tips);
    layout->addStretch();
    return page;
}

QWidget* TPropsView::MyDetailsPage()
{
    auto* page = new QWidget;
    auto* group = new QGroupBox(QStringLiteral("Where to return files and pages. Check the SMTP settings with your Service Provider"));
    auto* form = new QFormLayout(group);
    QLineEdit* email = MakeEdit(props_.txtEmail);
    QLineEdit* smtp = MakeEdit(props_.txtSMTP);
    form->addRow(MakeLabel(props_.lblEmail, email), email);
    form->addRow(MakeLabel(props_.lblSMTP, smtp), smtp);

    auto* login = new QGroupBox(QStringLiteral("Encryption and login (port 587: STARTTLS, port 465: SSL/TLS)"));
    auto* loginForm = new QFormLayout(login);
    QComboBox* security = MakeCombo(props_.cboSMTPSecurity);
    QLineEdit* user = MakeEdit(props_.txtSMTPUser);
    QLineEdit* command = MakeEdit(props_.txtSMTPPasswordCommand);
    command->setPlaceholderText(QStringLiteral("e.g. pass show mail/smtp (empty: ask once per run)"));
    loginForm->addRow(MakeLabel(props_.lblSMTPSecurity, security), security);
    loginForm->addRow(MakeLabel(props_.lblSMTPUser, user), user);
    loginForm->addRow(MakeLabel(props_.lblSMTPPasswordCommand, command), command);
    loginForm->addRow(QString(), MakeCheck(props_.chkRememberPassword));
    loginForm->addRow(QString(), MakeCheck(props_.chkPlainLogin));

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addWidget(login);
    layout->addStretch();
    return page;
}

QWidget* TPropsView::ServersPage()
{
    auto* page = new QWidget;
    auto* group = new QGroupBox(QStringLiteral("The \"ByMail\" severs used to fetch files and pages"));
    auto* form = new QFormLayout(group);
    QComboBox* pages = MakeCombo(props_.cboHTTPServersPages);
    QComboBox* binary = MakeCombo(props_.cboHTTPServersBinary);
    QComboBox* ftp = MakeCombo(props_.cboFTPservers);
    form->addRow(MakeLabel(props_.lblPages, pages), pages);
    form->addRow(MakeLabel(props_.lblBinary, binary), binary);
    form->addRow(MakeLabel(props_.lblFTP, ftp), ftp);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addStretch();
    return page;
}

QWidget* TPropsView::HistoryPage()
{
    auto* page = new QWidget;
    auto* list = new QListWidget;
    BindListBox(props_.lstHistory, list, &props_.popHistory);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Right click a history item to access commands")));
    layout->addWidget(list);
    return page;
}

QWidget* TPropsView::QueuePage()
{
    auto* page = new QWidget;
    auto* group = new QGroupBox(QStringLiteral("Add requests to queue"));
    auto* checks = new QVBoxLayout(group);
    checks->addWidget(MakeCheck(props_.chkOnFailure));
    checks->addWidget(MakeCheck(props_.chkNotEnabled));
    checks->addWidget(MakeCheck(props_.chkNever));
    auto* list = new QListWidget;
    BindListBox(props_.lstQueue, list, &props_.popQueue);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("Right click a queued item to access commands")));
    right->addWidget(list);
    right->addWidget(MakeButton(props_.btnSend), 0, Qt::AlignRight);
    auto* layout = new QHBoxLayout(page);
    layout->addWidget(group);
    layout->addLayout(right, 1);
    return page;
}

QWidget* TPropsView::PreferencesPage()
{
    auto* page = new QWidget;
    auto* important = new QLabel(QStringLiteral(
        "IMPORTANT: This page allows you to express preferences. You will not always get the option you prefer "
        "because not all servers support all modes."));
    important->setWordWrap(true);
    important->setAlignment(Qt::AlignCenter);
    auto* split = new QGroupBox(QStringLiteral(" Splitting binary files into multiple e-mails "));
    auto* row = new QHBoxLayout(split);
    row->addWidget(MakeCheck(props_.chkNoSplit));
    row->addStretch();
    QLineEdit* chunk = MakeEdit(props_.medChunksize);
    chunk->setFixedWidth(49);
    QLabel* chunkLabel = MakeLabel(props_.lblChunkSize, chunk);
    chunkLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(chunkLabel);
    row->addWidget(chunk);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(MakeRadioGroup(props_.optBinaryFormat, 3, page));
    layout->addWidget(important);
    layout->addWidget(split);
    layout->addWidget(MakeCheck(props_.chkCaptureHttps));
    layout->addWidget(MakeCheck(props_.chkAutostart));
    layout->addStretch();
    return page;
}

QWidget* TPropsView::AboutPage()
{
    auto* page = new QWidget;
    auto* name = new QLabel(QStringLiteral("<b>Tolvar</b>"));
    auto* text = new QLabel(QStringLiteral(
        "Tolvar fetches web pages and files for you by e-mail. Copy a URL anywhere and Tolvar mails the "
        "request to a ByMail server; the page or file comes back to your mailbox.<br><br>"
        "News: the NEWS file beside the program. Home: the README beside the program."));
    text->setWordWrap(true);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(name);
    layout->addWidget(MakeLabel(props_.lblVersion));
    layout->addWidget(text);
    layout->addStretch();
    return page;
}
