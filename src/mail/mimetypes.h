#pragma once
#include <string>
#include <unordered_map>

// The system's table of MIME types by file extension (the mime.types format:
// a type, then its extensions, "#" starts a comment). It stands in for the
// registry's "Content Type" values of file types.
class TMimeTable {
public:
    // A missing or unreadable file gives an empty table.
    void LoadFromFile(const std::string& path);
    // The type for an extension without its dot, in any case; "" when unknown.
    std::string TypeOfExtension(const std::string& extension) const;

private:
    std::unordered_map<std::string, std::string> types_;
};

// The type of the file's extension from /etc/mime.types, read once per run;
// "application/octet-stream" when the name has no extension, the extension is
// unknown or there is no table.
std::string ContentTypeOfFile(const std::string& fileName);
