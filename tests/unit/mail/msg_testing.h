#pragma once
#include <sstream>
#include <string>
#include <vector>

#include "mail/msmsg.h"
#include "support/mailstamp.h"

// Saves the message the way the SMTP client does and returns the text
// without its Date: and Message-ID: lines (checked, see WithoutStamp).
inline std::string SaveText(TmsMessage& message)
{
    std::ostringstream out;
    message.SaveToStream(out);
    return WithoutStamp(out.str());
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
