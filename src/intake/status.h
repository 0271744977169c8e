#pragma once
#include <string>

// The last successful operation of the request being sent: every status is
// also a log line, and a failure report names the last one.
void SetStatus(const std::string& text);
const std::string& LastStatus();
void ResetStatus();
