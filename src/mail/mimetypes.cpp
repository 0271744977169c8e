#include "mail/mimetypes.h"

#include <fstream>
#include <sstream>

#include "core/strutil.h"
#include "mail/filename.h"

void TMimeTable::LoadFromFile(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        auto hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string type, ext;
        if (!(words >> type)) continue;
        // The first type named for an extension wins, as in the usual readers.
        while (words >> ext) types_.emplace(LowerCase(ext), LowerCase(type));
    }
}

std::string TMimeTable::TypeOfExtension(const std::string& extension) const
{
    auto it = types_.find(LowerCase(extension));
    return it == types_.end() ? std::string() : it->second;
}

std::string ContentTypeOfFile(const std::string& fileName)
{
    static const TMimeTable table = [] {
        TMimeTable t;
        t.LoadFromFile("/etc/mime.types");
        return t;
    }();
    std::string name = ExtractFileName(fileName);
    auto dot = name.rfind('.');
    std::string type = dot == std::string::npos ? std::string() : table.TypeOfExtension(name.substr(dot + 1));
    return type.empty() ? "application/octet-stream" : type;
}
