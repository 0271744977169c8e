#include "core/deblog.h"

#include <cerrno>
#include <cstdio>

#include "core/clock.h"
#include "core/error.h"
#include "core/exception.h"
#include "core/localroot.h"

namespace {
bool gFailureShown = false;
bool gInFailure = false;
} // namespace

std::string DebugLogPath() { return LocalRoot() + "DebugLog.Txt"; }

void LogDebug(const std::string& message)
{
    std::string line = DateTimeToStr(Now()) + ": " + message + "\r\n";
    std::string path = DebugLogPath();
    FILE* f = std::fopen(path.c_str(), "ab");
    int err = 0;
    if (!f) {
        err = errno;
    } else {
        bool ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
        if (!ok) err = errno;
        if (std::fclose(f) != 0 && ok) err = errno;
        if (err == 0 && !ok) err = EIO;
    }
    if (err == 0) {
        gFailureShown = false;
        return;
    }
    std::fwrite(line.data(), 1, line.size(), stderr);
    // The box itself logs nothing, but guard anyway: a report about the log
    // must never come back here and report again.
    if (gFailureShown || gInFailure) return;
    gFailureShown = true;
    gInFailure = true;
    ShowErrorBox("The diagnostic log " + path + " cannot be written (" + SysErrorMessage(err) +
                     "). Its lines go to standard error until it can.",
                 0, false);
    gInFailure = false;
}
