#include "intake/status.h"

#include "core/deblog.h"

namespace {
std::string gLastStatus;
}

void SetStatus(const std::string& text)
{
    gLastStatus = text;
    LogDebug(text);
}

const std::string& LastStatus() { return gLastStatus; }

void ResetStatus() { gLastStatus.clear(); }
