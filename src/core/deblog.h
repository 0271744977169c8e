#pragma once
#include <string>

// Appends "<short date> <long time>: <message>\r\n" to LocalRoot() +
// "DebugLog.Txt", opening and closing the file for every line.
//
// It never raises: when the log cannot be written the line goes to standard
// error instead, and the first such failure after a good write is reported
// once through the error box, so a read-only program folder neither loops
// the error reporter nor ends the program.
void LogDebug(const std::string& message);

std::string DebugLogPath();
