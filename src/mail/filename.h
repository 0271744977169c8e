#pragma once
#include <string>

// The name without its folder. Both "/" and "\" end a folder: attachment names
// come from mails written on any system.
inline std::string ExtractFileName(const std::string& path)
{
    auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
