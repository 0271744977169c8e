#pragma once
#include <QDialog>

#include "ui/controls.h"

class QEventLoop;

// A top-level window bound to a TForm: visibility, caption and position
// follow the model; closing, minimising and keys go to the form's handlers.
class TFormView : public QDialog {
public:
    TFormView(TForm& form, QWidget* parent = nullptr);
    ~TFormView() override;
    TForm& Form() { return form_; }
    // The button Esc presses (the form's cancel button).
    void SetCancelButton(TButton* button) { cancelButton_ = button; }
    // Runs a nested loop until the form has a modal result or is hidden.
    int RunModal();

protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void reject() override;

private:
    void Sync();
    TForm& form_;
    TButton* cancelButton_ = nullptr;
    QEventLoop* modalLoop_ = nullptr;
    bool syncing_ = false;
};
