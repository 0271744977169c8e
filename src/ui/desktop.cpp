#include "ui/desktop.h"

#include <cmath>
#include <stdexcept>

namespace {
Desktop* gDesktop = nullptr;
}

Desktop& Desk()
{
    if (!gDesktop) throw std::logic_error("no desktop");
    return *gDesktop;
}

bool HasDesktop() { return gDesktop != nullptr; }

void SetDesktop(Desktop* desktop) { gDesktop = desktop; }

std::string MessageTitle(TMsgDlgType type)
{
    switch (type) {
    case TMsgDlgType::mtWarning: return "Warning";
    case TMsgDlgType::mtError: return "Error";
    case TMsgDlgType::mtInformation: return "Information";
    case TMsgDlgType::mtConfirmation: return "Confirm";
    case TMsgDlgType::mtCustom: return "Tolvar";
    }
    return {};
}

int MessageDlg(const std::string& text, TMsgDlgType type, unsigned buttons, int helpContext)
{
    return Desk().MessageDlg({text, type, buttons, helpContext, false});
}

int TopMessageBox(const std::string& text, TMsgDlgType type, unsigned buttons, TForm& /*window*/,
                  int helpContext)
{
    // The box itself is kept on top: raising a hidden main window would show
    // it, which the callers that hide it first do not want.
    return Desk().MessageDlg({text, type, buttons, helpContext, true});
}

void PlaceFormOnScreen(TForm& form, double fx, double fy)
{
    TSize screen = Desk().ScreenSize();
    // nearbyint rounds halves to even, as the fixed-point arithmetic this
    // mirrors does.
    int left = static_cast<int>(std::nearbyint((screen.width - form.Width()) * fx));
    int top = static_cast<int>(std::nearbyint((screen.height - form.Height()) * fy));
    form.SetPosition(left, top);
}
