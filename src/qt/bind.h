#pragma once
#include <QString>
#include <string>

#include "ui/controls.h"

class QWidget;
class QPushButton;
class QLineEdit;
class QCheckBox;
class QComboBox;
class QListWidget;
class QLabel;
class QGroupBox;
class QTabWidget;

// Binds control models to Qt widgets both ways. What the user does reaches
// the model through RunGuarded, so a failing handler is reported with its
// control as the sender and never crosses Qt.

QString Q(const std::string& s);
std::string S(const QString& s);

void BindButton(TButton& model, QPushButton* button);
void BindEdit(TEdit& model, QLineEdit* edit);
void BindCheckBox(TCheckBox& model, QCheckBox* box);
void BindComboBox(TComboBox& model, QComboBox* combo);
void BindListBox(TListBox& model, QListWidget* list, TPopupMenu* popup);
void BindLabel(TLabel& model, QLabel* label);
void BindPageControl(TPageControl& model, QTabWidget* tabs);
// The control model a widget was bound to (nullptr for other widgets).
TControl* BoundControl(QWidget* w);
// A new widget bound to its model.
QPushButton* MakeButton(TButton& model);
QLabel* MakeLabel(TLabel& model, QWidget* buddy = nullptr);
QLineEdit* MakeEdit(TEdit& model);
QCheckBox* MakeCheck(TCheckBox& model);
QComboBox* MakeCombo(TComboBox& model);
// Builds the group box with one radio button an item, in the given columns.
QGroupBox* MakeRadioGroup(TRadioGroup& model, int columns, QWidget* parent);
