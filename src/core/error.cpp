#include "core/error.h"

#include "core/deblog.h"

int32_t Checkpoint = 0;

namespace {
TErrorBox gErrorBox;

void Report(const std::string& where, const std::string& detail, int helpContext, bool withHelp)
{
    std::string text = ErrorReportText(where, detail);
    LogDebug(text);
    ShowErrorBox(text, helpContext, withHelp);
}
} // namespace

void SetErrorBox(TErrorBox box) { gErrorBox = std::move(box); }

void ShowErrorBox(const std::string& text, int helpContext, bool withHelp)
{
    if (gErrorBox) gErrorBox(text, helpContext, withHelp);
}

std::string ErrorReportText(const std::string& where, const std::string& detail)
{
    return "Error in " + where + "." + std::to_string(Checkpoint) + " with " + detail;
}

void ReportError(const std::string& where, const std::string& detail) { Report(where, detail, 0, false); }

void ReportErrorWithHelp(const std::string& where, const std::string& detail, int helpContext)
{
    Report(where, detail, helpContext, true);
}
