#pragma once
#include "qt/formview.h"

class TfrmTips;

// The tip of the day: a fixed little window above the others, the tip in a
// sunken white box, the buttons beside it and the "Show these tips" box below.
class TTipsView : public TFormView {
public:
    explicit TTipsView(TfrmTips& form);
};

TFormView* MakeTipsView(TForm& form);
