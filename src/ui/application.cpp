#include "ui/application.h"

#include "ui/controls.h"
#include "ui/desktop.h"

namespace {
TExceptionHandler gHandler;
}

void SetExceptionHandler(TExceptionHandler handler) { gHandler = std::move(handler); }

void HandleException(const TComponent& sender, const std::exception& e)
{
    if (gHandler) {
        gHandler(sender, e);
        return;
    }
    // Before the main window installs its handler: still never silent.
    if (HasDesktop()) MessageDlg(e.what(), TMsgDlgType::mtError, mbOK, 0);
}

void RunGuarded(const TComponent& sender, const std::function<void()>& action)
{
    try {
        action();
    } catch (const std::exception& e) {
        try {
            HandleException(sender, e);
        } catch (...) {
            // The handler itself failed (no desktop, a broken box): nothing
            // is left to tell, and the event loop must go on.
        }
    }
}
