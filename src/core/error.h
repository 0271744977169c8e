#pragma once
#include <cstdint>
#include <functional>
#include <string>

// The number of the last risky step the program reached; quoted in every
// error report so a report from the field says where it came from.
extern int32_t Checkpoint;

// How a report reaches the user. The application installs one that shows a
// warning box; without one, reports are only logged.
using TErrorBox = std::function<void(const std::string& text, int helpContext, bool withHelp)>;
void SetErrorBox(TErrorBox box);
void ShowErrorBox(const std::string& text, int helpContext, bool withHelp);

// "Error in " + where + "." + Checkpoint + " with " + detail: logged, then
// shown in a warning box with OK (and Help for the second form).
void ReportError(const std::string& where, const std::string& detail);
void ReportErrorWithHelp(const std::string& where, const std::string& detail, int helpContext);
std::string ErrorReportText(const std::string& where, const std::string& detail);
