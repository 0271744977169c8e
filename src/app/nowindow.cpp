#include "app/nowindow.h"

TNoWindowDesktop::TNoWindowDesktop(std::ostream& err) : err_(err)
{
    SetDesktop(this);
}

TNoWindowDesktop::~TNoWindowDesktop()
{
    SetDesktop(nullptr);
}

int TNoWindowDesktop::MessageDlg(const TMessageBox& box)
{
    std::string text;
    for (size_t i = 0; i < box.text.size(); ++i) {
        char c = box.text[i];
        if (c == '\r') continue;
        // A caption quoted with its accelerator reads as the caption.
        if (c == '&' && box.showAccelChar && i + 1 < box.text.size()) c = box.text[++i];
        text += c;
    }
    err_ << "tolvar: " << MessageTitle(box.type) << ": " << text << "\n";
    if (box.buttons & mbCancel) return mrCancel;
    if (box.buttons & mbNo) return mrNo;
    if (box.buttons & mbOK) return mrOk;
    if (box.buttons & mbRetry) return mrRetry;
    return mrCancel;
}
