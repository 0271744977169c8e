#pragma once
#include "qt/formview.h"

class TfrmProgress;

// The notice and progress window: no frame, above everything, beside the pointer.
class TProgressView : public TFormView {
public:
    explicit TProgressView(TfrmProgress& form);
};

// Tells the desktop how to show the windows the program creates on the fly.
void RegisterQtViews();
