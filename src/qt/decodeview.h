#pragma once
#include "qt/formview.h"

class TfrmDecode;

// The UUDecoder wizard: a fixed window above the others, its step in bold.
// Saved mails dropped on it are decoded.
class TDecodeView : public TFormView {
public:
    explicit TDecodeView(TfrmDecode& form);

protected:
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    TfrmDecode& decode_;
};

TFormView* MakeDecodeView(TForm& form);
