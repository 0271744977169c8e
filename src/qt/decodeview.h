#pragma once
#include "qt/formview.h"

class TfrmDecode;

// The UUDecoder wizard: a fixed window above the others, its step in bold.
class TDecodeView : public TFormView {
public:
    explicit TDecodeView(TfrmDecode& form);
};

TFormView* MakeDecodeView(TForm& form);
