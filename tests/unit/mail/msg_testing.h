#pragma once
#include <sstream>
#include <string>
#include <vector>

#include "mail/msmsg.h"

// Saves the message the way the SMTP client does and returns the text.
inline std::string SaveText(TmsMessage& message)
{
    std::ostringstream out;
    message.SaveToStream(out);
    return out.str();
}

inline std::string CrLf(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

// A sender and one recipient, nothing else.
inline void Address(TmsMessage& message, const std::string& from = "me@here.example",
                    const std::string& to = "robot@there.example")
{
    message.Sender().SetAddress(from);
    message.Recipients().Add(to);
}
