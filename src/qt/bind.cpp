#include "qt/bind.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabWidget>

#include "ui/application.h"
#include "ui/desktop.h"

// Strings are bytes in the program; the widgets show them as Latin-1 so no
// byte is ever changed on the way in or out.
QString Q(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }
std::string S(const QString& s)
{
    QByteArray b = s.toLatin1();
    return std::string(b.constData(), static_cast<size_t>(b.size()));
}

namespace {
// Chains a repaint onto whatever the model already notifies.
void OnModelChange(TControl& model, std::function<void()> sync)
{
    auto previous = model.ViewSync;
    model.ViewSync = [previous, sync] {
        if (previous) previous();
        sync();
    };
    sync();
}

void BindCommon(TControl& model, QWidget* w)
{
    // Named after its model, so tests and accessibility tools can find it.
    w->setObjectName(Q(model.Name()));
    w->setProperty("tolvarControl", QVariant::fromValue(reinterpret_cast<quintptr>(&model)));
    OnModelChange(model, [&model, w] {
        w->setEnabled(model.Enabled());
        w->setVisible(model.Visible());
        w->setToolTip(Q(model.Hint()));
    });
    model.ViewFocus = [w] { w->setFocus(Qt::OtherFocusReason); };
}
} // namespace

TControl* BoundControl(QWidget* w)
{
    QVariant v = w->property("tolvarControl");
    return v.isValid() ? reinterpret_cast<TControl*>(v.value<quintptr>()) : nullptr;
}

void BindButton(TButton& model, QPushButton* button)
{
    button->setAutoDefault(false);
    button->setDefault(model.Default());
    BindCommon(model, button);
    OnModelChange(model, [&model, button] { button->setText(Q(model.Caption())); });
    QObject::connect(button, &QPushButton::clicked, button, [&model] { RunGuarded(model, [&] { model.Click(); }); });
}

void BindEdit(TEdit& model, QLineEdit* edit)
{
    BindCommon(model, edit);
    OnModelChange(model, [&model, edit] {
        if (S(edit->text()) != model.Text()) {
            QSignalBlocker block(edit);
            edit->setText(Q(model.Text()));
        }
    });
    QObject::connect(edit, &QLineEdit::textEdited, edit, [&model](const QString& text) {
        RunGuarded(model, [&] { model.SetText(S(text)); });
    });
}

void BindCheckBox(TCheckBox& model, QCheckBox* box)
{
    box->setText(Q(model.Caption()));
    BindCommon(model, box);
    OnModelChange(model, [&model, box] {
        QSignalBlocker block(box);
        box->setChecked(model.Checked());
    });
    QObject::connect(box, &QCheckBox::clicked, box, [&model](bool checked) {
        RunGuarded(model, [&] { model.SetChecked(checked); });
    });
}

void BindComboBox(TComboBox& model, QComboBox* combo)
{
    BindCommon(model, combo);
    OnModelChange(model, [&model, combo] {
        QSignalBlocker block(combo);
        combo->clear();
        for (const auto& line : model.Items().Lines()) combo->addItem(Q(line));
        combo->setCurrentIndex(model.ItemIndex());
    });
    QObject::connect(combo, QOverload<int>::of(&QComboBox::activated), combo, [&model](int index) {
        RunGuarded(model, [&] { model.UserSelect(index); });
    });
}

void BindListBox(TListBox& model, QListWidget* list, TPopupMenu* popup)
{
    BindCommon(model, list);
    OnModelChange(model, [&model, list] {
        QSignalBlocker block(list);
        if (list->count() != model.Items().Count()) {
            list->clear();
            for (const auto& line : model.Items().Lines()) list->addItem(Q(line));
        } else {
            for (int i = 0; i < list->count(); ++i) list->item(i)->setText(Q(model.Items()[i]));
        }
        list->setCurrentRow(model.ItemIndex());
    });
    QObject::connect(list, &QListWidget::currentRowChanged, list, [&model](int row) {
        RunGuarded(model, [&] {
            model.SetItemIndex(row);
            if (model.OnClick) model.OnClick();
        });
    });
    if (popup) {
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(list, &QListWidget::customContextMenuRequested, list, [&model, list, popup](const QPoint& p) {
            // The menu opens only over an item, which is selected first.
            QListWidgetItem* item = list->itemAt(p);
            RunGuarded(model, [&] {
                model.SetItemIndex(item ? list->row(item) : -1);
                if (!item) return;
                QPoint g = list->viewport()->mapToGlobal(p);
                Desk().ShowPopupMenu(*popup, {g.x(), g.y()});
            });
        });
    }
}

void BindLabel(TLabel& model, QLabel* label)
{
    BindCommon(model, label);
    OnModelChange(model, [&model, label] { label->setText(Q(model.Caption())); });
}

void BindPageControl(TPageControl& model, QTabWidget* tabs)
{
    BindCommon(model, tabs);
    OnModelChange(model, [&model, tabs] {
        QSignalBlocker block(tabs);
        tabs->setCurrentIndex(model.ActivePageIndex());
    });
    QObject::connect(tabs, &QTabWidget::currentChanged, tabs, [&model](int index) {
        if (index == model.ActivePageIndex()) return;
        RunGuarded(model, [&] { model.UserSelect(index); });
    });
}

QGroupBox* MakeRadioGroup(TRadioGroup& model, int columns, QWidget* parent)
{
    auto* box = new QGroupBox(Q(model.Caption()), parent);
    auto* grid = new QGridLayout(box);
    auto* group = new QButtonGroup(box);
    int rows = (static_cast<int>(model.Items().size()) + columns - 1) / columns;
    for (int i = 0; i < static_cast<int>(model.Items().size()); ++i) {
        auto* radio = new QRadioButton(Q(model.Items()[static_cast<size_t>(i)]), box);
        group->addButton(radio, i);
        grid->addWidget(radio, i % rows, i / rows);
    }
    BindCommon(model, box);
    OnModelChange(model, [&model, group] {
        QSignalBlocker block(group);
        if (model.ItemIndex() < 0) {
            group->setExclusive(false);
            for (auto* b : group->buttons()) b->setChecked(false);
            group->setExclusive(true);
        } else if (auto* b = group->button(model.ItemIndex())) {
            b->setChecked(true);
        }
    });
    QObject::connect(group, &QButtonGroup::idClicked, box, [&model](int id) {
        RunGuarded(model, [&] { model.SetItemIndex(id); });
    });
    return box;
}

QPushButton* MakeButton(TButton& model)
{
    auto* button = new QPushButton;
    BindButton(model, button);
    return button;
}

QLabel* MakeLabel(TLabel& model, QWidget* buddy)
{
    auto* label = new QLabel;
    BindLabel(model, label);
    if (buddy) label->setBuddy(buddy);
    return label;
}

QLineEdit* MakeEdit(TEdit& model)
{
    auto* edit = new QLineEdit;
    BindEdit(model, edit);
    return edit;
}

QCheckBox* MakeCheck(TCheckBox& model)
{
    auto* box = new QCheckBox;
    BindCheckBox(model, box);
    return box;
}

QComboBox* MakeCombo(TComboBox& model)
{
    auto* combo = new QComboBox;
    BindComboBox(model, combo);
    return combo;
}
