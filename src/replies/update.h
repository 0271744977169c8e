#pragma once
#include <functional>
#include <string>

class TmsMessage;

// An update mail copied to the clipboard: the UUencoded files between
// "---Begin Tolvar Update File---" and "---End Tolvar Update File---" are
// decoded into the program folder, the user is told, and restart runs so
// the program starts again on the fresh data. Any other text passes
// through untouched.
//
// The program file itself is never replaced from a clipboard text, and a
// file that cannot be written is reported rather than passed over.
void ProcessUpdateFile(const std::string& text, TmsMessage& message, const std::function<void()>& restart);
