#pragma once
#include <string>

// The name without its folder. Both "/" and "\" end a folder: attachment names
// come from mails written on any system.
inline std::string ExtractFileName(const std::string& path)
{
    auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A file name from a mail, made safe to save: no folder, no control
// characters, never "." or "..". "" when nothing usable is left.
inline std::string SafeFileName(const std::string& name)
{
    std::string bare = ExtractFileName(name);
    for (char& c : bare)
        if (static_cast<unsigned char>(c) < 32 || c == 127) c = '_';
    if (bare == "." || bare == "..") return {};
    return bare;
}
